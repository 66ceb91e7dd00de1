#pragma once
// Reads a WAV recording back through libsndfile, a reader the program does
// not share code with: what it finds is what other programs will find.
#include <sndfile.h>

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace test_support {

struct WavReadBack {
    bool opened = false;
    int sampleRate = 0;
    int channels = 0;
    int format = 0;
    std::vector<int16_t> samples;
    std::string title, track, artist;
};

inline std::string SfText(SNDFILE* file, int kind) {
    const char* text = sf_get_string(file, kind);
    return text != nullptr ? std::string(text) : std::string();
}

inline WavReadBack ReadWav(const QString& path) {
    WavReadBack wav;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (file == nullptr) return wav;
    wav.opened = true;
    wav.sampleRate = info.samplerate;
    wav.channels = info.channels;
    wav.format = info.format;
    wav.samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    wav.samples.resize(static_cast<size_t>(sf_read_short(file, wav.samples.data(), info.frames * info.channels)));
    wav.title = SfText(file, SF_STR_TITLE);
    wav.track = SfText(file, SF_STR_TRACKNUMBER);
    wav.artist = SfText(file, SF_STR_ARTIST);
    sf_close(file);
    return wav;
}

}  // namespace test_support
