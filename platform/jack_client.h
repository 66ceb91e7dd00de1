#pragma once
// What every JACK client of ours (the driver, the tests' and the
// benchmark's peers) needs from libjack beyond its plain calls.
//
// libjack ends a client's threads with an asynchronous pthread_cancel when
// the client closes after its server died (and on deactivating while a
// cycle runs late). A cancel that lands inside a callback unwinds through
// whatever code it hit: through a noexcept frame (a lock guard's destructor,
// notify_all) that is std::terminate, and a lock held there stays held.
// Callbacks given to libjack therefore run with cancellation off; a cancel
// that came meanwhile acts when the callback has finished, in this frame.
#include <jack/jack.h>
#include <pthread.h>

#include <type_traits>

namespace platform {

template <typename Body>
auto RunUncancelled(Body&& body) {
    int old = PTHREAD_CANCEL_ENABLE;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &old);
    if constexpr (std::is_void_v<decltype(body())>) {
        body();
        pthread_setcancelstate(old, nullptr);
    } else {
        auto result = body();
        pthread_setcancelstate(old, nullptr);
        return result;
    }
}

// A server that is up may still refuse a new client when the client's
// answer to its first notification came late (a loaded machine): it is asked
// again. Null when there is no server or it refused every time.
inline jack_client_t* OpenJackClient(const char* name) {
    constexpr int kAttempts = 3;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        jack_status_t status{};
        if (jack_client_t* client = jack_client_open(name, JackNoStartServer, &status)) return client;
        if (status & JackServerFailed) break;  // no server to ask
    }
    return nullptr;
}

}  // namespace platform
