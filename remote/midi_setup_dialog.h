#pragma once
// The MIDI setup dialog: devices and channels, the input command mode with
// its notes or device id, the output mode, the status notes and the level
// controllers. Most controls change the MIDI object at once; the input
// settings reach it on OK or when the input test starts; Cancel (also Escape
// and the close box) puts back the copy taken when the dialog opened. The
// input page's monitor lists every received note and system-exclusive
// message with its meaning while the test runs and answers a start or stop
// with the feedback note. A right click on a note or controller field offers
// test messages and quick values.
#include <QDialog>
#include <QTabWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/window_messages.h"
#include "ui_kit/select_box.h"

class QComboBox;
class QLabel;
class QMenu;
class QAction;
class QPlainTextEdit;
class QSpinBox;
class TPaintBox32;
class TVtMidi;

// The page control: its tabs are painted in the program's colours, and a
// hidden page has no tab.
class TMidiPages : public QTabWidget {
public:
    explicit TMidiPages(QWidget* parent);
    void SetPageVisible(QWidget* page, bool visible);
    bool IsPageVisible(QWidget* page) const;
};

class TMidiSetup : public QDialog {
public:
    // midi may be nullptr: every step on the object is then skipped.
    TMidiSetup(QWidget* owner, TVtMidi* midi);
    ~TMidiSetup() override;

    // Handler of WM_MIDI_INPUT while the input test runs.
    void MidiMonitorMessage(uintptr_t kind, intptr_t data);
    platform::WindowHandle Handle() const { return handle_; }

    // Fills the field popup for the field of this Tag, as a right click does.
    void PrepareFieldMenu(int32_t tag);
    int32_t MenuTag() const { return menuTag_; }

    // The controls, named as the form names them.
    TMidiPages* pcPages = nullptr;
    QWidget* tsDevices = nullptr;
    QWidget* tsOutput = nullptr;
    QWidget* tsCC = nullptr;
    QWidget* tsInput = nullptr;

    TPaintBox32* pbUseMidi = nullptr;
    TPaintBox32* pbOnlyRun = nullptr;
    TPaintBox32* pbFeedback = nullptr;
    TPaintBox32* pbInSync = nullptr;
    std::array<TPaintBox32*, 3> pbSend{};    // Leq, short-term Leq, peak
    std::array<TPaintBox32*, 5> pbUseCC{};   // Leq, short-term Leq, peak, Leq maximum, peak maximum
    TPaintBox32* pbInTest = nullptr;
    TPaintBox32* pBOk = nullptr;
    TPaintBox32* pbCancel = nullptr;
    QWidget* pButtons = nullptr;

    QLabel* lMidiIn = nullptr;
    QLabel* lKanal = nullptr;
    QLabel* lMidiOut = nullptr;
    QLabel* lKanal2 = nullptr;
    QLabel* lStart = nullptr;
    QLabel* lInStart = nullptr;
    QLabel* lInStop = nullptr;
    QLabel* lInSync = nullptr;
    QLabel* lOutMode = nullptr;
    QLabel* lInfoKanal = nullptr;
    QLabel* lStatusInfo = nullptr;
    std::array<QLabel*, 3> lStateHeads{};  // lkNorm, lkWarn, lkOver
    std::array<QLabel*, 3> lNoteHeads{};   // lMKNorm, lmkWarn, lMkOver
    QLabel* lStatus = nullptr;
    std::array<QLabel*, 3> lRows{};        // lLeq, lLeqK, lPeak
    QLabel* lcc = nullptr;
    std::array<QLabel*, 5> lccRows{};      // lccLeq, lccleqk, lccPeak, lLMax, lPMax

    QComboBox* cbMidiInDev = nullptr;
    QComboBox* cbMidiOutDev = nullptr;
    QComboBox* cbStart = nullptr;
    QComboBox* cbOutMode = nullptr;

    QSpinBox* seInKanal = nullptr;
    QSpinBox* seOutKanal = nullptr;
    QSpinBox* seInStart = nullptr;
    QSpinBox* seInStop = nullptr;
    QSpinBox* seInSync = nullptr;
    QSpinBox* seInfoKanal = nullptr;                 // Tag 9
    std::array<QSpinBox*, 9> seNotes{};              // Tags 0..8
    std::array<QSpinBox*, 5> seCC{};                 // Tags 16..20
    QPlainTextEdit* mTest = nullptr;

    QMenu* pmOutMapping = nullptr;
    QAction* pmOmTestOn = nullptr;
    QAction* pmOmTestOff = nullptr;
    QAction* pmOmNext = nullptr;
    std::array<QAction*, 6> pmOmValues{};  // 20, 40, ... 120

    // The ticks in this order: use MIDI, run only, feedback, sync request,
    // the three send ticks, the five controller ticks.
    std::array<TSelBox, 12> ticks;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    TPaintBox32* CreateTick(QWidget* page, size_t index, std::function<void()> toggled);
    TPaintBox32* CreateButton(QWidget* parent, std::function<QString()> caption, std::function<void()> clicked);
    QSpinBox* CreateField(QWidget* page, int low, int high, int32_t tag);
    QLabel* CreateLabel(QWidget* page, const QString& text);
    void FillDeviceList(QComboBox* list, const QStringList& devices, const QString& stored, int32_t noDeviceText,
                        bool& keepStored);
    void FillModeList(QComboBox* list, const std::vector<std::pair<int32_t, int32_t>>& entries, int32_t current);
    void SetCaptions();
    void ApplyColors();
    void LoadValues();

    // Reactions to the user.
    void InputDeviceChanged();
    void OutputDeviceChanged(bool byUser);
    void InputModeChanged();
    void InputIdChanged();
    void TickToggled(size_t index);
    void FieldChanged(int32_t tag, int value);
    void InTestClick();
    void OkClick();
    void CancelClick();
    void FieldMenuChosen(QAction* action);

    // Rules.
    void StopInputTest();
    void ApplyMidiInSettings();
    void CheckInputIds();
    void ApplyInputModeRules();
    void ApplyFeedbackRow();
    void ApplyRowRule(int quantity);
    void ApplyUseMidiRule();
    void UpdateTabs();
    bool IsDeviceEntry(const QComboBox* list) const;
    QString ChosenText(const QComboBox* list) const;
    int32_t ChosenMode(const QComboBox* list) const;
    void PaintTick(TPaintBox32* box, size_t index);

    // Layout.
    void LayoutForm();
    void LayoutDevices();
    void LayoutInput();
    void LayoutOutput();
    void LayoutCC();
    int TickWidth(size_t index);

    TVtMidi* midi_;
    platform::WindowHandle handle_ = 0;
    std::array<TPaintBox32*, 12> tickBoxes_{};
    double localSf_ = 1.0;
    int localSp_ = 8;
    int ltc_ = 3;
    int32_t menuTag_ = 0;
    bool keepStoredInName_ = false;
    bool keepStoredOutName_ = false;
    bool loading_ = true;
};
