#pragma once
// What the audio start and stop and the wave back-end use of parts that are
// built elsewhere: the ASIO back-end, the WASAPI capture and the test-signal
// output. The main window registers one implementation when it is created
// and removes it when it is destroyed.
//
// Without a registration the ASIO and WASAPI modes start nothing (the input
// stays off and the device line says so), the test-signal stop closes only
// the wave output that the wave back-end opened itself.
#include <QString>

#include <optional>

class AudioPeers {
public:
    virtual ~AudioPeers() = default;

    // --- ASIO back-end ---
    // Opens the driver and starts its input (and the output channel with
    // withOutput); reports its own failures and sets the run-state bits.
    virtual void StartAsioIn(bool withOutput) = 0;
    // True while the driver object exists.
    virtual bool AsioDriverOpen() = 0;
    // Closes the driver; reports a failed buffer disposal.
    virtual void CloseAsio() = 0;
    // The sample rate the open driver reports; none when it cannot.
    virtual std::optional<double> AsioSampleRate() = 0;

    // --- WASAPI capture ---
    virtual void OpenWasapiIn() = 0;
    virtual void CloseWasapiIn() = 0;
    // True when the input is not WASAPI or its volume is the stored one;
    // warns otherwise.
    virtual bool CheckInputVolume() = 0;

    // --- Test signal ---
    // Stops the test-signal output of the current interface.
    virtual void StopAudioOut() = 0;
};

// The registered implementation, or nullptr. Main thread only.
AudioPeers* audioPeers();
void RegisterAudioPeers(AudioPeers* peers);
