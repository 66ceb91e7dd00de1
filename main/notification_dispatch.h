#pragma once
// The notification message of the main window as a table: each code the
// window handles has one handler taking the argument. A code without a
// handler does nothing; a handler that throws is stopped there and the
// message loop goes on; the redraw and value codes are dropped once the
// shut-down has begun.
#include <cstdint>
#include <functional>
#include <unordered_map>

class TNotifyDispatch {
public:
    using Handler = std::function<void(int32_t argument)>;

    // quietWhileLeaving: the code does nothing once the shut-down began.
    void Add(uintptr_t code, Handler handler, bool quietWhileLeaving = false);
    bool Handles(uintptr_t code) const { return handlers_.count(code) != 0; }

    // Runs the handler of code with argument. False when no handler ran to
    // its end: an unknown code, a code quiet while leaving, an argument
    // outside 32 bits, or a handler that threw.
    bool Dispatch(uintptr_t code, intptr_t argument, bool leaving) const;

private:
    struct Entry {
        Handler handler;
        bool quietWhileLeaving = false;
    };
    std::unordered_map<uintptr_t, Entry> handlers_;
};
