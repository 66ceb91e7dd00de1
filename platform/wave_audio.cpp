#include "platform/wave_audio.h"

#include <QDebug>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/alsa_wave.h"
#include "platform/pcm_streams.h"
#include "platform/simulated_audio.h"

namespace platform {

void WaveHeader::Clear() {
    data = nullptr;
    bufferLength = 0;
    bytesRecorded = 0;
    user = 0;
    flags.store(0);
    loops = 0;
    next = nullptr;
    reserved = 0;
}

namespace {

QString NameFromField(const char16_t* field) {
    int n = 0;
    while (n < 32 && field[n] != 0) ++n;
    return QString::fromUtf16(field, n);
}

void NameIntoField(const QString& name, char16_t* field) {
    const int n = std::min<int>(name.size(), 31);
    for (int i = 0; i < n; ++i) field[i] = name.at(i).unicode();
    for (int i = n; i < 32; ++i) field[i] = 0;
}

// --- device lists ----------------------------------------------------------------

enum class DeviceKind { Alsa, SimSine, SimNoise, SimWav, SimOutput };

struct DeviceEntry {
    QString productName;
    DeviceKind kind = DeviceKind::Alsa;
    QString alsaName;
};

std::vector<DeviceEntry> ReadDevices(bool input) {
    std::vector<DeviceEntry> devices;
    for (const AlsaDevice& d : AlsaDevices(input)) devices.push_back({d.description, DeviceKind::Alsa, d.pcmName});
    const SimulatedAudioConfig config = ReadSimulatedAudioConfig();
    if (!config.enabled) return devices;
    if (input) {
        devices.push_back({kSimulatedSineName, DeviceKind::SimSine, {}});
        devices.push_back({kSimulatedNoiseName, DeviceKind::SimNoise, {}});
        if (!config.wavFile.isEmpty()) devices.push_back({kSimulatedWavName, DeviceKind::SimWav, {}});
    } else {
        devices.push_back({kSimulatedOutputName, DeviceKind::SimOutput, {}});
    }
    return devices;
}

class DeviceLists {
public:
    uint32_t Refresh(bool input) {
        std::vector<DeviceEntry> fresh = ReadDevices(input);
        std::lock_guard guard(lock_);
        List(input) = std::move(fresh);
        Read(input) = true;
        return static_cast<uint32_t>(List(input).size());
    }

    bool At(bool input, uint32_t id, DeviceEntry* entry) {
        bool known;
        {
            std::lock_guard guard(lock_);
            known = Read(input);
        }
        if (!known) Refresh(input);
        std::lock_guard guard(lock_);
        if (id >= List(input).size()) return false;
        *entry = List(input)[id];
        return true;
    }

private:
    std::vector<DeviceEntry>& List(bool input) { return input ? inputs_ : outputs_; }
    bool& Read(bool input) { return input ? inputsRead_ : outputsRead_; }

    std::mutex lock_;
    std::vector<DeviceEntry> inputs_;
    std::vector<DeviceEntry> outputs_;
    bool inputsRead_ = false;
    bool outputsRead_ = false;
};

DeviceLists& Devices() {
    static DeviceLists lists;
    return lists;
}

// --- formats ----------------------------------------------------------------------

bool PcmFormatFrom(const WaveFormat& wave, PcmFormat* pcm) {
    if (wave.formatTag != kWaveFormatPcm && !(wave.formatTag == kWaveFormatExtensible && wave.extraSize >= 22))
        return false;
    pcm->channels = wave.channels;
    pcm->bits = wave.bitsPerSample;
    pcm->rate = static_cast<int32_t>(wave.samplesPerSec);
    return pcm->IsValid() && wave.blockAlign == pcm->BlockAlign() &&
           wave.avgBytesPerSec == static_cast<uint32_t>(pcm->BlockAlign()) * wave.samplesPerSec;
}

// --- open devices -----------------------------------------------------------------

enum class Command { None, Start, Stop, Reset, Close };

// The queued buffers in their order. Room for every prepared buffer is made
// when it is prepared, so queueing one, which a callback does on the device
// thread for every buffer that comes back, never allocates.
class HeaderQueue {
public:
    void Reserve(size_t buffers) {
        if (buffers <= slots_.size()) return;
        std::vector<WaveHeader*> grown(buffers, nullptr);
        for (size_t i = 0; i < count_; ++i) grown[i] = slots_[(head_ + i) % slots_.size()];
        slots_ = std::move(grown);
        head_ = 0;
    }
    bool Empty() const { return count_ == 0; }
    bool Full() const { return count_ == slots_.size(); }
    WaveHeader* Front() const { return slots_[head_]; }
    void PushBack(WaveHeader* header) {
        slots_[(head_ + count_) % slots_.size()] = header;
        ++count_;
    }
    void PopFront() {
        head_ = (head_ + 1) % slots_.size();
        --count_;
    }
    std::vector<WaveHeader*> TakeAll() {
        std::vector<WaveHeader*> all;
        while (!Empty()) {
            all.push_back(Front());
            PopFront();
        }
        return all;
    }

private:
    std::vector<WaveHeader*> slots_;
    size_t head_ = 0;
    size_t count_ = 0;
};

class WaveStream;
// The stream whose device thread this is: a callback that queues a buffer on
// its own device finds it without the handle table and its lock.
thread_local WaveStream* ownStream = nullptr;

class WaveStream {
public:
    WaveStream(bool input, const PcmFormat& format, WaveCallback callback, uintptr_t instance,
               std::unique_ptr<PcmCapture> capture, std::unique_ptr<PcmPlayback> playback)
        : input_(input), format_(format), callback_(callback), instance_(instance), capture_(std::move(capture)),
          playback_(std::move(playback)) {}

    ~WaveStream() {
        if (thread_.joinable()) thread_.join();
    }

    bool IsInput() const { return input_; }

    void Launch(WaveHandle handle) {
        handle_ = handle;
        thread_ = std::thread([this] {
            ownStream = this;
            Run();
        });
    }

    WaveHandle Handle() const { return handle_; }

    WaveResult Prepare(WaveHeader* header) {
        if (header->data == nullptr || header->bufferLength == 0) return kWaveErrInvalidParameter;
        std::lock_guard guard(lock_);
        if (!(header->flags.fetch_or(kWaveHeaderPrepared) & kWaveHeaderPrepared)) queue_.Reserve(++prepared_);
        return kWaveNoError;
    }

    WaveResult Unprepare(WaveHeader* header) {
        std::lock_guard guard(lock_);
        if (header->flags.load() & kWaveHeaderInQueue) return kWaveErrStillPlaying;
        if (header->flags.fetch_and(~kWaveHeaderPrepared) & kWaveHeaderPrepared) --prepared_;
        return kWaveNoError;
    }

    WaveResult Queue(WaveHeader* header) {
        {
            std::lock_guard guard(lock_);
            const uint32_t flags = header->flags.load();
            if (!(flags & kWaveHeaderPrepared)) return kWaveErrUnprepared;
            if (flags & kWaveHeaderInQueue) return kWaveErrStillPlaying;
            if (header->bufferLength < static_cast<uint32_t>(format_.BlockAlign())) return kWaveErrInvalidParameter;
            if (queue_.Full()) return kWaveErrNoMemory;  // a header prepared on another device
            if (input_) header->bytesRecorded = 0;
            header->flags.store((flags & ~kWaveHeaderDone) | kWaveHeaderInQueue);
            queue_.PushBack(header);
        }
        wake_.notify_all();
        return kWaveNoError;
    }

    bool HasQueued() {
        std::lock_guard guard(lock_);
        return !queue_.Empty();
    }

    // Hands the command to the device thread and waits until it has acted.
    WaveResult Request(Command command) {
        if (std::this_thread::get_id() == thread_.get_id()) return kWaveErrUnspecified;
        std::unique_lock lock(lock_);
        acked_.wait(lock, [this] { return command_ == Command::None; });
        command_ = command;
        const uint64_t serial = ++requestSerial_;
        interrupt_.Raise();
        wake_.notify_all();
        acked_.wait(lock, [&] { return ackSerial_ >= serial; });
        return commandResult_;
    }

    void Join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    void Run() {
        try {
            Notify(input_ ? kWimOpen : kWomOpen, 0);
            if (input_) RunInput();
            else RunOutput();
            Notify(input_ ? kWimClose : kWomClose, 0);
        } catch (const std::exception& e) {
            qWarning("wave device thread failed: %s", e.what());
        } catch (...) {
            qWarning("wave device thread failed");
        }
    }

    bool HasWork() const {
        return command_ != Command::None || (!queue_.Empty() && !failed_ && (!input_ || recording_));
    }

    void Acknowledge(WaveResult result) {
        command_ = Command::None;
        commandResult_ = result;
        ++ackSerial_;
        interrupt_.Clear();
        acked_.notify_all();
    }

    // Acts on a command under the lock; answers the buffers to return.
    std::vector<WaveHeader*> Execute(Command command, WaveResult* result) {
        std::vector<WaveHeader*> back;
        *result = kWaveNoError;
        if (command == Command::Start) {
            if (input_ && !recording_) {
                *result = capture_->Start();
                recording_ = *result == kWaveNoError;
                failed_ = false;
            }
            return back;
        }
        if (input_) {
            if (recording_) capture_->Stop();
            recording_ = false;
        } else {
            playback_->Stop();
            frontOffset_ = 0;
            failed_ = false;
        }
        if (command == Command::Reset) {
            back = queue_.TakeAll();
        } else if (command == Command::Stop && input_ && !queue_.Empty() && queue_.Front()->bytesRecorded > 0) {
            back.push_back(queue_.Front());
            queue_.PopFront();
        }
        return back;
    }

    // Runs commands until the next buffer can be worked on; false on close.
    bool TakeCommands(std::unique_lock<std::mutex>& lock) {
        for (;;) {
            wake_.wait(lock, [this] { return HasWork(); });
            if (command_ == Command::None) return true;
            const Command command = command_;
            if (command == Command::Close) {
                Acknowledge(kWaveNoError);
                return false;
            }
            WaveResult result;
            std::vector<WaveHeader*> back = Execute(command, &result);
            Acknowledge(result);
            lock.unlock();
            for (WaveHeader* header : back) Return(header);
            lock.lock();
        }
    }

    void RunInput() {
        const int32_t blockAlign = format_.BlockAlign();
        std::unique_lock lock(lock_);
        while (TakeCommands(lock)) {
            WaveHeader* header = queue_.Front();
            lock.unlock();
            const int32_t frames = static_cast<int32_t>((header->bufferLength - header->bytesRecorded) / blockAlign);
            const int32_t got = capture_->Read(reinterpret_cast<uint8_t*>(header->data) + header->bytesRecorded,
                                               frames, interrupt_);
            lock.lock();
            if (got < 0) {
                const bool justFailed = !failed_;
                failed_ = true;
                if (justFailed) {
                    lock.unlock();
                    Notify(kWimDeviceLost, 0);
                    lock.lock();
                }
                continue;
            }
            header->bytesRecorded += static_cast<uint32_t>(got * blockAlign);
            if (header->bytesRecorded + blockAlign > header->bufferLength) {
                queue_.PopFront();
                lock.unlock();
                Return(header);
                lock.lock();
            }
        }
    }

    void RunOutput() {
        const int32_t blockAlign = format_.BlockAlign();
        std::unique_lock lock(lock_);
        while (TakeCommands(lock)) {
            WaveHeader* header = queue_.Front();
            const uint32_t offset = frontOffset_;
            lock.unlock();
            const int32_t frames = static_cast<int32_t>((header->bufferLength - offset) / blockAlign);
            const int32_t put = playback_->Write(reinterpret_cast<const uint8_t*>(header->data) + offset, frames,
                                                 interrupt_);
            lock.lock();
            if (put < 0) {
                failed_ = true;
                continue;
            }
            if (queue_.Empty() || queue_.Front() != header) continue;  // reset meanwhile
            frontOffset_ += static_cast<uint32_t>(put * blockAlign);
            if (frontOffset_ + blockAlign > header->bufferLength) {
                frontOffset_ = 0;
                queue_.PopFront();
                lock.unlock();
                Return(header);
                lock.lock();
            }
        }
    }

    void Return(WaveHeader* header) {
        const uint32_t flags = header->flags.load();
        header->flags.store((flags & ~kWaveHeaderInQueue) | kWaveHeaderDone);
        Notify(input_ ? kWimData : kWomDone, reinterpret_cast<uintptr_t>(header));
    }

    void Notify(uint32_t message, uintptr_t param1) {
        if (callback_) callback_(handle_, message, instance_, param1, 0);
    }

    const bool input_;
    const PcmFormat format_;
    const WaveCallback callback_;
    const uintptr_t instance_;
    std::unique_ptr<PcmCapture> capture_;
    std::unique_ptr<PcmPlayback> playback_;
    WaveHandle handle_ = 0;

    std::mutex lock_;
    std::condition_variable wake_;
    std::condition_variable acked_;
    HeaderQueue queue_;
    size_t prepared_ = 0;
    Command command_ = Command::None;
    uint64_t requestSerial_ = 0;
    uint64_t ackSerial_ = 0;
    WaveResult commandResult_ = kWaveNoError;
    bool recording_ = false;
    bool failed_ = false;
    uint32_t frontOffset_ = 0;  // bytes of the first output buffer already played
    StreamInterrupt interrupt_;
    std::thread thread_;
};

class HandleTable {
public:
    WaveHandle Add(std::shared_ptr<WaveStream> stream) {
        std::lock_guard guard(lock_);
        const WaveHandle handle = nextHandle_++;
        streams_[handle] = std::move(stream);
        return handle;
    }

    std::shared_ptr<WaveStream> Find(WaveHandle handle, bool input) {
        std::lock_guard guard(lock_);
        const auto it = streams_.find(handle);
        if (it == streams_.end() || it->second->IsInput() != input) return nullptr;
        return it->second;
    }

    void Remove(WaveHandle handle) {
        std::lock_guard guard(lock_);
        streams_.erase(handle);
    }

private:
    std::mutex lock_;
    std::map<WaveHandle, std::shared_ptr<WaveStream>> streams_;
    WaveHandle nextHandle_ = 0x5700;
};

// Never destroyed: a device still open when the program ends keeps its
// thread, which must not outlive the table it is listed in.
HandleTable& Handles() {
    static HandleTable* table = new HandleTable;
    return *table;
}

SimulatedSignal SignalOf(DeviceKind kind, const SimulatedAudioConfig& config) {
    switch (kind) {
    case DeviceKind::SimNoise: return config.NoiseSignal();
    case DeviceKind::SimWav: return config.WavSignal();
    default: return config.SineSignal();
    }
}

WaveResult OpenCapture(const DeviceEntry& device, const PcmFormat& format, std::unique_ptr<PcmCapture>* capture) {
    if (device.kind == DeviceKind::Alsa) return OpenAlsaCapture(device.alsaName, format, capture);
    QString error;
    auto source = MakeSignalSource(SignalOf(device.kind, ReadSimulatedAudioConfig()), format.rate, &error);
    if (!source) {
        qWarning("%s", qPrintable(error));
        return kWaveErrNoDriver;
    }
    *capture = MakeSimulatedCapture(std::move(source), format);
    return kWaveNoError;
}

WaveResult OpenPlayback(const DeviceEntry& device, const PcmFormat& format, std::unique_ptr<PcmPlayback>* playback) {
    if (device.kind == DeviceKind::Alsa) return OpenAlsaPlayback(device.alsaName, format, playback);
    *playback = MakeSimulatedPlayback(format);
    return kWaveNoError;
}

WaveResult Open(bool input, WaveHandle* handle, uint32_t deviceId, const WaveFormat* format, WaveCallback callback,
                uintptr_t instance, uint32_t flags) {
    if (format == nullptr) return kWaveErrInvalidParameter;
    if (flags & ~(kWaveCallbackFunction | kWaveFormatQuery)) return kWaveErrInvalidFlag;
    PcmFormat pcm;
    if (!PcmFormatFrom(*format, &pcm)) return kWaveErrBadFormat;
    DeviceEntry device;
    if (!Devices().At(input, deviceId, &device)) return kWaveErrBadDeviceId;
    if (flags & kWaveFormatQuery)
        return device.kind == DeviceKind::Alsa ? QueryAlsaFormat(device.alsaName, input, pcm) : kWaveNoError;
    if (handle == nullptr) return kWaveErrInvalidParameter;
    std::unique_ptr<PcmCapture> capture;
    std::unique_ptr<PcmPlayback> playback;
    const WaveResult result = input ? OpenCapture(device, pcm, &capture) : OpenPlayback(device, pcm, &playback);
    if (result != kWaveNoError) return result;
    auto stream = std::make_shared<WaveStream>(input, pcm, callback, instance, std::move(capture), std::move(playback));
    const WaveHandle h = Handles().Add(stream);
    *handle = h;
    stream->Launch(h);
    return kWaveNoError;
}

bool ValidHeader(const WaveHeader* header, uint32_t headerSize) {
    return header != nullptr && headerSize == kWaveHeaderSize;
}

template <typename Action>
WaveResult WithHeader(bool input, WaveHandle handle, WaveHeader* header, uint32_t headerSize, Action action) {
    WaveStream* own = ownStream;
    std::shared_ptr<WaveStream> found;
    WaveStream* stream = own != nullptr && own->Handle() == handle && own->IsInput() == input
                             ? own
                             : (found = Handles().Find(handle, input)).get();
    if (stream == nullptr) return kWaveErrInvalidHandle;
    if (!ValidHeader(header, headerSize)) return kWaveErrInvalidParameter;
    return action(*stream, header);
}

WaveResult Send(bool input, WaveHandle handle, Command command) {
    const auto stream = Handles().Find(handle, input);
    if (!stream) return kWaveErrInvalidHandle;
    return stream->Request(command);
}

WaveResult Close(bool input, WaveHandle handle) {
    const auto stream = Handles().Find(handle, input);
    if (!stream) return kWaveErrInvalidHandle;
    if (stream->HasQueued()) return kWaveErrStillPlaying;
    const WaveResult result = stream->Request(Command::Close);
    if (result != kWaveNoError) return result;
    stream->Join();
    Handles().Remove(handle);
    return kWaveNoError;
}

}  // namespace

QString ProductNameOf(const WaveInCaps& caps) { return NameFromField(caps.productName); }
QString ProductNameOf(const WaveOutCaps& caps) { return NameFromField(caps.productName); }

uint32_t WaveInDeviceCount() { return Devices().Refresh(true); }
uint32_t WaveOutDeviceCount() { return Devices().Refresh(false); }

WaveResult WaveInGetCaps(uint32_t deviceId, WaveInCaps* caps) {
    if (caps == nullptr) return kWaveErrInvalidParameter;
    DeviceEntry device;
    if (!Devices().At(true, deviceId, &device)) return kWaveErrBadDeviceId;
    *caps = WaveInCaps{};
    NameIntoField(device.productName, caps->productName);
    caps->formats = kWaveCaps48Stereo16;
    caps->channels = 2;
    return kWaveNoError;
}

WaveResult WaveOutGetCaps(uint32_t deviceId, WaveOutCaps* caps) {
    if (caps == nullptr) return kWaveErrInvalidParameter;
    DeviceEntry device;
    if (!Devices().At(false, deviceId, &device)) return kWaveErrBadDeviceId;
    *caps = WaveOutCaps{};
    NameIntoField(device.productName, caps->productName);
    caps->formats = kWaveCaps48Stereo16;
    caps->channels = 2;
    return kWaveNoError;
}

WaveResult WaveInOpen(WaveHandle* handle, uint32_t deviceId, const WaveFormat* format, WaveCallback callback,
                      uintptr_t instance, uint32_t flags) {
    return Open(true, handle, deviceId, format, callback, instance, flags);
}

WaveResult WaveOutOpen(WaveHandle* handle, uint32_t deviceId, const WaveFormat* format, WaveCallback callback,
                       uintptr_t instance, uint32_t flags) {
    return Open(false, handle, deviceId, format, callback, instance, flags);
}

WaveResult WaveInPrepareHeader(WaveHandle handle, WaveHeader* header, uint32_t headerSize) {
    return WithHeader(true, handle, header, headerSize, [](WaveStream& s, WaveHeader* h) { return s.Prepare(h); });
}

WaveResult WaveOutPrepareHeader(WaveHandle handle, WaveHeader* header, uint32_t headerSize) {
    return WithHeader(false, handle, header, headerSize, [](WaveStream& s, WaveHeader* h) { return s.Prepare(h); });
}

WaveResult WaveInUnprepareHeader(WaveHandle handle, WaveHeader* header, uint32_t headerSize) {
    return WithHeader(true, handle, header, headerSize, [](WaveStream& s, WaveHeader* h) { return s.Unprepare(h); });
}

WaveResult WaveOutUnprepareHeader(WaveHandle handle, WaveHeader* header, uint32_t headerSize) {
    return WithHeader(false, handle, header, headerSize, [](WaveStream& s, WaveHeader* h) { return s.Unprepare(h); });
}

WaveResult WaveInAddBuffer(WaveHandle handle, WaveHeader* header, uint32_t headerSize) {
    return WithHeader(true, handle, header, headerSize, [](WaveStream& s, WaveHeader* h) { return s.Queue(h); });
}

WaveResult WaveOutWrite(WaveHandle handle, WaveHeader* header, uint32_t headerSize) {
    return WithHeader(false, handle, header, headerSize, [](WaveStream& s, WaveHeader* h) { return s.Queue(h); });
}

WaveResult WaveInStart(WaveHandle handle) { return Send(true, handle, Command::Start); }
WaveResult WaveInStop(WaveHandle handle) { return Send(true, handle, Command::Stop); }
WaveResult WaveInReset(WaveHandle handle) { return Send(true, handle, Command::Reset); }
WaveResult WaveOutReset(WaveHandle handle) { return Send(false, handle, Command::Reset); }
WaveResult WaveInClose(WaveHandle handle) { return Close(true, handle); }
WaveResult WaveOutClose(WaveHandle handle) { return Close(false, handle); }

WaveResult WaveInGetErrorText(WaveResult code, QString* text) {
    static const std::map<WaveResult, const char*> texts = {
        {kWaveNoError, "The operation completed successfully."},
        {kWaveErrUnspecified, "The sound device reported an unspecified error."},
        {kWaveErrBadDeviceId, "The device id is out of range: there is no such sound device."},
        {kWaveErrAllocated, "The sound device is already in use by another program."},
        {kWaveErrInvalidHandle, "The handle of the sound device is not valid."},
        {kWaveErrNoDriver, "The sound device cannot be opened: its driver or its signal source is missing."},
        {kWaveErrNoMemory, "There is not enough memory for the sound device."},
        {kWaveErrBadErrorNumber, "The error number is not known."},
        {kWaveErrInvalidFlag, "A flag passed to the sound device is not valid."},
        {kWaveErrInvalidParameter, "A parameter passed to the sound device is not valid."},
        {kWaveErrBadFormat, "The sound device does not support the requested wave format."},
        {kWaveErrStillPlaying, "Buffers are still queued on the sound device."},
        {kWaveErrUnprepared, "The buffer has not been prepared."},
    };
    const auto it = texts.find(code);
    if (it == texts.end()) return kWaveErrBadErrorNumber;
    if (text) *text = QString::fromLatin1(it->second);
    return kWaveNoError;
}

QString SystemErrorText(int code) { return qt_error_string(code); }

}  // namespace platform
