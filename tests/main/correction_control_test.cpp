// The correction run on the whole program: the wizard clicked through on the
// simulated sine, its values in the default store and the calculation, the
// location store's file, and what the run restores on every way out.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <mutex>

#include "audio/value_reader.h"
#include "calibration/correction_wizard_window.h"
#include "calibration/location_store.h"
#include "calibration/location_text_editor.h"
#include "measurement_run_fixture.h"
#include "support/when_shown.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/text_table.h"

namespace {

using namespace test_support;

constexpr double kCalM = 117.0;
constexpr double kCalR = 119.0;

// Types text into target as key presses and releases.
void KeyClicks(QWidget* target, const QString& text) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(target, &release);
    }
}

// Lets the event loop wait for events for a moment, as an idle program does.
bool IdleUntil(const std::function<bool()>& done) {
    return ProcessUntil([&done] {
        QEventLoop idle;
        QTimer::singleShot(20, &idle, &QEventLoop::quit);
        idle.exec();
        return done();
    });
}

void ClickButton(TPaintBox32* button) { gui_test::Click(button, QPoint(button->width() / 2, button->height() / 2)); }

class CorrectionControl : public MeasurementRunConcurrent {
protected:
    void SetUp() override {
        MeasurementRunConcurrent::SetUp();
        RegisterCalibrationServices(nullptr);  // the window's own
    }

    // Left -20 dBFS, right -26 dBFS, both inputs, calibrated M 117 and R 119.
    // With output, the test signal plays on the simulated output.
    void StartTwoInputs(bool withOutput = false) {
        WriteSettings([](Registry& reg) {
            reg.WriteFloat("SineLevelRight", -26.0);
        }, platform::kSimulatedAudioKey);
        // The measuring microphone on the left input.
        WriteSettings([withOutput](Registry& reg) {
            reg.WriteInteger("InputAssign", 3);
            reg.WriteBool("Kanal", true);
            if (withOutput) reg.WriteString("WaveOutName", platform::kSimulatedOutputName);
        });
        StartProgram();
        ASSERT_TRUE(HearsTheTone());
        TDaten& store = *defaultDaten.load();
        MainWindowFields& f = window->Fields();
        f.KalIOMode.store(f.IOMode.load());
        f.KalIOID.store(static_cast<int32_t>(f.waveInID.load()));
        f.KalC1.store(f.Kanal.load());
        store.SetCalVal(kCalM);
        store.SetCalTime(platform::SystemLocalNow());
        store.SetVMicCal(kCalR);
        store.SetKorrArt(-1);
        window->ApplyCalibration();
        window->CheckCalStatus();
        ASSERT_EQ(3, inputAssign.load());
        ASSERT_TRUE(window->StatusID() == 1 || window->StatusID() == 3) << window->StatusID();
    }

    static void Next(TKorrWizard* w) {
        ASSERT_TRUE(w->RightButton()->isVisible()) << "step " << w->Core().Step();
        ClickButton(w->RightButton());
    }
    static void Type(TKorrWizard* w, const QString& text) {
        w->EditMemo()->selectAll();
        KeyClicks(w->EditMemo(), text);
    }

    // Method 3 with one location "Stage left", clicked through to the result page.
    static void ClickThroughMethod3(TKorrWizard* w) {
        TPaintBox32* methods = w->PagePaintBox(KorrPage::tsART);
        methods->RenderBuffer();
        ASSERT_GE(w->MethodBoxPoint(kKorrTwoMics).x(), 0);
        gui_test::Click(methods, w->MethodBoxPoint(kKorrTwoMics));
        ASSERT_TRUE(w->Core().MethodSelected(kKorrTwoMics));
        Next(w);
        ASSERT_EQ(22, w->Core().Step());
        Next(w);
        ASSERT_EQ(24, w->Core().Step());
        ASSERT_EQ(15, w->Core().Duration());
        Next(w);
        ASSERT_EQ(1, w->Core().Step());
        Type(w, QStringLiteral("Stage left"));
        Next(w);
        ASSERT_EQ(6, w->Core().Step());
        Type(w, QStringLiteral("FOH desk"));
        Next(w);
        ASSERT_EQ(20, w->Core().Step());
        Next(w);
        ASSERT_EQ(26, w->Core().Step());
        ASSERT_TRUE(ProcessUntil([w] { return w->Core().Step() == 30; }, 60000)) << "step " << w->Core().Step();
        Next(w);
        ASSERT_EQ(10, w->Core().Step());
    }

    double EngineLeq() {
        return wertCreate.load()->GetErwartungLeq();
    }
    QString LocFile() const { return window->Fields().basisPfad + QStringLiteral("/locInfo.vld"); }
};

TEST_F(CorrectionControl, TwoMicrophoneRunHandsBackMinusFourAndTheCalculationFollows) {
    StartTwoInputs();
    const TVTPreset before = curPreset;
    const QString defaultFile = window->Fields().basisPfad + QStringLiteral("/Default.vtm");
    QFile::remove(defaultFile);
    bool done = false;
    WhenShown<TKorrWizard>([&](TKorrWizard* w) {
        EXPECT_TRUE(window->korrOn);
        EXPECT_EQ(6000, curPreset.messungen[2].Dauer);
        EXPECT_EQ(2, curPreset.messungen[2].Filter);
        ClickThroughMethod3(w);
        // The reference input's A and C filters read a 1 kHz tone about 0.12 dB
        // lower than the measuring input's; the unweighted sums have no filter.
        EXPECT_NEAR(-4.0, w->Core().klA, 0.15);
        EXPECT_NEAR(-4.0, w->Core().klC, 0.15);
        EXPECT_NEAR(-4.0, w->Core().klZ, 0.05);
        ClickButton(w->RightButton());  // OK
        done = true;
    });
    window->aGetKorrExecute();
    ASSERT_TRUE(done);
    EXPECT_EQ(nullptr, window->CorrectionWizard());

    TDaten& store = *defaultDaten.load();
    EXPECT_EQ(kKorrTwoMics, store.GetKorrArt());
    for (int32_t id : {1, 2, 4}) EXPECT_NEAR(-4.0, store.GetKorr(id), id == 4 ? 0.05 : 0.15) << id;
    EXPECT_EQ(QStringLiteral("Stage left"), store.GetKorrText(1));
    EXPECT_EQ(QStringLiteral("FOH desk"), store.GetKorrText(8));
    EXPECT_NEAR(CorrectedNow(), store.GetKorrTime(1), 60.0 / 86400.0);
    EXPECT_TRUE(QFileInfo::exists(defaultFile));
    EXPECT_TRUE(curPreset == before);
    EXPECT_FALSE(window->korrOn);
    EXPECT_FALSE(IsOutputRunning());

    // The location reaches its file once the program is idle.
    ASSERT_TRUE(IdleUntil([this] { return QFileInfo::exists(LocFile()); }));
    TKorrLocation reread(window->Fields().basisPfad);
    ASSERT_EQ(1, reread.GetLocCount());
    EXPECT_EQ(QStringLiteral("Stage left"), reread.GetLocText(0, false));
    EXPECT_TRUE(reread.IsDualKorr());

    // The calibration plus the A correction on a sine of -20 dBFS peak (-23.01 dBFS RMS).
    const double expected = kCalM + store.GetKorr(1) + 20.0 * std::log10(0.1 / std::sqrt(2.0));
    EXPECT_NEAR(90.0, expected, 0.15);
    EXPECT_NEAR(kCalM + store.GetKorr(1), appliedCalOffset[0].load(), 1e-9);
    // The Leq of the part of its window collected so far.
    ASSERT_TRUE(ProcessUntil([this, expected] { return std::fabs(EngineLeq() - expected) < 0.05; }, 30000))
        << EngineLeq() << " expected " << expected;
}

TEST_F(CorrectionControl, CancelMidMeasurementAndAFailedSaveRestoreTheRun) {
    StartTwoInputs();
    const TVTPreset before = curPreset;
    // Cancel while the two-microphone measurement runs.
    WhenShown<TKorrWizard>([&](TKorrWizard* w) {
        TPaintBox32* methods = w->PagePaintBox(KorrPage::tsART);
        methods->RenderBuffer();
        gui_test::Click(methods, w->MethodBoxPoint(kKorrTwoMics));
        for (int i = 0; i < 2; ++i) Next(w);
        Next(w);
        Type(w, QStringLiteral("Stage left"));
        Next(w);
        Type(w, QStringLiteral("FOH desk"));
        Next(w);
        Next(w);
        ASSERT_EQ(26, w->Core().Step());
        ASSERT_TRUE(ProcessUntil([w] { return !w->Core().firstStartSampling; }));
        ClickButton(w->LeftButton());
    });
    window->aGetKorrExecute();
    EXPECT_TRUE(curPreset == before);
    EXPECT_EQ(-1, defaultDaten.load()->GetKorrArt());
    EXPECT_FALSE(window->korrOn);
    EXPECT_FALSE(IsOutputRunning());

    // A default store that cannot be written: the run still restores everything.
    const QString defaultFile = window->Fields().basisPfad + QStringLiteral("/Default.vtm");
    QFile::remove(defaultFile);
    ASSERT_TRUE(QDir().mkpath(defaultFile));
    WhenShown<TKorrWizard>([&](TKorrWizard* w) {
        TPaintBox32* methods = w->PagePaintBox(KorrPage::tsART);
        methods->RenderBuffer();
        gui_test::Click(methods, w->MethodBoxPoint(kKorrNoCorrection));
        Next(w);
        Type(w, QStringLiteral("FOH desk"));
        Next(w);
        ASSERT_EQ(10, w->Core().Step());
        ClickButton(w->RightButton());
    });
    const size_t events = window->EventLines().size();
    window->aGetKorrExecute();
    EXPECT_TRUE(curPreset == before);
    EXPECT_FALSE(window->korrOn);
    EXPECT_FALSE(IsOutputRunning());
    EXPECT_EQ(nullptr, window->CorrectionWizard());
    EXPECT_GT(window->EventLines().size(), events);
}

TEST_F(CorrectionControl, RemoteStateAndIdleSave) {
    StartTwoInputs();
    TKorrLocation* store = window->LocationStore();
    ASSERT_NE(nullptr, store);
    EXPECT_EQ(store, korrLocation.load());
    // An unchanged store writes nothing when idle.
    ASSERT_TRUE(IdleUntil([] { return true; }));
    EXPECT_FALSE(QFileInfo::exists(LocFile()));
    store->Add(0, 0, 0, CorrectedNow(), 0.1, 0.1, 0.1, QStringLiteral("Balcony"));
    ASSERT_TRUE(IdleUntil([this] { return QFileInfo::exists(LocFile()); }));
    EXPECT_FALSE(store->NeedSave());
    // Resetting the corrections empties the store, and the next idle moment deletes the file.
    window->ResetKorrData();
    ASSERT_TRUE(IdleUntil([this] { return !QFileInfo::exists(LocFile()); }));

    // 301 sets the run state only while the wizard is open.
    window->WMMainNotify(301, 1);
    EXPECT_NE(5, window->Fields().statusMessung.load());
    WhenShown<TKorrWizard>([&](TKorrWizard* w) {
        window->WMMainNotify(301, 1);
        EXPECT_EQ(5, window->Fields().statusMessung.load());
        window->WMMainNotify(301, 0);
        EXPECT_EQ(6, window->Fields().statusMessung.load());
        EXPECT_EQ(w->Handle(), calibrationServices()->CorrectionWizardWindow());
        // A remote cancel arrives as a post to the wizard's window.
        platform::PostMessage(w->Handle(), WM_MAIN_NOTIFY, 305, 0);
    });
    window->aGetKorrExecute();
    EXPECT_EQ(0, calibrationServices()->CorrectionWizardWindow());
}

// The location menu: one item per group of weightings determined together.
TEST_F(CorrectionControl, LocationTextMenuAndEditor) {
    // The fake calibration lets the menu start pass its checks without dialogs.
    RegisterCalibrationServices(&calibration);
    StartProgram();
    TDaten& store = *defaultDaten.load();
    const double t = CorrectedNow();
    struct Case {
        double a, c, z;
        std::vector<std::pair<QString, int32_t>> items;
    } cases[] = {{t, t, t, {{QString(), 7}}},
                 {t, t, t + 0.5, {{QStringLiteral(" (A + C)"), 3}, {QStringLiteral(" (Z)"), 4}}},
                 {t, t + 0.5, t, {{QStringLiteral(" (A + Z)"), 5}, {QStringLiteral(" (C)"), 2}}},
                 {t, t + 0.5, t + 0.5, {{QStringLiteral(" (A)"), 1}, {QStringLiteral(" (C + Z)"), 6}}},
                 {t, t + 0.5, t + 0.7, {{QStringLiteral(" (A)"), 1}, {QStringLiteral(" (C)"), 2}, {QStringLiteral(" (Z)"), 4}}}};
    const QString base = GetLangText(1069);
    for (const Case& c : cases) {
        store.SetKorrTime(1, c.a);
        store.SetKorrTime(2, c.c);
        store.SetKorrTime(4, c.z);
        window->UpdateImmiMenu(true);
        const char* names[] = {"miImmi1", "miImmi2", "miImmi3"};
        for (size_t i = 0; i < 3; ++i) {
            QAction* item = window->findChild<QAction*>(QString::fromLatin1(names[i]));
            ASSERT_NE(nullptr, item);
            EXPECT_EQ(i < c.items.size(), item->isVisible()) << names[i];
            if (i >= c.items.size()) continue;
            EXPECT_EQ(base + c.items[i].first, item->text());
            EXPECT_EQ(c.items[i].second, item->data().toInt());
        }
    }
    window->UpdateImmiMenu(false);
    for (const char* name : {"miImmi1", "miImmi2", "miImmi3", "miEImmi"})
        EXPECT_FALSE(window->findChild<QAction*>(QString::fromLatin1(name))->isVisible()) << name;

    // Editing "(A + C)": OK only from six characters, then text 1 and 2 change, 4 stays.
    store.SetKorrText(1, QString());
    store.SetKorrText(4, QStringLiteral("Tower"));
    window->OpenEditKorr(3);
    TEditKorr* editor = window->LocationEditor();
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(GetLangText(636) + QStringLiteral(" (A + C)"), editor->windowTitle());
    EXPECT_TRUE(editor->OkButton()->isHidden());
    EXPECT_FALSE(editor->HintBox()->isHidden());
    KeyClicks(editor->Memo(), QStringLiteral("Front"));
    EXPECT_TRUE(editor->OkButton()->isHidden());
    KeyClicks(editor->Memo(), QStringLiteral("!"));
    EXPECT_FALSE(editor->OkButton()->isHidden());
    EXPECT_TRUE(editor->HintBox()->isHidden());
    ClickButton(editor->OkButton());
    ASSERT_TRUE(ProcessUntil([this] { return window->LocationEditor() == nullptr; }));
    EXPECT_EQ(QStringLiteral("Front!"), store.GetKorrText(1));
    EXPECT_EQ(QStringLiteral("Front!"), store.GetKorrText(2));
    EXPECT_EQ(QStringLiteral("Tower"), store.GetKorrText(4));
    EXPECT_EQ(GetLangText(636) + QStringLiteral(" (A + C + Flat)"), TEditKorr::CaptionFor(7));
    EXPECT_EQ(GetLangText(636) + QStringLiteral(" (Flat)"), TEditKorr::CaptionFor(4));

    // A measurement start closes an open editor without taking its text.
    window->OpenEditKorr(8);
    KeyClicks(window->LocationEditor()->Memo(), QStringLiteral("Never stored"));
    // The calibration actions bring the open editor forward instead of running.
    for (const char* name : {"aPegel", "miVerify"}) {
        window->findChild<QAction*>(QString::fromLatin1(name))->trigger();
        EXPECT_EQ(nullptr, window->CalibrationWizard()) << name;
        EXPECT_NE(nullptr, window->LocationEditor()) << name;
    }
    StartRun();
    EXPECT_EQ(nullptr, window->LocationEditor());
    EXPECT_NE(QStringLiteral("Never stored"), store.GetKorrText(8));
}

// The loudest-location search from its two menu items: a click on the other
// microphone's item switches without leaving the search, a click on the
// active one ends it; the output plays only while it is on.
TEST_F(CorrectionControl, LoudestLocationSearchFromItsMenuItems) {
    StartTwoInputs(true);
    QAction* lsMic = window->findChild<QAction*>(QStringLiteral("lsMic"));
    QAction* lsRef = window->findChild<QAction*>(QStringLiteral("lsRef"));
    ASSERT_TRUE(lsMic->isEnabled());
    ASSERT_TRUE(lsRef->isEnabled());
    MainWindowFields& f = window->Fields();
    const int32_t idle = f.statusMessung.load();
    // Each click posts the status check, which sets the items' ticks.
    auto click = [this](QAction* item) {
        const size_t from = seen.size();
        item->trigger();
        return ProcessUntil([this, from] { return CountSeen(kNotifyCalStatus, from) > 0; });
    };
    struct Step {
        QAction* item;
        bool on, reference, micTicked, refTicked;
    };
    const Step steps[] = {{lsMic, true, false, true, false},
                          {lsRef, true, true, false, true},
                          {lsMic, true, false, true, false},
                          {lsMic, false, false, false, false},
                          {lsRef, true, true, false, true},
                          {lsRef, false, true, false, false}};
    for (size_t i = 0; i < std::size(steps); ++i) {
        const Step& step = steps[i];
        ASSERT_TRUE(click(step.item)) << i;
        EXPECT_EQ(step.on, f.isFindPeak.load()) << i;
        EXPECT_EQ(step.reference, f.useRefForLLF.load()) << i;
        EXPECT_EQ(step.on ? 1 : idle, f.statusMessung.load()) << i;
        EXPECT_EQ(step.on, IsOutputRunning()) << i;
        EXPECT_EQ(step.micTicked, lsMic->isChecked()) << i;
        EXPECT_EQ(step.refTicked, lsRef->isChecked()) << i;
        EXPECT_EQ(GetLangText(step.on ? 1119 : 1118), window->pbMitte()->toolTip()) << i;
    }

    // A run that needs the input ends the search with its output and its run
    // state: the test signal can no longer be switched on afterwards.
    ASSERT_TRUE(click(lsMic));
    window->WMMainNotify(kNotifyTestSignalSwitch, 1);
    EXPECT_EQ(4, f.statusMessung.load());
    EXPECT_TRUE(testSignalOn.load());
    window->StopFindPeak();
    EXPECT_FALSE(f.isFindPeak.load());
    EXPECT_FALSE(IsOutputRunning());
    EXPECT_FALSE(testSignalOn.load());
    EXPECT_EQ(idle, f.statusMessung.load());
    window->WMMainNotify(kNotifyTestSignalSwitch, 1);
    EXPECT_FALSE(testSignalOn.load());

    // The correction run ends the search and still has its own output.
    ASSERT_TRUE(click(lsRef));
    bool outputInWizard = false;
    WhenShown<TKorrWizard>([&](TKorrWizard* w) {
        outputInWizard = IsOutputRunning() && !f.isFindPeak.load();
        ClickButton(w->LeftButton());
    });
    window->aGetKorrExecute();
    EXPECT_TRUE(outputInWizard);
    EXPECT_FALSE(IsOutputRunning());
    EXPECT_FALSE(f.isFindPeak.load());
}

// The levels the simulated output plays, one entry per change, in whole dB;
// kSilent for a block of zeros. The noise table is made a constant full
// scale, so every sample of a block is the gain itself.
class OutputLevels {
public:
    static constexpr int32_t kSilent = -1000;
    OutputLevels() {
        platform::SetSimulatedOutputTap([this](const uint8_t* data, int32_t frames, const platform::PcmFormat& format) {
            Take(data, frames, format);
        });
    }
    ~OutputLevels() { platform::SetSimulatedOutputTap(nullptr); }
    static void PlayConstantTable(MainWindowFields& fields) {
        std::lock_guard guard(fields.csPink);
        std::fill(noiseTable.begin(), noiseTable.end(), 1.0);
    }
    std::vector<int32_t> Changes() const {
        std::lock_guard guard(lock_);
        return changes_;
    }
    bool Plays(int32_t level) const {
        return ProcessUntil([this, level] {
            std::lock_guard guard(lock_);
            return !changes_.empty() && changes_.back() == level;
        }, 30000);
    }

private:
    void Take(const uint8_t* data, int32_t frames, const platform::PcmFormat& format) {
        const int32_t bytes = format.BytesPerSample();
        int64_t largest = 0;
        for (int32_t i = 0; i < frames * format.channels; ++i) {
            int32_t v = 0;
            for (int32_t b = 0; b < bytes; ++b) v |= static_cast<int32_t>(data[i * bytes + b]) << (8 * (b + 4 - bytes));
            largest = std::max<int64_t>(largest, std::llabs(static_cast<int64_t>(v >> (8 * (4 - bytes)))));
        }
        const double full = static_cast<double>(platform::FullScale(format.bits));
        const int32_t level = largest == 0 ? kSilent
                                           : static_cast<int32_t>(std::lround(20.0 * std::log10(largest / full)));
        std::lock_guard guard(lock_);
        if (changes_.empty() || changes_.back() != level) changes_.push_back(level);
    }
    mutable std::mutex lock_;
    std::vector<int32_t> changes_;
};

// The wizard's own signal on the simulated output: a level button ramps it
// from -60 dB in steps of 1 dB per tick, and leaving the level page or
// cancelling mid-ramp mutes it at once.
TEST_F(CorrectionControl, OwnSignalRampsOneDbPerTickAndMutes) {
    StartTwoInputs(true);
    OutputLevels::PlayConstantTable(window->Fields());
    struct Case {
        int32_t ticks;
        bool cancel;
    };
    for (const Case c : {Case{40, false}, Case{20, true}}) {
        OutputLevels output;
        bool reached = false;
        auto drive = [&](TKorrWizard* w) {
            // One microphone, one location with the own signal, up to its level page.
            TPaintBox32* methods = w->PagePaintBox(KorrPage::tsART);
            methods->RenderBuffer();
            gui_test::Click(methods, w->MethodBoxPoint(kKorrOneMic));
            Next(w);
            ASSERT_EQ(24, w->Core().Step());
            Next(w);
            Type(w, QStringLiteral("Stage left"));
            Next(w);
            ASSERT_EQ(4, w->Core().Step());
            // The choice of the last run is kept, so the box may already be ticked.
            if (!window->LocationStore()->GetUseTg()) w->Core().TogglePink();
            w->Sync();
            ASSERT_TRUE(window->LocationStore()->GetUseTg());
            Next(w);
            ASSERT_EQ(11, w->Core().Step());
            ASSERT_TRUE(output.Plays(-60));
            // The ticks are driven here, not by the dialog's timer.
            w->Core().LevelButton(-20);
            for (int32_t tick = 1; tick <= c.ticks; ++tick) {
                w->Core().LevelTick();
                ASSERT_TRUE(output.Plays(-60 + tick)) << "tick " << tick;
            }
            EXPECT_EQ(c.ticks == 40, !w->Core().LevelChangeOn());
            if (c.cancel) w->Core().CancelWizard();
            else ClickButton(w->MiddleButton());
            ASSERT_TRUE(output.Plays(kMutedLevel));
            reached = true;
        };
        WhenShown<TKorrWizard>([&](TKorrWizard* w) {
            drive(w);
            if (reached && !c.cancel) ClickButton(w->LeftButton());
            // A cancel the dialog has not shown yet, or a failed step, closes it.
            if (w->Core().Result() == KorrResult::Open) w->Core().CancelWizard();
            w->Sync();
        });
        window->aGetKorrExecute();
        ASSERT_TRUE(reached);
        std::vector<int32_t> expected;
        for (int32_t level = -60; level <= -60 + c.ticks; ++level) expected.push_back(level);
        expected.push_back(kMutedLevel);
        std::vector<int32_t> changes = output.Changes();
        // The output starts silent until the level page switches the sound on.
        if (!changes.empty() && changes.front() == OutputLevels::kSilent) changes.erase(changes.begin());
        // Cancelling may close the output while a silent block plays.
        if (!changes.empty() && changes.back() == OutputLevels::kSilent) changes.pop_back();
        EXPECT_EQ(expected, changes) << (c.cancel ? "cancelled" : "ramped");
        EXPECT_FALSE(IsOutputRunning());
    }
}

}  // namespace
