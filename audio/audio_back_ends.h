#pragma once
// The back-ends that the audio start and stop reach through AudioPeers: the
// ASIO driver, the WASAPI capture and the test-signal output of the current
// interface. The main window owns one and registers it while it lives.
#include "audio/audio_peers.h"

class TAudioBackEnds : public AudioPeers {
public:
    TAudioBackEnds();
    // Stops a test signal still playing, then removes the registration.
    ~TAudioBackEnds() override;
    TAudioBackEnds(const TAudioBackEnds&) = delete;
    TAudioBackEnds& operator=(const TAudioBackEnds&) = delete;

    void StartAsioIn(bool withOutput) override;
    bool AsioDriverOpen() override;
    void CloseAsio() override;
    std::optional<double> AsioSampleRate() override;
    void OpenWasapiIn() override;
    void CloseWasapiIn() override;
    bool CheckInputVolume() override;
    void StopAudioOut() override;
};
