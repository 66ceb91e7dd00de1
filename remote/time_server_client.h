#pragma once
// The program's time-server client: the synchronisation that keeps the
// clock offset, the one-off test of a server the options page runs, and the
// server time of the start and stop stamps. The name resolution and the
// exchange run on a worker while the main thread waits in a local event
// loop, so the window keeps painting; a request that arrives while one is
// under way does nothing. Main thread only.
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "remote/sntp_client.h"
#include "ui_kit/services/time_server_services.h"

class TTimeServerClient : public TimeServerServices {
public:
    // A name that takes longer to resolve counts as unresolvable.
    static constexpr int kResolveLimitMs = 5000;
    // Smaller differences are left alone.
    static constexpr int64_t kIgnoredOffsetMs = 124;

    struct Hooks {
        std::function<void()> syncClockThread;  // re-aligns the clock thread's tick
        std::function<void()> repaintInfo;      // the measurement information box
    };

    explicit TTimeServerClient(Hooks hooks = {});
    ~TTimeServerClient() override;

    void SetHost(const QString& host) { host_ = host; }
    void SetPort(uint16_t port) { port_ = port; }

    // Takes a new offset from the configured server while syncWebTime is
    // set; clears syncWebTime when the server cannot be reached at all.
    void SyncWebTime(bool& syncWebTime);
    // Tests host: its local date-time, 0 when it gives none; its offset is
    // taken as by the synchronisation, 0 when it does not answer.
    platform::TDateTime CheckTsHost(const QString& host);

    platform::TDateTime TimeServerTime() override;
    QString TimeServerHost() override { return host_; }

private:
    struct Job;

    // Nothing when another exchange is under way.
    std::optional<TSntpExchange> Exchange(const QString& host);
    void TakeOffset(const TSntpExchange& exchange);
    static platform::TDateTime ServerLocalTime(const TSntpExchange& exchange);

    Hooks hooks_;
    QString host_;
    uint16_t port_ = kSntpPort;
    bool busy_ = false;
    // Workers still stuck in a name resolution we stopped waiting for.
    std::vector<std::pair<std::shared_ptr<Job>, std::thread>> abandoned_;
};
