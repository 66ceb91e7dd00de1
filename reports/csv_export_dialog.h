#pragma once
// The CSV export settings: target file, value separator, decimal character,
// a header row and the level columns. The viewer presets and labels it from
// its store and hands the answers unchanged to the store's CSV writer.
#include <QDialog>
#include <QString>

#include <array>

#include "ui_kit/select_box.h"
#include "ui_kit/services/report_services.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QToolButton;
class TPaintBox32;

class TcsvExportDialog : public QDialog, public TcsvExportSettings {
public:
    explicit TcsvExportDialog(QWidget* owner, double dpi = 0);

    void PresetColumns(bool leq, bool leqK, bool peak, const QString& leqLabel, const QString& leqKLabel,
                       const QString& peakLabel) override;
    int ShowModal() override { return exec(); }
    QString getFile() const override { return datei; }
    QChar getSep() const override;
    QChar getDezi() const override;
    bool GetUseHeader() const override { return sUseLabel.GetIsSelected(); }
    bool GetELeq() const override { return columns_[0].GetIsSelected(); }
    bool GetELeqK() const override { return columns_[1].GetIsSelected(); }
    bool GetEPeak() const override { return columns_[2].GetIsSelected(); }

    // What the controls do (tests drive them through these).
    void ChooseFile();
    void ClickColumnRow(int row);
    void ClickHeaderTick();
    bool ExportVisible() const;
    QComboBox* SeparatorCombo() const { return cbTrenn; }
    QComboBox* DecimalCombo() const { return cbDezi; }
    QString FileLabel() const;

private:
    void SeparatorChanged();
    void UpdateExportButton();
    void ArrangeControls();
    void PaintColumns(TPaintBox32* box);
    int RowAt(int y) const;

    QString datei;
    double localSf = 1.0;
    TSelBox sUseLabel;
    std::array<TSelBox, 3> columns_;  // Leq, short-term Leq, peak
    QLabel* Label1 = nullptr;
    QComboBox* cbTrenn = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* cbDezi = nullptr;
    TPaintBox32* pbUseLabels = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    TPaintBox32* pbExport = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLabel* Label3 = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbOk = nullptr;
};
