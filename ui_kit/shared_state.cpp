#include "ui_kit/shared_state.h"

#include "platform/tsan_annotations.h"

#include <algorithm>

#include "ui_kit/notifications.h"

std::atomic<int32_t> language{kDefaultLanguage};

// --- audio exchange ---------------------------------------------------------

std::vector<double> sampleRing1;
std::vector<double> sampleRing2;
SampleRingPosition ringWritePos;

int32_t SampleRingPosition::Slot() const {
    return static_cast<int32_t>(WrittenIn(word_.load(std::memory_order_relaxed)) % kSampleRingSize);
}

void SampleRingPosition::Publish(int32_t count) {
    word_.fetch_add(static_cast<uint64_t>(count), std::memory_order_acq_rel);
    // The producer writes a slot again only a lap later, long after every
    // reader is done with it (a lapped reader keeps a second's distance); the
    // readers' Consume is the hand-over ThreadSanitizer needs to see that.
    platform::TakenOver(this);
}

void SampleRingPosition::Restart() {
    const uint64_t starts = StartsIn(word_.load(std::memory_order_relaxed)) + 1;
    word_.store(starts << kWrittenBits, std::memory_order_release);
}

void SampleRingReader::SkipToNewest() {
    const uint64_t now = ringWritePos.Snapshot();
    starts_ = SampleRingPosition::StartsIn(now);
    read_ = SampleRingPosition::WrittenIn(now);
}

int32_t SampleRingReader::Pending() {
    const uint64_t now = ringWritePos.Snapshot();
    if (SampleRingPosition::StartsIn(now) != starts_) {
        starts_ = SampleRingPosition::StartsIn(now);
        read_ = 0;
    }
    const int64_t written = SampleRingPosition::WrittenIn(now);
    const int64_t behind = written - read_;
    if (behind < 0) {
        read_ = written;  // only a reader used across two rings' lives gets here
    } else if (behind > kWholeSamples) {
        lost_ += behind - kWholeSamples;
        read_ = written - kWholeSamples;
    }
    return static_cast<int32_t>(written - read_);
}

int32_t SampleRingReader::Position() const { return static_cast<int32_t>(read_ % kSampleRingSize); }

void SampleRingReader::Consume(int32_t count) {
    read_ += count;
    platform::HandedOver(&ringWritePos);  // the slots read may be written again
}

void AllocateSampleRings() {
    sampleRing1.assign(kSampleRingSize, 0.0);
    sampleRing2.assign(kSampleRingSize, 0.0);
    ringWritePos.Restart();
}

RecordingRing::RecordingRing() : samples_(kRecordingRingSize, 0.0) {}

void RecordingRing::Reset() {
    std::lock_guard guard(lock_);
    std::fill(samples_.begin(), samples_.end(), 0.0);
    position_.store(0, std::memory_order_release);
    ++resets_;
}

void RecordingRing::Append(const double* samples, int32_t n) {
    std::lock_guard guard(lock_);
    int32_t pos = position_.load(std::memory_order_relaxed);
    while (n > 0) {
        const int32_t run = std::min(n, kRecordingRingSize - pos);
        std::copy(samples, samples + run, samples_.begin() + pos);
        samples += run;
        n -= run;
        pos = (pos + run) % kRecordingRingSize;
    }
    position_.store(pos, std::memory_order_release);
}

RecordingRing::Mark RecordingRing::Where() const {
    std::lock_guard guard(lock_);
    return Mark{position_.load(std::memory_order_relaxed), resets_};
}

bool RecordingRing::ReadSince(const Mark& mark, int32_t from, double* out, int32_t n) const {
    std::lock_guard guard(lock_);
    if (resets_ != mark.resets) return false;
    CopyOut(from, out, n);
    return true;
}

void RecordingRing::Read(int32_t from, double* out, int32_t n) const {
    std::lock_guard guard(lock_);
    CopyOut(from, out, n);
}

void RecordingRing::CopyOut(int32_t from, double* out, int32_t n) const {
    int32_t pos = ((from % kRecordingRingSize) + kRecordingRingSize) % kRecordingRingSize;
    while (n > 0) {
        const int32_t run = std::min(n, kRecordingRingSize - pos);
        std::copy(samples_.begin() + pos, samples_.begin() + pos + run, out);
        out += run;
        n -= run;
        pos = (pos + run) % kRecordingRingSize;
    }
}

RecordingRing recRing;
QByteArray RecordTitle;
std::atomic<int32_t> clipCounter{0};
platform::AutoResetEvent calcStoppedEvent;

// --- ASIO -------------------------------------------------------------------

std::vector<TASIOBufferInfo> asioBufferInfos;
std::atomic<int32_t> asioBufferSize{0};
std::atomic<int32_t> asioInType{0};
std::atomic<int32_t> asioOutType{0};
std::atomic<int32_t> asioHalf{0};
platform::AutoResetEvent asioBufferEvent;
std::array<void*, 2> asioOutBuffers{nullptr, nullptr};
std::atomic<int32_t> asioOutBytes{0};
std::atomic<int32_t> asioNextFill{0};
std::atomic<int32_t> asioFillIndex{0};
platform::AutoResetEvent outputFillEvent;
platform::AutoResetEvent outputFillStopEvent;

// --- WASAPI -------------------------------------------------------------------

bool wasapiAvailable = false;
QString wasIn;
QString wasOut;
std::atomic<bool> wasChannel1{false};
std::atomic<int32_t> wasInBits{0};
std::atomic<bool> wasInMono{false};

// --- test signal --------------------------------------------------------------

std::vector<double> noiseTable;
std::atomic<int32_t> noisePos{0};
std::atomic<double> outputGain{0.0};
std::atomic<bool> testSignalOn{false};

// --- stores, windows and objects ------------------------------------------------

std::atomic<TDaten*> defaultDaten{nullptr};
std::atomic<TDaten*> messDaten{nullptr};
std::atomic<platform::WindowHandle> mainWnd{0};
std::atomic<bool> mainReady{false};
std::atomic<int32_t> leqColorMode{0};
std::atomic<double> leqPercentRef{kStartLeqPercentRef};
QRect graphRect;
std::atomic<int32_t> webClientLimit{0};
QString uiFontName;

bool WebSessionList::AddUnlessFull(const TWebSession& session, int32_t limit) {
    std::lock_guard guard(lock_);
    if (static_cast<int32_t>(sessions_.size()) >= limit) return false;
    sessions_.push_back(session);
    return true;
}

bool WebSessionList::RemoveLast(const QString& sessionID) {
    std::lock_guard guard(lock_);
    for (auto it = sessions_.rbegin(); it != sessions_.rend(); ++it) {
        if (it->sessionID == sessionID) {
            sessions_.erase(std::next(it).base());
            return true;
        }
    }
    return false;
}

bool WebSessionList::Contains(const QString& sessionID) const {
    std::lock_guard guard(lock_);
    return std::any_of(sessions_.begin(), sessions_.end(),
                       [&](const TWebSession& s) { return s.sessionID == sessionID; });
}

std::vector<TWebSession> WebSessionList::Snapshot() const {
    std::lock_guard guard(lock_);
    return sessions_;
}

int32_t WebSessionList::Count() const {
    std::lock_guard guard(lock_);
    return static_cast<int32_t>(sessions_.size());
}

void WebSessionList::Clear() {
    std::lock_guard guard(lock_);
    sessions_.clear();
}

WebSessionList webSessions;

// --- program-wide settings ------------------------------------------------------

std::atomic<int32_t> inputAssign{1};
std::atomic<int32_t> displayLayout{kDefaultDisplayLayout};
int32_t lastPresetId = -2;
bool logoOnStop = false;
int32_t recPre = 1, recPost = 4, recMax = 60;
bool recRecordP = false;
bool recUseSubDir = true;
bool allowPW = false, forcePW = false;
int32_t pwLength = 0;
bool AllowKorrCalc = false;
bool blockWinExit = false;
QString lastProt;
TColor printColorLeq = 0x800000, printColorLeqK = 0x00FF00, printColorPeak = 0x0000FF,
       printColorGrid = 0x808080;
int32_t clModePre = 0, clModePost = 3;
int32_t clModePreset = 4099;

void SetSharedSettingDefaults() {
    inputAssign = 1;
    displayLayout = kDefaultDisplayLayout;
    lastPresetId = -2;
    logoOnStop = false;
    recPre = 1;
    recPost = 4;
    recMax = 60;
    recRecordP = false;
    recUseSubDir = true;
    allowPW = false;
    forcePW = false;
    pwLength = 0;
    AllowKorrCalc = false;
    blockWinExit = false;
    lastProt.clear();
    printColorLeq = 0x800000;
    printColorLeqK = 0x00FF00;
    printColorPeak = 0x0000FF;
    printColorGrid = 0x808080;
    clModePre = 0;
    clModePost = 3;
    clModePreset = 4099;
    BlinkMode = 0;
    areaChannel[0] = 2;
    areaChannel[1] = 1;
    areaChannel[2] = 3;
    areaChannel[3] = 4;
}

int32_t ValidDisplayLayout(int32_t stored) {
    return (stored == 0 || stored == 1) ? stored : kDefaultDisplayLayout;
}

int32_t ValidLanguage(int32_t stored) {
    return (stored == 1 || stored == 2) ? stored : kDefaultLanguage;
}

// --- run state ------------------------------------------------------------------

std::atomic<uint32_t> runState{0};

void SetInputRunning(bool on) {
    if (!on) {
        runState.fetch_and(~kRunInput);
        return;
    }
    const uint32_t state = runState.fetch_or(kRunInput) | kRunInput;
    if (mainReady.load())
        platform::PostMessage(mainWnd.load(), WM_INPUT_RUNNING, kInputRunningCode, state);
}

void SetOutputRunning(bool on) {
    if (on) runState.fetch_or(kRunOutput);
    else runState.fetch_and(~kRunOutput);
}

void SetSecondInputRunning(bool on) {
    if (on) runState.fetch_or(kRunSecondInput);
    else runState.fetch_and(~kRunSecondInput);
}

void ClearRunState() { runState.store(0); }
bool IsInputRunning() { return runState.load() & kRunInput; }
bool IsOutputRunning() { return runState.load() & kRunOutput; }
bool IsSecondInputRunning() { return runState.load() & kRunSecondInput; }

// --- display values ---------------------------------------------------------------

std::array<std::atomic<double>, 3> appliedCalOffset{};
std::atomic<double> rmsCalOffset{0.0};
std::atomic<double> dispLeq{0.0};
std::atomic<double> dispLeqFill{0.0};
std::atomic<double> dispLeqK{0.0};
std::atomic<int32_t> dispLeqKSeconds{0};
std::atomic<double> limitLeqK{0.0};
std::atomic<double> dispLeq120{0.0};
std::atomic<double> dispLeqFull{0.0};
std::atomic<double> dispMaxLeq{0.0};
std::atomic<double> dispMaxLeqTime{0.0};
std::atomic<double> dispMaxLeqK{0.0};
std::atomic<double> dispMaxLeqKTime{0.0};
std::atomic<double> peakAmp{0.0};
std::atomic<double> peakAmp2{0.0};
std::atomic<int32_t> BlinkMode{0};
std::atomic<int32_t> blinkPhase{0};
std::array<std::atomic<int32_t>, 4> areaChannel{2, 1, 3, 4};
std::atomic<int32_t> pickArea{0};

// --- shared objects ------------------------------------------------------------------

std::atomic<TSFTPManager*> sftpManager{nullptr};
std::atomic<TVtNameCreator*> nameCreator{nullptr};
std::atomic<TVtMidi*> midiDevice{nullptr};
std::atomic<TKorrLocation*> korrLocation{nullptr};
std::atomic<TArtNetControl*> artNetControl{nullptr};
std::atomic<TIpHandling*> ipHandling{nullptr};
std::atomic<TinfoWindow*> infoWindow{nullptr};
std::atomic<TCalcer*> calcer{nullptr};
std::atomic<TDMXData*> dmxData{nullptr};
std::atomic<TWertCreate*> wertCreate{nullptr};
std::atomic<TCalLog*> calLog{nullptr};
std::atomic<TOpenASIO*> openAsio{nullptr};
std::atomic<TVTPresetHandler*> presetHandler{nullptr};
std::atomic<TWasAudio*> wasapiLayer{nullptr};
