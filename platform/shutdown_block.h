#pragma once
// Blocking what must not cut a measurement short: logind inhibitors in
// "block" mode, taken over the system bus (platform/system_bus.h), for the
// shut-down ("shutdown") or for idle sleep ("idle:sleep"). logind keeps a
// block as long as the descriptor it hands out stays open. GUI thread only:
// the calls block briefly.
#include <QString>

namespace platform {

// True when logind is on the system bus.
bool ShutdownInhibitorAvailable();

// A held inhibitor of what logind calls what ("shutdown", "idle:sleep");
// closing the descriptor lifts the block.
class LogindInhibitor {
public:
    explicit LogindInhibitor(QString what) : what_(std::move(what)) {}
    ~LogindInhibitor() { Release(); }
    LogindInhibitor(const LogindInhibitor&) = delete;
    LogindInhibitor& operator=(const LogindInhibitor&) = delete;

    // Asks logind for a new block in the name of who, for the reason why; a
    // block held before is lifted once the new one is in place. False (and
    // the old block kept) when logind refused or is missing; *error then says
    // why when given.
    bool Take(const QString& who, const QString& why, QString* error = nullptr);
    // Lifts the block; false when none was held.
    bool Release();
    bool Held() const { return fd_ >= 0; }

private:
    QString what_;
    int fd_ = -1;
};

}  // namespace platform
