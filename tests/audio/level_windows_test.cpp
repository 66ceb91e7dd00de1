// Leq windows, clock-aligned Leq blocks and save records, with the corrected
// clock frozen and moved on by the test and the input fed faster than real
// time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "measurement_fixture.h"

using namespace engine_test;

namespace {

class LevelWindowsTest : public MeasurementFixture {
protected:
    double Q() const { return qFactor.load(); }
    // The level of the mean of two equal-length stretches at a and b dB.
    double MeanLevel(double a, double b) const {
        return Q() * std::log10((EnergyOfLevel(a, Q()) + EnergyOfLevel(b, Q())) / 2.0);
    }
};

struct IntervalCase {
    int32_t minutes;
    std::vector<platform::TDateTime> ends;
};

// Started at 10:07:12, each interval ends on a multiple of its length counted
// from the start of the hour; later ones are exactly that long.
TEST_F(LevelWindowsTest, FixedIntervalsEndOnTheClockGrid) {
    const IntervalCase cases[] = {
        {15, {Local(10, 15, 0), Local(10, 30, 0), Local(10, 45, 0), Local(11, 0, 0)}},
        {60, {Local(11, 0, 0), Local(12, 0, 0), Local(13, 0, 0)}},
        {45, {Local(10, 45, 0), Local(11, 30, 0), Local(12, 15, 0)}},
    };
    for (const IntervalCase& c : cases) {
        SCOPED_TRACE(c.minutes);
        main.settings.leqBlocks = c.minutes * 60 * 8;
        SetLocalNow(Local(10, 7, 12));
        TCalcer calc(&posts);
        calc.RunCycle();
        EXPECT_EQ(posts.Take(), (std::vector<Posted>{{kNotifyBlockClosed, 0, false}}));
        EXPECT_EQ(Ms(reader.GetNextBlockTimeLocal()), Ms(c.ends[0]));

        // A sample a second is enough for the clock to close the intervals.
        Step(calc, 25, 1);
        platform::TDateTime start = Local(10, 7, 12);
        for (size_t k = 0; k + 1 < c.ends.size(); ++k) {
            SCOPED_TRACE(k);
            std::vector<intptr_t> closed;
            while (closed.empty()) {
                Step(calc, 1000, 1);
                closed = ArgumentsOf(posts.Take(), kNotifyBlockClosed);
            }
            EXPECT_EQ(closed, (std::vector<intptr_t>{static_cast<intptr_t>(k + 1)}));
            const TBlockDaten8 block = reader.GetBlockData();
            EXPECT_EQ(Ms(Val(block.ende)), Ms(c.ends[k]) + 25);  // the first cycle after the boundary
            EXPECT_EQ(Ms(Val(block.start)), Ms(start));
            EXPECT_EQ(Ms(Val(block.next)), Ms(c.ends[0]));
            EXPECT_EQ(Val(block.id), static_cast<int32_t>(k + 1));
            EXPECT_EQ(Val(block.currentCount), static_cast<int32_t>(k));
            EXPECT_EQ(Ms(reader.GetNextBlockTimeLocal()), Ms(c.ends[k + 1]));
            start = Val(block.ende);
        }
    }
}

// The clock closes fixed intervals in whole minutes; the energy must be
// divided by the blocks of those minutes, whatever the seconds asked for.
TEST_F(LevelWindowsTest, AFixedIntervalReadsASteadyLevelWhateverItsSeconds) {
    for (const int32_t seconds : {90, 150, 60}) {
        SCOPED_TRACE(seconds);
        main.settings.leqBlocks = seconds * 8;
        SetLocalNow(Local(10, 7, 12));
        TCalcer calc(&posts);
        calc.RunCycle();
        SetLevel(94.0);
        posts.Take();
        size_t closed = 0;
        while (closed < 2) {  // the second interval is the first whole one
            Run(calc, 1000, 1000);
            closed += ArgumentsOf(posts.Take(), kNotifyBlockClosed).size();
        }
        const TBlockDaten8 block = reader.GetBlockData();
        EXPECT_EQ(Val(block.id), 2);
        EXPECT_NEAR(Val(block.leq), 94.0, 0.01);
        EXPECT_EQ(block.remarkStr, "---");
    }
}

// A getter on the GUI thread never waits on a post or a formatted text:
// everything a cycle tells goes out once the value lock is released, in
// the order it arose.
TEST_F(LevelWindowsTest, NoNotificationIsPostedUnderTheValueLock) {
    main.settings.leqBlocks = 480;
    posts.checkValueLock = true;
    TCalcer calc(&posts);
    calc.RunCycle();
    SetLevel(112.0);  // above every warning level: the states, the maxima and the Leq over its limit
    Step(calc, 25, 25 * kSamplesPerMs);
    Run(calc, 60000, 1000);
    const std::vector<Posted> posted = posts.Take();
    EXPECT_EQ(posts.callsUnderValueLock.load(), 0);
    EXPECT_EQ(ArgumentsOf(posted, kNotifyBlockClosed), (std::vector<intptr_t>{0, 1}));
    EXPECT_FALSE(ArgumentsOf(posted, kNotifyLeqState).empty());
    EXPECT_FALSE(ArgumentsOf(posted, kNotifyLeqOverLimit).empty());
    EXPECT_FALSE(ArgumentsOf(posted, kNotifyNewPeakMax).empty());
}

TEST_F(LevelWindowsTest, TheFirstIntervalCoversOnlyTheTimeSinceTheReset) {
    main.settings.leqBlocks = 15 * 60 * 8;
    SetLocalNow(Local(10, 7, 12));
    TCalcer calc(&posts);
    calc.RunCycle();
    SetLevel(90.0);
    Run(calc, (7 * 60 + 48) * 1000 + 25, 1000);
    const TBlockDaten8 block = reader.GetBlockData();
    ASSERT_EQ(Val(block.id), 1);
    // 7 min 48 s of a 15-minute interval, referred to the whole interval.
    EXPECT_EQ(Val(block.valDif), 0);
    EXPECT_EQ(block.remarkStr, "---");
    EXPECT_NEAR(Val(block.leq), 90.0 + Q() * std::log10(468.0 / 900.0), 0.01);
}

struct SaveGridCase {
    int32_t intervalSec;
    platform::TDateTime reset;
    std::vector<platform::TDateTime> stamps;
};

// The first record closes at the next multiple of the interval strictly
// after the reset; every later one exactly one interval after the previous.
TEST_F(LevelWindowsTest, SaveRecordsCloseOnTheirGridAndCarryTheScheduledTime) {
    const SaveGridCase cases[] = {
        {10, Local(12, 0, 7, 400), {Local(12, 0, 10), Local(12, 0, 20), Local(12, 0, 30)}},
        {10, Local(12, 0, 0, 0), {Local(12, 0, 10), Local(12, 0, 20)}},
        {90, Local(12, 0, 7, 400), {Local(12, 1, 0), Local(12, 2, 30), Local(12, 4, 0)}},
        {0, Local(12, 0, 7, 400), {Local(12, 0, 8), Local(12, 0, 9), Local(12, 0, 10)}},  // at least 1 s
    };
    for (const SaveGridCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.intervalSec << " s from " << Ms(c.reset) % 60000);
        main.settings.saveIntervalSec = c.intervalSec;
        SetLocalNow(c.reset);
        TCalcer calc(&posts);
        calc.RunCycle();
        for (size_t k = 0; k < c.stamps.size(); ++k) {
            std::vector<intptr_t> ids;
            while (ids.empty()) {
                Step(calc, 25, 1200);
                ids = ArgumentsOf(posts.Take(), kNotifyNewSaveRecord);
            }
            ASSERT_EQ(ids, (std::vector<intptr_t>{static_cast<intptr_t>(k + 1)}));
            const int64_t late = Ms(LocalNow()) - Ms(c.stamps[k]);
            EXPECT_TRUE(late >= 0 && late < 25) << late;
            EXPECT_EQ(Ms(Val(reader.GetSaveData(ids[0]).TimeStamp)), Ms(c.stamps[k]));
        }
    }
}

TEST_F(LevelWindowsTest, ARecordHoldsTheHighestValuesOfItsIntervalAndLateCyclesKeepTheGrid) {
    main.settings.leqBlocks = -8;
    main.settings.leqKBlocks = 8;
    SetLocalNow(Local(12, 0, 0));
    TCalcer calc(&posts);
    calc.RunCycle();
    SetLevel(80.0);
    Run(calc, 5000, 25);
    SetLevel(95.0);
    Run(calc, 2000, 25);
    SetLevel(70.0);
    Run(calc, 3000, 25);
    const TSaveIT6 first = reader.GetSaveData(1);
    EXPECT_NEAR(Val(first.leq), 95.0, 0.01);
    EXPECT_NEAR(Val(first.LeqK), 95.0, 0.01);
    EXPECT_NEAR(Val(first.Peak), 95.0, 0.01);
    EXPECT_EQ(Ms(Val(first.TimeStamp)), Ms(Local(12, 0, 10)));

    // The clock jumps 35 s: one record per cycle catches up, each on its grid time.
    posts.Take();
    Step(calc, 35000, 1200);  // to 12:00:45
    for (int i = 0; i < 4; ++i) {
        Step(calc, 25, 1200);
    }
    const std::vector<intptr_t> ids = ArgumentsOf(posts.Take(), kNotifyNewSaveRecord);
    ASSERT_EQ(ids, (std::vector<intptr_t>{2, 3, 4}));  // 12:00:50 is not due yet
    for (intptr_t id : ids) {
        EXPECT_EQ(Ms(Val(reader.GetSaveData(id).TimeStamp)), Ms(Local(12, 0, 10)) + (id - 1) * 10000);
    }
}

// Eight hours of a constant level in half-hour intervals, fed in one-second
// cycles: the two-hour Leq refers the energy so far to two hours, every
// interval collects exactly its wall-clock length, and the records follow
// their minute grid to the end.
TEST_F(LevelWindowsTest, AnEightHourMeasurementInHalfHourIntervals) {
    const double level = 93.0;
    main.settings.leqBlocks = 30 * 60 * 8;
    main.settings.leqKBlocks = 80;
    main.settings.saveIntervalSec = 60;
    TCalcer calc(&posts);
    calc.RunCycle();  // 10:07:12.400
    SetLevel(level);
    Step(calc, 25, 25 * kSamplesPerMs);
    posts.Take();

    int32_t blocks = 0;
    int32_t records = 0;
    platform::TDateTime lastStamp = 0.0;
    auto runHours = [&](double hours) {
        const int64_t cycles = static_cast<int64_t>(hours * 3600);
        for (int64_t i = 0; i < cycles; ++i) {
            Step(calc, 1000, 1000 * kSamplesPerMs);
            for (const Posted& p : posts.Take()) {
                if (p.code == kNotifyBlockClosed) {
                    ++blocks;
                    ASSERT_EQ(p.argument, blocks);
                    const TBlockDaten8 block = reader.GetBlockData();
                    ASSERT_EQ(Val(block.valDif), 0) << blocks;
                    ASSERT_EQ(block.remarkStr, "---");
                    if (blocks > 1) {
                        ASSERT_NEAR(Val(block.leq), level, 0.01);
                    }
                } else if (p.code == kNotifyNewSaveRecord) {
                    ++records;
                    ASSERT_EQ(p.argument, records);
                    const platform::TDateTime stamp = Val(reader.GetSaveData(records).TimeStamp);
                    if (records > 1) {
                        ASSERT_EQ(Ms(stamp) - Ms(lastStamp), 60000);
                    }
                    lastStamp = stamp;
                }
            }
        }
    };
    runHours(1.0);
    const double leqFull = reader.GetLeqFull();  // the sine's exact level
    EXPECT_NEAR(leqFull, level, 0.01);
    EXPECT_NEAR(reader.GetLeq120(), leqFull - 3.0, 0.01);
    runHours(3.0);
    EXPECT_NEAR(reader.GetLeq120(), leqFull + 3.0, 0.01);
    runHours(4.0);
    EXPECT_NEAR(reader.GetLeq120(), leqFull + 6.0, 0.01);
    EXPECT_NEAR(reader.GetLeqFull(), leqFull, 1e-9);
    EXPECT_EQ(blocks, 16);  // 10:30 to 18:00
    EXPECT_EQ(records, 8 * 60);
    EXPECT_EQ(Ms(lastStamp), Ms(Local(18, 7, 0)));
}

TEST_F(LevelWindowsTest, ASlidingHalfHourLeqRisesFromZeroThenSlides) {
    main.settings.leqBlocks = -30 * 60 * 8;
    main.settings.leqKBlocks = 80;
    TCalcer calc(&posts);
    calc.RunCycle();
    SetLevel(90.0);
    Run(calc, 5000);
    EXPECT_NEAR(LeqK(), 90.0 - 3.0, 0.01);  // half of the 10 s window
    Run(calc, 15 * 60 * 1000 - 5000);
    EXPECT_NEAR(Leq(), 90.0 - 3.0, 0.01);
    EXPECT_NEAR(LeqFactor(), 0.5, 1e-9);
    EXPECT_NEAR(LeqK(), 90.0, 0.01);
    Run(calc, 15 * 60 * 1000);
    EXPECT_NEAR(Leq(), 90.0, 0.01);
    EXPECT_NEAR(LeqFactor(), 1.0, 1e-9);

    SetLevel(100.0);
    Run(calc, 15 * 60 * 1000);
    EXPECT_NEAR(Leq(), MeanLevel(90.0, 100.0), 0.01);
    EXPECT_NEAR(LeqFactor(), 1.0, 1e-9);
    Run(calc, 15 * 60 * 1000);
    EXPECT_NEAR(Leq(), 100.0, 0.01);  // the quiet half hour has left the window
    EXPECT_NEAR(reader.GetLeqFull(), MeanLevel(90.0, 100.0), 0.01);
    EXPECT_EQ(posts.Count(kNotifyBlockClosed), 0);  // no Leq blocks in this mode
}

TEST_F(LevelWindowsTest, TheWholeMeasurementLeqIsTheLeqFromTheFirstBlock) {
    main.settings.leqBlocks = -2;
    TCalcer calc(&posts);
    calc.RunCycle();
    SetLevel(90.0);
    Run(calc, 125, 125);
    EXPECT_NEAR(Leq(), 90.0, 0.01);
    EXPECT_EQ(LeqFactor(), 1.0);
    Run(calc, 10000 - 125);
    SetLevel(100.0);
    Run(calc, 10000);
    EXPECT_NEAR(Leq(), MeanLevel(90.0, 100.0), 0.01);
    EXPECT_EQ(Leq(), reader.GetLeqFull());
    EXPECT_EQ(LeqFactor(), 1.0);
}

// Asked for at the first record at or after the planned end, and at every one after it.
TEST_F(LevelWindowsTest, ThePlannedDurationEndsOnlyASlidingMeasurement) {
    main.settings.plannedMinutes = 1;
    for (int32_t leqBlocks : {-80, -2, 480}) {
        SCOPED_TRACE(leqBlocks);
        main.settings.leqBlocks = leqBlocks;
        SetLocalNow(Local(10, 7, 12, 400));
        TCalcer calc(&posts);
        calc.RunCycle();
        Run(calc, 58000, 1000);  // to 10:08:10.400: the record of 10:08:10 closes before the end
        EXPECT_EQ(posts.Count(kNotifyPlannedDurationReached), 0);
        Run(calc, 20000, 1000);  // the records of 10:08:20 and 10:08:30
        const std::vector<Posted> posted = posts.Take();
        const std::vector<intptr_t> asked = ArgumentsOf(posted, kNotifyPlannedDurationReached);
        if (leqBlocks < 0) {
            EXPECT_EQ(asked, (std::vector<intptr_t>{3, 3}));
            EXPECT_TRUE(std::find(posted.begin(), posted.end(), Posted{kNotifyPlannedDurationReached, 3, true}) !=
                        posted.end());
        } else {
            EXPECT_TRUE(asked.empty());
        }
    }
}

// A stop publishes the unfinished interval with its real end, leaves it
// running and closes the save record at once with its scheduled time.
TEST_F(LevelWindowsTest, AStopInTheMiddleOfAnIntervalGivesItsLastBlockAndRecord) {
    main.settings.leqBlocks = 480;  // one-minute intervals
    TCalcer calc(&posts);
    calc.RunCycle();  // 10:07:12.400
    posts.Take();
    SetLevel(94.0);
    Step(calc, 25, 25 * kSamplesPerMs);
    Run(calc, 48000, 1000);  // to 10:08:00.425, closing the first interval
    ASSERT_EQ(ArgumentsOf(posts.Take(), kNotifyBlockClosed), (std::vector<intptr_t>{1}));
    Run(calc, 30000, 1000);
    posts.Take();

    calcStoppedEvent.Reset();
    calc.StopIt();
    Step(calc, 25, 25 * kSamplesPerMs);
    EXPECT_TRUE(calcStoppedEvent.Wait(0));
    std::vector<Posted> posted = posts.Take();
    EXPECT_TRUE(ArgumentsOf(posted, kNotifyBlockClosed).empty());
    const std::vector<intptr_t> ids = ArgumentsOf(posted, kNotifyNewSaveRecord);
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(Ms(Val(reader.GetSaveData(ids[0]).TimeStamp)), Ms(Local(10, 8, 40)));
    EXPECT_NEAR(Val(reader.GetSaveData(ids[0]).leq), 94.0 - 3.0, 0.05);  // half the minute so far

    TBlockDaten8 block = reader.GetBlockData();
    EXPECT_EQ(Val(block.id), 2);
    EXPECT_EQ(Val(block.currentCount), 1);
    EXPECT_EQ(Ms(Val(block.start)), Ms(Local(10, 8, 0, 425)));
    EXPECT_EQ(Ms(Val(block.ende)), Ms(Local(10, 8, 30, 450)));
    EXPECT_EQ(Val(block.valDif), 0);
    EXPECT_EQ(block.remarkStr, "---");
    EXPECT_NEAR(Val(block.leq), 94.0 + Q() * std::log10(240.0 / 480.0), 0.01);
    // The whole interval before it stays at hand for a stop that came before
    // its notification was handled.
    const TBlockDaten8 whole = reader.GetIntervalBlockData();
    EXPECT_EQ(Val(whole.id), 1);
    EXPECT_EQ(Ms(Val(whole.ende)), Ms(Local(10, 8, 0, 425)));

    // The interval runs on to its clock end; the next record keeps its grid.
    Run(calc, 30000, 1000);
    posted = posts.Take();
    EXPECT_EQ(ArgumentsOf(posted, kNotifyBlockClosed), (std::vector<intptr_t>{2}));
    block = reader.GetBlockData();
    EXPECT_EQ(Val(block.id), 3);
    EXPECT_EQ(Ms(Val(block.start)), Ms(Local(10, 8, 0, 425)));
    EXPECT_NEAR(Val(block.leq), 94.0, 0.01);
    const std::vector<intptr_t> later = ArgumentsOf(posted, kNotifyNewSaveRecord);
    ASSERT_FALSE(later.empty());
    EXPECT_EQ(Ms(Val(reader.GetSaveData(later[0]).TimeStamp)), Ms(Local(10, 8, 50)));
}

// Input that stopped arriving does not keep a stop waiting: the block closes
// in a cycle without samples, and the lost audio shows. The record of the
// seconds without input would read 0 dB and is not stored.
TEST_F(LevelWindowsTest, AStopWithoutInputIsAnsweredWithItsOwnBlock) {
    main.settings.leqBlocks = 480;
    TCalcer calc(&posts);
    calc.RunCycle();
    SetLevel(94.0);
    Step(calc, 25, 25 * kSamplesPerMs);
    Run(calc, 48000, 1000);
    Run(calc, 20000, 1000);
    RunWithoutInput(calc, 10000, 1000);  // the device is gone
    posts.Take();

    calcStoppedEvent.Reset();
    calc.StopIt();
    Step(calc, 25, 0);
    EXPECT_TRUE(calcStoppedEvent.Wait(0));
    const std::vector<Posted> posted = posts.Take();
    EXPECT_TRUE(ArgumentsOf(posted, kNotifyBlockClosed).empty());
    EXPECT_TRUE(ArgumentsOf(posted, kNotifyNewSaveRecord).empty());
    const TBlockDaten8 block = reader.GetBlockData();
    EXPECT_EQ(Val(block.id), 2);
    EXPECT_EQ(Ms(Val(block.ende)), Ms(Local(10, 8, 30, 450)));
    EXPECT_EQ(Val(block.valDif), 80);  // 10 s of 30 s
    EXPECT_EQ(block.remarkStr, "Delta: 33.3%");
}

// A stop in the first cycle after a record closed, before any sample came,
// finds a record that holds nothing: it closes the block, but stores no
// record that would read 0 dB.
TEST_F(LevelWindowsTest, AStopRightAfterARecordAddsNoEmptyRecord) {
    main.settings.leqBlocks = 480;
    TCalcer calc(&posts);
    calc.RunCycle();
    SetLevel(94.0);
    Step(calc, 25, 25 * kSamplesPerMs);
    Run(calc, 48000, 1000);
    const std::vector<intptr_t> before = ArgumentsOf(posts.Take(), kNotifyNewSaveRecord);
    ASSERT_FALSE(before.empty());

    calcStoppedEvent.Reset();
    calc.StopIt();
    Step(calc, 25, 0);
    EXPECT_TRUE(calcStoppedEvent.Wait(0));
    const std::vector<Posted> posted = posts.Take();
    EXPECT_TRUE(ArgumentsOf(posted, kNotifyNewSaveRecord).empty());
    EXPECT_EQ(reader.GetSaveData(-1).id, before.back());
    EXPECT_GT(Val(reader.GetBlockData().ende), 0.0);
}

struct RemarkCase {
    int32_t collected;  // 125 ms blocks in 30 s, where 240 are expected
    const char* remark;
};

// Deviations up to 2.5 % in either direction are tolerated.
TEST_F(LevelWindowsTest, ABlockWhoseCountDeviatesCarriesTheDeviationAsItsRemark) {
    const RemarkCase cases[] = {
        {234, "---"}, {233, "Delta: 2.9%"}, {246, "---"}, {247, "Delta: -2.9%"}, {0, "Delta: 100.0%"},
    };
    main.settings.leqBlocks = 480;
    for (const RemarkCase& c : cases) {
        SCOPED_TRACE(c.collected);
        SetLocalNow(Local(10, 7, 59));
        TCalcer calc(&posts);
        calc.RunCycle();
        Step(calc, 1025, kBlock);  // one whole block, closing the first interval at 10:08:00.025
        ASSERT_EQ(Val(reader.GetBlockData().id), 1);
        for (int i = 0; i < 3; ++i) {
            Step(calc, 10000, c.collected * kBlock / 3);
        }
        calc.StopIt();
        Step(calc, 0, 0);
        const TBlockDaten8 block = reader.GetBlockData();
        EXPECT_EQ(Val(block.valDif), 240 - c.collected);
        EXPECT_EQ(block.remarkStr, c.remark);
    }
}

}  // namespace
