#pragma once
// The wave interface: numbered input and output devices with product names,
// opened in a PCM format with a callback function, fed with buffers the
// caller owns (prepare, queue, and each one comes back through the callback
// when it is full or played), started, stopped, reset and closed.
//
// Devices: the machine's ALSA PCM devices first, then the simulated devices
// of simulated_audio.h unless they are switched off. WaveInDeviceCount and
// WaveOutDeviceCount read the list anew; the other calls use the list of the
// last count (reading one when none was read yet), so ids stay stable between
// a count and the calls that follow it.
//
// Each open device has its own thread, which runs the callback for every
// buffer that comes back, in the order in which the buffers were queued. A
// callback may queue a buffer again, but must not stop, reset or close its
// own device. Start, stop, reset and close return after the device thread has
// acted on them; the buffers that a stop or reset returns come back through
// the callback, from the device thread, without waiting for the caller.
//
// ALSA is used from the device thread only (open and close aside), so no
// two threads ever call it for the same stream.
#include <QString>

#include <atomic>
#include <cstdint>

namespace platform {

using WaveResult = uint32_t;
inline constexpr WaveResult kWaveNoError = 0;
inline constexpr WaveResult kWaveErrUnspecified = 1;
inline constexpr WaveResult kWaveErrBadDeviceId = 2;
inline constexpr WaveResult kWaveErrAllocated = 4;
inline constexpr WaveResult kWaveErrInvalidHandle = 5;
inline constexpr WaveResult kWaveErrNoDriver = 6;
inline constexpr WaveResult kWaveErrNoMemory = 7;
inline constexpr WaveResult kWaveErrBadErrorNumber = 9;
inline constexpr WaveResult kWaveErrInvalidFlag = 10;
inline constexpr WaveResult kWaveErrInvalidParameter = 11;
inline constexpr WaveResult kWaveErrBadFormat = 32;
inline constexpr WaveResult kWaveErrStillPlaying = 33;
inline constexpr WaveResult kWaveErrUnprepared = 34;

inline constexpr uint16_t kWaveFormatPcm = 1;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

#pragma pack(push, 1)
// The plain wave format record.
struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
};
static_assert(sizeof(WaveFormat) == 18);

// Capabilities of an input device.
struct WaveInCaps {
    uint16_t manufacturerId = 0;
    uint16_t productId = 0;
    uint32_t driverVersion = 0;
    char16_t productName[32] = {};  // zero-terminated, up to 31 characters
    uint32_t formats = 0;
    uint16_t channels = 0;
    uint16_t reserved = 0;
};
static_assert(sizeof(WaveInCaps) == 80);

// Capabilities of an output device.
struct WaveOutCaps {
    uint16_t manufacturerId = 0;
    uint16_t productId = 0;
    uint32_t driverVersion = 0;
    char16_t productName[32] = {};
    uint32_t formats = 0;
    uint16_t channels = 0;
    uint16_t reserved = 0;
    uint32_t support = 0;
};
static_assert(sizeof(WaveOutCaps) == 84);
#pragma pack(pop)

QString ProductNameOf(const WaveInCaps& caps);
QString ProductNameOf(const WaveOutCaps& caps);

// The format bits of the capabilities that the devices report: 48 kHz
// stereo in 16 bits; the other widths are asked for with a format query.
inline constexpr uint32_t kWaveCaps48Stereo16 = 0x00080000;

// One buffer. The caller owns the record and its data; while the buffer is
// queued (kWaveHeaderInQueue) the device owns both. The flags are changed by
// the device thread and read by the caller, hence atomic.
struct WaveHeader {
    char* data = nullptr;
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;
    uintptr_t user = 0;
    std::atomic<uint32_t> flags{0};
    uint32_t loops = 0;
    WaveHeader* next = nullptr;
    uintptr_t reserved = 0;

    // Zeroes every field.
    void Clear();
};
static_assert(sizeof(WaveHeader) == 48);
inline constexpr uint32_t kWaveHeaderSize = sizeof(WaveHeader);

inline constexpr uint32_t kWaveHeaderDone = 0x01;
inline constexpr uint32_t kWaveHeaderPrepared = 0x02;
inline constexpr uint32_t kWaveHeaderInQueue = 0x10;

// 0 is no device.
using WaveHandle = uintptr_t;

// Callback messages; param1 is the header for the data and done messages.
inline constexpr uint32_t kWomOpen = 0x3BB;
inline constexpr uint32_t kWomClose = 0x3BC;
inline constexpr uint32_t kWomDone = 0x3BD;
inline constexpr uint32_t kWimOpen = 0x3BE;
inline constexpr uint32_t kWimClose = 0x3BF;
inline constexpr uint32_t kWimData = 0x3C0;
// The stand-in's own message: the input device stopped delivering (a card
// unplugged, its sound server gone, a read error that recovery could not
// mend). Sent once, from the device thread; the queued buffers stay queued
// until a reset returns them, and a new start may try again.
inline constexpr uint32_t kWimDeviceLost = 0x3C1;

using WaveCallback = void (*)(WaveHandle handle, uint32_t message, uintptr_t instance, uintptr_t param1,
                              uintptr_t param2);

// Open flags: the callback is a function (the only kind there is), or the
// call only asks whether the device takes the format and opens nothing.
inline constexpr uint32_t kWaveCallbackFunction = 0x00030000;
inline constexpr uint32_t kWaveFormatQuery = 0x00000001;

// --- input ------------------------------------------------------------------------

uint32_t WaveInDeviceCount();
WaveResult WaveInGetCaps(uint32_t deviceId, WaveInCaps* caps);
// Opens the device in the format (integer PCM, 16, 24 or 32 bits, plain or
// extensible tag). A device that is busy gives kWaveErrAllocated, a format
// it refuses kWaveErrBadFormat, any other failure of the device
// kWaveErrUnspecified or kWaveErrNoDriver.
WaveResult WaveInOpen(WaveHandle* handle, uint32_t deviceId, const WaveFormat* format, WaveCallback callback,
                      uintptr_t instance, uint32_t flags);
WaveResult WaveInPrepareHeader(WaveHandle handle, WaveHeader* header, uint32_t headerSize);
WaveResult WaveInUnprepareHeader(WaveHandle handle, WaveHeader* header, uint32_t headerSize);
WaveResult WaveInAddBuffer(WaveHandle handle, WaveHeader* header, uint32_t headerSize);
WaveResult WaveInStart(WaveHandle handle);
// Stops recording; the buffer being filled comes back with what it holds
// when it holds anything, the empty ones stay queued.
WaveResult WaveInStop(WaveHandle handle);
// Stops recording and returns every queued buffer.
WaveResult WaveInReset(WaveHandle handle);
// Fails with kWaveErrStillPlaying while buffers are queued.
WaveResult WaveInClose(WaveHandle handle);
// The text of a wave result code; kWaveErrBadErrorNumber (and no text) for
// a code that has none. Serves the output codes too.
WaveResult WaveInGetErrorText(WaveResult code, QString* text);

// --- output -----------------------------------------------------------------------

uint32_t WaveOutDeviceCount();
WaveResult WaveOutGetCaps(uint32_t deviceId, WaveOutCaps* caps);
WaveResult WaveOutOpen(WaveHandle* handle, uint32_t deviceId, const WaveFormat* format, WaveCallback callback,
                       uintptr_t instance, uint32_t flags);
WaveResult WaveOutPrepareHeader(WaveHandle handle, WaveHeader* header, uint32_t headerSize);
WaveResult WaveOutUnprepareHeader(WaveHandle handle, WaveHeader* header, uint32_t headerSize);
// Queues the buffer for playing; playing starts with the first one.
WaveResult WaveOutWrite(WaveHandle handle, WaveHeader* header, uint32_t headerSize);
// Stops playing and returns every queued buffer.
WaveResult WaveOutReset(WaveHandle handle);
WaveResult WaveOutClose(WaveHandle handle);

// The system's text for an error number (errno).
QString SystemErrorText(int code);

}  // namespace platform
