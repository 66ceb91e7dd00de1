#include "audio/audio_peers.h"

#include <atomic>

namespace {
std::atomic<AudioPeers*> registered{nullptr};
}

AudioPeers* audioPeers() { return registered.load(std::memory_order_acquire); }
void RegisterAudioPeers(AudioPeers* peers) { registered.store(peers, std::memory_order_release); }
