#pragma once
// What the texts and UI kit, the audio engine and the measurement store use of
// the main window TVTProMaster: the operations they call and the fields they
// read or write. The main window implements MainWindowServices and registers
// itself when it is created; before that (and after its destruction) the
// accessor answers nullptr and callers skip what needs the main window.
//
// Threads: the getters marked "any thread" are called by the calculation and
// other worker threads and must not touch widgets; every other operation runs
// on the GUI thread. The implementation stays registered until every thread
// that may call it has ended.
#include <QString>
#include <QUuid>

#include <atomic>
#include <cstdint>

#include "platform/date_time.h"
#include "platform/sync.h"

class QPainter;
class QRectF;
class QWidget;

class TDaten;
class TAsioIn;
class OutFill;
class TVuThread;
class TwasIn;
class TwasOut;
class TRecordIt;

// The main window's fields that the lower parts share with it. The main window
// owns the one instance. Numbers, flags and object references are atomic
// because worker threads read some of them without a lock (the loudest-spot
// flags in the calculation thread, the search state in the web server's
// threads, the thread references in the stop paths). Texts and the GUID are
// read and written on the GUI thread only. All fields start zeroed; the main
// window gives the creation values and the registry defaults.
struct MainWindowFields {
    // Audio interface and devices.
    std::atomic<int32_t> IOMode{0};        // 0 wave, 1 ASIO, 2 WASAPI, -1 none chosen
    std::atomic<int64_t> waveInID{0};      // -1 none
    std::atomic<int32_t> waveOutID{0};
    std::atomic<bool> isExt{false};
    QString WaveDeviceName;
    QString ASIODeviceName;
    QString CurrentDeviceName;
    QString CurrentInputName;
    std::atomic<int32_t> ASIOInputID{0};
    std::atomic<int32_t> ASIOInputIDV{0};
    std::atomic<int32_t> ASIOOutputID{0};
    QString asioKanalLabel;                // written by the ASIO start
    QString asioRefKanalLabel;
    std::atomic<int32_t> VUAssign{0};      // 1 left, 2 right, 3 as wired
    std::atomic<int32_t> headerSize{0};    // wave buffer header size

    // Calibration of the input.
    std::atomic<int32_t> KalIOMode{0};
    std::atomic<int32_t> KalIOID{0};
    std::atomic<bool> KalC1{false};
    std::atomic<int32_t> noCalReason{0};
    std::atomic<int32_t> KalWasVol{0};        // capture volume in tenths of a dB, 65551 unknown
    std::atomic<double> messInputLevel{0.0};  // KalWasVol taken at the measurement start
    std::atomic<int32_t> StatusID{0};

    // Audio settings (loaded and saved with the other settings).
    std::atomic<bool> HighRes{false};
    std::atomic<bool> Kanal{false};
    QUuid AsioGuid;
    std::atomic<bool> asio96{false};
    std::atomic<int32_t> amb{0};
    std::atomic<bool> arar{false};
    std::atomic<bool> cbm1{false};

    // Threads and workers the audio paths start; nullptr while none runs.
    std::atomic<TAsioIn*> hAsioIn{nullptr};
    std::atomic<OutFill*> hFillOut{nullptr};
    std::atomic<TVuThread*> hVuThread{nullptr};
    std::atomic<TwasIn*> hWasInT{nullptr};
    std::atomic<TwasOut*> hWasOutT{nullptr};
    std::atomic<TRecordIt*> hRec{nullptr};

    // Test signal and loudest-location search.
    std::atomic<int32_t> statusMessung{0};  // 1 search silent, 4 search with sound, 2 measuring
    std::atomic<int32_t> OutLevelDB{0};     // output level in whole dB
    std::atomic<bool> isFindPeak{false};    // read by the calculation thread
    std::atomic<bool> useRefForLLF{false};  // read by the calculation thread
    platform::CriticalSection csPink;       // held while the noise table is rebuilt

    // Folders and backups.
    QString basisPfad;    // per-user application data; holds the crash backups
    QString userPfad;     // user folder under the documents folder
    QString RestorePfad;  // offered to the restore dialog
    std::atomic<platform::TDateTime> lastBackup{0.0};
    std::atomic<int32_t> recId{0};  // last WAV recording of the measurement

    // The display copy of the measurement; the default and the measurement
    // store are program-wide (shared_state.h).
    std::atomic<TDaten*> AnzeigeDaten{nullptr};
};

class MainWindowServices {
public:
    virtual ~MainWindowServices() = default;

    virtual MainWindowFields& Fields() = 0;

    // --- Settings of the calculation (any thread) ---

    // Calibration offset in dB of quantity 0 Leq, 1 short-term Leq, 2 peak;
    // -1 for any other quantity.
    virtual double GetKorr(int32_t quantity) = 0;
    // Peak window of the current preset in samples (2, 1680, 6000 or 48000).
    virtual int32_t GetPeakSamples() = 0;
    // Short-term Leq duration of the current preset in 125 ms blocks.
    virtual int32_t GetSamplesLeqKurz() = 0;
    // Leq duration in 125 ms blocks, negative for a sliding window; -2 is the
    // Leq of the whole measurement.
    virtual int32_t GetLeqSamples() = 0;
    // Weighting code (1 A, 2 C, 4 Z) of quantity 0, 1 or 2; 4 for any other.
    virtual int32_t GetFilter(int32_t quantity) = 0;
    // Draw interval of the default store in seconds; 10 without one.
    virtual int32_t GetSaveIntervalSec() = 0;
    // Planned measuring duration of the default store in minutes; 0 without one.
    virtual int32_t GetMessDauerMin() = 0;
    // True while a measurement runs.
    virtual bool GetMessungLaeuft() = 0;
    // The last fetched peak amplitude of channel 1, taken under the
    // start/stop lock.
    virtual double GetCPeak() = 0;

    // --- Program and folders (GUI thread) ---

    // Root of the restore dialog's folder tree and its first selection.
    virtual QString GetTreeBasePath() = 0;
    virtual QString GetUserPath() = 0;
    // Version of the running program file, the more significant half high.
    virtual int64_t getVersionID() = 0;
    // Lets the message loop process the pending messages once.
    virtual void UpdateIt() = 0;
    // The main form: owner of the message boxes and the password prompt,
    // which are centred on it or placed relative to it.
    virtual QWidget* MainForm() = 0;
    // Draws icon index of the main window's icon collection proportionally
    // into square (5 is the close icon of the message box and the
    // information window).
    virtual void DrawSvgIcon(QPainter& painter, int32_t index, const QRectF& square) = 0;

    // --- Notices to the main window (GUI thread) ---

    // Stores the text as a message of the running measurement, or shows it in
    // the message box when box is set and no measurement runs; always adds a
    // time-stamped line to the event list; with tray set and a measurement
    // running, also shows it at the tray icon.
    virtual void AddEventMessage(const QString& text, bool tray, bool box) = 0;
    // Rebuilds the level-bar channel labels and has the bars repainted.
    virtual void UpdateVuLayout() = 0;
    // Redraws the channel labels of the VU meter.
    virtual void DrawVuLabels() = 0;
    // Ends the loudest-location search when it is on.
    virtual void StopFindPeak() = 0;
    // Hides and frees the information window when there is one.
    virtual void CloseInfoWindow() = 0;
    // Acts on an answer code of the information window; 0 only closes it.
    virtual void InfoAnswer(int32_t code) = 0;
    // Hide and show again the lower information area around a modal dialog.
    virtual void HideRunten() = 0;
    virtual void ShowRunten() = 0;
    // Colour scheme 0 or 1 is stored; any other value keeps the stored one.
    virtual void SetDisplayColors(int32_t scheme, bool force) = 0;
    virtual void ApplyLanguage(int32_t lang, bool force) = 0;
    // Stops and forgets a started WAV recorder.
    virtual void StopRecording() = 0;
    // Disables the input watchdog timer.
    virtual void DisableIoWatch() = 0;

    // --- Remote outputs (GUI thread) ---

    // Sets status-line slot 0..2; other slots are ignored.
    virtual void SetStatusInfo(int32_t slot, const QString& text) = 0;
    // The limit state of kLimitQuantityLeq, ...LeqK or ...Peak: -1 none yet,
    // 0 normal, 1 warning, 2 over the limit; -1 for any other quantity.
    virtual int32_t GetLimitState(int32_t quantity) = 0;
    // Resets the held slow-RMS maxima of the loudest-location search while
    // it is on; any thread (the web server's threads call it).
    virtual void ResetFindPeak() = 0;
};

inline constexpr int32_t kLimitQuantityLeq = 0;
inline constexpr int32_t kLimitQuantityLeqK = 1;
inline constexpr int32_t kLimitQuantityPeak = 2;

// The registered main window, or nullptr while none exists.
MainWindowServices* mainWindowServices();
void RegisterMainWindowServices(MainWindowServices* services);
