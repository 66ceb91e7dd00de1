#pragma once
// The audio device dialog TIOSelect: the interface (wave, ASIO, WASAPI),
// the devices or channels of each, the input assignment of the microphones
// and the ASIO details. It reads the devices but touches neither the
// settings nor the running audio: the main window presets it, shows it and
// reads the choices back (audio_device_setup.h).
#include <QDialog>
#include <QUuid>

#include <cstdint>

#include "audio/asio_driver_list.h"
#include "ui_kit/select_box.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QTimer;
class QWidget;
class TPaintBox32;

class TIOSelect : public QDialog {
public:
    explicit TIOSelect(QWidget* owner);
    ~TIOSelect() override;

    // --- what the main window calls ---
    void SetInputAssign(int32_t assignment);
    void SetWaveIDs(int32_t inId, int32_t outId);
    void SetWaveChannel(bool firstChannel, int32_t assignment);
    void SetWaveOption(bool, bool);
    void SetAudioMode(int32_t mode);
    bool SetAsioGuid(const QUuid& guid);
    void SetAsioOutId(int32_t channel);
    void SetAsioDetails(bool callbackModeOne, bool reportAll, int32_t bufferSize, bool use96);
    // The WASAPI assignment list, as SetWaveChannel fills the wave one.
    void SetWasChannel(bool firstChannel, int32_t assignment);
    // The ASIO driver change: the channel lists of the selected driver.
    void cbASIODeviceChange();
    // Selects the ASIO driver item named name; false when there is none.
    bool SelectAsioDevice(const QString& name);
    void SelectAsioInput(int32_t channel);
    void SelectAsioInputV(int32_t channel);

    int32_t GetAudioMode() const { return myAudioMode; }
    int32_t GetWaveInId() const;
    int32_t GetWaveOutId() const;
    int32_t GetWasOutId() const;
    int32_t GetWasInIndex() const;
    int32_t GetAsioInId() const;
    int32_t GetAsioInIdV() const;
    int32_t GetAsioOutId() const;
    QString GetAsioInName() const;
    QString GetAsioInNameV() const;
    QString GetAsioDeviceName() const;
    QUuid GetAsioGuid() const;
    bool GetKanal1Wave() const;
    bool GetKanal1Was() const;
    bool GetWavewide() const { return true; }
    bool GetWaveExt() const { return true; }
    bool GetAsio96() const { return sAsio96.GetIsSelected(); }
    bool GetAsioModeOne() const { return sCM1.GetIsSelected(); }
    bool GetAsioReportAll() const { return sShowAll.GetIsSelected(); }
    int32_t MaxAsioSize() const;
    bool IsAsioDetails() const;
    void CheckValues();
    // Shows the details panel, as holding the picture for 3 s does.
    void ShowAsioDetails();

    // The controls, for the main window's tests and grabs.
    QComboBox* cbWaveIn = nullptr;
    QComboBox* cbWaveOut = nullptr;
    QComboBox* cbWaveZuordnung = nullptr;
    QComboBox* cbASIODevice = nullptr;
    QComboBox* cbASIOInput = nullptr;
    QComboBox* cbASIOInputV = nullptr;
    QComboBox* cbASIOOut = nullptr;
    QComboBox* cbAsioSize = nullptr;
    QComboBox* cbInWas = nullptr;
    QComboBox* cbWasZuordnung = nullptr;
    QComboBox* cbOutWas = nullptr;
    TPaintBox32* pbOk = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbRescan = nullptr;
    TPaintBox32* pbAsioControl = nullptr;
    TPaintBox32* pbAmWave = nullptr;
    TPaintBox32* pbAmAsio = nullptr;
    TPaintBox32* pbAmWAS = nullptr;
    TPaintBox32* pbWasDev = nullptr;
    TPaintBox32* imASIO = nullptr;
    QGroupBox* gbWave = nullptr;
    QGroupBox* gbAsio = nullptr;
    QGroupBox* gbWas = nullptr;
    QWidget* pAsioDetails = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label9 = nullptr;
    QString wasDevString;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void LayoutForScale(double scale);
    bool FillWaveLists();
    void FillWasapiLists();
    void ShowWasDevice();
    void FillAsioChannels(QComboBox* combo, int32_t count, bool input, int32_t limit, bool withNone);
    void SetupFlatButton(TPaintBox32*& box, int32_t textId, const std::function<void()>& click);
    void SetupSelector(TPaintBox32*& box, TSelBox& sel, const std::function<void()>& click);
    void RepaintSelectors();
    void OpenControlPanel();
    void Rescan();

    TSelBox sAsio96, sCM1, sShowAll;
    int32_t myMicMode = 1;
    bool showAd = false;
    double mySf = 1.0;
    int32_t inID = 0, outID = -1;
    bool validWave = false;
    TAsioDriverList treiberliste;
    TSelBox cbModeWave, cbModeAsio, cbModeWAS;
    int32_t myAudioMode = 0;
    TPaintBox32* pb96k = nullptr;
    TPaintBox32* pbCM1 = nullptr;
    TPaintBox32* pbShowAll = nullptr;
    QTimer* tAsioDetails = nullptr;
};
