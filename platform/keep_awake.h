#pragma once
// Keeping the computer and its screen awake while a measurement runs: a
// logind "idle:sleep" inhibitor on the system bus and the desktop's
// org.freedesktop.ScreenSaver inhibition on the session bus. Either may be
// missing (no logind, no desktop); then that half is left out and the
// measurement goes on. GUI thread only: the calls block briefly.
#include <QString>

#include <cstdint>

#include "platform/shutdown_block.h"

namespace platform {

class KeepAwake {
public:
    KeepAwake() = default;
    ~KeepAwake() { Release(); }
    KeepAwake(const KeepAwake&) = delete;
    KeepAwake& operator=(const KeepAwake&) = delete;

    // Takes both blocks in the name of who for the reason why; a block held
    // already is kept.
    void Take(const QString& who, const QString& why);
    // Lets the computer and the screen sleep again.
    void Release();

    bool SleepBlocked() const { return sleep_.Held(); }
    bool ScreenBlocked() const { return screenHeld_; }

private:
    LogindInhibitor sleep_{QStringLiteral("idle:sleep")};
    uint32_t screenCookie_ = 0;
    bool screenHeld_ = false;
};

}  // namespace platform
