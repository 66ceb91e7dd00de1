#pragma once
// The program's access to the core-audio endpoints: the lists of capture and
// render endpoints with what each takes at 48000 samples per second, the one
// capture stream and the one render stream (event-driven, exclusive or
// shared), their session volumes, and the session events of the capture
// stream, which reach a window as a posted message.
//
// One object lives for the whole program; everything runs on the main thread
// except the session events, which come on the platform's threads and only
// post. The capture and render threads use the stream objects and events
// given out below without a lock; their owner ends them before a stop.
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sync.h"
#include "platform/wasapi_pulse.h"
#include "platform/window_messages.h"

// One enumerated endpoint.
struct TDeviceInfo {
    QString DeviceName;
    QString DeviceId;
    platform::Guid DeviceGuid;  // never filled: all zero
    bool isExtensible = false;
    int32_t max48E = 0;  // highest depth taken in exclusive mode, 0 for none
    int32_t max48S = 0;  // the same in shared mode
    bool IsMono = false;
    int32_t BufferNorm = 0;
    int32_t BufferMin = 0;

    bool Usable() const { return max48E > 0 || max48S > 0; }
};

// One opened stream.
struct TDevInfo {
    int32_t minPerMs = 0;
    int32_t defPerMs = 0;
    uint32_t buffer = 0;   // frames
    uint32_t latenz = 0;   // ms
    bool isEx = false;
    int32_t id = -1;       // index in the capture list; -1 until a capture stream was set up
    int32_t bits = 0;
    QString Guid;          // endpoint id string
    QString Name;
    bool isMono = false;
    uint32_t sr = 0;
};

// Probe modes, a bit set.
inline constexpr int32_t kProbeShared = 1;
inline constexpr int32_t kProbeExclusive = 2;

// Volumes in tenths of a dB; these two mean "cannot be read" and "muted".
inline constexpr int32_t kVolumeUnknown = 65551;
inline constexpr int32_t kVolumeMuted = -100;

// Stores where session events go; a window handle of 0 sends them nowhere.
void SetEventTarget(platform::WindowHandle window, uint32_t message, uintptr_t code);
// Posts (message, code, lParam) to the stored window.
void PostSessionEvent(intptr_t lParam);

// The session events of the capture stream: a volume change posts 1, a
// channel volume change 2, a state change 3; the rest does nothing.
class TEvents : public platform::AudioSessionEvents {
public:
    platform::HResult OnDisplayNameChanged(const QString& name) override;
    platform::HResult OnIconPathChanged(const QString& path) override;
    platform::HResult OnSimpleVolumeChanged(float volume, bool muted) override;
    platform::HResult OnChannelVolumeChanged(uint32_t channels, const float* volumes, uint32_t changed) override;
    platform::HResult OnGroupingParamChanged() override;
    platform::HResult OnStateChanged(int32_t state) override;
    platform::HResult OnSessionDisconnected(int32_t reason) override;
};

class TWasAudio {
public:
    // Nothing opened, not initialised, both stream records with id -1.
    TWasAudio();
    ~TWasAudio();
    TWasAudio(const TWasAudio&) = delete;
    TWasAudio& operator=(const TWasAudio&) = delete;

    // Lists the endpoints and stores where session events go; true when
    // both lists hold an entry. Never throws.
    bool Init(platform::WindowHandle window, uint32_t message, int32_t code, int32_t probeMode);
    // Lists the endpoints again; the event target stays.
    bool Rescan(int32_t probeMode, bool unused = false);

    int32_t Num_in() const;
    int32_t Num_out() const;
    QString Name_out(int32_t index) const;
    QString Guid_in(int32_t index) const;
    QString Guid_out(int32_t index) const;
    TDeviceInfo Get_Info_In(int32_t index) const;
    TDeviceInfo Get_Info_Out(int32_t index) const;
    int32_t GetInId(const QString& endpointId) const;
    int32_t GetOutId(const QString& endpointId) const;
    QString GetInDefault() const;

    // 0 on success; -1 not initialised, 2200 endpoint unreachable, or the
    // failing step's negative result (and nothing is kept).
    platform::HResult Init_Capture(const QString& endpointId);
    // Not negative on success.
    platform::HResult Init_Render(const QString& endpointId);
    platform::HResult Start_Render();
    platform::HResult Stop_Render();
    platform::HResult StopIn();

    TDevInfo GetInInfo() const { return devInfoIn; }
    TDevInfo GetOutInfo() const { return devInfoOut; }
    int32_t GetInVol();
    int32_t GetOutVol();

    // Probes one endpoint into info with the probe mode.
    platform::HResult CheckDevice(platform::MMDevice& device, TDeviceInfo& info, int32_t probeMode);

    // The stream objects the capture and render threads use.
    std::shared_ptr<platform::AudioClient> CaptureAudioClient() const { return captureClient_; }
    std::shared_ptr<platform::AudioCaptureClient> CaptureClient() const { return captureService_; }
    platform::AutoResetEvent& CaptureEvent() { return captureEvent_; }
    std::shared_ptr<platform::AudioClient> RenderAudioClient() const { return renderClient_; }
    std::shared_ptr<platform::AudioRenderClient> RenderClient() const { return renderService_; }
    platform::AutoResetEvent& RenderEvent() { return renderEvent_; }
    bool Initialised() const { return initialised_; }

    TDevInfo devInfoOut;
    TDevInfo devInfoIn;
    int32_t defaultInId = -1;
    int32_t defaultOutId = -1;  // never maintained
    QString gRes;               // never used

private:
    bool RunEnumeration(int32_t probeMode);
    platform::HResult EnumerateEndpoints(int32_t probeMode);
    TDeviceInfo ReadEndpoint(platform::MMDevice& device, int32_t probeMode);
    static int32_t ProbeFormat(platform::AudioClient& client, platform::ShareMode mode, int32_t channels,
                               int32_t rate, int32_t bits);
    static void ClearDeviceInfo(TDeviceInfo& info);
    void ReleaseCapture();
    void ReleaseRender();
    platform::HResult InitializeExclusive(std::shared_ptr<platform::AudioClient>& client, platform::MMDevice& device,
                                          int64_t period, const platform::WaveFormat* format);

    std::vector<TDeviceInfo> captureList_;
    std::vector<TDeviceInfo> renderList_;
    bool initialised_ = false;

    std::shared_ptr<platform::MMDevice> captureDevice_;
    std::shared_ptr<platform::AudioClient> captureClient_;
    std::shared_ptr<platform::AudioCaptureClient> captureService_;
    std::shared_ptr<platform::SimpleAudioVolume> captureVolume_;
    std::shared_ptr<platform::AudioSessionControl> captureSession_;
    std::shared_ptr<TEvents> captureSink_;
    platform::AutoResetEvent captureEvent_;

    std::shared_ptr<platform::MMDevice> renderDevice_;
    std::shared_ptr<platform::AudioClient> renderClient_;
    std::shared_ptr<platform::AudioRenderClient> renderService_;
    std::shared_ptr<platform::SimpleAudioVolume> renderVolume_;
    platform::AutoResetEvent renderEvent_;
};
