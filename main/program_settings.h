#pragma once
// The program's settings in the user's registry key: one table names every
// value with its type, its default, the group that reads it and the routine
// that writes it back. The main window reads the groups in the order of its
// start (options, settings, device) and writes them after settings dialogs
// and at exit. A value is read only when it exists with a usable type;
// otherwise the default set before the read stays.
//
// Values kept by other parts (the shared settings of ui_kit/shared_state.h,
// the audio fields of the main window) are bound where they live; the rest
// lives in TProgramSettings.
#include <QRect>
#include <QString>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui_kit/paint_box.h"

namespace platform {
class Registry;
}
struct MainWindowFields;

// Which start-up step reads a value.
enum class SettingGroup {
    Startup,  // before any window: DisplayLayout, Lang
    Options,  // LoadOptions
    Settings, // LoadSettings
    Device,   // LoadDeviceSettings
};

// Which routine writes a value back.
enum class SettingWriter {
    Settings,  // SaveSettings (after each settings dialog, at each start, at exit)
    AtExit,    // SaveSettingsOnExit
    Elsewhere, // the audio dialog, or never by this program
};

enum class SettingKind { Integer, Boolean, String, Float };

struct TProgramSettings {
    // Option flags.
    int32_t precision = 0;
    bool mobileMode = true;
    bool autoStart = false;
    bool makeReadOnly = true;
    bool kalErinnern = true;
    bool offErinnern = true;
    int32_t offIntervall = 7;
    int32_t kalIntervall = 30;
    bool kalOnStart = true;
    bool offOnStart = true;

    // Settings.
    int32_t protPosX = -1, protPosY = -1;
    int32_t kalPosX = -1, kalPosY = -1;
    int32_t posEditKorrX = -1, posEditKorrY = -1;
    int32_t zoomWindowX = -1, zoomWindowY = -1;
    bool drawMark = false;
    bool doAutoFileName = true;
    bool doFileName = false;
    QString theCertFile;
    QString theKeyName;
    bool doSSL = false;
    QString sRecFileName;
    QString sRecDir;
    bool bCheckCal = true;
    bool bCheckMax = true;
    bool bCalStop = true;
    bool overWritePrompt = true;
    bool syncWebTime = true;
    int32_t ipPort = 80;
    int32_t useIps = 0;
    std::atomic<double> rlz{1.0};  // the VU thread reads it at each reset
    bool checkKorrSetup = true;
    bool checkKorrStart = true;
    int32_t timeShowMode = 1;
    QString tsHost;
    bool tsUse = true;
    bool tsStartUp = false;
    bool tsStart = true;
    bool tsEnd = false;
    bool tsShowInfo = true;

    // Device, layout and graph.
    QString waveInName;   // empty: none stored
    QString waveOutName;
    bool grundEin = false;
    bool showInfo = true;
    QString asioGuid;
    int32_t kalIOIn = -1;
    QString kalIODev, kalASIOIn, kalWasIn;
    QString kalAsioGuid;
    int32_t korrWasVol = 65551;
    int32_t aeLimit = 0;
    int32_t aeMode = 2;
    int32_t showCmd = 1;
    bool isMaxi = false;
    bool showMenu = true;
    bool showProgress = true;
    QRect normalRect;  // Left, Top, Right, Bottom (right and bottom exclusive)
    int32_t lineWidth = 2;
    bool dLeq = true, dLeqK = true, dPeak = true, dLeqP = false;
    TColor colorLeq = 0x00FF00, colorLeqP = 0x008000, colorLabel = 0x808080, colorPeak = 0xFFFFFF,
           colorLeqK = 0xFF0000;
    bool laeuft = false;
    bool useMyDocuments = false;
    bool ioStart = false;         // the crash marker of the audio start, as read
    int32_t storedInputAssign = 1;
};

// The public time server the clock follows until the user names another.
inline const QString kDefaultTimeServer = QStringLiteral("pool.ntp.org");

// What the defaults depend on: the user folder (folder of measurement files)
// and the work area the window is centred in.
struct SettingsContext {
    QString userPfad;
    QRect workArea{0, 0, 1920, 1080};
};

// The normal window rectangle of 990 x 720 centred in the work area.
QRect DefaultWindowRect(const QRect& workArea);

struct SettingBinding {
    QString name;
    SettingKind kind;
    SettingGroup group;
    SettingWriter writer;
    QVariant defaultValue;
    std::function<QVariant()> get;
    std::function<void(const QVariant&)> set;
};

// Every value of the program key that the main window reads or writes.
std::vector<SettingBinding> SettingsTable(TProgramSettings& s, MainWindowFields& fields, const SettingsContext& ctx);

// Sets every value of the group to its default.
void SetGroupDefaults(const std::vector<SettingBinding>& table, SettingGroup group);
// Reads every value of the group that exists in the open key.
void ReadGroup(const std::vector<SettingBinding>& table, SettingGroup group, const platform::Registry& key);
// Writes every value that writer writes; false when a write failed.
bool WriteValues(const std::vector<SettingBinding>& table, SettingWriter writer, platform::Registry& key);

// After the device group was read: LineWidth kept in 1..4, the device names
// turned into device numbers, a leftover IOStart marker applied, and the
// stored input assignment kept aside while the current one becomes 0, so
// that the notification that follows always restarts the audio input.
void FinishDeviceRead(TProgramSettings& s, MainWindowFields& fields);

// The in-memory part of "Reset All Settings": the values it names go back to
// their defaults; the registry learns of it at the next write.
void ResetSettingValues(const std::vector<SettingBinding>& table, MainWindowFields& fields);
