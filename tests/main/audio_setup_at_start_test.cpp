// The program's start and the audio device dialog: it opens once when no
// interface was chosen, and not when one was or the setting is missing.
#include "main_window_fixture.h"

namespace {

using test_support::MainWindowConcurrent;

TEST_F(MainWindowConcurrent, TheAudioDeviceDialogOpensAtStartOnlyWithoutAChosenInterface) {
    struct Case {
        const char* stored;
        std::optional<int> ioMode;
        int shows;
    };
    for (const Case& c : {Case{"missing", std::nullopt, 0}, Case{"wave", 0, 0}, Case{"none chosen", -1, 1}}) {
        if (c.ioMode) WriteSettings([&](platform::Registry& reg) { reg.WriteInteger("IOMode", *c.ioMode); });
        audioSetupShows = 0;
        Start();
        EXPECT_EQ(audioSetupShows, c.shows) << c.stored;
        Exit();
    }
}

}  // namespace
