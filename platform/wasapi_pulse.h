#pragma once
// The core-audio shape: a device enumerator that lists the capture and
// render endpoints, each with an id string and a friendly name; an audio
// client that opens an endpoint in shared or exclusive mode, event-driven,
// with its capture or render client; the simple volume and the session
// events of the stream.
//
// Endpoints come from two places:
//  - PulseAudio (also served by PipeWire): every source that is not a sink's
//    monitor is a capture endpoint, every sink a render endpoint; the id is
//    "pulse:source:<name>" or "pulse:sink:<name>", the friendly name the
//    description. The server converts any integer format in shared mode, so
//    shared mode accepts 16, 24 and 32 bits, mono or stereo. Exclusive mode
//    is reported as not allowed: the server cannot hand a device over. The
//    session volume is the stream's volume times the device's, and a change
//    of either is a volume event, so a changed input gain is noticed.
//    VELTARO_PULSEAUDIO=0 in the environment leaves the server out; the
//    client never starts a server of its own.
//  - the simulated endpoints (simulated_audio.h: same configuration, same
//    switch), listed after the server's: "Simulated Sine", "Simulated Pink
//    Noise", "Simulated WAV Player" (while a file is set) for capture,
//    "Simulated Output" for render, with ids "sim:capture:sine" and so on.
//    They take 16, 24 and 32 bits in both modes. A test can replace them by
//    endpoints of its own description (SetSimulatedEndpoints).
//
// Results are HResult codes: negative is failure. Objects are shared and
// stay usable while anyone holds them; a stream's buffers are the client's
// own and valid between GetBuffer and ReleaseBuffer.
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/simulated_audio.h"
#include "platform/sync.h"
#include "platform/wave_audio.h"

namespace platform {

using HResult = int32_t;
inline bool Failed(HResult hr) { return hr < 0; }

inline constexpr HResult S_OK = 0;
inline constexpr HResult S_FALSE = 1;
inline constexpr HResult E_NOINTERFACE = static_cast<HResult>(0x80004002u);
inline constexpr HResult E_POINTER = static_cast<HResult>(0x80004003u);
inline constexpr HResult E_FAIL = static_cast<HResult>(0x80004005u);
inline constexpr HResult E_INVALIDARG = static_cast<HResult>(0x80070057u);
inline constexpr HResult E_NOTFOUND = static_cast<HResult>(0x80070490u);
inline constexpr HResult AUDCLNT_E_NOT_INITIALIZED = static_cast<HResult>(0x88890001u);
inline constexpr HResult AUDCLNT_E_ALREADY_INITIALIZED = static_cast<HResult>(0x88890002u);
inline constexpr HResult AUDCLNT_E_WRONG_ENDPOINT_TYPE = static_cast<HResult>(0x88890003u);
inline constexpr HResult AUDCLNT_E_DEVICE_INVALIDATED = static_cast<HResult>(0x88890004u);
inline constexpr HResult AUDCLNT_E_NOT_STOPPED = static_cast<HResult>(0x88890005u);
inline constexpr HResult AUDCLNT_E_BUFFER_TOO_LARGE = static_cast<HResult>(0x88890006u);
inline constexpr HResult AUDCLNT_E_OUT_OF_ORDER = static_cast<HResult>(0x88890007u);
inline constexpr HResult AUDCLNT_E_UNSUPPORTED_FORMAT = static_cast<HResult>(0x88890008u);
inline constexpr HResult AUDCLNT_E_INVALID_SIZE = static_cast<HResult>(0x88890009u);
inline constexpr HResult AUDCLNT_E_DEVICE_IN_USE = static_cast<HResult>(0x8889000Au);
inline constexpr HResult AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED = static_cast<HResult>(0x8889000Eu);
inline constexpr HResult AUDCLNT_E_EVENTHANDLE_NOT_SET = static_cast<HResult>(0x88890014u);
inline constexpr HResult AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED = static_cast<HResult>(0x88890019u);
inline constexpr HResult AUDCLNT_S_BUFFER_EMPTY = static_cast<HResult>(0x08890001u);

#pragma pack(push, 1)
struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    bool operator==(const Guid& other) const = default;
};
static_assert(sizeof(Guid) == 16);

// The extensible wave format record; its first part is the plain record
// with the extensible tag and an extra size of 22.
struct WaveFormatExtensible {
    WaveFormat format;
    uint16_t validBitsPerSample = 0;
    uint32_t channelMask = 0;
    Guid subFormat;
};
static_assert(sizeof(WaveFormatExtensible) == 40);
#pragma pack(pop)

// {00000001-0000-0010-8000-00AA00389B71}: integer PCM.
inline constexpr Guid kSubtypePcm{0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr uint32_t kSpeakerFrontLeft = 0x1;
inline constexpr uint32_t kSpeakerFrontRight = 0x2;

enum class DataFlow { Render, Capture };
enum class DeviceRole { Console, Multimedia, Communications };
enum class ShareMode { Shared, Exclusive };

inline constexpr uint32_t kDeviceStateActive = 0x1;
inline constexpr uint32_t kStreamFlagEventCallback = 0x00040000;
inline constexpr uint32_t kBufferFlagDataDiscontinuity = 0x1;
inline constexpr uint32_t kBufferFlagSilent = 0x2;

// Session states of OnStateChanged.
inline constexpr int32_t kSessionInactive = 0;
inline constexpr int32_t kSessionActive = 1;

// Reasons of OnSessionDisconnected.
inline constexpr int32_t kDisconnectDeviceRemoval = 0;
inline constexpr int32_t kDisconnectServerShutdown = 1;

// Implemented by the program; called on the stand-in's own threads.
class AudioSessionEvents {
public:
    virtual ~AudioSessionEvents() = default;
    virtual HResult OnDisplayNameChanged(const QString& name) = 0;
    virtual HResult OnIconPathChanged(const QString& path) = 0;
    virtual HResult OnSimpleVolumeChanged(float volume, bool muted) = 0;
    virtual HResult OnChannelVolumeChanged(uint32_t channels, const float* volumes, uint32_t changedChannel) = 0;
    virtual HResult OnGroupingParamChanged() = 0;
    virtual HResult OnStateChanged(int32_t state) = 0;
    virtual HResult OnSessionDisconnected(int32_t reason) = 0;
};

class AudioSessionControl {
public:
    virtual ~AudioSessionControl() = default;
    virtual HResult RegisterAudioSessionNotification(std::shared_ptr<AudioSessionEvents> events) = 0;
    virtual HResult UnregisterAudioSessionNotification(const std::shared_ptr<AudioSessionEvents>& events) = 0;
};

class SimpleAudioVolume {
public:
    virtual ~SimpleAudioVolume() = default;
    // The session's level, 0 to 1.
    virtual HResult GetMasterVolume(float* level) = 0;
    virtual HResult SetMasterVolume(float level) = 0;
    virtual HResult GetMute(bool* muted) = 0;
    virtual HResult SetMute(bool muted) = 0;
};

class AudioCaptureClient {
public:
    virtual ~AudioCaptureClient() = default;
    // Frames of the next packet; 0 when none is ready.
    virtual HResult GetNextPacketSize(uint32_t* frames) = 0;
    // The next packet; AUDCLNT_S_BUFFER_EMPTY and 0 frames when none is ready.
    virtual HResult GetBuffer(uint8_t** data, uint32_t* frames, uint32_t* flags) = 0;
    // frames is 0 (keep the packet) or all of it.
    virtual HResult ReleaseBuffer(uint32_t frames) = 0;
};

class AudioRenderClient {
public:
    virtual ~AudioRenderClient() = default;
    // Room for frames frames; AUDCLNT_E_BUFFER_TOO_LARGE beyond the free space.
    virtual HResult GetBuffer(uint32_t frames, uint8_t** data) = 0;
    // Queues frames of them (kBufferFlagSilent: as silence).
    virtual HResult ReleaseBuffer(uint32_t frames, uint32_t flags) = 0;
};

class AudioClient {
public:
    virtual ~AudioClient() = default;
    // format points to a plain record, or to an extensible one when its tag
    // says so. S_OK when taken as it is; closestMatch is not filled by this
    // stand-in (it never offers a nearby format), but may be passed.
    virtual HResult IsFormatSupported(ShareMode mode, const WaveFormat* format,
                                      std::unique_ptr<WaveFormatExtensible>* closestMatch) = 0;
    // In 100-ns units.
    virtual HResult GetDevicePeriod(int64_t* defaultPeriod, int64_t* minimumPeriod) = 0;
    // In exclusive event-driven mode the buffer duration is the periodicity;
    // a size the device cannot take fails with AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED
    // and leaves the next larger size it can take in GetBufferSize.
    virtual HResult Initialize(ShareMode mode, uint32_t streamFlags, int64_t bufferDuration, int64_t periodicity,
                               const WaveFormat* format) = 0;
    virtual HResult GetBufferSize(uint32_t* frames) = 0;
    virtual HResult GetStreamLatency(int64_t* latency) = 0;
    virtual HResult GetCurrentPadding(uint32_t* frames) = 0;
    // The event is set whenever a buffer is ready; it must outlive the client.
    virtual HResult SetEventHandle(AutoResetEvent* event) = 0;
    virtual HResult Start() = 0;
    virtual HResult Stop() = 0;
    virtual HResult Reset() = 0;
    virtual HResult GetCaptureClient(std::shared_ptr<AudioCaptureClient>* client) = 0;
    virtual HResult GetRenderClient(std::shared_ptr<AudioRenderClient>* client) = 0;
    virtual HResult GetSimpleAudioVolume(std::shared_ptr<SimpleAudioVolume>* volume) = 0;
    virtual HResult GetAudioSessionControl(std::shared_ptr<AudioSessionControl>* control) = 0;
};

enum class PropertyId { FriendlyName };

struct PropVariant {
    enum class Type { Empty, WideString, UnsignedInt };
    Type type = Type::Empty;
    QString text;
    uint32_t number = 0;
};

class PropertyStore {
public:
    virtual ~PropertyStore() = default;
    virtual HResult GetValue(PropertyId id, PropVariant* value) = 0;
};

class MMDevice {
public:
    virtual ~MMDevice() = default;
    virtual HResult GetId(QString* id) = 0;
    virtual HResult GetState(uint32_t* state) = 0;
    virtual HResult OpenPropertyStore(std::shared_ptr<PropertyStore>* store) = 0;
    virtual HResult Activate(std::shared_ptr<AudioClient>* client) = 0;
};

class MMDeviceCollection {
public:
    explicit MMDeviceCollection(std::vector<std::shared_ptr<MMDevice>> devices) : devices_(std::move(devices)) {}
    HResult GetCount(uint32_t* count) const;
    HResult Item(uint32_t index, std::shared_ptr<MMDevice>* device) const;

private:
    std::vector<std::shared_ptr<MMDevice>> devices_;
};

class MMDeviceEnumerator {
public:
    // Reads the endpoints now: the server's and the simulated ones.
    static HResult Create(std::shared_ptr<MMDeviceEnumerator>* enumerator);

    // The server's default source or sink; without a server the first
    // simulated endpoint of that direction; E_NOTFOUND when there is none.
    HResult GetDefaultAudioEndpoint(DataFlow flow, DeviceRole role, std::shared_ptr<MMDevice>* device);
    HResult EnumAudioEndpoints(DataFlow flow, uint32_t stateMask, std::shared_ptr<MMDeviceCollection>* devices);
    // By id string, exactly as listed; E_NOTFOUND for an unknown one.
    HResult GetDevice(const QString& id, std::shared_ptr<MMDevice>* device);

private:
    std::vector<std::shared_ptr<MMDevice>> capture_;
    std::vector<std::shared_ptr<MMDevice>> render_;
    QString defaultCaptureId_;
    QString defaultRenderId_;
};

// --- simulated endpoints ------------------------------------------------------------

struct SimulatedEndpointSetup {
    enum class NameState { Text, Unreadable, NotText };

    QString id;
    QString friendlyName;
    NameState nameState = NameState::Text;
    DataFlow flow = DataFlow::Capture;
    std::vector<int32_t> sharedBits{32, 24, 16};
    std::vector<int32_t> exclusiveBits{32, 24, 16};
    bool stereo = true;
    bool mono = true;
    bool acceptsExtensible = true;
    bool acceptsPlain = true;
    int64_t defaultPeriod = 100000;  // 100-ns units
    int64_t minimumPeriod = 30000;
    uint32_t exclusiveAlignmentFrames = 0;  // 0: any buffer size
    SimulatedSignal signal;                 // capture only
    float volume = 1.0f;
    bool muted = false;
};

// Replaces the simulated endpoints of the configuration by these, until
// ResetSimulatedEndpoints. The first capture endpoint is the default when no
// server is there.
void SetSimulatedEndpoints(std::vector<SimulatedEndpointSetup> endpoints);
void ResetSimulatedEndpoints();
// Turns a simulated endpoint's session volume as a user would: every open
// stream of it reports the change to its session events. False for an
// unknown id.
bool SetSimulatedEndpointVolume(const QString& id, float volume, bool muted);

}  // namespace platform
