#include "main/program_settings.h"

#include <QUuid>

#include <algorithm>
#include <cmath>

#include "audio/audio_start_stop.h"
#include "platform/registry.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"
#include "ui_kit/wave_devices.h"

namespace {

using G = SettingGroup;
using W = SettingWriter;

constexpr int32_t kWindowWidth = 990;
constexpr int32_t kWindowHeight = 720;
constexpr int32_t kNoVolume = 65551;
const QString kEmptyGuid = QStringLiteral("{00000000-0000-0000-0000-000000000000}");

template <class T>
SettingBinding Plain(const char* name, SettingKind kind, G g, W w, T* p, T def) {
    return {QString::fromLatin1(name), kind, g, w, QVariant::fromValue(def),
            [p] { return QVariant::fromValue(*p); }, [p](const QVariant& v) { *p = v.value<T>(); }};
}
SettingBinding Int(const char* name, G g, W w, int32_t* p, int32_t def) {
    return Plain(name, SettingKind::Integer, g, w, p, def);
}
SettingBinding Bool(const char* name, G g, W w, bool* p, bool def) {
    return Plain(name, SettingKind::Boolean, g, w, p, def);
}
SettingBinding Str(const char* name, G g, W w, QString* p, const QString& def) {
    return Plain(name, SettingKind::String, g, w, p, def);
}
template <class A>
SettingBinding AtomicInt(const char* name, G g, W w, std::atomic<A>* p, int32_t def) {
    return {QString::fromLatin1(name), SettingKind::Integer, g, w, QVariant(def),
            [p] { return QVariant(static_cast<int32_t>(p->load())); },
            [p](const QVariant& v) { p->store(static_cast<A>(v.toInt())); }};
}
SettingBinding AtomicBool(const char* name, G g, W w, std::atomic<bool>* p, bool def) {
    return {QString::fromLatin1(name), SettingKind::Boolean, g, w, QVariant(def),
            [p] { return QVariant(p->load()); }, [p](const QVariant& v) { p->store(v.toBool()); }};
}
SettingBinding AtomicFloat(const char* name, G g, W w, std::atomic<double>* p, double def) {
    return {QString::fromLatin1(name), SettingKind::Float, g, w, QVariant(def), [p] { return QVariant(p->load()); },
            [p](const QVariant& v) { p->store(v.toDouble()); }};
}
// Colours are stored as the integer form of the platform's colour value.
SettingBinding Color(const char* name, G g, W w, TColor* p, TColor def) {
    return {QString::fromLatin1(name), SettingKind::Integer, g, w, QVariant(static_cast<int32_t>(def)),
            [p] { return QVariant(static_cast<int32_t>(*p)); },
            [p](const QVariant& v) { *p = static_cast<TColor>(v.toInt()); }};
}
SettingBinding Computed(const char* name, SettingKind kind, G g, W w, QVariant def, std::function<QVariant()> get,
                        std::function<void(const QVariant&)> set) {
    return {QString::fromLatin1(name), kind, g, w, std::move(def), std::move(get), std::move(set)};
}

void AddStartupValues(std::vector<SettingBinding>& t) {
    t.push_back(AtomicInt("DisplayLayout", G::Startup, W::AtExit, &displayLayout, kDefaultDisplayLayout));
    t.push_back(AtomicInt("Lang", G::Startup, W::Settings, &language, kDefaultLanguage));
}

void AddOptionValues(std::vector<SettingBinding>& t, TProgramSettings& s, MainWindowFields& f) {
    t.push_back(Computed("BoldLabel", SettingKind::Boolean, G::Options, W::Settings, false,
                         [] { return QVariant(GetBoldLabel()); }, [](const QVariant& v) { SetBoldLabel(v.toBool()); }));
    t.push_back(Bool("AllowKorrCalc", G::Options, W::Settings, &AllowKorrCalc, false));
    t.push_back(AtomicInt("amb", G::Options, W::Settings, &f.amb, 1024));
    t.push_back(AtomicBool("asio96", G::Options, W::Elsewhere, &f.asio96, false));
    t.push_back(AtomicBool("arar", G::Options, W::Settings, &f.arar, false));
    t.push_back(AtomicBool("cbm1", G::Options, W::Settings, &f.cbm1, false));
    t.push_back(Int("Precision", G::Options, W::AtExit, &s.precision, 0));
    t.push_back(Bool("MobileMode", G::Options, W::AtExit, &s.mobileMode, true));
    t.push_back(Bool("AutoStart", G::Options, W::AtExit, &s.autoStart, false));
    t.push_back(Bool("MakeReadOnly", G::Options, W::AtExit, &s.makeReadOnly, true));
    t.push_back(Bool("allowPW", G::Options, W::AtExit, &allowPW, true));
    t.push_back(Bool("forcePW", G::Options, W::AtExit, &forcePW, false));
    t.push_back(Int("clModePre", G::Options, W::AtExit, &clModePre, 0));
    t.push_back(Int("clModePost", G::Options, W::AtExit, &clModePost, 3));
    t.push_back(Int("clModePreset", G::Options, W::AtExit, &clModePreset, 4099));
    t.push_back(Bool("kalErinnern", G::Options, W::AtExit, &s.kalErinnern, true));
    t.push_back(Bool("offErinnern", G::Options, W::AtExit, &s.offErinnern, true));
    t.push_back(Int("offIntervall", G::Options, W::AtExit, &s.offIntervall, 7));
    t.push_back(Int("kalIntervall", G::Options, W::AtExit, &s.kalIntervall, 30));
    t.push_back(Bool("kalOnStart", G::Options, W::AtExit, &s.kalOnStart, true));
    t.push_back(Bool("offOnStart", G::Options, W::AtExit, &s.offOnStart, true));
}

void AddSettingValues(std::vector<SettingBinding>& t, TProgramSettings& s, const SettingsContext& ctx) {
    t.push_back(Int("protPosX", G::Settings, W::Settings, &s.protPosX, -1));
    t.push_back(Int("protPosY", G::Settings, W::Settings, &s.protPosY, -1));
    t.push_back(Int("KalPosX", G::Settings, W::Settings, &s.kalPosX, -1));
    t.push_back(Int("KalPosY", G::Settings, W::Settings, &s.kalPosY, -1));
    t.push_back(Int("PosEditKorrX", G::Settings, W::Settings, &s.posEditKorrX, -1));
    t.push_back(Int("PosEditKorrY", G::Settings, W::Settings, &s.posEditKorrY, -1));
    t.push_back(Int("ZoomWindowX", G::Settings, W::Settings, &s.zoomWindowX, -1));
    t.push_back(Int("ZoomWindowY", G::Settings, W::Settings, &s.zoomWindowY, -1));
    t.push_back(Bool("DrawMark", G::Settings, W::AtExit, &s.drawMark, false));
    t.push_back(Bool("AutoFileName", G::Settings, W::Settings, &s.doAutoFileName, true));
    t.push_back(Bool("FileName", G::Settings, W::Settings, &s.doFileName, false));
    t.push_back(Str("Certfile", G::Settings, W::Settings, &s.theCertFile, QString()));
    t.push_back(Str("KeyData", G::Settings, W::Settings, &s.theKeyName, QString()));
    t.push_back(Bool("UseSSL", G::Settings, W::Settings, &s.doSSL, false));
    t.push_back(Str("Dateiname", G::Settings, W::Settings, &s.sRecFileName, QString()));
    t.push_back(Str("Verzeichnis", G::Settings, W::Settings, &s.sRecDir, ctx.userPfad));
    t.push_back(Int("recVor", G::Settings, W::Settings, &recPre, 1));
    t.push_back(Int("recNach", G::Settings, W::Settings, &recPost, 4));
    t.push_back(Int("recMax", G::Settings, W::Settings, &recMax, 60));
    t.push_back(Bool("recRecordP", G::Settings, W::Settings, &recRecordP, false));
    t.push_back(Bool("recUseSubDir", G::Settings, W::Settings, &recUseSubDir, true));
    t.push_back(Bool("bLogoOnStop", G::Settings, W::Settings, &logoOnStop, false));
    t.push_back(Bool("CheckCal", G::Settings, W::Settings, &s.bCheckCal, true));
    t.push_back(Bool("CheckMax", G::Settings, W::Settings, &s.bCheckMax, true));
    t.push_back(Bool("CalStop", G::Settings, W::Settings, &s.bCalStop, true));
    t.push_back(Bool("OverWritePrompt", G::Settings, W::Settings, &s.overWritePrompt, true));
    t.push_back(Bool("SyncWebTime", G::Settings, W::Settings, &s.syncWebTime, true));
    t.push_back(Int("IpPort", G::Settings, W::Settings, &s.ipPort, 80));
    t.push_back(Bool("BlockWinExit", G::Settings, W::AtExit, &blockWinExit, false));
    t.push_back(Int("pwLength", G::Settings, W::AtExit, &pwLength, 0));
    t.push_back(Int("LastPresetId", G::Settings, W::Settings, &lastPresetId, -2));
    t.push_back(Int("UseIps", G::Settings, W::Settings, &s.useIps, 0));
    t.push_back(AtomicFloat("RLZ", G::Settings, W::Settings, &s.rlz, 1.0));
    t.push_back(Bool("CheckSetup", G::Settings, W::Settings, &s.checkKorrSetup, true));
    t.push_back(Bool("CheckStart", G::Settings, W::Settings, &s.checkKorrStart, true));
    static const char* const kAreaNames[4] = {"Oben", "Mitte", "UntenL", "UntenR"};
    static const int32_t kAreaDefaults[4] = {2, 1, 3, 4};
    for (int i = 0; i < 4; ++i)
        t.push_back(AtomicInt(kAreaNames[i], G::Settings, W::Settings, &areaChannel[i], kAreaDefaults[i]));
    t.push_back(Int("Zeitanzeige", G::Settings, W::Settings, &s.timeShowMode, 1));
    t.push_back(Str("tsHost", G::Settings, W::AtExit, &s.tsHost, kDefaultTimeServer));
    t.push_back(Bool("tsUse", G::Settings, W::AtExit, &s.tsUse, true));
    t.push_back(Bool("tsStartUp", G::Settings, W::AtExit, &s.tsStartUp, false));
    t.push_back(Bool("tsStart", G::Settings, W::AtExit, &s.tsStart, true));
    t.push_back(Bool("tsEnd", G::Settings, W::AtExit, &s.tsEnd, false));
    t.push_back(Bool("tsShowInfo", G::Settings, W::AtExit, &s.tsShowInfo, true));
}

void AddDeviceValues(std::vector<SettingBinding>& t, TProgramSettings& s, MainWindowFields& f,
                     const SettingsContext& ctx) {
    t.push_back(Str("LastProt", G::Device, W::AtExit, &lastProt, QString()));
    t.push_back(AtomicInt("WaveID", G::Device, W::Elsewhere, &f.waveInID, -1));
    t.push_back(Str("WaveInName", G::Device, W::Elsewhere, &s.waveInName, QString()));
    t.push_back(AtomicInt("WaveOutID", G::Device, W::Elsewhere, &f.waveOutID, -1));
    t.push_back(Str("WaveOutName", G::Device, W::Elsewhere, &s.waveOutName, QString()));
    t.push_back(AtomicBool("HighRes", G::Device, W::Elsewhere, &f.HighRes, true));
    // Read into the stored assignment, written from the one in force.
    t.push_back(Computed("InputAssign", SettingKind::Integer, G::Device, W::AtExit, 1,
                         [] { return QVariant(static_cast<int32_t>(inputAssign.load())); },
                         [&s](const QVariant& v) { s.storedInputAssign = v.toInt(); }));
    t.push_back(Bool("GrundEinstellung", G::Device, W::AtExit, &s.grundEin, false));
    t.push_back(AtomicInt("vuAssign", G::Device, W::AtExit, &f.VUAssign, 2));
    t.push_back(Bool("ShowInfo", G::Device, W::Settings, &s.showInfo, true));
    t.push_back(AtomicInt("IOMode", G::Device, W::Elsewhere, &f.IOMode, 0));
    t.push_back(Str("ASIODeviceName", G::Device, W::Elsewhere, &f.ASIODeviceName, QString()));
    t.push_back(Computed("ASIOGuid", SettingKind::String, G::Device, W::Elsewhere, QString(),
                         [&s] { return QVariant(s.asioGuid); },
                         [&s, &f](const QVariant& v) {
                             s.asioGuid = v.toString();
                             f.AsioGuid = QUuid::fromString(s.asioGuid);
                         }));
    t.push_back(AtomicInt("ASIOInputID", G::Device, W::Elsewhere, &f.ASIOInputID, 0));
    t.push_back(AtomicInt("ASIOInputIDV", G::Device, W::Elsewhere, &f.ASIOInputIDV, 0));
    t.push_back(AtomicInt("ASIOOutputID", G::Device, W::Elsewhere, &f.ASIOOutputID, 0));
    t.push_back(AtomicBool("Kanal", G::Device, W::Elsewhere, &f.Kanal, false));
    t.push_back(AtomicInt("KalIOMode", G::Device, W::AtExit, &f.KalIOMode, -1));
    t.push_back(AtomicInt("KalIOID", G::Device, W::AtExit, &f.KalIOID, -1));
    t.push_back(Int("KalIOIn", G::Device, W::AtExit, &s.kalIOIn, -1));
    t.push_back(Str("KalIODev", G::Device, W::AtExit, &s.kalIODev, QString()));
    t.push_back(Str("KalASIOIn", G::Device, W::AtExit, &s.kalASIOIn, QString()));
    t.push_back(Str("KalWasIn", G::Device, W::AtExit, &s.kalWasIn, QString()));
    t.push_back(AtomicBool("KalC1", G::Device, W::AtExit, &f.KalC1, false));
    t.push_back(Str("KalAsioGUID", G::Device, W::AtExit, &s.kalAsioGuid, kEmptyGuid));
    t.push_back(AtomicInt("KalWasVol", G::Device, W::AtExit, &f.KalWasVol, kNoVolume));
    t.push_back(Int("KorrWasVol", G::Device, W::AtExit, &s.korrWasVol, kNoVolume));
    t.push_back(Int("AELimit", G::Device, W::AtExit, &s.aeLimit, 0));
    t.push_back(Int("AEMode", G::Device, W::AtExit, &s.aeMode, 2));
    t.push_back(Str("wasIn", G::Device, W::Elsewhere, &wasIn, QString()));
    t.push_back(Str("wasOut", G::Device, W::Elsewhere, &wasOut, QString()));
    t.push_back(AtomicBool("SoundEXT", G::Device, W::Elsewhere, &f.isExt, true));
    t.push_back(AtomicInt("BlinkMode", G::Device, W::AtExit, &BlinkMode, 0));
    t.push_back(Int("ShowCmd", G::Device, W::AtExit, &s.showCmd, 1));
    t.push_back(Bool("IsMaxi", G::Device, W::AtExit, &s.isMaxi, false));
    t.push_back(Bool("ShowMenu", G::Device, W::AtExit, &s.showMenu, true));
    t.push_back(Bool("showProgress", G::Device, W::Elsewhere, &s.showProgress, true));
    const QRect r = DefaultWindowRect(ctx.workArea);
    auto edge = [&s](const char* name, int32_t def, int32_t (QRect::*get)() const, void (QRect::*set)(int)) {
        return Computed(name, SettingKind::Integer, G::Device, W::AtExit, def,
                        [&s, get] { return QVariant((s.normalRect.*get)()); },
                        [&s, set](const QVariant& v) { (s.normalRect.*set)(v.toInt()); });
    };
    // QRect's right and bottom are inclusive; the stored edges are not.
    t.push_back(edge("Left", r.left(), &QRect::left, &QRect::setLeft));
    t.push_back(edge("Top", r.top(), &QRect::top, &QRect::setTop));
    t.push_back(Computed("Right", SettingKind::Integer, G::Device, W::AtExit, r.left() + kWindowWidth,
                         [&s] { return QVariant(s.normalRect.right() + 1); },
                         [&s](const QVariant& v) { s.normalRect.setRight(v.toInt() - 1); }));
    t.push_back(Computed("Bottom", SettingKind::Integer, G::Device, W::AtExit, r.top() + kWindowHeight,
                         [&s] { return QVariant(s.normalRect.bottom() + 1); },
                         [&s](const QVariant& v) { s.normalRect.setBottom(v.toInt() - 1); }));
    t.push_back(Int("LineWidth", G::Device, W::AtExit, &s.lineWidth, 2));
    t.push_back(Bool("dLeq", G::Device, W::AtExit, &s.dLeq, true));
    t.push_back(Bool("dLeqK", G::Device, W::AtExit, &s.dLeqK, true));
    t.push_back(Bool("dPeak", G::Device, W::AtExit, &s.dPeak, true));
    t.push_back(Bool("dLeqP", G::Device, W::AtExit, &s.dLeqP, false));
    t.push_back(Color("Leq", G::Device, W::AtExit, &s.colorLeq, 0x00FF00));
    t.push_back(Color("LEQP", G::Device, W::AtExit, &s.colorLeqP, 0x008000));
    t.push_back(Color("Label", G::Device, W::AtExit, &s.colorLabel, 0x808080));
    t.push_back(Color("Peak", G::Device, W::AtExit, &s.colorPeak, 0xFFFFFF));
    t.push_back(Color("LEQKurz", G::Device, W::AtExit, &s.colorLeqK, 0xFF0000));
    t.push_back(Color("DruckLEQ", G::Device, W::AtExit, &printColorLeq, 0x800000));
    t.push_back(Color("DruckLEQK", G::Device, W::AtExit, &printColorLeqK, 0x00FF00));
    t.push_back(Color("DruckPeak", G::Device, W::AtExit, &printColorPeak, 0x0000FF));
    t.push_back(Color("DruckGitter", G::Device, W::AtExit, &printColorGrid, 0x808080));
    t.push_back(Bool("Laeuft", G::Device, W::Elsewhere, &s.laeuft, false));
    t.push_back(Bool("useMyDocuments", G::Device, W::AtExit, &s.useMyDocuments, false));
}

std::optional<QVariant> ReadValue(const platform::Registry& key, const SettingBinding& b) {
    switch (b.kind) {
    case SettingKind::Integer:
        if (auto v = key.ReadInteger(b.name)) return QVariant(*v);
        break;
    case SettingKind::Boolean:
        if (auto v = key.ReadBool(b.name)) return QVariant(*v);
        break;
    case SettingKind::String:
        if (auto v = key.ReadString(b.name)) return QVariant(*v);
        break;
    case SettingKind::Float:
        // A float that is no number would reach every computation that uses it.
        if (auto v = key.ReadFloat(b.name); v && std::isfinite(*v)) return QVariant(*v);
        break;
    }
    return std::nullopt;
}

bool WriteValue(platform::Registry& key, const SettingBinding& b) {
    const QVariant v = b.get();
    switch (b.kind) {
    case SettingKind::Integer: return key.WriteInteger(b.name, v.toInt());
    case SettingKind::Boolean: return key.WriteBool(b.name, v.toBool());
    case SettingKind::String: return key.WriteString(b.name, v.toString());
    case SettingKind::Float: return key.WriteFloat(b.name, v.toDouble());
    }
    return false;
}

}  // namespace

QRect DefaultWindowRect(const QRect& workArea) {
    const int32_t left = workArea.left() + static_cast<int32_t>(std::nearbyint((workArea.width() - kWindowWidth) / 2.0));
    const int32_t top = workArea.top() + static_cast<int32_t>(std::nearbyint((workArea.height() - kWindowHeight) / 2.0));
    return QRect(left, top, kWindowWidth, kWindowHeight);
}

std::vector<SettingBinding> SettingsTable(TProgramSettings& s, MainWindowFields& fields, const SettingsContext& ctx) {
    std::vector<SettingBinding> table;
    table.reserve(160);
    AddStartupValues(table);
    AddOptionValues(table, s, fields);
    AddSettingValues(table, s, ctx);
    AddDeviceValues(table, s, fields, ctx);
    return table;
}

void SetGroupDefaults(const std::vector<SettingBinding>& table, SettingGroup group) {
    for (const SettingBinding& b : table)
        if (b.group == group) b.set(b.defaultValue);
}

void ReadGroup(const std::vector<SettingBinding>& table, SettingGroup group, const platform::Registry& key) {
    for (const SettingBinding& b : table) {
        if (b.group != group) continue;
        if (const auto v = ReadValue(key, b)) b.set(*v);
    }
}

bool WriteValues(const std::vector<SettingBinding>& table, SettingWriter writer, platform::Registry& key) {
    bool ok = true;
    for (const SettingBinding& b : table)
        if (b.writer == writer) ok = WriteValue(key, b) && ok;
    return ok;
}

void FinishDeviceRead(TProgramSettings& s, MainWindowFields& fields) {
    s.lineWidth = std::clamp(s.lineWidth, 1, 4);
    if (!s.waveInName.isEmpty()) fields.waveInID.store(WaveInDeviceId(s.waveInName));
    if (!s.waveOutName.isEmpty()) fields.waveOutID.store(WaveOutDeviceId(s.waveOutName));
    s.ioStart = ApplyLeftoverIOStart(fields);
    inputAssign.store(0);
}

void ResetSettingValues(const std::vector<SettingBinding>& table, MainWindowFields& fields) {
    // The values the reset names go back to their table defaults.
    static const QStringList kReset = {
        "LastProt", "LineWidth", "WaveID", "WaveInName", "WaveOutID", "WaveOutName", "HighRes",
        "GrundEinstellung", "vuAssign", "AutoStart", "ShowInfo", "IOMode", "ASIOGuid", "ASIOInputID",
        "ASIOInputIDV", "ASIOOutputID", "Kanal", "KalIOMode", "KalIOID", "KalIOIn", "KalIODev", "KalASIOIn",
        "KalWasIn", "KalC1", "KalAsioGUID", "KalWasVol", "KorrWasVol", "AllowKorrCalc", "BoldLabel", "AELimit",
        "AEMode", "wasIn", "wasOut", "SoundEXT", "BlinkMode", "showProgress", "dLeq", "dLeqK", "dPeak", "dLeqP",
        "Leq", "LEQP", "Label", "Peak", "LEQKurz", "DruckLEQ", "DruckLEQK", "DruckPeak", "DruckGitter"};
    for (const SettingBinding& b : table)
        if (kReset.contains(b.name)) b.set(b.defaultValue);
    // Not a default: 0 makes the next assignment restart the input.
    inputAssign.store(0);
    wasChannel1.store(false);
    const QString noDevice = GetLangText(3);
    fields.ASIODeviceName = noDevice;
    fields.WaveDeviceName = noDevice;
}
