#pragma once
// The ASIO driver shape: a driver created from its class id with the calls
// the ASIO back-end makes (init, rates, buffer sizes, channels, buffers with
// the four callbacks, start, stop, control panel) and the results it
// expects. Two drivers stand behind it:
//  - JACK: one JACK client; its channels are the server's physical ports,
//    its rate and half-buffer the server's, its samples 32-bit floats. It
//    never starts a server of its own.
//  - Simulated: channels, sample types, rates, sizes, the way it switches
//    buffers and the messages it sends are set by a test.
// The machine hive lists them under "software\asio" (tools/write_asio_hive).
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wasapi_pulse.h"
#include "platform/window_messages.h"

namespace platform {

using AsioError = int32_t;
inline constexpr AsioError ASE_OK = 0;
inline constexpr AsioError ASE_SUCCESS = 0x3F4847A0;
inline constexpr AsioError ASE_NotPresent = -1000;
inline constexpr AsioError ASE_HWMalfunction = -999;
inline constexpr AsioError ASE_InvalidParameter = -998;
inline constexpr AsioError ASE_InvalidMode = -997;
inline constexpr AsioError ASE_SPNotAdvancing = -996;
inline constexpr AsioError ASE_NoClock = -995;
inline constexpr AsioError ASE_NoMemory = -994;

inline constexpr int32_t kAsioFalse = 0;
inline constexpr int32_t kAsioTrue = 1;

// Sample types (ASIO codes).
inline constexpr int32_t kAsioInt16LSB = 16;
inline constexpr int32_t kAsioInt24LSB = 17;
inline constexpr int32_t kAsioInt32LSB = 18;
inline constexpr int32_t kAsioFloat32LSB = 19;
inline constexpr int32_t kAsioFloat64LSB = 20;

// Message selectors of asioMessage.
inline constexpr int32_t kAsioSelectorSupported = 1;
inline constexpr int32_t kAsioEngineVersion = 2;
inline constexpr int32_t kAsioResetRequest = 3;
inline constexpr int32_t kAsioBufferSizeChange = 4;
inline constexpr int32_t kAsioResyncRequest = 5;
inline constexpr int32_t kAsioLatenciesChanged = 6;
inline constexpr int32_t kAsioSupportsTimeInfo = 7;
inline constexpr int32_t kAsioSupportsTimeCode = 8;

struct AsioChannelInfo {
    int32_t channel = 0;
    int32_t isInput = 0;
    int32_t isActive = 0;
    int32_t channelGroup = 0;
    int32_t type = 0;
    char name[32] = {};
};

struct AsioBufferInfo {
    int32_t isInput = 0;
    int32_t channelNum = 0;
    void* buffers[2] = {nullptr, nullptr};
};

struct AsioTime;  // never looked into

struct AsioCallbacks {
    void (*bufferSwitch)(int32_t index, int32_t directProcess) = nullptr;
    void (*sampleRateDidChange)(double rate) = nullptr;
    int32_t (*asioMessage)(int32_t selector, int32_t value, void* message, double* opt) = nullptr;
    AsioTime* (*bufferSwitchTimeInfo)(AsioTime* params, int32_t index, int32_t directProcess) = nullptr;
};

class AsioDriver {
public:
    virtual ~AsioDriver() = default;
    // kAsioTrue when the driver can work.
    virtual int32_t init(WindowHandle sysHandle) = 0;
    virtual AsioError start() = 0;
    virtual AsioError stop() = 0;
    virtual AsioError getChannels(int32_t* inputs, int32_t* outputs) = 0;
    virtual AsioError getBufferSize(int32_t* minimum, int32_t* maximum, int32_t* preferred, int32_t* granularity) = 0;
    virtual AsioError canSampleRate(double rate) = 0;
    virtual AsioError getSampleRate(double* rate) = 0;
    virtual AsioError setSampleRate(double rate) = 0;
    virtual AsioError getChannelInfo(AsioChannelInfo* info) = 0;
    virtual AsioError createBuffers(AsioBufferInfo* infos, int32_t count, int32_t size,
                                    const AsioCallbacks* callbacks) = 0;
    virtual AsioError disposeBuffers() = 0;
    virtual AsioError controlPanel() = 0;
};

// The class ids of the two drivers.
inline constexpr Guid kJackAsioClsid{0x6A41C3B1, 0x9E2D, 0x4F0B, {0x8A, 0x5E, 0x31, 0x7C, 0x2B, 0x90, 0xD4, 0x01}};
inline constexpr Guid kSimulatedAsioClsid{0x6A41C3B1, 0x9E2D, 0x4F0B, {0x8A, 0x5E, 0x31, 0x7C, 0x2B, 0x90, 0xD4, 0x02}};

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and back; false for another text.
QString GuidToText(const Guid& guid);
bool GuidFromText(const QString& text, Guid* guid);

// The driver of a class id, or nullptr for one nobody serves.
std::unique_ptr<AsioDriver> CreateAsioDriver(const Guid& clsid);

// --- the simulated driver ----------------------------------------------------------------

struct SimulatedAsioChannel {
    std::string name;
    int32_t type = kAsioFloat32LSB;
};

struct SimulatedAsioSetup {
    bool initSucceeds = true;
    std::vector<SimulatedAsioChannel> inputs;
    std::vector<SimulatedAsioChannel> outputs;
    std::vector<double> rates{48000.0};     // the rates it can run at
    double rate = 48000.0;                  // the rate it runs at
    int32_t minimum = 64, maximum = 2048, preferred = 256, granularity = -1;
    bool directProcess = true;              // false: asks for the host's thread
    AsioError failAt = ASE_OK;              // the answer of the call named by failCall
    std::string failCall;                   // "getChannelInfo", "createBuffers", "start", ...
    int32_t failChannel = -1;               // getChannelInfo fails only for this input channel
};

// The driver the simulated class id creates from now on; a fresh default
// (two inputs, two outputs, 48000) after ResetSimulatedAsio.
void SetSimulatedAsio(const SimulatedAsioSetup& setup);
void ResetSimulatedAsio();

// What the running simulated driver does next, for tests: delivers one
// buffer switch with these input samples (one value per channel and
// sample, the type's own encoding made from doubles) and answers what the
// host left in the output half of channel 0 as doubles.
class SimulatedAsioControl {
public:
    virtual ~SimulatedAsioControl() = default;
    virtual std::vector<double> Cycle(const std::vector<std::vector<double>>& inputs) = 0;
    virtual int32_t Message(int32_t selector, int32_t value) = 0;
    virtual void RateChanged(double rate) = 0;
};
// The running simulated driver (buffers created), or nullptr.
SimulatedAsioControl* RunningSimulatedAsio();

}  // namespace platform
