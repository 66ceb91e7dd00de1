#pragma once
// What the core-audio stand-in asks of the places its endpoints come from
// (PulseAudio, the simulated endpoints): whether a format is taken, the
// device periods, and the device side of an opened stream. The audio client
// keeps the stream's buffer; the device side fills it (capture) or drains it
// (render) and says when it did.
#include <QString>

#include <memory>
#include <vector>

#include "platform/pcm_streams.h"
#include "platform/wasapi_pulse.h"

namespace platform {

// The client's side of a stream, as the device side sees it. Called on the
// device side's own thread.
class StreamSink {
public:
    virtual ~StreamSink() = default;
    // Capture: frames that arrived.
    virtual void Deliver(const uint8_t* data, uint32_t frames) = 0;
    // Render: takes up to maxFrames frames to play; answers how many.
    virtual uint32_t Take(uint8_t* data, uint32_t maxFrames) = 0;
    // Frames are waiting to be played (render).
    virtual uint32_t Pending() = 0;
    // A buffer is ready: sets the client's event.
    virtual void Signal() = 0;
    // The session volume changed.
    virtual void VolumeChanged(float volume, bool muted) = 0;
    // The stream ended on the device side (kDisconnect... reason): its device
    // went away or its server did. Told once.
    virtual void Disconnected(int32_t reason) = 0;
};

struct StreamSetup {
    PcmFormat format;
    ShareMode mode = ShareMode::Shared;
    uint32_t bufferFrames = 0;
    uint32_t periodFrames = 0;  // frames per event
};

// The device side of one opened stream.
class StreamTransport {
public:
    virtual ~StreamTransport() = default;
    virtual HResult Start() = 0;
    virtual HResult Stop() = 0;
    // Drops what the device side still holds.
    virtual void Flush() = 0;
    // Render: new frames are waiting in the client's buffer.
    virtual void Kick() {}
    virtual HResult GetVolume(float* volume, bool* muted) = 0;
    virtual HResult SetVolume(float volume) = 0;
    virtual HResult SetMute(bool muted) = 0;
    // Stream latency in 100-ns units.
    virtual int64_t Latency() const = 0;
};

class EndpointBackend {
public:
    virtual ~EndpointBackend() = default;
    virtual DataFlow Flow() const = 0;
    // S_OK, AUDCLNT_E_UNSUPPORTED_FORMAT or AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED.
    virtual HResult Supports(ShareMode mode, const PcmFormat& format, bool extensible) const = 0;
    virtual void Periods(int64_t* defaultPeriod, int64_t* minimumPeriod) const = 0;
    virtual uint32_t ExclusiveAlignmentFrames() const { return 0; }
    virtual HResult OpenTransport(const StreamSetup& setup, StreamSink* sink,
                                  std::unique_ptr<StreamTransport>* transport) = 0;
};

// One listed endpoint.
struct EndpointEntry {
    QString id;
    QString friendlyName;
    SimulatedEndpointSetup::NameState nameState = SimulatedEndpointSetup::NameState::Text;
    std::shared_ptr<EndpointBackend> backend;
};

// The server's endpoints of a direction and its default one's id; empty
// when no server answers (or VELTARO_PULSEAUDIO=0).
struct PulseListing {
    std::vector<EndpointEntry> capture;
    std::vector<EndpointEntry> render;
    QString defaultCaptureId;
    QString defaultRenderId;
};
PulseListing ListPulseEndpoints();

// The simulated endpoints now in force.
std::vector<EndpointEntry> ListSimulatedEndpoints(DataFlow flow);

// Makes the device side of a simulated stream; shared by the simulated backend.
std::unique_ptr<StreamTransport> MakePacedTransport(const StreamSetup& setup, StreamSink* sink,
                                                    std::unique_ptr<SignalSource> source, const QString& endpointId);

}  // namespace platform
