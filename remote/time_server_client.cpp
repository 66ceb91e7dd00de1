#include "remote/time_server_client.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <exception>

#include "ui_kit/services/clock.h"

namespace {
constexpr int kWaitPollMs = 5;
}

// What the worker and the waiting main thread share.
struct TTimeServerClient::Job {
    std::atomic<bool> resolved{false};
    std::atomic<bool> done{false};
    TSntpExchange exchange;  // written by the worker before done
};

TTimeServerClient::TTimeServerClient(Hooks hooks) : hooks_(std::move(hooks)) {}

TTimeServerClient::~TTimeServerClient() {
    for (auto& [job, worker] : abandoned_) {
        if (job->done.load())
            worker.join();
        else
            worker.detach();  // owns its share of the job; ends with the resolver
    }
}

std::optional<TSntpExchange> TTimeServerClient::Exchange(const QString& host) {
    if (busy_) return std::nullopt;
    busy_ = true;
    auto job = std::make_shared<Job>();
    const uint16_t port = port_;
    std::thread worker([job, host, port] {
        try {
            const std::optional<TSntpAddress> server = ResolveTimeServer(host, port);
            job->resolved.store(true);
            if (!server)
                job->exchange.result = TSntpResult::Unresolvable;
            else
                job->exchange = SntpExchange(*server, kSntpTimeoutMs, [] { return UncorrectedUtcNow(); });
        } catch (...) {
            job->exchange = TSntpExchange{};  // counts as no answer
        }
        job->done.store(true);
    });

    QEventLoop wait;
    QTimer poll;
    const auto started = std::chrono::steady_clock::now();
    bool gaveUp = false;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (job->done.load()) {
            wait.quit();
        } else if (!job->resolved.load() && std::chrono::steady_clock::now() - started >
                                                 std::chrono::milliseconds(kResolveLimitMs)) {
            gaveUp = true;
            wait.quit();
        }
    });
    poll.start(kWaitPollMs);
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    busy_ = false;
    if (gaveUp) {
        abandoned_.emplace_back(job, std::move(worker));
        return TSntpExchange{TSntpResult::Unresolvable, 0, 0};
    }
    worker.join();
    return job->exchange;
}

void TTimeServerClient::TakeOffset(const TSntpExchange& exchange) {
    if (exchange.result != TSntpResult::Answer) {
        SetClockOffset(0);
        return;
    }
    SetClockOffset(std::llabs(exchange.offsetMs) <= kIgnoredOffsetMs ? 0 : exchange.offsetMs);
    if (hooks_.syncClockThread) hooks_.syncClockThread();
}

void TTimeServerClient::SyncWebTime(bool& syncWebTime) {
    if (syncWebTime) {
        const std::optional<TSntpExchange> exchange = Exchange(host_);
        if (!exchange) return;  // one is under way already
        if (exchange->result == TSntpResult::Unresolvable)
            syncWebTime = false;
        else
            TakeOffset(*exchange);
    }
    if (!syncWebTime) SetClockOffset(0);
    if (hooks_.repaintInfo) hooks_.repaintInfo();
}

platform::TDateTime TTimeServerClient::ServerLocalTime(const TSntpExchange& exchange) {
    if (exchange.result != TSntpResult::Answer) return 0;
    try {
        return UtcToLocal(exchange.serverUtc);
    } catch (const std::exception&) {
        return 0;
    }
}

platform::TDateTime TTimeServerClient::CheckTsHost(const QString& host) {
    const std::optional<TSntpExchange> exchange = Exchange(host);
    if (!exchange) return 0;
    TakeOffset(*exchange);
    return ServerLocalTime(*exchange);
}

platform::TDateTime TTimeServerClient::TimeServerTime() {
    const std::optional<TSntpExchange> exchange = Exchange(host_);
    return exchange ? ServerLocalTime(*exchange) : 0;
}
