#pragma once
// Small system services of the main window: the single-instance check, the
// shutdown block while a measurement runs, the power status, the version
// number of a program file and the switch between the normal and the
// full-size main window. GUI thread only; none of them starts a thread.
//
// The shutdown block and the power status ask logind and UPower on the system
// bus; tests point them at a private dbus-daemon with
// platform::SetSystemBusAddress (platform/system_bus.h), and a whole program
// started by a test with DBUS_SYSTEM_BUS_ADDRESS.
#include <QString>

#include <cstdint>

#include "platform/shutdown_block.h"
#include "platform/window_messages.h"

class QWidget;

// True only for the first instance of name in this user's session
// (platform::AcquireInstanceGuard gives First); the guard is kept until the
// process ends.
bool CheckSingleInstance(const QString& name);

// Blocks the system's shut-down with a reason; a no-op (every call false)
// where logind is missing.
class TBlocker {
public:
    TBlocker();
    ~TBlocker();
    TBlocker(const TBlocker&) = delete;
    TBlocker& operator=(const TBlocker&) = delete;

    // Registers the reason for window; answers whether the system took it.
    bool BlockIt(platform::WindowHandle window, const QString& reason);
    // Lifts the block of the last window given to BlockIt; false when there is
    // none or nothing was blocked.
    bool UnBlock();

private:
    bool available_ = false;
    platform::WindowHandle hWinLatch = 0;
    platform::LogindInhibitor inhibitor_{QStringLiteral("shutdown")};
};

// Reads the power status into the program-wide copy; when that fails, the AC
// line status becomes unknown and the copy counts as never read.
void UpdatePowerStatus();
// True on mains, and also when the status is unknown; refreshes first when
// refresh is set or the status was never read.
bool IsOnMains(bool refresh);
// Off mains with a low or critical battery.
bool IsBatteryLow(bool refresh);

// The file version as major << 48 | minor << 32 | release << 16 | build.
// The program's own file carries the version of the build; other files have
// no version information (0). A file that cannot be read gives 0 after a
// message box that names it.
uint64_t GetFileVersionNumber(const QString& fileName);

// Full size: no border and maximised (a window that is not in the normal
// state is made normal first); otherwise the sizeable border and the normal
// state. Nothing for nullptr.
void ApplyFullSizeMode(QWidget* mainWindow, bool full);
// Full size when the window has its sizeable border, else back to normal.
void ToggleFullSize(QWidget* mainWindow);
// True when the window is in full-size mode (has no border).
bool IsFullSize(const QWidget* mainWindow);
