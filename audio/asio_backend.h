#pragma once
// The ASIO interface as an input back-end: opens the chosen driver at 48 kHz
// (or 96 kHz averaged down), converts its half-buffers into the sample
// rings, either in the driver's own callback or in the conversion thread
// TAsioIn, and feeds one output channel from the noise table through
// buffers the filler thread OutFill prepares ahead.
//
// Start, close and the driver's requests run on the main thread; the buffer
// switch runs on the driver's thread and allocates, locks and posts nothing.
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/asio_driver.h"
#include "platform/threads.h"

// The open driver: a thin wrapper whose Driver is none when the class id
// has no driver behind it.
class TOpenASIO {
public:
    explicit TOpenASIO(const platform::Guid& clsid) : Driver(platform::CreateAsioDriver(clsid)) {}
    std::unique_ptr<platform::AsioDriver> Driver;
};

class TAsioIn : public platform::TThread {
public:
    TAsioIn() : TThread("TAsioIn") {}
    ~TAsioIn() override { Stop(); }
    void SetA96(bool a96) { myA96 = a96; }

protected:
    void Execute() override;

private:
    bool myA96 = false;
};

class OutFill : public platform::TThread {
public:
    OutFill() : TThread("OutFill") {}
    ~OutFill() override { Stop(); }

protected:
    void Execute() override;
};

// True when the driver runs.
bool StartAsioIn(bool withOutput);
// Stops the driver, ends and joins both threads, frees the buffers and the driver.
void CloseAsio();
bool AsioDriverOpen();
std::optional<double> AsioSampleRate();

// The driver's callbacks.
void bufferSwitch(int32_t index, int32_t directProcess);
platform::AsioTime* bufferSwitchTimeInfo(platform::AsioTime* params, int32_t index, int32_t directProcess);
void sampleRateDidChange(double rate);
int32_t asioMessage(int32_t selector, int32_t value, void* message, double* opt);
// Converts one half-buffer on the driver's thread (and serves the output).
void AsioBufferSwitchDirect(int32_t index);

// One input sample of the ASIO type as a double at full scale 1.0; false
// for a type outside 16 .. 20.
bool AsioSampleToDouble(const uint8_t* sample, int32_t type, double* value);
// One output sample; rounds halves to even and saturates. Nothing for an
// unknown type.
void DoubleToAsioSample(double value, int32_t type, uint8_t* out);

// The main window's answer to WM_APP + 0xB2 (3, 4, 5, 6 or 16).
void ResetASIODriver(intptr_t request);
