// The core-audio shape: simulated endpoints of a test's own description,
// and a private PulseAudio server with a sine source and a null sink.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <numbers>
#include <vector>

#include "platform/registry.h"
#include "platform/wasapi_pulse.h"
#include "platform/test_pulse_server.h"

using namespace platform;

namespace {

WaveFormatExtensible Extensible(int bits, int channels) {
    WaveFormatExtensible f;
    f.format.formatTag = kWaveFormatExtensible;
    f.format.channels = static_cast<uint16_t>(channels);
    f.format.samplesPerSec = 48000;
    f.format.bitsPerSample = static_cast<uint16_t>(bits);
    f.format.blockAlign = static_cast<uint16_t>(channels * bits / 8);
    f.format.avgBytesPerSec = 48000u * f.format.blockAlign;
    f.format.extraSize = 22;
    f.validBitsPerSample = static_cast<uint16_t>(bits);
    f.channelMask = channels == 1 ? kSpeakerFrontLeft : (kSpeakerFrontLeft | kSpeakerFrontRight);
    f.subFormat = kSubtypePcm;
    return f;
}

WaveFormat Plain(int bits, int channels) {
    WaveFormat f = Extensible(bits, channels).format;
    f.formatTag = kWaveFormatPcm;
    f.extraSize = 0;
    return f;
}

class EventsRecorder : public AudioSessionEvents {
public:
    HResult OnDisplayNameChanged(const QString&) override { return S_OK; }
    HResult OnIconPathChanged(const QString&) override { return S_OK; }
    HResult OnSimpleVolumeChanged(float volume, bool muted) override {
        {
            std::lock_guard guard(lock);
            volumes.push_back(volume);
            mutes.push_back(muted);
        }
        changed.Set();
        return S_OK;
    }
    HResult OnChannelVolumeChanged(uint32_t, const float*, uint32_t) override { return S_OK; }
    HResult OnGroupingParamChanged() override { return S_OK; }
    HResult OnStateChanged(int32_t state) override {
        std::lock_guard guard(lock);
        states.push_back(state);
        return S_OK;
    }
    HResult OnSessionDisconnected(int32_t reason) override {
        {
            std::lock_guard guard(lock);
            disconnects.push_back(reason);
        }
        disconnected.Set();
        return S_OK;
    }

    std::mutex lock;
    std::vector<int32_t> disconnects;
    AutoResetEvent disconnected;
    std::vector<float> volumes;
    std::vector<bool> mutes;
    std::vector<int32_t> states;
    AutoResetEvent changed;
};

std::shared_ptr<AudioClient> Activate(const QString& id) {
    std::shared_ptr<MMDeviceEnumerator> e;
    EXPECT_EQ(MMDeviceEnumerator::Create(&e), S_OK);
    std::shared_ptr<MMDevice> device;
    if (e->GetDevice(id, &device) != S_OK) return nullptr;
    std::shared_ptr<AudioClient> client;
    EXPECT_EQ(device->Activate(&client), S_OK);
    return client;
}

// Reads frames from a started event-driven capture until count arrived.
std::vector<uint8_t> CaptureFrames(AudioCaptureClient& capture, AutoResetEvent& event, uint32_t blockAlign,
                                   uint32_t count, bool onePacketPerEvent = false) {
    std::vector<uint8_t> out;
    while (out.size() < size_t{count} * blockAlign) {
        if (!event.Wait(5000)) break;
        uint32_t next = 0;
        if (onePacketPerEvent) next = 1;
        else capture.GetNextPacketSize(&next);
        while (next > 0) {
            uint8_t* data = nullptr;
            uint32_t frames = 0, flags = 0;
            if (capture.GetBuffer(&data, &frames, &flags) != S_OK) break;
            out.insert(out.end(), data, data + size_t{frames} * blockAlign);
            capture.ReleaseBuffer(frames);
            if (onePacketPerEvent) break;
            capture.GetNextPacketSize(&next);
        }
    }
    return out;
}

class SimulatedEndpointsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("VELTARO_PULSEAUDIO", "0", 1);
        Registry::SetHiveFiles(dir.filePath("user.hive"), dir.filePath("machine.hive"));
    }
    void TearDown() override {
        ResetSimulatedEndpoints();
        SetSimulatedOutputTap(nullptr);
        Registry::SetHiveFiles({}, {});
        unsetenv("VELTARO_PULSEAUDIO");
    }
    QTemporaryDir dir;
};

TEST_F(SimulatedEndpointsTest, ConfiguredEndpointsAreListedWithIdsNamesAndADefault) {
    std::shared_ptr<MMDeviceEnumerator> e;
    ASSERT_EQ(MMDeviceEnumerator::Create(&e), S_OK);
    std::shared_ptr<MMDeviceCollection> capture, render;
    ASSERT_EQ(e->EnumAudioEndpoints(DataFlow::Capture, kDeviceStateActive, &capture), S_OK);
    ASSERT_EQ(e->EnumAudioEndpoints(DataFlow::Render, kDeviceStateActive, &render), S_OK);
    uint32_t n = 0;
    capture->GetCount(&n);
    ASSERT_EQ(n, 2u);
    render->GetCount(&n);
    ASSERT_EQ(n, 1u);
    std::shared_ptr<MMDevice> device;
    ASSERT_EQ(e->GetDefaultAudioEndpoint(DataFlow::Capture, DeviceRole::Multimedia, &device), S_OK);
    QString id;
    device->GetId(&id);
    EXPECT_EQ(id, "sim:capture:sine");
    std::shared_ptr<PropertyStore> props;
    ASSERT_EQ(device->OpenPropertyStore(&props), S_OK);
    PropVariant name;
    ASSERT_EQ(props->GetValue(PropertyId::FriendlyName, &name), S_OK);
    EXPECT_EQ(name.type, PropVariant::Type::WideString);
    EXPECT_EQ(name.text, kSimulatedSineName);
    EXPECT_EQ(e->GetDevice("sim:capture:nothing", &device), E_NOTFOUND);

    setenv("VELTARO_SIMULATED_AUDIO", "0", 1);
    ASSERT_EQ(MMDeviceEnumerator::Create(&e), S_OK);
    unsetenv("VELTARO_SIMULATED_AUDIO");
    ASSERT_EQ(e->EnumAudioEndpoints(DataFlow::Capture, kDeviceStateActive, &capture), S_OK);
    capture->GetCount(&n);
    EXPECT_EQ(n, 0u) << "switched off, nothing is left";
    EXPECT_EQ(e->GetDefaultAudioEndpoint(DataFlow::Capture, DeviceRole::Multimedia, &device), E_NOTFOUND);
}

TEST_F(SimulatedEndpointsTest, SharedCaptureDeliversEachChannelEventDriven) {
    SimulatedEndpointSetup endpoint;
    endpoint.id = "sim:test";
    endpoint.friendlyName = "Test";
    endpoint.signal.left = {1000.0, -20.0};
    endpoint.signal.right = {250.0, -6.0};
    SetSimulatedEndpoints({endpoint});

    for (int channels : {2, 1}) {
        auto client = Activate("sim:test");
        ASSERT_TRUE(client);
        const WaveFormatExtensible f = Extensible(16, channels);
        ASSERT_EQ(client->IsFormatSupported(ShareMode::Shared, &f.format, nullptr), S_OK);
        ASSERT_EQ(client->Initialize(ShareMode::Shared, kStreamFlagEventCallback, 9600000, 0, &f.format), S_OK);
        AutoResetEvent event;
        ASSERT_EQ(client->SetEventHandle(&event), S_OK);
        std::shared_ptr<AudioCaptureClient> capture;
        ASSERT_EQ(client->GetCaptureClient(&capture), S_OK);
        std::shared_ptr<AudioRenderClient> render;
        EXPECT_EQ(client->GetRenderClient(&render), AUDCLNT_E_WRONG_ENDPOINT_TYPE);
        uint32_t buffer = 0;
        client->GetBufferSize(&buffer);
        EXPECT_EQ(buffer, 46080u);
        ASSERT_EQ(client->Start(), S_OK);
        const auto bytes = CaptureFrames(*capture, event, 2 * channels, 2400);
        ASSERT_EQ(client->Stop(), S_OK);
        ASSERT_GE(bytes.size(), 2400u * 2 * channels);
        const auto* s = reinterpret_cast<const int16_t*>(bytes.data());
        for (int k = 0; k < 2400; ++k) {
            const double l = 0.1 * std::sin(2 * std::numbers::pi * 1000.0 * k / 48000.0) * 32767;
            ASSERT_NEAR(s[k * channels], l, 1.0) << k;
            if (channels == 2) {
                const double r = std::pow(10.0, -0.3) * std::sin(2 * std::numbers::pi * 250.0 * k / 48000.0) * 32767;
                ASSERT_NEAR(s[k * 2 + 1], r, 1.0) << k;
            }
        }
    }
}

TEST_F(SimulatedEndpointsTest, ExclusiveStreamsAlignTheirBufferAndTakeOneBufferPerEvent) {
    SimulatedEndpointSetup endpoint;
    endpoint.id = "sim:aligned";
    endpoint.friendlyName = "Aligned";
    endpoint.defaultPeriod = 90000;  // 432 frames
    endpoint.exclusiveAlignmentFrames = 441;
    SetSimulatedEndpoints({endpoint});

    const WaveFormatExtensible f = Extensible(32, 2);
    auto first = Activate("sim:aligned");
    ASSERT_EQ(first->Initialize(ShareMode::Exclusive, kStreamFlagEventCallback, 90000, 90000, &f.format),
              AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED);
    uint32_t n = 0;
    ASSERT_EQ(first->GetBufferSize(&n), S_OK);
    EXPECT_EQ(n, 441u);
    auto client = Activate("sim:aligned");
    ASSERT_EQ(client->Initialize(ShareMode::Exclusive, kStreamFlagEventCallback, 91876, 91876, &f.format), S_OK);
    auto other = Activate("sim:aligned");
    EXPECT_EQ(other->Initialize(ShareMode::Shared, kStreamFlagEventCallback, 9600000, 0, &f.format),
              AUDCLNT_E_DEVICE_IN_USE);
    AutoResetEvent event;
    client->SetEventHandle(&event);
    std::shared_ptr<AudioCaptureClient> capture;
    ASSERT_EQ(client->GetCaptureClient(&capture), S_OK);
    ASSERT_EQ(client->Start(), S_OK);
    ASSERT_TRUE(event.Wait(5000));
    uint8_t* data = nullptr;
    uint32_t frames = 0, flags = 0;
    ASSERT_EQ(capture->GetBuffer(&data, &frames, &flags), S_OK);
    EXPECT_EQ(frames, 441u);
    EXPECT_EQ(capture->ReleaseBuffer(3), AUDCLNT_E_INVALID_SIZE);
    EXPECT_EQ(capture->ReleaseBuffer(frames), S_OK);
    EXPECT_EQ(capture->ReleaseBuffer(frames), AUDCLNT_E_OUT_OF_ORDER);
    EXPECT_EQ(client->Reset(), AUDCLNT_E_NOT_STOPPED);
    client->Stop();
}

TEST_F(SimulatedEndpointsTest, FormatAnswersFollowWhatTheEndpointTakes) {
    SimulatedEndpointSetup exclusiveOnly;
    exclusiveOnly.id = "sim:ex";
    exclusiveOnly.sharedBits = {};
    exclusiveOnly.exclusiveBits = {32};
    SimulatedEndpointSetup plainMono;
    plainMono.id = "sim:mono";
    plainMono.stereo = false;
    plainMono.acceptsExtensible = false;
    SetSimulatedEndpoints({exclusiveOnly, plainMono});

    auto ex = Activate("sim:ex");
    const WaveFormatExtensible s32 = Extensible(32, 2), s16 = Extensible(16, 2);
    EXPECT_EQ(ex->IsFormatSupported(ShareMode::Exclusive, &s32.format, nullptr), S_OK);
    EXPECT_EQ(ex->IsFormatSupported(ShareMode::Exclusive, &s16.format, nullptr), AUDCLNT_E_UNSUPPORTED_FORMAT);
    EXPECT_EQ(ex->IsFormatSupported(ShareMode::Shared, &s32.format, nullptr), AUDCLNT_E_UNSUPPORTED_FORMAT);
    auto mono = Activate("sim:mono");
    const WaveFormat plain1 = Plain(24, 1), plain2 = Plain(24, 2);
    const WaveFormatExtensible ext1 = Extensible(24, 1);
    EXPECT_EQ(mono->IsFormatSupported(ShareMode::Shared, &plain1, nullptr), S_OK);
    EXPECT_EQ(mono->IsFormatSupported(ShareMode::Shared, &plain2, nullptr), AUDCLNT_E_UNSUPPORTED_FORMAT);
    EXPECT_EQ(mono->IsFormatSupported(ShareMode::Shared, &ext1.format, nullptr), AUDCLNT_E_UNSUPPORTED_FORMAT);
    WaveFormatExtensible wrongValid = Extensible(32, 2);
    wrongValid.validBitsPerSample = 24;
    EXPECT_EQ(ex->IsFormatSupported(ShareMode::Exclusive, &wrongValid.format, nullptr), AUDCLNT_E_UNSUPPORTED_FORMAT);
}

TEST_F(SimulatedEndpointsTest, RenderPlaysQueuedFramesAndVolumeChangesReachTheSession) {
    std::mutex tapLock;
    std::vector<int16_t> played;
    SetSimulatedOutputTap([&](const uint8_t* data, int32_t frames, const PcmFormat&) {
        std::lock_guard guard(tapLock);
        const auto* s = reinterpret_cast<const int16_t*>(data);
        played.insert(played.end(), s, s + frames * 2);
    });
    auto client = Activate("sim:render:output");
    ASSERT_TRUE(client);
    const WaveFormatExtensible f = Extensible(16, 2);
    ASSERT_EQ(client->Initialize(ShareMode::Shared, kStreamFlagEventCallback, 200000, 0, &f.format), S_OK);
    AutoResetEvent event;
    client->SetEventHandle(&event);
    std::shared_ptr<AudioRenderClient> render;
    ASSERT_EQ(client->GetRenderClient(&render), S_OK);
    std::shared_ptr<AudioSessionControl> session;
    ASSERT_EQ(client->GetAudioSessionControl(&session), S_OK);
    auto events = std::make_shared<EventsRecorder>();
    ASSERT_EQ(session->RegisterAudioSessionNotification(events), S_OK);

    uint32_t total = 0;
    client->GetBufferSize(&total);
    ASSERT_EQ(total, 4800u);  // a shared render buffer holds at least 100 ms, whatever was asked
    uint8_t* data = nullptr;
    EXPECT_EQ(render->GetBuffer(total + 1, &data), AUDCLNT_E_BUFFER_TOO_LARGE);
    ASSERT_EQ(render->GetBuffer(480, &data), S_OK);
    for (int i = 0; i < 960; ++i) reinterpret_cast<int16_t*>(data)[i] = static_cast<int16_t>(i + 1);
    ASSERT_EQ(render->ReleaseBuffer(480, 0), S_OK);
    uint32_t padding = 0;
    client->GetCurrentPadding(&padding);
    EXPECT_EQ(padding, 480u);
    ASSERT_EQ(client->Start(), S_OK);
    ASSERT_TRUE(event.Wait(5000));
    {
        std::lock_guard guard(tapLock);
        ASSERT_GE(played.size(), 960u);
        for (int i = 0; i < 960; ++i) ASSERT_EQ(played[i], i + 1);
    }

    std::shared_ptr<SimpleAudioVolume> volume;
    ASSERT_EQ(client->GetSimpleAudioVolume(&volume), S_OK);
    ASSERT_TRUE(SetSimulatedEndpointVolume("sim:render:output", 0.5f, true));
    float level = 0;
    bool muted = false;
    volume->GetMasterVolume(&level);
    volume->GetMute(&muted);
    EXPECT_EQ(level, 0.5f);
    EXPECT_TRUE(muted);
    ASSERT_EQ(client->Stop(), S_OK);
    {
        std::lock_guard guard(events->lock);
        EXPECT_EQ(events->volumes, std::vector<float>{0.5f});
        EXPECT_EQ(events->states, (std::vector<int32_t>{kSessionActive, kSessionInactive}));
    }
    ASSERT_EQ(session->UnregisterAudioSessionNotification(events), S_OK);
    SetSimulatedEndpointVolume("sim:render:output", 1.0f, false);
    std::lock_guard guard(events->lock);
    EXPECT_EQ(events->volumes.size(), 1u) << "no event after unregistering";
}

using PulseEndpointsTest = PulseServerTest;

// The server's sine source, captured shared and event-driven in 16-bit
// stereo, with its session events recorded.
struct ServerCapture {
    void Start() {
        client = Activate("pulse:source:veltaro_sine");
        ASSERT_TRUE(client);
        const WaveFormatExtensible f = Extensible(16, 2);
        ASSERT_EQ(client->Initialize(ShareMode::Shared, kStreamFlagEventCallback, 9600000, 0, &f.format), S_OK);
        client->SetEventHandle(event.get());
        ASSERT_EQ(client->GetCaptureClient(&capture), S_OK);
        ASSERT_EQ(client->GetAudioSessionControl(&session), S_OK);
        session->RegisterAudioSessionNotification(events);
        ASSERT_EQ(client->Start(), S_OK);
    }
    std::shared_ptr<AudioClient> client;
    std::unique_ptr<AutoResetEvent> event = std::make_unique<AutoResetEvent>();
    std::shared_ptr<AudioCaptureClient> capture;
    std::shared_ptr<AudioSessionControl> session;
    std::shared_ptr<EventsRecorder> events = std::make_shared<EventsRecorder>();
};

TEST_F(PulseEndpointsTest, SourcesAndSinksAreEndpointsAndExclusiveModeIsRefused) {
    std::shared_ptr<MMDeviceEnumerator> e;
    ASSERT_EQ(MMDeviceEnumerator::Create(&e), S_OK);
    std::shared_ptr<MMDevice> device;
    ASSERT_EQ(e->GetDevice("pulse:source:veltaro_sine", &device), S_OK);
    EXPECT_EQ(e->GetDevice("pulse:source:veltaro_sink.monitor", &device), E_NOTFOUND) << "monitors are left out";
    ASSERT_EQ(e->GetDevice("pulse:sink:veltaro_sink", &device), S_OK);
    std::shared_ptr<PropertyStore> props;
    device->OpenPropertyStore(&props);
    PropVariant name;
    props->GetValue(PropertyId::FriendlyName, &name);
    EXPECT_EQ(name.text, "Veltaro-Sink");

    auto client = Activate("pulse:source:veltaro_sine");
    ASSERT_TRUE(client);
    const WaveFormatExtensible f = Extensible(32, 2);
    EXPECT_EQ(client->IsFormatSupported(ShareMode::Exclusive, &f.format, nullptr), AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED);
    EXPECT_EQ(client->Initialize(ShareMode::Exclusive, kStreamFlagEventCallback, 100000, 100000, &f.format),
              AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED);
    for (int bits : {16, 24, 32}) {
        const WaveFormatExtensible shared = Extensible(bits, 2);
        EXPECT_EQ(client->IsFormatSupported(ShareMode::Shared, &shared.format, nullptr), S_OK) << bits;
    }
}

TEST_F(PulseEndpointsTest, SharedCaptureReadsTheServersSineAndSeesVolumeChanges) {
    ServerCapture c;
    ASSERT_NO_FATAL_FAILURE(c.Start());
    auto& [client, event, capture, session, events] = c;
    const auto bytes = CaptureFrames(*capture, *event, 4, 48000);
    ASSERT_GE(bytes.size(), 48000u * 4);
    const auto* s = reinterpret_cast<const int16_t*>(bytes.data());
    int crossings = 0;
    double energy = 0;
    for (int k = 1; k < 48000; ++k) {
        if ((s[2 * k] >= 0) != (s[2 * k - 2] >= 0)) ++crossings;
        energy += double(s[2 * k]) * s[2 * k];
    }
    EXPECT_NEAR(crossings, 2000, 40) << "a 1 kHz sine crosses zero twice per period";
    EXPECT_GT(energy, 0.0);

    std::shared_ptr<SimpleAudioVolume> volume;
    ASSERT_EQ(client->GetSimpleAudioVolume(&volume), S_OK);
    float before = 0;
    volume->GetMasterVolume(&before);
    ASSERT_TRUE(server->Pactl("set-source-volume veltaro_sine 50%"));
    ASSERT_TRUE(events->changed.Wait(5000)) << "a changed input gain is a volume event";
    float after = 0;
    volume->GetMasterVolume(&after);
    EXPECT_LT(after, before);
    client->Stop();
    session->UnregisterAudioSessionNotification(events);
}

// A server that goes away in the middle of a capture ends the session with
// the disconnect event; the stream then fails instead of waiting for data.
TEST_F(PulseEndpointsTest, AServerThatGoesAwayMidStreamDisconnectsTheSession) {
    ServerCapture c;
    ASSERT_NO_FATAL_FAILURE(c.Start());
    auto& [client, event, capture, session, events] = c;
    ASSERT_GE(CaptureFrames(*capture, *event, 4, 4800).size(), 4800u * 4);

    server->Kill();
    ASSERT_TRUE(events->disconnected.Wait(10000));
    {
        std::lock_guard guard(events->lock);
        EXPECT_EQ(events->disconnects, std::vector<int32_t>{kDisconnectServerShutdown});
    }
    EXPECT_TRUE(Failed(client->Stop()));
    session->UnregisterAudioSessionNotification(events);
}

TEST_F(PulseEndpointsTest, SharedRenderDrainsIntoTheSink) {
    auto client = Activate("pulse:sink:veltaro_sink");
    ASSERT_TRUE(client);
    const WaveFormatExtensible f = Extensible(24, 2);
    ASSERT_EQ(client->Initialize(ShareMode::Shared, kStreamFlagEventCallback, 200000, 0, &f.format), S_OK);
    AutoResetEvent event;
    client->SetEventHandle(&event);
    std::shared_ptr<AudioRenderClient> render;
    ASSERT_EQ(client->GetRenderClient(&render), S_OK);
    uint32_t total = 0;
    client->GetBufferSize(&total);
    ASSERT_EQ(client->Start(), S_OK);
    // Played frames leave the buffer, so the events keep asking for more:
    // far more than one buffer's worth. (The server's null sink may take a
    // couple of seconds to notice its first stream.)
    uint64_t queued = 0;
    for (int round = 0; round < 200 && queued < 12000; ++round) {
        if (!event.Wait(5000)) break;
        uint32_t padding = 0;
        if (client->GetCurrentPadding(&padding) != S_OK) break;
        const uint32_t n = total - padding;
        if (n == 0) continue;
        uint8_t* data = nullptr;
        ASSERT_EQ(render->GetBuffer(n, &data), S_OK);
        std::memset(data, 0, size_t{n} * 6);
        ASSERT_EQ(render->ReleaseBuffer(n, 0), S_OK);
        queued += n;
    }
    client->Stop();
    EXPECT_GE(queued, 12000u);
}

}  // namespace
