// The whole program as a process the kill test can SIGKILL at any moment:
// the real main window, headless, on the simulated sine, with the automatic
// start and one-second records into the file named on the command line.
//   kill_probe <root folder>
//       sets the program up on a fresh root (see SetUp), prints "set up"
//   kill_probe <root folder> <measurement file> <restore target>
//       runs it
// The root folder holds the known folders and the settings hive, so a
// restart on the same root finds what the killed process left behind.
// A run prints one line per event:
//   "restored <target> <values>"  the start-up found an aborted run; its
//                                 backups were restored into <target>, which
//                                 loads with that many values
//   "restore failed <why>"        such a restore or its load failed
//   "nothing to restore"          the start-up found no aborted run
//   "started <file>"              the measurement runs
//   "backup <n>"                  the values backup files on disk now hold n
//                                 complete values (the larger of the two)
//   "backup failed"               a crash backup could not be written (once)
//   "finished"                    after the stdin line "finish": the run was
//                                 stopped as at the session's end and saved
// and ends when its stdin closes.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

#include "main/main_window.h"
#include "peer_io.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "platform/user_dialogs.h"
#include "store/backup_restore.h"
#include "store/crash_backups.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "support/hide_machine_sound_devices.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"

using peer_io::Say;

namespace {

// -20 dBFS peak is -23.01 dBFS RMS: this offset makes the tone read 94.0 dB.
const double kOffsetFor94 = 94.0 - 20.0 * std::log10(0.1 / std::sqrt(2.0));
constexpr int kBackupPollMs = 50;
constexpr qint64 kValueBytes = 44;

void UseFolders(const QDir& root) {
    platform::SetKnownFolderOverride(platform::KnownFolder::AppData, root.filePath("data"));
    platform::SetKnownFolderOverride(platform::KnownFolder::Documents, root.filePath("docs"));
    platform::SetKnownFolderOverride(platform::KnownFolder::UserConfig, root.filePath("config"));
    platform::Registry::SetHiveFiles(root.filePath("user.hive"), root.filePath("machine.hive"));
}

// The sine at -20 dBFS as input and the automatic start on or off, before
// the window reads its settings. A life killed inside the opening of the
// input leaves the marker that makes the next start run without an input
// (a guard against a driver that crashes the program); every life here
// measures the sine, so the marker is cleared.
bool WriteStartSettings(bool autoStart) {
    platform::Registry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return false;
    reg.WriteString("WaveInName", platform::kSimulatedSineName);
    reg.WriteBool("IOStart", false);
    reg.WriteBool("AutoStart", autoStart);
    reg.WriteBool("GrundEinstellung", true);  // the basic settings were confirmed once by hand
    if (!reg.CloseKey()) return false;
    if (!reg.OpenKey(platform::kSimulatedAudioKey, true)) return false;
    reg.WriteFloat("SineLevel", -20.0);
    return reg.CloseKey();
}

// The default store's part of the set-up: one-second records, and a
// correction chosen, without which no measurement starts.
void SetUpDefaultStore() {
    defaultDaten.load()->SetDrawInterval(1);
    defaultDaten.load()->SetKorrArt(0);
}

// What the automatic start measures into: the fixed file, one-second
// records, and a Leq in one-minute blocks that ends without a dialog.
void PrepareRun(TVTProMaster& window, const QString& file) {
    window.Settings().doFileName = true;
    window.Settings().doAutoFileName = false;
    window.Settings().sRecFileName = file;
    window.Settings().tsEnd = false;
    SetUpDefaultStore();
    for (auto& offset : appliedCalOffset) offset.store(kOffsetFor94);
    TVTPreset preset = presetHandler.load()->GetPreset(kDinPresetId);
    preset.messungen[kPresetEntryLeq].Dauer = 60;
    preset.endDirect = true;
    preset.offCheck = false;
    presetHandler.load()->SetPreset(kCurrentPresetId, preset);
}

// Without an aborted run the start-up leaves the restore folder at the user
// folder; with one it points at the backups (moved aside or not).
void RestoreAbortedRun(TVTProMaster& window, const QString& target) {
    const MainWindowFields& fields = window.Fields();
    if (fields.RestorePfad == fields.userPfad) {
        Say(QStringLiteral("nothing to restore"));
        return;
    }
    const RestoreResult restored = RestoreFromBackup(fields.RestorePfad, target);
    if (!restored.ok) {
        Say(QStringLiteral("restore failed ") + restored.error);
        return;
    }
    TDaten file;
    QString why;
    if (file.LoadFromFile(target, kLoadEverything, &why) != kLoadDone) {
        Say(QStringLiteral("restore failed ") + why);
        return;
    }
    Say(QStringLiteral("restored %1 %2").arg(target).arg(file.GetWerteAnzahl()));
}

// Complete values in the larger values backup file of the base folder.
qint64 ValuesOnDisk(const QString& basisPfad) {
    qint64 values = 0;
    for (int32_t n : {1, 2}) {
        const QString path = platform::FindFileNoCase(basisPfad, WerteBackupName(n));
        if (!path.isEmpty()) values = std::max(values, QFileInfo(path).size() / kValueBytes);
    }
    return values;
}

std::unique_ptr<TVTProMaster> CreateWindow(bool autoStart) {
    if (!WriteStartSettings(autoStart)) {
        Say(QStringLiteral("failed: settings not written"));
        return nullptr;
    }
    StartOptions options;
    options.answerStartNoticeAtOnce = true;
    auto window = std::make_unique<TVTProMaster>(options);
    if (window->Created()) return window;
    Say(QStringLiteral("failed: the window was not created"));
    return nullptr;
}

// A program used with the automatic start was set up once by hand: its
// default store holds what a start needs. The window writes the store at
// its end, and a killed run never gets there, so this is done once per root.
int SetUp() {
    auto window = CreateWindow(false);
    if (!window) return 2;
    SetUpDefaultStore();
    window.reset();
    Say(QStringLiteral("set up"));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc != 2 && argc != 4) {
        Say(QStringLiteral("usage: kill_probe <root folder> [<measurement file> <restore target>]"));
        return 64;
    }
    if (!test_support::HideMachineSoundDevices()) {
        Say(QStringLiteral("failed: no empty sound configuration"));
        return 2;
    }
    UseFolders(QDir(QString::fromLocal8Bit(argv[1])));
    platform::ScriptedDialogs dialogs;  // every question answered "closed"
    platform::SetUserDialogs(&dialogs);
    language.store(2);
    if (argc == 2) {
        const int result = SetUp();
        platform::SetUserDialogs(nullptr);
        return result;
    }
    const QString file = QString::fromLocal8Bit(argv[2]);
    const QString target = QString::fromLocal8Bit(argv[3]);

    auto window = CreateWindow(true);
    if (!window) return 2;
    // The automatic start waits for the event loop, so the run is set up first.
    PrepareRun(*window, file);
    RestoreAbortedRun(*window, target);

    QTimer poll;
    bool started = false;
    qint64 told = 0;
    bool toldFailure = false;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (!started) {
            if (!window->GetMessungLaeuft()) return;
            started = true;
            Say(QStringLiteral("started ") + file);
        }
        if (!toldFailure && messDaten.load()->LastBackupFailed()) {
            toldFailure = true;
            Say(QStringLiteral("backup failed"));
        }
        const qint64 values = ValuesOnDisk(window->Fields().basisPfad);
        if (values <= told) return;
        told = values;
        Say(QStringLiteral("backup %1").arg(values));
    });
    poll.start(kBackupPollMs);

    peer_io::WatchStdin(app, [&](const QString& line) {
        if (line != QStringLiteral("finish")) return;
        poll.stop();
        window->StopMessung(2);
        Say(QStringLiteral("finished"));
    });
    const int result = QApplication::exec();
    window.reset();
    platform::SetUserDialogs(nullptr);
    return result;
}
