#pragma once
// Program-wide state that several parts of the program share: the sample
// rings of the input path, the run-state word, the settings held for the
// whole program, the main window's display values and one variable per
// long-lived shared object. The main window creates, sets and frees almost
// everything here; this unit only gives the starting values.
//
// A word that one thread writes and another reads is atomic. Everything else
// is written and read on the main thread, or handed to a worker before the
// worker starts.
#include <QByteArray>
#include <QRect>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/sync.h"
#include "platform/window_messages.h"

class TDaten;
class TSFTPManager;
class TVtNameCreator;
class TVtMidi;
class TKorrLocation;
class TArtNetControl;
class TIpHandling;
class TinfoWindow;
class TCalcer;
class TDMXData;
class TWertCreate;
class TCalLog;
class TOpenASIO;
class TVTPresetHandler;
class TWasAudio;

using TColor = uint32_t;  // 0x00BBGGRR, red in the low byte

// ---------------------------------------------------------------------------
// Text language
// ---------------------------------------------------------------------------

// Current user-interface language: 1 German, 2 English, -1 not chosen yet.
extern std::atomic<int32_t> language;

// ---------------------------------------------------------------------------
// Audio exchange
// ---------------------------------------------------------------------------

inline constexpr int32_t kSampleRingSize = 720000;     // 15 s at 48 kHz
inline constexpr int32_t kRecordingRingSize = 960000;  // 20 s at 48 kHz

// Samples of channel 1 (measuring input) and channel 2 (reference input),
// full scale 1.0. One producer at a time (the running input back-end); the
// calculation and VU threads read, each with its own SampleRingReader.
// Ordering rides on ringWritePos: the producer stores a whole block from
// Slot() on, then publishes it (release); a reader takes a snapshot
// (acquire), then reads up to it.
extern std::vector<double> sampleRing1;
extern std::vector<double> sampleRing2;

// The write position of the sample rings. One atomic word holds the samples
// written since the rings last started afresh and how often they did, so a
// reader sees a fresh start and the samples after it in one step: it can
// never take the jump back to slot 0 for a wrap and read old content again,
// and it can tell by the counts when the writer lapped it.
class SampleRingPosition {
public:
    // The slot the producer stores its next sample in.
    int32_t Slot() const;
    // The producer stored count samples from Slot() on (count below the
    // ring's length); makes them visible to the readers.
    void Publish(int32_t count);
    // The rings start afresh at slot 0: every reader reads only what is
    // written from now on. Not while a producer runs.
    void Restart();

    uint64_t Snapshot() const { return word_.load(std::memory_order_acquire); }
    static int64_t WrittenIn(uint64_t snapshot) { return static_cast<int64_t>(snapshot & kWrittenMask); }
    static uint32_t StartsIn(uint64_t snapshot) { return static_cast<uint32_t>(snapshot >> kWrittenBits); }

private:
    static constexpr int kWrittenBits = 48;
    static constexpr uint64_t kWrittenMask = (uint64_t{1} << kWrittenBits) - 1;
    std::atomic<uint64_t> word_{0};
};

extern SampleRingPosition ringWritePos;

// A reader's own place in the sample rings.
class SampleRingReader {
public:
    // The samples a reader lapped by the writer keeps: the newest that the
    // writer cannot be overwriting while they are read (one second of the
    // ring is left to it).
    static constexpr int32_t kWholeSamples = kSampleRingSize - 48000;

    // From now on: nothing written before this call is read.
    void SkipToNewest();
    // Samples ready from Position() on. After a fresh start of the rings the
    // reader begins at its first sample; a reader the writer lapped skips to
    // the newest kWholeSamples and counts what it skipped as lost.
    int32_t Pending();
    int32_t Position() const;
    void Consume(int32_t count);
    // Samples lost to laps since the last call.
    int64_t TakeLost() { return std::exchange(lost_, 0); }

private:
    uint32_t starts_ = 0;
    int64_t read_ = 0;  // samples since the rings' last start, read or skipped
    int64_t lost_ = 0;
};

// Sizes both rings to kSampleRingSize zeroed slots and starts the position afresh.
void AllocateSampleRings();

// Next slot after pos in a ring of the given size.
inline int32_t NextRingSlot(int32_t pos, int32_t size) { return pos + 1 >= size ? 0 : pos + 1; }

// The recording ring: the calculation thread copies its unweighted input into
// it, the WAV recorder reads it. It lives as long as the program: an audio
// start or stop resets it under its lock instead of freeing it, so the
// calculation thread can never copy into freed memory.
class RecordingRing {
public:
    RecordingRing();

    // Zeroes the contents and sets the write position to 0.
    void Reset();

    // Appends n samples at the write position, wrapping at the end, and
    // publishes the new position after the whole block.
    void Append(const double* samples, int32_t n);

    int32_t Size() const { return kRecordingRingSize; }
    int32_t Position() const { return position_.load(std::memory_order_acquire); }

    // Copies n samples starting at slot from (wrapping) into out; for the recorder.
    void Read(int32_t from, double* out, int32_t n) const;

    // Where the writer stands, and how many resets the ring has seen: a
    // reader that keeps both can tell stale slots from new ones.
    struct Mark {
        int32_t position = 0;
        uint32_t resets = 0;
    };
    Mark Where() const;
    // Read, but only when no reset happened since mark was taken; false
    // (and out untouched) when one did.
    bool ReadSince(const Mark& mark, int32_t from, double* out, int32_t n) const;

private:
    void CopyOut(int32_t from, double* out, int32_t n) const;  // under lock_

    mutable std::mutex lock_;
    std::vector<double> samples_;
    std::atomic<int32_t> position_{0};
    uint32_t resets_ = 0;  // under lock_
};

extern RecordingRing recRing;
inline constexpr int32_t recRingSize = kRecordingRingSize;

// Title written into WAV recordings (system ANSI code page); set by the main
// window at each measurement start, before a recorder of that run starts.
extern QByteArray RecordTitle;

// Clipping events counted by the VU thread (interlocked add); the main window
// reads it with an exchange and subtracts what it saw at the previous value.
extern std::atomic<int32_t> clipCounter;

// Set by the calculation thread when it has stopped; the main window's stop waits for it.
extern platform::AutoResetEvent calcStoppedEvent;

// ---------------------------------------------------------------------------
// ASIO back-end state (written while the driver is opened, read by its
// callbacks and threads)
// ---------------------------------------------------------------------------

struct TASIOBufferInfo {
    int32_t isInput = 0;
    int32_t channelNum = 0;
    void* buffers[2] = {nullptr, nullptr};
};

extern std::vector<TASIOBufferInfo> asioBufferInfos;
extern std::atomic<int32_t> asioBufferSize;
extern std::atomic<int32_t> asioInType;
extern std::atomic<int32_t> asioOutType;
extern std::atomic<int32_t> asioHalf;
extern platform::AutoResetEvent asioBufferEvent;
extern std::array<void*, 2> asioOutBuffers;
extern std::atomic<int32_t> asioOutBytes;
extern std::atomic<int32_t> asioNextFill;
extern std::atomic<int32_t> asioFillIndex;
extern platform::AutoResetEvent outputFillEvent;
extern platform::AutoResetEvent outputFillStopEvent;

// ---------------------------------------------------------------------------
// WASAPI state
// ---------------------------------------------------------------------------

extern bool wasapiAvailable;
extern QString wasIn;
extern QString wasOut;
extern std::atomic<bool> wasChannel1;
extern std::atomic<int32_t> wasInBits;
extern std::atomic<bool> wasInMono;

// ---------------------------------------------------------------------------
// Test signal
// ---------------------------------------------------------------------------

extern std::vector<double> noiseTable;
extern std::atomic<int32_t> noisePos;
// The linear gain of the test signal. Atomic, so that the device callback
// that refills the output never waits on the GUI that turns it.
extern std::atomic<double> outputGain;
extern std::atomic<bool> testSignalOn;

// ---------------------------------------------------------------------------
// Stores, windows and objects
// ---------------------------------------------------------------------------

extern std::atomic<TDaten*> defaultDaten;
extern std::atomic<TDaten*> messDaten;

// Target of every posted notification; posts go out only while mainReady.
extern std::atomic<platform::WindowHandle> mainWnd;
extern std::atomic<bool> mainReady;

extern std::atomic<int32_t> leqColorMode;
// 1 % of the energy of the Leq limit; starts for a 99 dB limit.
extern std::atomic<double> leqPercentRef;
inline constexpr double kStartLeqPercentRef = 0.01 * 7943282347.242815;  // 0.01 x 10^9.9
extern QRect graphRect;
extern std::atomic<int32_t> webClientLimit;
extern QString uiFontName;

// One connected web client.
struct TWebSession {
    QString ipAddress;
    double connected = 0.0;  // corrected time when the session started
    QString sessionID;
    QString clientId;
    int32_t clientMode = 0;
};

// The web sessions are changed by the web server's threads and read by the
// main thread, so the list keeps its own lock; readers get a copy.
class WebSessionList {
public:
    // Appends the session unless limit sessions are already present.
    bool AddUnlessFull(const TWebSession& session, int32_t limit);
    // Removes the last entry with this session id; later entries move down.
    bool RemoveLast(const QString& sessionID);
    bool Contains(const QString& sessionID) const;
    std::vector<TWebSession> Snapshot() const;
    int32_t Count() const;
    void Clear();

private:
    mutable std::mutex lock_;
    std::vector<TWebSession> sessions_;
};

extern WebSessionList webSessions;

// ---------------------------------------------------------------------------
// Settings held program-wide (loaded and saved by the main window)
// ---------------------------------------------------------------------------

extern std::atomic<int32_t> inputAssign;   // 1 measuring input only, 3 measuring and reference
extern std::atomic<int32_t> displayLayout; // colour scheme: 0 light, 1 dark
extern int32_t lastPresetId;
extern bool logoOnStop;
extern int32_t recPre, recPost, recMax;
extern bool recRecordP;
extern bool recUseSubDir;
extern bool allowPW, forcePW;
extern int32_t pwLength;
extern bool AllowKorrCalc;
extern bool blockWinExit;
extern QString lastProt;
extern TColor printColorLeq, printColorLeqK, printColorPeak, printColorGrid;
extern int32_t clModePre, clModePost;
extern int32_t clModePreset;

// Sets every program-wide setting of this unit to its default; the main window
// calls it before it reads the registry.
void SetSharedSettingDefaults();

inline constexpr int32_t kDefaultLanguage = -1;
inline constexpr int32_t kDefaultDisplayLayout = 1;

// A stored colour scheme other than light (0) or dark (1) means the default.
int32_t ValidDisplayLayout(int32_t stored);
// A stored language other than German (1) or English (2) means "not chosen".
int32_t ValidLanguage(int32_t stored);

// ---------------------------------------------------------------------------
// Run state
// ---------------------------------------------------------------------------

inline constexpr uint32_t kRunInput = 1;
inline constexpr uint32_t kRunOutput = 2;
inline constexpr uint32_t kRunSecondInput = 4;

extern std::atomic<uint32_t> runState;

void SetInputRunning(bool on);
void SetOutputRunning(bool on);
void SetSecondInputRunning(bool on);
void ClearRunState();
bool IsInputRunning();
bool IsOutputRunning();
bool IsSecondInputRunning();

// ---------------------------------------------------------------------------
// Display values of the main window (refreshed on new values; the value
// texts and the web server's threads read them)
// ---------------------------------------------------------------------------

extern std::array<std::atomic<double>, 3> appliedCalOffset;  // [0] Leq, [1] short-term Leq, [2] peak
extern std::atomic<double> rmsCalOffset;
extern std::atomic<double> dispLeq;
extern std::atomic<double> dispLeqFill;
extern std::atomic<double> dispLeqK;
extern std::atomic<int32_t> dispLeqKSeconds;
extern std::atomic<double> limitLeqK;
extern std::atomic<double> dispLeq120;
extern std::atomic<double> dispLeqFull;
extern std::atomic<double> dispMaxLeq;
extern std::atomic<double> dispMaxLeqTime;
extern std::atomic<double> dispMaxLeqK;
extern std::atomic<double> dispMaxLeqKTime;
extern std::atomic<double> peakAmp;
extern std::atomic<double> peakAmp2;
extern std::atomic<int32_t> BlinkMode;
extern std::atomic<int32_t> blinkPhase;
extern std::array<std::atomic<int32_t>, 4> areaChannel;  // areas Oben, Mitte, UntenL, UntenR
extern std::atomic<int32_t> pickArea;

// ---------------------------------------------------------------------------
// One variable per long-lived shared object; the main window creates and
// frees the objects, worker threads only read the references.
// ---------------------------------------------------------------------------

extern std::atomic<TSFTPManager*> sftpManager;
extern std::atomic<TVtNameCreator*> nameCreator;
extern std::atomic<TVtMidi*> midiDevice;
extern std::atomic<TKorrLocation*> korrLocation;
extern std::atomic<TArtNetControl*> artNetControl;
extern std::atomic<TIpHandling*> ipHandling;
extern std::atomic<TinfoWindow*> infoWindow;
extern std::atomic<TCalcer*> calcer;
extern std::atomic<TDMXData*> dmxData;
extern std::atomic<TWertCreate*> wertCreate;
extern std::atomic<TCalLog*> calLog;
extern std::atomic<TOpenASIO*> openAsio;
extern std::atomic<TVTPresetHandler*> presetHandler;
extern std::atomic<TWasAudio*> wasapiLayer;
