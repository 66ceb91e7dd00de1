#pragma once
// The print options: what goes on paper (report pages with their quantities,
// single-value pages, graph page) and the language of the printout.
// TPrintConfig runs the choice for one store; TfPrint is its modal dialog.
#include <QDialog>
#include <QString>

#include <array>
#include <functional>

#include "reports/print_settings.h"
#include "ui_kit/select_box.h"

class QComboBox;
class QGroupBox;
class TDaten;
class TPaintBox32;

class TfPrint : public QDialog {
public:
    // Sections of SetDefault and GetValues.
    static constexpr int kReport = 1;
    static constexpr int kSingleValues = 2;
    static constexpr int kGraph = 3;

    // The ticks in paint order; their positions are fixed by the sections.
    enum Tick {
        spProt, spLeq, spLeqK, spPeak, spL120, spLFull,
        sEinzel, sELeq, sELeqK, sEPeak, sEOver,
        sGrafik, sGLeq, sGLeqK, sGPeak, sGColor,
        kTickCount
    };

    explicit TfPrint(QWidget* owner, double dpi = 0);

    void SetHeader(const QString& header);
    bool SetLanguage(int32_t languageId);
    int32_t GetLanguageId() const;
    void SetLabels(const QString& leqLabel, const QString& leqKLabel, const QString& peakLabel);
    void SetL120(bool show, const QString& label);
    void SetLFull(bool show, const QString& label);
    void SetDefault(int mode, const TPrintInfo& r);
    void PresetInfos(const TDaten& store);
    TPrintInfo GetValues(int mode) const;

    // A click on the section's box at a point of it (what the mouse does).
    void ClickSection(int mode, int x, int y);
    TSelBox& Box(Tick tick) { return ticks_[tick]; }
    bool PrintVisible() const;
    TPaintBox32* SectionBox(int mode) const;
    QComboBox* LanguageCombo() const { return cbSprache; }
    TPaintBox32* PrintButton() const { return pbPrint; }
    TPaintBox32* CancelButton() const { return pbCancel; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetCaptions();
    void ApplyScale(double dpi);
    void SectionRule(int mode);
    void UpdatePrintButton();
    int TickAt(int mode, int x, int y) const;
    void PaintSection(int mode, TPaintBox32* box);
    void PaintHeader(TPaintBox32* box);
    void SwitchLanguage(int32_t lang);

    std::array<TSelBox, kTickCount> ticks_;
    QString myHeader;
    double mySf = 1.0;
    QGroupBox* gbHeader = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* gbSprache = nullptr;
    TPaintBox32* pbHeader = nullptr;
    TPaintBox32* pbProt = nullptr;
    TPaintBox32* pbEinzel = nullptr;
    TPaintBox32* pbGrafik = nullptr;
    QComboBox* cbSprache = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbPrint = nullptr;
};

class TPrintConfig {
public:
    // The dialog for the store: true when the user pressed Print. The
    // program-wide settings are what the dialog starts from.
    bool ShowMenu(const QString& header, TDaten* configData);
    // 1 report, 2 single values, 3 graph; another id gives all false.
    TPrintInfo GetPrintSettings(int id) const;
    int32_t GetLangId() const { return langIdLatch; }

    // Runs instead of the modal loop wherever a configuration shows its
    // dialog (tests): gets the prepared dialog and answers its modal result.
    // An empty function restores the modal loop.
    static void SetDialogRunner(std::function<int(TfPrint&)> runner);

private:
    TPrintInfo protInfo;
    TPrintInfo graphInfo;
    TPrintInfo einzelInfo;
    int32_t langIdLatch = 0;
};
