#pragma once
// For executables that talk D-Bus through Qt; include in one file of each.
//
// Every bus call runs through Qt's D-Bus thread and libdbus, which hand each
// message over under locks that ThreadSanitizer cannot see in the
// uninstrumented system libraries (Qt's futex-based mutexes, the wake-ups of
// the glib event loop), so it would report each message as a race inside
// them. The executables that include this run their own code on the main
// thread only; the D-Bus thread is all Qt's.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so.6\n"
           "race:libQt6DBus.so.6\n"
           "race:libdbus-1.so.3\n"
           "race:libglib-2.0.so.0\n"
           "called_from_lib:libdbus-1.so.3\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "mutex:libQt6DBus.so.6\n"
           "mutex:libdbus-1.so.3\n";
}
#endif
