#include "platform/pcm_streams.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

bool PcmFormat::IsValid() const {
    return (bits == 16 || bits == 24 || bits == 32) && channels >= 1 && channels <= 8 && rate >= 8000 &&
           rate <= 384000;
}

int64_t FullScale(int32_t bits) { return (int64_t{1} << (bits - 1)) - 1; }

namespace {

int64_t SaturatedSample(double v, int32_t bits) {
    const double full = static_cast<double>(FullScale(bits));
    const double scaled = std::nearbyint(v * full);
    if (std::isnan(scaled)) return 0;
    if (scaled < -full - 1.0) return -FullScale(bits) - 1;
    if (scaled > full) return FullScale(bits);
    return static_cast<int64_t>(scaled);
}

void PutLittleEndian(uint8_t* out, int64_t value, int32_t bytes) {
    const auto u = static_cast<uint64_t>(value);
    for (int32_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace

void StoreSamples(const double* in, int32_t frames, const PcmFormat& format, uint8_t* out) {
    const int32_t bytes = format.BytesPerSample();
    const int64_t count = int64_t{frames} * format.channels;
    for (int64_t i = 0; i < count; ++i) {
        PutLittleEndian(out, SaturatedSample(in[i], format.bits), bytes);
        out += bytes;
    }
}

void StreamInterrupt::Raise() {
    {
        std::lock_guard guard(lock_);
        raised_ = true;
    }
    wake_.notify_all();
}

void StreamInterrupt::Clear() {
    std::lock_guard guard(lock_);
    raised_ = false;
}

bool StreamInterrupt::Raised() const {
    std::lock_guard guard(lock_);
    return raised_;
}

bool StreamInterrupt::SleepUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(lock_);
    return !wake_.wait_until(lock, deadline, [this] { return raised_; });
}

}  // namespace platform
