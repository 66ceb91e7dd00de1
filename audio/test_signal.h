#pragma once
// The test signal: pink noise from one table of samples, built once when the
// main window is created and played in a loop by the output of whichever
// interface runs (wave output callback, ASIO output filler, WASAPI render
// thread). The level is set in whole dB through a ramp of single steps and a
// menu of fixed levels; the sound is switched on and off with notification
// 18 and its level set with notification 19.
//
// Start, stop and the level run on the main thread; the fillers read the
// table and the gain on their own threads.
#include <QString>

#include <cstdint>
#include <vector>

#include "platform/sync.h"

// Guards outputGain against a filler reading it half-set by the GUI; every
// holder keeps it only for a word or two.
extern platform::CriticalSection outputGainLock;

namespace uBiQuad {

// Coefficients of one second-order section: a feed-forward, b feedback.
struct TParam {
    double a0 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
    double b1 = 0.0;
    double b2 = 0.0;
};

// Filter kinds of TBiQuad.
enum : int32_t {
    kLowPass = 0,
    kHighPass = 1,
    kBandPass = 2,
    kNotch = 3,
    kPeak = 4,
    kLowShelf = 5,
    kHighShelf = 6,
    kAllPass = 7,
};

// The noise generator's second-order filter (the weighting filters have a
// class of their own). Every setter answers the coefficients of all four
// parameters; an unknown kind keeps the last coefficients.
class TBiQuad {
public:
    TBiQuad() { InitValues(); }

    void InitValues();
    TParam SetArt(int32_t kind);
    TParam SetQ(double q);
    TParam SetFc(double fc);
    TParam SetPeakGain(double gainDb);
    TParam SetBiquad(int32_t kind, double fc, double q, double gainDb);
    double Process(double sample) const { return sample; }

    // Filters x[0] .. x[lastIndex] in place as one period of a loop: the
    // section first runs over the end of the array, so the start continues
    // where the end leaves off. Arrays of 10 samples or fewer stay as they are.
    static void DoBiQuad(double* x, int32_t lastIndex, const TParam& p);

    int32_t art = 0;
    double Fc = 0.5;   // corner frequency as a fraction of the sample rate
    double Q = 0.0;
    double peakGain = 0.0;  // dB
    double z1 = 0.0;
    double z2 = 0.0;

private:
    TParam Coefficients();
    TParam param_;
};

}  // namespace uBiQuad

// Table lengths: four seconds at 48 kHz, or at 96 kHz.
inline constexpr int32_t kNoiseTableLength = 192000;
inline constexpr int32_t kNoiseTableLength96 = 384000;

// Output levels of the ramp and the menu, in dB.
inline constexpr int32_t kLowestOutputLevel = -80;
inline constexpr int32_t kHighestOutputLevel = 0;

// Fills the whole noiseTable: the same noise at every build, scaled to a
// largest absolute sample of 1.0. With doubling, each value is written
// twice and the table low-passed, for a driver at 96 kHz.
void MakePinkNoise(bool doubling);
// Sizes and fills noiseTable under the main window's csPink and rewinds the
// read position; the length and the doubling follow asio96 and IOMode.
void InitPinkNoiseBuffer();

// The gain a filler applies now: outputGain while the sound is on, else 0.
double CurrentOutputGain();
// value x full scale, rounded halves to even and held within the sample
// width: a value beyond full scale clips instead of wrapping round.
int32_t OutputSample(double value, double fullScale);
// Writes frames of the table at the gain (x fullScale) into both samples of
// each little-endian frame of the given byte width, advancing noisePos; a
// width other than 2, 3 or 4 writes nothing. For the WASAPI render thread
// and tests.
void FillNoiseFrames(uint8_t* out, uint32_t frames, int32_t bytesPerSample, double gain);

// Starts the output of the current interface with the sound off; nothing
// when that interface has no output chosen or the table is empty.
void StartPinkNoise();
// Stops the output of the current interface; nothing while none runs.
void StopAudioOut();
// Sets the level (dB) and the gain, and has the level bar repainted.
void SetLevel(double db);

// Notification 18: the sound on (1) or off (any other argument); only while
// the correction wizard is open or the loudest-location search runs (status
// 1 or 4). Answers whether it acted (the caller then repaints the peak
// display).
bool TestSignalSwitch(intptr_t argument);
// Notification 19.
void TestSignalLevel(intptr_t argument);

// One step of the level ramp from current: tag 1 down, 2 up, any other tag
// stays; kept within the ramp's levels. The ramp stops when the answer
// equals current.
int32_t RampStep(int32_t current, int32_t tag);

// The level menu: its captions and levels, and the request of one item
// (notification 19 when the level lies in the ramp's range and differs from
// the current one). Answers whether it posted.
struct LevelMenuItem {
    QString caption;
    int32_t level;
};
std::vector<LevelMenuItem> LevelMenuItems();
bool N60dB2Click(int32_t level);
