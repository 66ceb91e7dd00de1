#pragma once
// TMessProtokollEingabe: the report data of a measurement (event, location,
// schedule, measuring company, PA system) entered by the operator, with a
// page that imports them from an earlier measurement file. The caller fills
// it from the default store and writes the fields back on Apply.
#include <QDialog>
#include <QString>

class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTreeView;
class TDaten;
class TPaintBox32;

class TMessProtokollEingabe : public QDialog {
public:
    static constexpr int kEventPage = 0;
    static constexpr int kPaPage = 1;
    static constexpr int kImportPage = 2;

    explicit TMessProtokollEingabe(QWidget* owner, double dpi = 0);

    void SetData(const TDaten& store);
    // Writes every field into the store, in the caller's order.
    void WriteTo(TDaten& store) const;
    QString GetHinweisText() const;
    void SetHinweisText(const QString& text);
    QString GetPAText() const;
    void SetPaText(const QString& text);
    QString GetVAOrtText() const;
    void SetVAOrtText(const QString& text);
    int ShowModal() { return exec(); }

    QTabWidget* Pages() const { return PageControl1; }
    QTreeView* Tree() const { return fs2; }
    QFileSystemModel* TreeModel() const { return model_; }
    QComboBox* ImportKind() const { return cbImportArt; }
    // The preview of a selected path, and the import of the selected file.
    void PreviewFile(const QString& path);
    void ImportSelected();
    void Reset();
    QString PreviewText() const { return display_text; }
    bool ImportVisible() const;
    QLineEdit* Edit(const char* name) const;

    // The edits, as the caller reads and writes them.
    QLineEdit* edVAName = nullptr;
    QLineEdit* edVeranstalter = nullptr;
    QLineEdit* edVAAnschrift = nullptr;
    QLineEdit* edVAPLZ = nullptr;
    QLineEdit* edVAOrt = nullptr;
    QLineEdit* edVAZeit = nullptr;
    QLineEdit* edMessFA = nullptr;
    QLineEdit* edUnterzeichnung = nullptr;
    QLineEdit* edPATel = nullptr;
    QLineEdit* edPATeam = nullptr;

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void reject() override;

private:
    QWidget* BuildEventPage();
    QWidget* BuildPaPage();
    QWidget* BuildImportPage();
    void TakeImport(const TDaten& source, int kind);
    bool MemoHasFocus() const;

    QString selected_;
    QString display_text;
    double mySf = 1.0;
    QTabWidget* PageControl1 = nullptr;
    QPlainTextEdit* mVAOrt = nullptr;
    QPlainTextEdit* mHinweise = nullptr;
    QPlainTextEdit* mPAInfo = nullptr;
    TPaintBox32* pbFileName = nullptr;
    QTreeView* fs2 = nullptr;
    QFileSystemModel* model_ = nullptr;
    QComboBox* cbImportArt = nullptr;
    TPaintBox32* pProtDaten = nullptr;
    TPaintBox32* pbImport = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbClear = nullptr;
    TPaintBox32* pbOk = nullptr;
};
