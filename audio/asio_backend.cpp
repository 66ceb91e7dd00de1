#include "audio/asio_backend.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/asio_driver_list.h"
#include "audio/audio_start_stop.h"
#include "audio/main_window_access.h"
#include "audio/test_signal.h"
#include "audio/wave_backend.h"
#include "platform/lock_free_event.h"
#include "platform/user_dialogs.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

using namespace platform;

namespace {

constexpr int kConversionWakeMs = 250;
constexpr int kFillerWakeMs = 1000;
constexpr double kLowestResetRate = 42000.0;
constexpr intptr_t kSameRateRestart = 16;

// What the driver's thread reads, set up by the start on the main thread
// before the driver runs and left alone until it stopped.
struct RunningBuffers {
    std::vector<AsioBufferInfo> infos;
    int32_t inputs = 0;       // 1 or 2 input entries first
    bool output = false;      // the last entry is the output channel
    bool a96 = false;
    std::vector<uint8_t> outStore[2];
};
RunningBuffers run;

AsioCallbacks callbacks{&bufferSwitch, &sampleRateDidChange, &asioMessage, &bufferSwitchTimeInfo};
LockFreeEvent conversionWake;
LockFreeEvent fillWake;
// The switch that is to play each output buffer next, and the switch the
// filler filled it for. A buffer plays only at its own switch: one the filler
// finished too late is silence then and is filled again for a later switch,
// so the noise never plays out of order.
std::atomic<uint64_t> wantedTurn[2];
std::atomic<uint64_t> filledTurn[2];
uint64_t switchTurn = 0;  // the driver's thread's own once the driver runs
// The rate the driver was started with, for the driver's own threads.
std::atomic<int32_t> startedRate{0};

AsioDriver* Driver() {
    TOpenASIO* open = openAsio.load();
    return open ? open->Driver.get() : nullptr;
}

void ShowBox(const QString& text, int32_t headerId) { AskMessage(text, 0, headerId, 0, 0, kOkayTextId); }

// From a driver's thread the box goes to the GUI thread; the caller returns at once.
void ShowBoxLater(const QString& text, int32_t headerId) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, [text, headerId] { ShowBox(text, headerId); }, Qt::QueuedConnection);
}

QString Filled(int32_t textId, const QString& s, int32_t d) {
    return GetLangText(textId).replace(QStringLiteral("%s"), s).replace(QStringLiteral("%d"), QString::number(d));
}

bool Supported(int32_t type) { return type >= kAsioInt16LSB && type <= kAsioFloat64LSB; }

// The sample of one input type as a double: the type fixed at compile time,
// so that a half-buffer's loop decides it once, not per sample.
template <int32_t Type>
double Decode(const uint8_t* sample) {
    double v = 0.0;
    AsioSampleToDouble(sample, Type, &v);
    return v;
}

// m samples of one channel's half-buffer into ring from pos: each one input
// sample, or with a96 the mean of two in a row.
template <int32_t Type>
void ConvertChannel(const uint8_t* in, bool a96, int32_t m, std::vector<double>& ring, int32_t pos) {
    const int32_t bytes = AsioSampleSize(Type);
    const auto size = static_cast<int32_t>(ring.size());
    for (int32_t i = 0; i < m; ++i) {
        ring[pos] = a96 ? (Decode<Type>(in + 2 * i * bytes) + Decode<Type>(in + (2 * i + 1) * bytes)) / 2.0
                        : Decode<Type>(in + i * bytes);
        pos = NextRingSlot(pos, size);
    }
}

void ConvertChannelOfType(int32_t type, const uint8_t* in, bool a96, int32_t m, std::vector<double>& ring, int32_t pos) {
    switch (type) {
    case kAsioInt16LSB: ConvertChannel<kAsioInt16LSB>(in, a96, m, ring, pos); break;
    case kAsioInt24LSB: ConvertChannel<kAsioInt24LSB>(in, a96, m, ring, pos); break;
    case kAsioInt32LSB: ConvertChannel<kAsioInt32LSB>(in, a96, m, ring, pos); break;
    case kAsioFloat32LSB: ConvertChannel<kAsioFloat32LSB>(in, a96, m, ring, pos); break;
    case kAsioFloat64LSB: ConvertChannel<kAsioFloat64LSB>(in, a96, m, ring, pos); break;
    default: break;
    }
}

// One half-buffer of the input entries into the rings; published also when
// nothing was converted.
void ConvertHalf(int32_t index, bool a96, int32_t size) {
    const int32_t type = asioInType.load(std::memory_order_relaxed);
    int32_t converted = 0;
    if (Supported(type) && !sampleRing1.empty() && IsInputRunning() && run.inputs > 0) {
        const int32_t m = a96 ? size / 2 : size;
        const int32_t pos = ringWritePos.Slot();
        ConvertChannelOfType(type, static_cast<const uint8_t*>(run.infos[0].buffers[index]), a96, m, sampleRing1, pos);
        if (IsSecondInputRunning() && run.inputs > 1)
            ConvertChannelOfType(type, static_cast<const uint8_t*>(run.infos[1].buffers[index]), a96, m, sampleRing2, pos);
        converted = m;
    }
    ringWritePos.Publish(converted);
}

// Writes count samples of the noise table at gain g in the output type.
void FillOutput(uint8_t* out, int32_t count, int32_t type, double g) {
    const int32_t bytes = AsioSampleSize(type);
    if (bytes == 0 || !Supported(type)) return;
    const auto last = static_cast<int32_t>(noiseTable.size()) - 1;
    int32_t pos = noisePos.load(std::memory_order_relaxed);
    for (int32_t i = 0; i < count; ++i) {
        double v = 0.0;
        if (last >= 0) {
            if (pos > last) pos = 0;
            v = g * noiseTable[pos];
            pos = pos + 1 > last ? 0 : pos + 1;
        }
        DoubleToAsioSample(v, type, out + i * bytes);
    }
    noisePos.store(pos, std::memory_order_relaxed);
}

double GainUnderLock() {
    std::lock_guard guard(outputGainLock);
    return outputGain.load();
}

void ServeOutput(int32_t index) {
    if (!run.output) return;
    void* d = run.infos.back().buffers[index];
    if (d == nullptr) return;
    const int32_t next = asioNextFill.load(std::memory_order_relaxed);
    const auto bytes = static_cast<size_t>(asioOutBytes.load(std::memory_order_relaxed));
    if (testSignalOn.load(std::memory_order_relaxed) && filledTurn[next].load(std::memory_order_acquire) == switchTurn)
        std::memcpy(d, run.outStore[next].data(), bytes);
    else
        std::memset(d, 0, bytes);
    wantedTurn[next].store(switchTurn + 2, std::memory_order_release);
    asioFillIndex.store(next, std::memory_order_release);
    fillWake.Set();
    asioNextFill.store(1 - next, std::memory_order_relaxed);
    ++switchTurn;
}

// Ends what a start left behind, in the order the driver needs.
void EndThreads(MainWindowFields& fields) {
    if (OutFill* filler = fields.hFillOut.exchange(nullptr)) {
        filler->Terminate();
        fillWake.Set();
        delete filler;
    }
    if (TAsioIn* conversion = fields.hAsioIn.exchange(nullptr)) {
        conversion->Terminate();
        conversionWake.Set();
        delete conversion;
    }
}

void FreeDriver() { delete openAsio.exchange(nullptr); }

void ResetRunBuffers() {
    run.infos.clear();
    run.inputs = 0;
    run.output = false;
    for (auto& store : run.outStore) std::vector<uint8_t>().swap(store);
    asioOutBuffers = {nullptr, nullptr};
    asioBufferInfos.clear();
}

void FailedStart(MainWindowFields& fields) {
    ClearRunState();
    if (AsioDriver* driver = Driver()) driver->disposeBuffers();
    EndThreads(fields);
    FreeDriver();
    ResetRunBuffers();
    fields.waveInID.store(0);
    fields.IOMode.store(0);
    ShowBox(GetLangText(53) + QStringLiteral("\r\n\r\n") + GetLangText(54), 55);
}

bool ProbeRate(MainWindowFields& fields, AsioDriver& driver) {
    double r = fields.asio96.load() ? 96000.0 : 48000.0;
    bool ok = driver.canSampleRate(r) == ASE_OK;
    if (!ok) {
        r = r == 96000.0 ? 48000.0 : 96000.0;
        ok = driver.canSampleRate(r) == ASE_OK;
        ShowBox(Filled(1141, fields.ASIODeviceName, static_cast<int32_t>(std::lround(r / 1000.0))), 1142);
        fields.asio96.store(ok && r == 96000.0);
    }
    waveFormat.samplesPerSec = static_cast<uint32_t>(r);
    startedRate.store(static_cast<int32_t>(r));
    return ok && driver.setSampleRate(r) == ASE_OK;
}

int32_t ChosenBufferSize(int32_t minimum, int32_t preferred, int32_t amb) {
    if (preferred <= amb) return preferred;
    return minimum < amb ? amb : minimum;
}

bool ChannelInfo(AsioDriver& driver, int32_t channel, bool input, const QString& step, AsioChannelInfo* info) {
    info->channel = channel;
    info->isInput = input ? kAsioTrue : kAsioFalse;
    return CheckAsioError(driver.getChannelInfo(info), false, step, false);
}

QString NameOf(const AsioChannelInfo& info) { return QString::fromLatin1(info.name, qstrnlen(info.name, sizeof info.name)); }

}  // namespace

bool AsioSampleToDouble(const uint8_t* p, int32_t type, double* value) {
    switch (type) {
    case kAsioInt16LSB: {
        int16_t s;
        std::memcpy(&s, p, 2);
        *value = s / 32767.0;
        return true;
    }
    case kAsioInt24LSB: {
        const auto s = static_cast<int32_t>((uint32_t{p[0]} << 8) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 24));
        *value = s / 2147483647.0;
        return true;
    }
    case kAsioInt32LSB: {
        int32_t s;
        std::memcpy(&s, p, 4);
        *value = s / 2147483647.0;
        return true;
    }
    case kAsioFloat32LSB: {
        float f;
        std::memcpy(&f, p, 4);
        *value = f;
        return true;
    }
    case kAsioFloat64LSB:
        std::memcpy(value, p, 8);
        return true;
    default:
        return false;
    }
}

void DoubleToAsioSample(double v, int32_t type, uint8_t* out) {
    switch (type) {
    case kAsioInt16LSB: {
        const auto s = static_cast<int16_t>(OutputSample(v, 32767.0));
        std::memcpy(out, &s, 2);
        break;
    }
    case kAsioInt24LSB: {
        const int32_t s = OutputSample(v, 8388607.0);
        for (int b = 0; b < 3; ++b) out[b] = static_cast<uint8_t>(static_cast<uint32_t>(s) >> (8 * b));
        break;
    }
    case kAsioInt32LSB: {
        const int32_t s = OutputSample(v, 2147483647.0);
        std::memcpy(out, &s, 4);
        break;
    }
    case kAsioFloat32LSB: {
        const auto f = static_cast<float>(v);
        std::memcpy(out, &f, 4);
        break;
    }
    case kAsioFloat64LSB:
        std::memcpy(out, &v, 8);
        break;
    default:
        break;
    }
}

void TAsioIn::Execute() {
    while (!Terminated()) {
        if (!conversionWake.Wait(kConversionWakeMs) || Terminated()) continue;
        ConvertHalf(asioHalf.load(std::memory_order_acquire), myA96, asioBufferSize.load(std::memory_order_relaxed));
        TellRingPublished(ringWritePos.Slot());
    }
}

void OutFill::Execute() {
    while (!Terminated()) {
        if (!fillWake.Wait(kFillerWakeMs) || Terminated()) continue;
        const double g = GainUnderLock();
        // Wakes may come together: every buffer behind its turn is filled,
        // the one that plays first first.
        const uint64_t w0 = wantedTurn[0].load(std::memory_order_acquire);
        const uint64_t w1 = wantedTurn[1].load(std::memory_order_acquire);
        for (int32_t i : w0 <= w1 ? std::array<int32_t, 2>{0, 1} : std::array<int32_t, 2>{1, 0}) {
            const uint64_t wanted = i == 0 ? w0 : w1;
            if (filledTurn[i].load(std::memory_order_relaxed) == wanted) continue;
            FillOutput(run.outStore[i].data(), asioBufferSize.load(std::memory_order_relaxed),
                       asioOutType.load(std::memory_order_relaxed), g);
            filledTurn[i].store(wanted, std::memory_order_release);
        }
    }
}

void AsioBufferSwitchDirect(int32_t index) {
    if (IsOutputRunning()) ServeOutput(index);
    ConvertHalf(index, run.a96, asioBufferSize.load(std::memory_order_relaxed));
}

void bufferSwitch(int32_t index, int32_t directProcess) {
    if (directProcess == kAsioTrue) {
        AsioBufferSwitchDirect(index);
        return;
    }
    if (IsOutputRunning()) ServeOutput(index);
    asioHalf.store(index, std::memory_order_release);
    conversionWake.Set();
}

AsioTime* bufferSwitchTimeInfo(AsioTime* params, int32_t index, int32_t directProcess) {
    bufferSwitch(index, directProcess);
    return params;
}

void sampleRateDidChange(double rate) {
    if (openAsio.load() == nullptr) return;
    const auto r = static_cast<int32_t>(std::lround(rate));
    if (r != startedRate.load()) {
        PostMainNotifyAlways(kNotifySampleRateChanged, 0);
        ShowBoxLater(GetLangText(712) + QString::number(r) + QStringLiteral(" ") + GetLangText(713) +
                         QStringLiteral("\r\n") + GetLangText(714),
                     101);
    } else {
        PostMessage(mainWnd.load(), WM_ASIO_RESET, 0, kSameRateRestart);
    }
}

int32_t asioMessage(int32_t selector, int32_t value, void*, double*) {
    MainWindowFields* fields = MainFields();
    const bool cbm1 = fields != nullptr && fields->cbm1.load();
    switch (selector) {
    case kAsioSelectorSupported:
        return value == kAsioEngineVersion || value == kAsioResetRequest || value == kAsioBufferSizeChange ||
                       value == kAsioSupportsTimeInfo
                   ? 1
                   : 0;
    case kAsioEngineVersion: return cbm1 ? 1 : 2;
    case kAsioResetRequest:
    case kAsioBufferSizeChange:
    case kAsioResyncRequest:
    case kAsioLatenciesChanged:
        PostMessage(mainWnd.load(), WM_ASIO_RESET, 0, selector);
        return 0;
    case kAsioSupportsTimeInfo:
    case kAsioSupportsTimeCode: return cbm1 ? 0 : 1;
    default: return 0;
    }
}

bool StartAsioIn(bool withOutput) {
    MainWindowFields* fields = MainFields();
    if (fields == nullptr) return false;
    TAsioDriverList drivers;
    GetAsioDriverList(drivers);
    if (drivers.empty()) {
        ClearRunState();
        return false;
    }
    platform::Guid wanted;
    const bool known = GuidFromText(fields->AsioGuid.toString(QUuid::WithBraces), &wanted) &&
                       std::any_of(drivers.begin(), drivers.end(), [&](const TAsioDriverDesc& d) { return d.id == wanted; });
    if (!known) {
        ClearRunState();
        ShowBox(GetLangText(50) + QStringLiteral("\r\n") + fields->ASIODeviceName + QStringLiteral("\r\n") +
                    GetLangText(51),
                52);
        FailedStart(*fields);
        return false;
    }
    openAsio.store(new TOpenASIO(wanted));
    AsioDriver* driver = Driver();
    // A driver that cannot start says so here, before any rate is tried.
    bool ok = driver != nullptr && driver->init(mainWnd.load()) == kAsioTrue;
    if (!ok) CheckAsioError(ASE_NotPresent, false, QStringLiteral("Init"), false);
    ok = ok && ProbeRate(*fields, *driver);

    int32_t minimum = 0, maximum = 0, preferred = 0, granularity = 0;
    if (ok) ok = CheckAsioError(driver->getBufferSize(&minimum, &maximum, &preferred, &granularity), false,
                                QStringLiteral("Get Buffer Size"), false);
    const int32_t n = ChosenBufferSize(minimum, preferred, fields->amb.load() > 0 ? fields->amb.load() : 1024);

    int32_t inputs = 0, outputs = 0;
    if (ok) driver->getChannels(&inputs, &outputs);
    const int32_t outId = fields->ASIOOutputID.load();
    const bool outputOn = withOutput && outId >= 0 && outId <= outputs - 1;
    const bool twoInputs = inputAssign.load() == 3 && !MeasurementRuns();

    ResetRunBuffers();
    run.infos.push_back({kAsioTrue, fields->ASIOInputID.load(), {nullptr, nullptr}});
    if (twoInputs) run.infos.push_back({kAsioTrue, fields->ASIOInputIDV.load(), {nullptr, nullptr}});
    if (outputOn) run.infos.push_back({kAsioFalse, outId, {nullptr, nullptr}});
    run.inputs = twoInputs ? 2 : 1;
    run.output = outputOn;
    run.a96 = fields->asio96.load();

    // Every channel must answer: one that fails fails the start.
    AsioChannelInfo info;
    if (ok && (ok = ChannelInfo(*driver, fields->ASIOInputID.load(), true, QStringLiteral("GetChannelInfo 1"), &info))) {
        fields->asioKanalLabel = NameOf(info);
        asioInType.store(info.type);
    }
    if (ok && twoInputs && (ok = ChannelInfo(*driver, fields->ASIOInputIDV.load(), true,
                                             QStringLiteral("GetChannelInfo Ref"), &info)))
        fields->asioRefKanalLabel = NameOf(info);
    if (ok && outputOn && (ok = ChannelInfo(*driver, outId, false, QStringLiteral("GetChannelInfo Output"), &info)))
        asioOutType.store(info.type);
    if (ok && !Supported(asioInType.load())) ShowBox(Filled(791, QString(), asioInType.load()), 792);

    if (ok) {
        asioBufferSize.store(n);
        if (outputOn) {
            asioOutBytes.store(AsioSampleSize(asioOutType.load()) * n);
            for (int i = 0; i < 2; ++i) {
                run.outStore[i].assign(static_cast<size_t>(asioOutBytes.load()), 0);
                asioOutBuffers[i] = run.outStore[i].data();
                FillOutput(run.outStore[i].data(), n, asioOutType.load(), GainUnderLock());
                wantedTurn[i].store(static_cast<uint64_t>(i));
                filledTurn[i].store(static_cast<uint64_t>(i));
            }
            switchTurn = 0;
            // Buffer 0 holds the table's first samples: playing it first
            // keeps the noise in order (starting with buffer 1 swapped the
            // first two blocks).
            asioNextFill.store(0);
        }
        ok = CheckAsioError(driver->createBuffers(run.infos.data(), static_cast<int32_t>(run.infos.size()), n, &callbacks),
                            false, QStringLiteral("Create Buffers"), false);
    }
    if (ok && outputOn) {
        for (void* half : run.infos.back().buffers)
            if (half) std::memset(half, 0, static_cast<size_t>(asioOutBytes.load()));
    }
    if (ok) {
        for (const AsioBufferInfo& b : run.infos) asioBufferInfos.push_back({b.isInput, b.channelNum, {b.buffers[0], b.buffers[1]}});
        // The rings see a run's state before the driver's first switch.
        SetSecondInputRunning(twoInputs);
        SetOutputRunning(outputOn);
        // A wake left from the end of the last run's threads must not
        // convert a half-buffer of this one.
        conversionWake.Reset();
        fillWake.Reset();
        auto* conversion = new TAsioIn;
        conversion->SetA96(run.a96);
        conversion->Start();
        fields->hAsioIn.store(conversion);
        if (outputOn) {
            auto* filler = new OutFill;
            filler->Start();
            fields->hFillOut.store(filler);
        }
        ok = CheckAsioError(driver->start(), false, QStringLiteral("Start ASIO"), false);
    }
    if (!ok) {
        FailedStart(*fields);
        return false;
    }
    SetInputRunning(true);
    waveInClosing.store(false);
    return true;
}

void CloseAsio() {
    MainWindowFields* fields = MainFields();
    AsioDriver* driver = Driver();
    if (driver != nullptr) CheckAsioError(driver->stop(), false, QStringLiteral("Stop ASIO"), false);
    SetInputRunning(false);
    if (driver != nullptr) CheckAsioError(driver->disposeBuffers(), false, QStringLiteral("Dispose Buffer"), false);
    SetOutputRunning(false);
    SetSecondInputRunning(false);
    // Both threads are joined before the buffers they read go.
    if (fields != nullptr) EndThreads(*fields);
    ResetRunBuffers();
    FreeDriver();
}

bool AsioDriverOpen() { return openAsio.load() != nullptr; }

std::optional<double> AsioSampleRate() {
    AsioDriver* driver = Driver();
    double rate = 0.0;
    if (driver == nullptr || driver->getSampleRate(&rate) != ASE_OK) return std::nullopt;
    return rate;
}

void ResetASIODriver(intptr_t request) {
    AsioDriver* driver = Driver();
    MainWindowServices* services = mainWindowServices();
    if (driver == nullptr || services == nullptr) return;
    MainWindowFields& fields = services->Fields();
    double rate = 0.0;
    const bool ok = driver->getSampleRate(&rate) == ASE_OK && rate > kLowestResetRate;
    if (!ok) {
        PostMainNotifyAlways(kNotifyAudioFailure, kAudioFailureNoResponse);
        return;
    }
    if (!IsInputRunning()) return;
    if (request == kAsioResetRequest) {
        int32_t minimum = 0, maximum = 0, preferred = 0, granularity = 0;
        driver->getBufferSize(&minimum, &maximum, &preferred, &granularity);
        if (preferred == asioBufferSize.load()) {
            driver->stop();
            CheckAsioError(driver->start(), false, QStringLiteral("Start ASIO Reset"), false);
            if (fields.arar.load())
                services->AddEventMessage(fields.ASIODeviceName + QStringLiteral("\r\nASIO Reset Request ") +
                                              QString::number(request),
                                          false, false);
        } else {
            const bool withOutput = IsOutputRunning();
            StopAudioIn();
            StartAudioIn(withOutput);
            services->AddEventMessage(QStringLiteral("ASIO Buffer Size Changed to: ") + QString::number(preferred), false,
                                      false);
        }
        return;
    }
    if (services->GetMessungLaeuft() && messDaten.load() != nullptr)
        services->AddEventMessage(QStringLiteral("ASIO Reset by Driver ") + QString::number(request), false, false);
    StopAudioIn();
    StartAudioIn(false);
}
