#pragma once
// The small modeless editor of a location text of the report: the immission
// location of one group of weightings (bits 1 A, 2 C, 4 Z) or, in mode 8,
// the measuring position. It only edits; OK and Cancel post notification 293
// to the main window, which takes the text and frees the editor.
#include <QDialog>

#include <cstdint>

class QLabel;
class QPlainTextEdit;
class TPaintBox32;

class TEditKorr : public QDialog {
public:
    explicit TEditKorr(QWidget* owner);

    // Stores a new mode and sets the captions; answers whether it changed.
    bool SetMode(int32_t newMode);
    int32_t Getmode() const { return myMode_; }
    // Replaces the text; answers whether OK is offered.
    bool SetIt(const QString& theText);
    QString GetIt() const;
    void ApplyDpi(double dpi);

    QPlainTextEdit* Memo() const { return mDaten_; }
    TPaintBox32* OkButton() const { return pbOk_; }
    TPaintBox32* CancelButton() const { return pbCancel_; }
    TPaintBox32* HintBox() const { return pbLowChar_; }
    QLabel* Label(int i) const { return i == 0 ? label1_ : i == 1 ? label2_ : label3_; }

    // "Place of relevant immission (A + C + Flat)" and its kin; mode 8 the measuring position.
    static QString CaptionFor(int32_t mode);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void UpdateButtons();
    void Layout();

    int32_t myMode_ = 0;
    double mySf_ = 1.0;
    int32_t mySpace_ = 16;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    QPlainTextEdit* mDaten_ = nullptr;
    TPaintBox32* pbCancel_ = nullptr;
    TPaintBox32* pbOk_ = nullptr;
    TPaintBox32* pbLowChar_ = nullptr;
    bool answered_ = false;
};
