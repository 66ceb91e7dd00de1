#include "main/notification_dispatch.h"

#include <cstdio>
#include <exception>
#include <limits>

void TNotifyDispatch::Add(uintptr_t code, Handler handler, bool quietWhileLeaving) {
    handlers_[code] = Entry{std::move(handler), quietWhileLeaving};
}

bool TNotifyDispatch::Dispatch(uintptr_t code, intptr_t argument, bool leaving) const {
    const auto it = handlers_.find(code);
    if (it == handlers_.end()) return false;
    if (leaving && it->second.quietWhileLeaving) return false;
    if (argument < std::numeric_limits<int32_t>::min() || argument > std::numeric_limits<int32_t>::max()) return false;
    try {
        it->second.handler(static_cast<int32_t>(argument));
        return true;
    } catch (const std::exception& e) {
        // A failed notification leaves the program where the operation got
        // to; the next notification must still be handled.
        std::fprintf(stderr, "veltaro: notification %zu failed: %s\n", static_cast<size_t>(code), e.what());
    } catch (...) {
        std::fprintf(stderr, "veltaro: notification %zu failed\n", static_cast<size_t>(code));
    }
    return false;
}
