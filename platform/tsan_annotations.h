#pragma once
// Hand-overs that ThreadSanitizer cannot see by itself, because they happen
// inside uninstrumented libraries (Qt's event queue) or calls it does not
// intercept (a condition wait on the steady clock). The sender states the
// hand-over with HandedOver, the receiver with TakenOver; both do nothing
// outside a ThreadSanitizer build.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace platform {

inline void HandedOver(void* what) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(what);
#else
    (void)what;
#endif
}

inline void TakenOver(void* what) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(what);
#else
    (void)what;
#endif
}

}  // namespace platform
