#pragma once
// The pieces that the wave interface and the core-audio stand-in share: an
// integer PCM format, the conversion of full-scale doubles into it, a
// capture and a playback stream that a device back-end (ALSA, PulseAudio or
// a simulated device) implements, and the interrupt that ends a blocking
// read or write when the owner stops or closes the stream.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

// Interleaved little-endian signed integers, left sample first.
struct PcmFormat {
    int32_t channels = 2;
    int32_t bits = 16;       // 16, 24 or 32
    int32_t rate = 48000;

    int32_t BytesPerSample() const { return bits / 8; }
    int32_t BlockAlign() const { return channels * BytesPerSample(); }
    bool IsValid() const;
};

// Largest positive sample of the format's width: 32767, 8388607 or 2147483647.
int64_t FullScale(int32_t bits);

// Writes frames of interleaved doubles (full scale 1.0) into out in the
// format. Each value is scaled by the full-scale sample, rounded to the
// nearest integer (halves to even) and saturated at both ends of the range,
// so a sample above full scale clips instead of wrapping around.
void StoreSamples(const double* in, int32_t frames, const PcmFormat& format, uint8_t* out);

// Raised by the owner of a stream to end a blocking read or write at once.
class StreamInterrupt {
public:
    void Raise();
    void Clear();
    bool Raised() const;
    // Sleeps until deadline; false when the interrupt was raised first.
    bool SleepUntil(std::chrono::steady_clock::time_point deadline);

private:
    mutable std::mutex lock_;
    std::condition_variable wake_;
    bool raised_ = false;
};

// A capture stream, opened in one format. Every call comes from one thread
// at a time.
class PcmCapture {
public:
    virtual ~PcmCapture() = default;
    // Begins capturing; after Stop, a Start begins afresh. 0 or a wave error code.
    virtual uint32_t Start() = 0;
    virtual void Stop() = 0;
    // Reads up to frames frames into dst and blocks until they are there.
    // Answers the frames read: fewer when the interrupt was raised, negative
    // when the device failed and delivers nothing more.
    virtual int32_t Read(uint8_t* dst, int32_t frames, StreamInterrupt& interrupt) = 0;
};

// A playback stream, opened in one format. Every call comes from one thread
// at a time.
class PcmPlayback {
public:
    virtual ~PcmPlayback() = default;
    // Plays frames from src; blocks while the device has no room. Answers the
    // frames taken: fewer when the interrupt was raised, negative when the
    // device failed.
    virtual int32_t Write(const uint8_t* src, int32_t frames, StreamInterrupt& interrupt) = 0;
    // Drops what is still waiting to be played; the next Write starts afresh.
    virtual void Stop() = 0;
};

}  // namespace platform
