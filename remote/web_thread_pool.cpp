#include "remote/web_thread_pool.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

class PoolQueue : public httplib::TaskQueue {
public:
    PoolQueue(TWebThreadPool& pool, const httplib::Server& listener) : pool_(pool), listener_(listener) {}

    void enqueue(std::function<void()> fn) override {
        const int sock = AcceptedSocketOf(fn, listener_);
        // A task that cannot be refused waits for a thread like any other.
        if (pool_.TryRun(fn, sock < 0)) return;
        ::shutdown(sock, SHUT_RDWR);
        ::close(sock);
    }
    // The pool is shared and ends with the server, not with one listener.
    void shutdown() override {}

private:
    TWebThreadPool& pool_;
    const httplib::Server& listener_;
};

}  // namespace

// httplib 0.11 hands each accepted connection to the task queue as a closure
// of its accept loop that holds the listener and the socket, and offers no
// other way to refuse a connection. The closure is small and trivially
// copyable, so std::function keeps it inline; it is recognised by its type
// (a lambda of Server::listen_internal) and by the listener it holds, and
// its socket must be a connected stream socket, before it is used.
int AcceptedSocketOf(const std::function<void()>& fn, const httplib::Server& listener) {
    struct Closure {
        const httplib::Server* self;
        int sock;
    };
    static_assert(sizeof(Closure) <= sizeof(std::function<void()>));
    if (!fn || std::strstr(fn.target_type().name(), "listen_internal") == nullptr) return -1;
    Closure closure;
    std::memcpy(static_cast<void*>(&closure), static_cast<const void*>(&fn), sizeof closure);
    if (closure.self != &listener || closure.sock < 0) return -1;
    int type = 0;
    socklen_t length = sizeof type;
    if (getsockopt(closure.sock, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM) return -1;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (getpeername(closure.sock, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) return -1;
    return closure.sock;
}

TWebThreadPool::TWebThreadPool(int32_t threads) : capacity_(threads) {
    for (int32_t i = 0; i < threads; ++i) threads_.emplace_back([this] { Work(); });
}

TWebThreadPool::~TWebThreadPool() {
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

bool TWebThreadPool::TryRun(std::function<void()> fn, bool evenWhenBusy) {
    {
        std::lock_guard guard(lock_);
        if ((admitted_ >= capacity_ && !evenWhenBusy) || stopping_) return false;
        ++admitted_;
        tasks_.push_back(std::move(fn));
    }
    wake_.notify_one();
    return true;
}

std::unique_ptr<httplib::TaskQueue> TWebThreadPool::QueueFor(const httplib::Server& listener) {
    return std::make_unique<PoolQueue>(*this, listener);
}

void TWebThreadPool::Work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        try {
            task();
        } catch (...) {
            // A connection that fails ends alone; the thread serves the next.
        }
        std::lock_guard guard(lock_);
        --admitted_;
    }
}
