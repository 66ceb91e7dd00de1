// The JACK driver's process thread over a run of three seconds of samples:
// the driver starts once (the server's calls at registration and activation
// restart nothing), and nothing is allocated on the thread that runs the
// buffer switch.
//
// libjack creates its threads through a creator this test installs; each
// thread it creates while the input starts gets a slot of its own, whose
// allocations the replaced allocator counts. The driver opens its client
// (the notification thread) before it activates it (the process thread),
// so the last thread created during the start is the process thread.
#include "asio_jack_fixture.h"

#include <jack/thread.h>

#include <array>
#include <cstdlib>

using namespace asio_jack_test;

namespace {

constexpr int kSlots = 16;
std::atomic<bool> tagging{false};
std::atomic<int> tagged{0};
std::array<std::atomic<int64_t>, kSlots> allocations{};
thread_local int threadSlot = -1;  // constant-initialised: no allocation to reach it

void CountAllocation() {
    if (threadSlot >= 0) allocations[static_cast<size_t>(threadSlot)].fetch_add(1, std::memory_order_relaxed);
}

struct TaggedStart {
    void* (*function)(void*);
    void* arg;
    int slot;
};

void* RunTagged(void* start) {
    const TaggedStart s = *static_cast<TaggedStart*>(start);
    delete static_cast<TaggedStart*>(start);
    threadSlot = s.slot;
    return s.function(s.arg);
}

int CreateTaggedThread(pthread_t* thread, const pthread_attr_t* attributes, void* (*function)(void*), void* arg) {
    int slot = -1;
    if (tagging.load()) {
        slot = tagged.fetch_add(1);
        if (slot >= kSlots) slot = -1;
    }
    auto* start = new TaggedStart{function, arg, slot};
    const int result = pthread_create(thread, attributes, &RunTagged, start);
    if (result != 0) delete start;
    return result;
}

const bool kCreatorInstalled = [] {
    jack_set_thread_creator(&CreateTaggedThread);
    return true;
}();

}  // namespace

// Every allocation of the process, counted for the tagged threads. Without a
// sanitizer, the C allocator itself is replaced (Qt's and libjack's C
// allocations count too, and operator new reaches it); a sanitizer owns the
// C allocator, so there only operator new is counted.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
void* operator new(std::size_t size) {
    CountAllocation();
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    CountAllocation();
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#else
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);

void* malloc(size_t size) {
    CountAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    CountAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    CountAllocation();
    return __libc_realloc(p, size);
}
void free(void* p) { __libc_free(p); }
}
#endif

TEST_F(AsioJackTest, ThreeSecondsOfRunStartTheDriverOnceAndAllocateNothingOnItsProcessThread) {
    ASSERT_TRUE(kCreatorInstalled);
    main.fields.IOMode.store(1);
    TAudioBackEnds backEnds;
    tagging.store(true);
    ASSERT_TRUE(StartAudioIn(false));
    tagging.store(false);
    ASSERT_TRUE(IsInputRunning());
    const int created = tagged.load();
    ASSERT_GT(created, 0) << "libjack created the driver's threads through the test's creator";
    ASSERT_LE(created, kSlots);
    const size_t processThread = static_cast<size_t>(created - 1);

    // The driver's requests are answered as the main window answers them, so
    // that a restart they cause shows as one more start.
    size_t answered = 0;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (SampleRingPosition::WrittenIn(ringWritePos.Snapshot()) < 3 * 48000 && ramp.DriverStarts() <= 1 &&
           std::chrono::steady_clock::now() < giveUp) {
        if (!ramp.AwaitCycles(16)) break;
        const std::vector<Message> seen = Delivered();
        for (; answered < seen.size(); ++answered)
            if (seen[answered].msg == WM_ASIO_RESET) ResetASIODriver(seen[answered].lParam);
    }
    const int64_t written = SampleRingPosition::WrittenIn(ringWritePos.Snapshot());
    const int64_t allocated = allocations[processThread].load();
    StopAudioIn();
    EXPECT_EQ(ramp.DriverStarts(), 1);
    ASSERT_GE(written, 3 * 48000) << "three seconds of samples";
    EXPECT_EQ(allocated, 0) << "allocations on the process thread";
}
