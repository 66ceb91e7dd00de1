// The start sequence on the real main window: the basic settings of a first
// run, and the sequence run again by the information window's answers 7 and
// 8, which must leave a program that was fine as fine as it was.
#include <QCoreApplication>

#include <algorithm>

#include "main/session_end_watch.h"
#include "measurement_run_fixture.h"
#include "ui_kit/info_window.h"
#include "ui_kit/notifications.h"

namespace {

using test_support::MeasurementRunConcurrent;
using test_support::ProcessUntil;

class StartSequenceAgain : public MeasurementRunConcurrent {
protected:
    size_t InputStarts() const {
        return static_cast<size_t>(std::count(seen.begin(), seen.end(), uintptr_t{kNotifyInputAssign}));
    }
    // A real information window whose right button answers code, clicked.
    void AnswerFromTheInfoWindow(int32_t code) {
        ShowInfoPopup(-1, -1, QStringLiteral("Run the start again?"), QStringLiteral("Start"), 0, QString(), -1,
                      QStringLiteral("Again"), code, 0, 0, 1);
        TinfoWindow* info = infoWindow.load();
        ASSERT_NE(info, nullptr);
        info->pbBottom->RenderBuffer();  // lays out the button hit areas
        const auto handledBefore = handled.size();
        gui_test::Click(info->pbBottom, info->brRechts.center());
        ASSERT_TRUE(ProcessUntil([&] {
            return std::any_of(handled.begin() + static_cast<std::ptrdiff_t>(handledBefore), handled.end(),
                               [code](const auto& h) { return h.first == kNotifyInfoAnswer && h.second == code; });
        }));
        EXPECT_EQ(infoWindow.load(), info) << "the window that asked stays open";
    }
};

TEST_F(StartSequenceAgain, BasicSettingsComeAtEveryStartUntilConfirmed) {
    Start();
    EXPECT_EQ(basicSettingsShown, 1);
    // An answer that arrives while the sequence waits in its own dialog does
    // not start it once more inside itself.
    SetModalRunner<TGrundeinstellung>([this](TGrundeinstellung&) {
        ++basicSettingsShown;
        window->InfoAnswer(8);
        return 0;
    });
    AnswerFromTheInfoWindow(7);
    EXPECT_EQ(basicSettingsShown, 2) << "cancelled at the first start, they are asked again, once";
    SetModalRunner<TGrundeinstellung>([this](TGrundeinstellung&) {
        ++basicSettingsShown;
        return 1;
    });
    AnswerFromTheInfoWindow(8);
    EXPECT_EQ(basicSettingsShown, 3);
    EXPECT_EQ(ReadBool("GrundEinstellung"), true);
    AnswerFromTheInfoWindow(7);
    EXPECT_EQ(basicSettingsShown, 3);
    Exit();

    Start();
    EXPECT_EQ(basicSettingsShown, 3) << "confirmed once, a later start does not ask";
}

TEST_F(StartSequenceAgain, RunTwiceItRestartsTheInputOnceAndKeepsWhatLivesOnlyInMemory) {
    UseSimulatedSine();
    Start();
    window->show();
    const QRect moved(137, 91, 900, 640);
    window->setGeometry(moved);
    TSessionEndWatch* watch = window->SessionEndWatch();
    ASSERT_NE(watch, nullptr);
    const bool signalsWatched = watch->SignalsWatched();
    const size_t startsBefore = InputStarts();

    AnswerFromTheInfoWindow(7);
    EXPECT_EQ(InputStarts(), startsBefore + 1);
    EXPECT_EQ(window->normalGeometry(), moved) << "the placement is written before it is read back";
    EXPECT_EQ(window->SessionEndWatch(), watch) << "one watcher of the session's end";
    EXPECT_EQ(watch->SignalsWatched(), signalsWatched);
    EXPECT_TRUE(HearsTheTone());
    EXPECT_EQ(window->Fields().RestorePfad, window->Fields().userPfad);
    Exit();
}

TEST_F(StartSequenceAgain, ARunningMeasurementIsLeftAlone) {
    StartProgram();
    StartRun();
    const size_t startsBefore = InputStarts();
    const int32_t storedBefore = messDaten.load()->GetWerteAnzahl();
    AnswerFromTheInfoWindow(7);
    EXPECT_TRUE(window->GetMessungLaeuft());
    EXPECT_EQ(InputStarts(), startsBefore) << "the input of the run was not restarted";
    EXPECT_TRUE(StoredAtLeast(storedBefore + 2));
}

}  // namespace
