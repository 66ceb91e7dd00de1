#pragma once
// Blocking the system's shut-down while something must not be cut short:
// a logind "shutdown" inhibitor in "block" mode, taken over the system bus
// (platform/system_bus.h). logind keeps the block as long as the descriptor
// it hands out stays open. GUI thread only: the calls block briefly.
#include <QString>

namespace platform {

// True when logind is on the system bus.
bool ShutdownInhibitorAvailable();

// A held inhibitor; closing the descriptor lifts the block.
class ShutdownInhibitor {
public:
    ShutdownInhibitor() = default;
    ~ShutdownInhibitor() { Release(); }
    ShutdownInhibitor(const ShutdownInhibitor&) = delete;
    ShutdownInhibitor& operator=(const ShutdownInhibitor&) = delete;

    // Asks logind for a new block in the name of who, for the reason why; a
    // block held before is lifted once the new one is in place. False (and
    // the old block kept) when logind refused or is missing; *error then says
    // why when given.
    bool Take(const QString& who, const QString& why, QString* error = nullptr);
    // Lifts the block; false when none was held.
    bool Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace platform
