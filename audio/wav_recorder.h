#pragma once
// The WAV recorder TRecordIt: a worker that records the measuring input from
// the recording ring around an event. It takes a pre-run from the past, then
// everything that arrives while it runs; it runs on for a set time after the
// last trigger, never longer than a set maximum, and then writes a mono
// 16-bit PCM WAV file at 48 kHz with a LIST/INFO chunk.
//
// Its end is reported by a notification: 74 with the track id when the file
// was written, 72 with 2 when the recording failed. The owner keeps the
// object until then (it does not free itself) and joins it afterwards.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/threads.h"
#include "ui_kit/shared_state.h"

class TRecordIt : public platform::TThread {
public:
    using Notify = std::function<void(uintptr_t code, intptr_t argument)>;

    static constexpr int32_t kSampleRate = 48000;
    static constexpr int32_t kTickMs = 250;
    static constexpr int32_t kTickSamples = kSampleRate * kTickMs / 1000;
    // The fixed artist text of every recording (11 ASCII characters).
    static constexpr char kArtist[] = "Veltaro Rec";

    // notify: empty posts to the main window whether or not it is ready.
    explicit TRecordIt(Notify notify = {}, RecordingRing& ring = recRing);
    ~TRecordIt() override;

    // Negative values count as 0; a pre-run longer than the ring minus one
    // tick and times whose tick counts leave 32 bits are cut to fit.
    void Init(const QString& fileName, int64_t preRunSamples, int64_t runOnSeconds, int32_t trackId,
              int64_t maxSeconds);
    // The run-on time starts again.
    void ReTrigger();
    // The recording ends at the end of the current tick and is written.
    void StopRec();

    // Set once the body has posted its end (74 or 72); the owner may join it then.
    bool Reported() const { return reported_.load(std::memory_order_acquire); }

    // The steps of the body, public so a test can drive them without wall
    // time: the pre-run, one tick (after the 250 ms wait), and writing the
    // file with the end's notification. Tick answers whether to go on.
    void Begin();
    bool Tick();
    void Finish();

    int64_t RecordedSamples() const { return pcm_.size() / 2; }

    // The whole file for samples and the INFO texts; public for the tests of
    // the layout.
    static QByteArray WaveFile(const QByteArray& pcm, const QByteArray& title, int32_t trackId);
    // A ring sample (full scale 1.0) as 16 bits, rounded half to even and
    // held at the ends of the range.
    static int16_t ToPcm16(double sample);

protected:
    void Execute() override;

private:
    void AppendSamples(int32_t from, int32_t count);
    void Fail();
    void Report(uintptr_t code, intptr_t argument);

    const Notify notify_;
    RecordingRing& ring_;
    QString fnl_;
    QByteArray title_;  // RecordTitle when Init ran: a later run may change it
    int32_t prl_ = 0;
    std::atomic<bool> stopIt_{false};
    int32_t rtl_ = 0;
    int32_t tidl_ = 0;
    int32_t mzl_ = 0;
    std::atomic<int32_t> cdc_{0};
    RecordingRing::Mark last_;
    bool ringLost_ = false;  // reset since Init: nothing more to take from it
    QByteArray pcm_;
    std::atomic<bool> reported_{false};
};
