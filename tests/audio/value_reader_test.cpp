#include "audio/value_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <mutex>

#include "audio/level_math.h"
#include "audio/level_results.h"

namespace {

// The records are packed: their fields are read by value, never bound to a
// reference (which the assertion macros would do).
template <typename T>
T Copy(T value) {
    return value;
}

// Publishes results the way the calculation thread does, under the value lock.
class ValueReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        q = ComputeQFactor();
        qFactor.store(q);
        calOffset[2].store(120.0);
        peakWindowSamples.store(6000);
        std::lock_guard guard(valueLock);
        curLeq = curLeqFactor = curLeqK1 = curLeqK2 = curLeq120 = curLeqFull = 0.0;
        leqBlocksDone = leqKBlocksDone = leqWindowBlocks = 0;
        peakHold1 = peakHold2 = topLeq = topLeqK = topPeak = blockPeak = 0.0;
        lastBlock = TBlockDaten8{};
    }

    TSaveIT6 Record(int32_t id, double leqDb) const {
        TSaveIT6 r;
        r.id = id;
        r.valDif = 0;
        r.TimeStamp = 45000.0 + id;
        r.clipCount = 3;
        r.Peak = 3000.0;  // a full-scale sine over the 6000-sample window
        r.LeqK = EnergyOfLevel(leqDb + 1.0, q);
        r.leq = EnergyOfLevel(leqDb, q);
        return r;
    }

    double q = 0.0;
    TWertCreate reader;
};

TEST_F(ValueReaderTest, AnEmptyRingAnswersMissingOrTheEmptyNewestSlot) {
    for (int32_t id : {0, 1, 20}) {
        const TSaveIT6 r = reader.GetSaveData(id);
        EXPECT_EQ(Copy(r.id), -1);
        EXPECT_EQ(Copy(r.LeqK), -1.0);
        EXPECT_EQ(Copy(r.leq), -1.0);
    }
    const TSaveIT6 newest = reader.GetSaveData(-1);
    EXPECT_EQ(Copy(newest.id), -1);
    EXPECT_EQ(Copy(newest.leq), 0.0);
}

TEST_F(ValueReaderTest, TheRingKeepsTheLast20RecordsInDecibels) {
    for (int32_t id = 1; id <= 21; ++id) {
        reader.AddValue(Record(id, 80.0 + id));
    }
    EXPECT_EQ(Copy(reader.GetSaveData(1).id), -1);
    EXPECT_EQ(Copy(reader.GetSaveData(1).leq), -1.0);
    for (int32_t id = 2; id <= 21; ++id) {
        const TSaveIT6 r = reader.GetSaveData(id);
        EXPECT_EQ(Copy(r.id), id);
        EXPECT_EQ(Copy(r.TimeStamp), 45000.0 + id);
        EXPECT_EQ(Copy(r.clipCount), 0);
        EXPECT_NEAR(Copy(r.leq), 80.0 + id, 1e-9);
        EXPECT_NEAR(Copy(r.LeqK), 81.0 + id, 1e-9);
        EXPECT_NEAR(Copy(r.Peak), 120.0 - 10.0 * std::log10(2.0), 1e-9);
    }
    EXPECT_EQ(Copy(reader.GetSaveData(-5).id), 21);

    reader.ResetWerteCreate();
    EXPECT_EQ(Copy(reader.GetSaveData(21).id), -1);
}

TEST_F(ValueReaderTest, ThePeakTakeClearsTheHolds) {
    {
        std::lock_guard guard(valueLock);
        peakHold1 = 6000.0 * 0.25;  // amplitude 0.5
        peakHold2 = 6000.0 * 0.01;  // amplitude 0.1
    }
    double p1 = 0, p2 = 0;
    reader.GetPeak(p1, p2);
    EXPECT_NEAR(p1, 0.5, 1e-15);
    EXPECT_NEAR(p2, 0.1, 1e-15);
    reader.GetPeak(p1, p2);
    EXPECT_EQ(p1, 0.0);
    EXPECT_EQ(p2, 0.0);
}

TEST_F(ValueReaderTest, AWindowOfNoSamplesGivesNoPeak) {
    peakWindowSamples.store(0);
    {
        std::lock_guard guard(valueLock);
        peakHold1 = peakHold2 = topPeak = blockPeak = 5.0;
        lastBlock.dBCMax = 5.0;
    }
    reader.AddValue(Record(1, 80.0));
    double p1 = -1, p2 = -1;
    reader.GetPeak(p1, p2);
    EXPECT_EQ(p1, 0.0);
    EXPECT_EQ(p2, 0.0);
    EXPECT_EQ(reader.GetMaxPeak(), 0.0);
    EXPECT_EQ(reader.GetCurrentBlockPeak(), 0.0);
    EXPECT_EQ(Copy(reader.GetSaveData(1).Peak), 0.0);
    EXPECT_EQ(Copy(reader.GetBlockData().dBCMax), 0.0);
}

TEST_F(ValueReaderTest, ShortTermLeqShowsOnlyOnceABlockIsComplete) {
    {
        std::lock_guard guard(valueLock);
        curLeqK1 = EnergyOfLevel(95.0, q);
        curLeqK2 = EnergyOfLevel(90.0, q);
        leqKBlocksDone = 0;
    }
    double leqk = -1;
    int32_t count = -1;
    reader.GetLeqk(leqk, count);
    EXPECT_EQ(leqk, 0.0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(reader.GetCalLeqK2(), 0.0);
    {
        std::lock_guard guard(valueLock);
        leqKBlocksDone = 1;
    }
    reader.GetLeqk(leqk, count);
    EXPECT_NEAR(leqk, 95.0, 1e-9);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(reader.GetCalLeqK2(), EnergyOfLevel(90.0, q));
}

TEST_F(ValueReaderTest, ExpectedLeqsExtendWhatTheWindowHolds) {
    const double e90 = EnergyOfLevel(90.0, q);
    {
        std::lock_guard guard(valueLock);
        leqWindowBlocks = 800;
        leqBlocksDone = 200;
        curLeq = e90 * 0.25;  // a quarter of the window collected at 90 dB
        curLeqFactor = 0.25;
        curLeqK1 = EnergyOfLevel(96.0, q);
    }
    double leq = 0, factor = 0;
    reader.GetLeq(leq, factor);
    EXPECT_NEAR(leq, 90.0 + q * std::log10(0.25), 1e-9);
    EXPECT_EQ(factor, 0.25);
    EXPECT_NEAR(reader.GetErwartungLeq(), 90.0, 1e-9);
    EXPECT_NEAR(reader.GetErwartungLeqK(), q * std::log10(e90 * 0.25 + EnergyOfLevel(96.0, q) * 0.75), 1e-9);

    std::lock_guard guard(valueLock);
    curLeqFactor = 0.0;
    leqBlocksDone = 0;
    EXPECT_EQ(reader.GetErwartungLeq(), 0.0);
    EXPECT_EQ(reader.GetErwartungLeqK(), 0.0);
}

TEST_F(ValueReaderTest, BlockDataComesInDecibelsWithItsOtherFieldsAsWritten) {
    {
        std::lock_guard guard(valueLock);
        lastBlock.id = 4;
        lastBlock.valDif = -2;
        lastBlock.dBCMax = 6000.0 * 0.01;
        lastBlock.leq = EnergyOfLevel(97.0, q);
        lastBlock.leqK = EnergyOfLevel(99.0, q);
        lastBlock.start = 45001.5;
        lastBlock.remarkStr = QStringLiteral("Delta: 3.1%");
    }
    const TBlockDaten8 block = reader.GetBlockData();
    EXPECT_EQ(Copy(block.id), 4);
    EXPECT_EQ(Copy(block.valDif), -2);
    EXPECT_NEAR(Copy(block.dBCMax), 100.0, 1e-9);
    EXPECT_NEAR(Copy(block.leq), 97.0, 1e-9);
    EXPECT_NEAR(Copy(block.leqK), 99.0, 1e-9);
    EXPECT_EQ(Copy(block.start), 45001.5);
    EXPECT_EQ(block.remarkStr, QStringLiteral("Delta: 3.1%"));
}

TEST_F(ValueReaderTest, NoGetterEverAnswersNaNOrInfinity) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {nan, inf, -inf, -1.0}) {
        {
            std::lock_guard guard(valueLock);
            curLeq = curLeqK1 = curLeq120 = curLeqFull = topLeq = topLeqK = topPeak = blockPeak = bad;
            curLeqFactor = bad;
            peakHold1 = peakHold2 = bad;
            leqKBlocksDone = leqBlocksDone = leqWindowBlocks = 1;
            lastBlock.dBCMax = lastBlock.leq = lastBlock.leqK = bad;
        }
        TSaveIT6 r;
        r.id = 1;
        r.Peak = r.LeqK = r.leq = bad;
        reader.AddValue(r);

        double a = 0, b = 0;
        int32_t n = 0;
        reader.GetLeq(a, b);
        EXPECT_TRUE(std::isfinite(a) && std::isfinite(b)) << bad;
        reader.GetLeqk(a, n);
        EXPECT_TRUE(std::isfinite(a)) << bad;
        reader.GetPeak(a, b);
        EXPECT_TRUE(std::isfinite(a) && std::isfinite(b)) << bad;
        for (double v : {reader.GetLeq120(), reader.GetLeqFull(), reader.GetMaxLeq(), reader.GetMaxLeqK(),
                         reader.GetMaxPeak(), reader.GetCurrentBlockPeak(), reader.GetErwartungLeq(),
                         reader.GetErwartungLeqK(), reader.GetBlockData().dBCMax, reader.GetBlockData().leq,
                         reader.GetBlockData().leqK, reader.GetSaveData(1).Peak, reader.GetSaveData(1).LeqK,
                         reader.GetSaveData(1).leq}) {
            EXPECT_TRUE(std::isfinite(v)) << bad;
        }
    }
}

TEST_F(ValueReaderTest, RmsMaximaStayUntilTheReaderClearsThem) {
    {
        std::lock_guard guard(valueLock);
        rmsSlowAmp = 0.2;
        rmsFastAmp = 0.3;
        rmsSlowAmp2 = 0.05;
        rmsPSlowAmp = 0.4;
        rmsPFastAmp = 0.6;
        rmsSlowMax = 0.25;
        rmsPSlowMax = 0.45;
    }
    double s = 0, f = 0;
    reader.GetRMS(s, f);
    EXPECT_EQ(s, 0.2);
    EXPECT_EQ(f, 0.3);
    reader.GetRMSP(s, f);
    EXPECT_EQ(s, 0.4);
    EXPECT_EQ(f, 0.6);
    EXPECT_EQ(reader.GetRmsSlow(true), 0.05);
    EXPECT_EQ(reader.GetRmsSlow(false), 0.2);
    EXPECT_EQ(reader.GetRMSPeak(), 0.25);
    EXPECT_EQ(reader.GetRMSPeakP(), 0.45);
    reader.ResetRMSPeak();
    EXPECT_EQ(reader.GetRMSPeak(), 0.0);
    EXPECT_EQ(reader.GetRMSPeakP(), 0.45);
    reader.ResetRMSPeakP();
    EXPECT_EQ(reader.GetRMSPeakP(), 0.0);
}

}  // namespace
