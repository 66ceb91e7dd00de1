#include "platform/lock_free_event.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

namespace platform {

LockFreeEvent::LockFreeEvent() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (fd_ < 0) throw std::runtime_error("no eventfd");
}

LockFreeEvent::~LockFreeEvent() { close(fd_); }

void LockFreeEvent::Set() {
    const uint64_t one = 1;
    // A full counter already wakes the waiter: nothing is lost.
    [[maybe_unused]] const ssize_t n = write(fd_, &one, sizeof one);
}

bool LockFreeEvent::Wait(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    int r;
    do {
        r = poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r <= 0) return false;
    uint64_t count = 0;
    return read(fd_, &count, sizeof count) == static_cast<ssize_t>(sizeof count);
}

void LockFreeEvent::Reset() {
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = read(fd_, &count, sizeof count);
}

}  // namespace platform
