#pragma once
// An automatic-reset event that a real-time thread may set: Set is one
// write to an eventfd, it takes no lock and allocates nothing (the events
// of sync.h share a process-wide mutex with every waiter, the GUI's too).
// One thread waits on it.
namespace platform {

class LockFreeEvent {
public:
    LockFreeEvent();
    ~LockFreeEvent();
    LockFreeEvent(const LockFreeEvent&) = delete;
    LockFreeEvent& operator=(const LockFreeEvent&) = delete;

    void Set();
    // True when the event was set within timeoutMs; consumes it.
    bool Wait(int timeoutMs);
    void Reset();

private:
    int fd_ = -1;
};

}  // namespace platform
