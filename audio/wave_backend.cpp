#include "audio/wave_backend.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/audio_peers.h"
#include "audio/audio_start_stop.h"
#include "audio/main_window_access.h"
#include "platform/user_dialogs.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

using platform::WaveHandle;
using platform::WaveHeader;

platform::WaveFormat waveFormat;
std::atomic<WaveHandle> hWaveIn{0};
std::atomic<WaveHandle> hWaveOut{0};
std::atomic<bool> waveInClosing{false};
std::atomic<bool> waveOutClosing{false};
std::atomic<bool> waveFirstBuffer{false};

namespace {

constexpr int32_t kNoDeviceTextId = 3;

WaveHeader inHeaders[2];
std::vector<char> inBlocks[2];
WaveHeader outHeaders[2];
std::vector<char> outBlocks[2];
platform::WaveFormat outFormat;

// What the input callback reads: fixed while the device is open.
std::atomic<int32_t> inBits{16};
std::atomic<MainWindowFields*> inFields{nullptr};
std::atomic<int32_t> outBits{16};
// Set by the device thread when the open input stopped delivering.
std::atomic<bool> inLost{false};

std::mutex observerLock;
std::shared_ptr<std::function<void(int32_t)>> ringObserver;

bool OnGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app == nullptr || QThread::currentThread() == app->thread();
}

void ShowWaveError(const QString& text, const QString& step) {
    platform::MessageRequest request;
    request.text = text;
    request.header = step;
    request.rightCaption = GetLangText(kOkayTextId);
    request.rightCaptionId = kOkayTextId;
    MainWindowServices* services = mainWindowServices();
    request.owner = services ? services->MainForm() : nullptr;
    platform::userDialogs()->ShowMessage(request);
}

QString Hex4(uint32_t value) { return QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0')); }

QString WaveErrorText(uint32_t code) {
    QString text;
    const uint32_t r = platform::WaveInGetErrorText(code, &text);
    if (r == platform::kWaveNoError) return text;
    return QStringLiteral("No valid errorcode: ") + Hex4(code) + QStringLiteral("\r\nMessagecode: ") + Hex4(r) +
           QStringLiteral("\r\nSyserror: ") + platform::SystemErrorText(static_cast<int>(r));
}

// The main window keeps processing its messages while a device gives its
// buffers back, which it does from its own thread. A device that keeps a
// buffer beyond any reason does not hang the program: the unprepare that
// follows then reports it.
void WaitUntilReturned(const WaveHeader& header) {
    using namespace std::chrono;
    const auto giveUp = steady_clock::now() + seconds(10);
    while ((header.flags.load() & platform::kWaveHeaderInQueue) && steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(milliseconds(5));
        if (MainWindowServices* services = mainWindowServices()) services->UpdateIt();
        else if (QCoreApplication::instance() && OnGuiThread()) QCoreApplication::processEvents();
    }
}

void FillPcmFormat(platform::WaveFormat& format, bool highRes) {
    format.formatTag = platform::kWaveFormatPcm;
    format.channels = 2;
    format.samplesPerSec = 48000;
    format.blockAlign = highRes ? 8 : 4;
    format.avgBytesPerSec = 48000u * format.blockAlign;
    format.bitsPerSample = highRes ? 32 : 16;
    format.extraSize = 0;
}

void SetUpHeader(WaveHeader& header, std::vector<char>& block, uint32_t bytes, uintptr_t user) {
    header.Clear();
    block.assign(bytes, 0);
    header.data = block.data();
    header.bufferLength = bytes;
    header.user = user;
}

int32_t ReadSample(const char* p, int32_t bits) {
    if (bits == 32) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    int16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// Routes one frame by the input assignment and the measuring side.
void StoreFrame(int32_t pos, double left, double right, int32_t assign, bool measureLeft) {
    if (assign == 3) {
        sampleRing1[pos] = measureLeft ? left : right;
        sampleRing2[pos] = measureLeft ? right : left;
    } else if (assign == 1) {
        sampleRing1[pos] = measureLeft ? left : right;
    } else {
        sampleRing1[pos] = left;
    }
}

void ConvertIntoRings(const WaveHeader& header) {
    const int32_t bits = inBits.load();
    const int32_t bytes = bits / 8;
    const uint32_t frames = header.bytesRecorded / (2 * bytes);
    const double k = bits == 32 ? 1.0 / 2147483647.0 : 1.0 / 32767.0;
    const MainWindowFields* fields = inFields.load();
    const bool measureLeft = fields != nullptr && fields->Kanal.load();
    const int32_t assign = inputAssign.load();
    const auto size = static_cast<int32_t>(sampleRing1.size());
    if (size == 0) return;
    int32_t pos = ringWritePos.Slot();
    const char* p = header.data;
    for (uint32_t f = 0; f < frames; ++f) {
        const double left = ReadSample(p, bits) * k;
        const double right = ReadSample(p + bytes, bits) * k;
        StoreFrame(pos, left, right, assign, measureLeft);
        pos = NextRingSlot(pos, size);
        p += 2 * bytes;
    }
    ringWritePos.Publish(static_cast<int32_t>(frames));
    TellRingPublished(pos);
}

void StopTestSignalOutput() {
    if (AudioPeers* peers = audioPeers()) peers->StopAudioOut();
    else if (IsWaveOutOpen()) CloseWaveOut();
}

}  // namespace

void InitWaveFormatRecord() {
    waveFormat.formatTag = platform::kWaveFormatExtensible;
    waveFormat.channels = 2;
    waveFormat.samplesPerSec = 48000;
    waveFormat.bitsPerSample = 16;
    waveFormat.blockAlign = 4;
    waveFormat.avgBytesPerSec = 192000;
    waveFormat.extraSize = 0;
}

bool CheckWaveError(uint32_t code, const QString& step) {
    if (code == platform::kWaveNoError) return true;
    const QString text = WaveErrorText(code);
    if (OnGuiThread()) {
        ShowWaveError(text, step);
    } else {
        // A device thread never shows a window: the GUI thread does, later.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [text, step] { ShowWaveError(text, step); },
                                  Qt::QueuedConnection);
    }
    return false;
}

bool OpenWaveIn() {
    MainWindowFields* fields = MainFields();
    if (fields == nullptr) return false;
    const uint32_t n = platform::WaveInDeviceCount();
    const int64_t id = fields->waveInID.load();
    if (id < 0 || id > static_cast<int64_t>(n) - 1) return false;
    platform::WaveInCaps caps;
    platform::WaveInGetCaps(static_cast<uint32_t>(id), &caps);
    FillPcmFormat(waveFormat, fields->HighRes.load());
    inBits.store(waveFormat.bitsPerSample);
    inFields.store(fields);
    waveInClosing.store(false);
    inLost.store(false);

    const uint32_t headerSize = platform::kWaveHeaderSize;
    WaveHandle handle = 0;
    bool ok = CheckWaveError(platform::WaveInOpen(&handle, static_cast<uint32_t>(id), &waveFormat, &WaveInProc, 0,
                                                  platform::kWaveCallbackFunction),
                             QStringLiteral(" Open Wave In Normal"));
    if (ok) {
        hWaveIn.store(handle);
        const uint32_t bytes = kWaveInFrames * waveFormat.blockAlign;
        SetUpHeader(inHeaders[0], inBlocks[0], bytes, 1);
        SetUpHeader(inHeaders[1], inBlocks[1], bytes, 2);
        CheckWaveError(platform::WaveInPrepareHeader(handle, &inHeaders[0], headerSize), QStringLiteral("Prep Header 1"));
        CheckWaveError(platform::WaveInPrepareHeader(handle, &inHeaders[1], headerSize), QStringLiteral("Prep Header 2"));
        CheckWaveError(platform::WaveInAddBuffer(handle, &inHeaders[0], headerSize), QStringLiteral("Add buffer 1"));
        CheckWaveError(platform::WaveInAddBuffer(handle, &inHeaders[1], headerSize), QStringLiteral("Add buffer 2"));
        SetInputRunning(false);
        ok = CheckWaveError(platform::WaveInStart(handle), QStringLiteral("Start Waveinput"));
        SetInputRunning(ok);
        // A device that failed as soon as it started has said so already
        // and must not stay marked running.
        if (ok && inLost.load()) SetInputRunning(false);
    }
    fields->WaveDeviceName = ok ? platform::ProductNameOf(caps) : GetLangText(kNoDeviceTextId);
    return ok;
}

void WaveInProc(WaveHandle, uint32_t message, uintptr_t, uintptr_t param1, uintptr_t) {
    if (waveInClosing.load()) return;
    if (message == platform::kWimData) WaveInDataReady(reinterpret_cast<WaveHeader*>(param1));
    else if (message == platform::kWimDeviceLost) {
        inLost.store(true);
        ReportLostInputDevice();
    }
}

void WaveInDataReady(WaveHeader* header) {
    if (waveInClosing.load()) return;
    if (waveFirstBuffer.load() && header->bytesRecorded > 0) ConvertIntoRings(*header);
    header->flags.fetch_and(~platform::kWaveHeaderDone);
    platform::WaveInAddBuffer(hWaveIn.load(), header, platform::kWaveHeaderSize);
    waveFirstBuffer.store(true);
}

bool IsWaveInOpen() { return hWaveIn.load() != 0; }

void CloseWaveIn() {
    const WaveHandle handle = hWaveIn.load();
    const uint32_t headerSize = platform::kWaveHeaderSize;
    waveInClosing.store(true);
    CheckWaveError(platform::WaveInReset(handle), QStringLiteral("RESET"));
    WaitUntilReturned(inHeaders[0]);
    CheckWaveError(platform::WaveInUnprepareHeader(handle, &inHeaders[0], headerSize), QStringLiteral("Free 1"));
    WaitUntilReturned(inHeaders[1]);
    CheckWaveError(platform::WaveInUnprepareHeader(handle, &inHeaders[1], headerSize), QStringLiteral("Free 2"));
    CheckWaveError(platform::WaveInStop(handle), QStringLiteral("STOP"));
    CheckWaveError(platform::WaveInClose(handle), QStringLiteral("CLOSE"));
    hWaveIn.store(0);
    SetInputRunning(false);
    for (int i = 0; i < 2; ++i) {
        inHeaders[i].Clear();
        std::vector<char>().swap(inBlocks[i]);
    }
    if (IsOutputRunning()) StopTestSignalOutput();
}

void OpenWaveOut() {
    MainWindowFields* fields = MainFields();
    waveOutClosing.store(false);
    // The output keeps a format of its own: the input's record may hold
    // another interface's rate, or no usable format yet.
    FillPcmFormat(outFormat, fields != nullptr && fields->HighRes.load());
    outBits.store(outFormat.bitsPerSample);
    const uint32_t headerSize = platform::kWaveHeaderSize;
    const int32_t deviceId = fields ? fields->waveOutID.load() : -1;
    WaveHandle handle = 0;
    CheckWaveError(platform::WaveOutOpen(&handle, static_cast<uint32_t>(deviceId), &outFormat, &WaveOutProc, 0,
                                         platform::kWaveCallbackFunction),
                   QStringLiteral("Open Wave Out"));
    hWaveOut.store(handle);
    const uint32_t bytes = kWaveOutFrames * outFormat.blockAlign;
    SetUpHeader(outHeaders[0], outBlocks[0], bytes, 1);
    CheckWaveError(platform::WaveOutPrepareHeader(handle, &outHeaders[0], headerSize),
                   QStringLiteral("Prepare Header Out 1"));
    SetUpHeader(outHeaders[1], outBlocks[1], bytes, 2);
    noisePos.store(0);
    CheckWaveError(platform::WaveOutPrepareHeader(handle, &outHeaders[1], headerSize),
                   QStringLiteral("Prepare Header Out 2"));
    CheckWaveError(platform::WaveOutWrite(handle, &outHeaders[0], headerSize), QStringLiteral("Write Out 1"));
    CheckWaveError(platform::WaveOutWrite(handle, &outHeaders[1], headerSize), QStringLiteral("Write Out 2"));
    SetOutputRunning(true);
}

void WaveOutProc(WaveHandle handle, uint32_t message, uintptr_t, uintptr_t param1, uintptr_t) {
    if (message != platform::kWomDone || waveOutClosing.load()) return;
    WaveOutDone(handle, reinterpret_cast<WaveHeader*>(param1)->user);
}

void WaveOutDone(WaveHandle handle, uintptr_t buffer) {
    if (waveOutClosing.load() || (buffer != 1 && buffer != 2)) return;
    WaveHeader& header = outHeaders[buffer - 1];
    const int32_t bits = outBits.load();
    const uint32_t frames = outHeaders[0].bufferLength / (bits == 32 ? 8 : 4);
    const double full = bits == 32 ? 2147483647.0 : 32767.0;
    const double g = testSignalOn.load() ? outputGain.load() * full : 0.0;
    const auto last = static_cast<int32_t>(noiseTable.size()) - 1;
    int32_t pos = noisePos.load();
    char* p = header.data;
    for (uint32_t f = 0; f < frames; ++f) {
        double v = 0.0;
        if (last >= 0) {
            // A gain above the table's full scale clips instead of wrapping
            // round into full-scale clicks.
            v = std::clamp(std::nearbyint(g * noiseTable[pos]), -full - 1.0, full);
            pos = pos + 1 > last ? 0 : pos + 1;
        }
        if (bits == 32) {
            const auto s = static_cast<int32_t>(v);
            std::memcpy(p, &s, 4);
            std::memcpy(p + 4, &s, 4);
            p += 8;
        } else {
            const auto s = static_cast<int16_t>(v);
            std::memcpy(p, &s, 2);
            std::memcpy(p + 2, &s, 2);
            p += 4;
        }
    }
    noisePos.store(pos);
    platform::WaveOutWrite(handle, &header, platform::kWaveHeaderSize);
}

bool IsWaveOutOpen() { return hWaveOut.load() != 0; }

void CloseWaveOut() {
    const WaveHandle handle = hWaveOut.load();
    const uint32_t headerSize = platform::kWaveHeaderSize;
    waveOutClosing.store(true);
    SetOutputRunning(false);
    CheckWaveError(platform::WaveOutReset(handle), QStringLiteral("Reset"));
    WaitUntilReturned(outHeaders[0]);
    WaitUntilReturned(outHeaders[1]);
    CheckWaveError(platform::WaveOutUnprepareHeader(handle, &outHeaders[0], headerSize), QStringLiteral("Out UNP 1"));
    CheckWaveError(platform::WaveOutUnprepareHeader(handle, &outHeaders[1], headerSize), QStringLiteral("Out UNP 2"));
    CheckWaveError(platform::WaveOutClose(handle), QStringLiteral("Close"));
    hWaveOut.store(0);
    for (int i = 0; i < 2; ++i) {
        outHeaders[i].Clear();
        std::vector<char>().swap(outBlocks[i]);
    }
}

void SetRingPublishObserver(std::function<void(int32_t position)> observer) {
    std::lock_guard guard(observerLock);
    ringObserver = observer ? std::make_shared<std::function<void(int32_t)>>(std::move(observer)) : nullptr;
}

void TellRingPublished(int32_t position) {
    std::shared_ptr<std::function<void(int32_t)>> observer;
    {
        std::lock_guard guard(observerLock);
        observer = ringObserver;
    }
    if (observer) (*observer)(position);
}
