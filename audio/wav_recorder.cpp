#include "audio/wav_recorder.h"

#include <QFileInfo>
#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "platform/files.h"
#include "ui_kit/notifications.h"

namespace {

constexpr uint32_t kHeaderBytes = 44;
// The RIFF sizes are 32 bits: a recording stops before its file would pass them.
constexpr int64_t kMaxDataBytes = std::numeric_limits<uint32_t>::max() - 0x10000;
constexpr int64_t kTicksPerSecond = 1000 / TRecordIt::kTickMs;
constexpr int64_t kMaxSeconds = std::numeric_limits<int32_t>::max() / kTicksPerSecond;

void PutTag(QByteArray& out, const char* tag) { out.append(tag, 4); }

void PutU32(QByteArray& out, uint32_t value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void PutU16(QByteArray& out, uint16_t value) {
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void SetU32(QByteArray& out, int offset, uint32_t value) { qToLittleEndian(value, out.data() + offset); }

// One INFO sub-chunk of a text with its terminating 0. A chunk of odd size
// gets the pad byte RIFF asks for (its size field stays as it is): readers
// that follow the rule lose every later sub-chunk without it.
void PutInfoText(QByteArray& out, const char* tag, const QByteArray& text) {
    PutTag(out, tag);
    PutU32(out, static_cast<uint32_t>(text.size() + 1));
    out.append(text);
    out.append('\0');
    if ((text.size() + 1) % 2 != 0) out.append('\0');
}

int32_t ClampSeconds(int64_t seconds) { return static_cast<int32_t>(std::clamp<int64_t>(seconds, 0, kMaxSeconds)); }

}  // namespace

TRecordIt::TRecordIt(Notify notify, RecordingRing& ring)
    : platform::TThread("Recorder"), notify_(std::move(notify)), ring_(ring) {
    SetFailureCode(kThreadFailureRecorder);
}

TRecordIt::~TRecordIt() { Stop(); }

void TRecordIt::Init(const QString& fileName, int64_t preRunSamples, int64_t runOnSeconds, int32_t trackId,
                     int64_t maxSeconds) {
    fnl_ = fileName;
    title_ = RecordTitle;
    // The trigger came from what the ring held now: after a reset it holds
    // something else, and the body must not take that as the pre-run.
    last_ = ring_.Where();
    // The pre-run must come from slots the writer cannot reach again before
    // the first tick has read them.
    prl_ = static_cast<int32_t>(std::clamp<int64_t>(preRunSamples, 0, ring_.Size() - kTickSamples));
    rtl_ = ClampSeconds(runOnSeconds) * kTicksPerSecond;
    tidl_ = trackId;
    mzl_ = ClampSeconds(maxSeconds) * kTicksPerSecond;
}

void TRecordIt::ReTrigger() { cdc_.exchange(rtl_); }

void TRecordIt::StopRec() { stopIt_.store(true); }

int16_t TRecordIt::ToPcm16(double sample) {
    if (std::isnan(sample)) return 0;
    const double scaled = std::nearbyint(sample * 32767.0);  // the default rounding: half to even
    return static_cast<int16_t>(std::clamp(scaled, -32768.0, 32767.0));
}

void TRecordIt::AppendSamples(int32_t from, int32_t count) {
    std::vector<double> samples(static_cast<size_t>(count));
    if (!ring_.ReadSince(last_, from, samples.data(), count)) {
        // A reset zeroed the ring: what follows is not the recorded input.
        ringLost_ = true;
        stopIt_.store(true);
        return;
    }
    const qsizetype start = pcm_.size();
    pcm_.resize(start + 2 * static_cast<qsizetype>(count));
    char* out = pcm_.data() + start;
    for (double sample : samples) {
        qToLittleEndian(ToPcm16(sample), out);
        out += 2;
    }
}

void TRecordIt::Begin() {
    const RecordingRing::Mark now = ring_.Where();
    if (now.resets == last_.resets) {
        last_ = now;
        AppendSamples(last_.position - prl_, prl_);
    } else {
        ringLost_ = true;
        stopIt_.store(true);
    }
    ReTrigger();
}

bool TRecordIt::Tick() {
    const RecordingRing::Mark now = ring_.Where();
    if (ringLost_ || now.resets != last_.resets) {
        ringLost_ = true;
        stopIt_.store(true);
    } else if (now.position != last_.position) {
        int32_t count = now.position - last_.position;
        if (count < 0) count += ring_.Size();
        AppendSamples(last_.position, count);
        last_ = now;
    }
    const int32_t runOnLeft = cdc_.fetch_sub(1) - 1;
    --mzl_;
    if (runOnLeft < 0 || mzl_ < 0 || Terminated() || pcm_.size() >= kMaxDataBytes) stopIt_.store(true);
    return !stopIt_.load();
}

QByteArray TRecordIt::WaveFile(const QByteArray& pcm, const QByteArray& title, int32_t trackId) {
    QByteArray file;
    file.reserve(pcm.size() + 128 + title.size());
    PutTag(file, "RIFF");
    PutU32(file, 0);
    PutTag(file, "WAVE");
    PutTag(file, "fmt ");
    PutU32(file, 16);
    PutU16(file, 1);
    PutU16(file, 1);
    PutU32(file, kSampleRate);
    PutU32(file, kSampleRate * 2);
    PutU16(file, 2);
    PutU16(file, 16);
    PutTag(file, "data");
    PutU32(file, static_cast<uint32_t>(pcm.size()));
    file.append(pcm);
    const qsizetype listStart = file.size();
    PutTag(file, "LIST");
    PutU32(file, 0);
    PutTag(file, "INFO");
    if (!title.isEmpty()) PutInfoText(file, "INAM", title);
    PutInfoText(file, "ITRK", QByteArray::number(trackId));
    PutInfoText(file, "IART", QByteArray(kArtist));
    SetU32(file, static_cast<int>(listStart + 4), static_cast<uint32_t>(file.size() - listStart - 8));
    SetU32(file, 4, static_cast<uint32_t>(file.size() - 8));
    return file;
}

void TRecordIt::Finish() {
    QString error;
    if (!platform::WriteFileAtomically(fnl_, WaveFile(pcm_, title_, tidl_), &error)) {
        Fail();
        return;
    }
    Report(kNotifyRecorderEnded, tidl_);
}

void TRecordIt::Fail() {
    // The target check left an empty file to test the name; an empty file
    // is no recording.
    const QFileInfo target(fnl_);
    if (target.isFile() && target.size() == 0) QFile::remove(fnl_);
    Report(kNotifyThreadFailure, kThreadFailureRecorder);
}

void TRecordIt::Report(uintptr_t code, intptr_t argument) {
    reported_.store(true, std::memory_order_release);
    if (notify_) notify_(code, argument);
    else PostMainNotifyAlways(code, argument);
}

void TRecordIt::Execute() {
    try {
        Begin();
        while (true) {
            WaitForTerminate(kTickMs);
            if (!Tick()) break;
        }
        Finish();
    } catch (...) {
        Fail();
    }
}
