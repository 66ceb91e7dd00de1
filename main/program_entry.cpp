// The program's entry: one instance per user, the two settings every window
// needs from the start, the splash window, then the main window and the
// message loop.
#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "main/main_window.h"
#include "platform/single_instance.h"
#include "reports/password_prompt.h"
#include "settings/basic_settings_dialog.h"
#include "settings/modal_runner.h"
#include "ui_kit/first_paint_reporter.h"
#include "ui_kit/gui_dialogs.h"
#include "ui_kit/message_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/splash_window.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_table.h"

namespace {

const QString kInstanceName = QStringLiteral("VeltaroRun");
const QString kProgramTitle = QStringLiteral("Veltaro Pro 2026");
constexpr int kRaiseTimeoutMs = 2000;

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' && *v != '0';
}

// A window system to show the window on; without one Qt would abort with a
// message about plug-ins that tells a user little.
bool HaveDisplay() {
    return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY") || EnvSet("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    if (!HaveDisplay()) {
        std::fprintf(stderr, "veltaro: no display to show the window on (DISPLAY or WAYLAND_DISPLAY is not set)\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("veltaro"));
    GuiDialogs dialogs;
    dialogs.SetPasswordPrompt(AskPasswordWithPrompt);
    // A first-paint measurement must not wait for a person: there the message
    // boxes are answered "closed" by the stand-in, which logs them to stderr.
    if (!EnvSet("VELTARO_BENCH_FIRST_PAINT")) platform::SetUserDialogs(&dialogs);
    // Nor does the basic settings dialog of a first run wait there: it is
    // cancelled, so it comes again at the next start.
    if (EnvSet("VELTARO_BENCH_FIRST_PAINT"))
        SetModalRunner<TGrundeinstellung>([](TGrundeinstellung&) { return 0; });

    QString why;
    switch (platform::AcquireInstanceGuard(kInstanceName, &why)) {
    case platform::InstanceGuard::AlreadyRunning:
        platform::AskRunningInstanceToRaise(kInstanceName, kRaiseTimeoutMs);
        return 0;
    case platform::InstanceGuard::Failed:
        // Two unguarded instances would write the same crash backups.
        ShowTMessage(why, kProgramTitle, QString(), QString(), QStringLiteral("Okay"));
        return 1;
    case platform::InstanceGuard::First:
        break;
    }

    LoadStartupDisplaySettings();
    SetColorScheme(displayLayout.load());

    auto* splash = new TStartUp();
    splash->show();
    splash->raise();
    splash->activateWindow();
    QCoreApplication::processEvents();

    QApplication::setApplicationDisplayName(kProgramTitle);
    StartOptions options;
    options.arguments = QCoreApplication::arguments().mid(1);
    options.answerStartNoticeAtOnce = EnvSet("VELTARO_BENCH_FIRST_PAINT");
    options.splash = splash;
    int result = 0;
    {
        TVTProMaster window(options);
        if (!window.Created()) return 3;
        platform::SetRaiseRequestHandler([&window] {
            window.showNormal();
            window.raise();
            window.activateWindow();
        });
        FirstPaintReporter reporter;
        if (EnvSet("VELTARO_BENCH_FIRST_PAINT")) window.installEventFilter(&reporter);
        window.show();
        result = QApplication::exec();
        platform::SetRaiseRequestHandler({});
    }
    platform::SetUserDialogs(nullptr);
    return result;
}
