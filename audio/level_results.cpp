#include "audio/level_results.h"

platform::CriticalSection valueLock;

std::atomic<double> qFactor{0.0};
std::array<std::atomic<double>, 3> calOffset{};
std::atomic<int32_t> peakWindowSamples{0};

int32_t leqWindowBlocks = 0;
double curLeq = 0.0;
double curLeqFactor = 0.0;
int32_t leqBlocksDone = 0;
double curLeqK1 = 0.0;
double curLeqK2 = 0.0;
int32_t leqKBlocksDone = 0;
double curLeq120 = 0.0;
double curLeqFull = 0.0;
double peakHold1 = 0.0;
double peakHold2 = 0.0;
double rmsSlowAmp = 0.0;
double rmsFastAmp = 0.0;
double rmsSlowAmp2 = 0.0;
double rmsPSlowAmp = 0.0;
double rmsPFastAmp = 0.0;
double rmsSlowMax = 0.0;
double rmsPSlowMax = 0.0;
double topLeq = 0.0;
double topLeqK = 0.0;
double topPeak = 0.0;
platform::TDateTime topLeqTime = 0.0;
platform::TDateTime topLeqKTime = 0.0;
platform::TDateTime topPeakTime = 0.0;
double blockPeak = 0.0;
platform::TDateTime blockPeakTime = -1.0;
platform::TDateTime nextBlockTimeUtc = 0.0;
TBlockDaten8 lastBlock;
TBlockDaten8 lastIntervalBlock;
TSaveIT6 lastSaveRecord;
