#pragma once
// The one pool of connection threads the web server's listeners share. The
// HTTP library would queue every accepted connection without limit; here a
// connection that finds all threads busy is closed at once, so a crowd of
// idle browser connections cannot hold the polling clients back.
#include <httplib.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TWebThreadPool {
public:
    explicit TWebThreadPool(int32_t threads);
    // Runs every task already admitted, then ends the threads.
    ~TWebThreadPool();

    // Admits fn unless the threads are all taken by admitted connections
    // (evenWhenBusy: it then waits for one).
    bool TryRun(std::function<void()> fn, bool evenWhenBusy = false);
    // A task queue for one listener; the pool outlives it.
    std::unique_ptr<httplib::TaskQueue> QueueFor(const httplib::Server& listener);

private:
    void Work();

    const int32_t capacity_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    int32_t admitted_ = 0;  // queued and running
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The socket that httplib's accept loop hands over in a connection task, or
// -1 when fn is not such a task of listener.
int AcceptedSocketOf(const std::function<void()>& fn, const httplib::Server& listener);
