#include "ui_kit/system_services.h"

#include "platform/power_status.h"
#include "platform/single_instance.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QWidget>

namespace {

// The status byte of a copy that was never read.
constexpr uint8_t kNeverRead = 16;

static_assert(VELTARO_VERSION_MAJOR <= 0xFFFF && VELTARO_VERSION_MINOR <= 0xFFFF &&
                  VELTARO_VERSION_PATCH <= 0xFFFF && VELTARO_VERSION_TWEAK <= 0xFFFF,
              "each part of the version must fit 16 bits");
constexpr uint64_t kBuildVersion =
    (uint64_t{VELTARO_VERSION_MAJOR} << 48) | (uint64_t{VELTARO_VERSION_MINOR} << 32) |
    (uint64_t{VELTARO_VERSION_PATCH} << 16) | uint64_t{VELTARO_VERSION_TWEAK};

platform::SystemPowerStatus& PowerStatus() {
    static platform::SystemPowerStatus status = [] {
        platform::SystemPowerStatus s;
        s.systemStatusFlag = kNeverRead;
        return s;
    }();
    return status;
}

bool IsOwnProgramFile(const QFileInfo& file) {
    if (QCoreApplication::instance() == nullptr) return false;
    const QFileInfo own(QCoreApplication::applicationFilePath());
    return !own.canonicalFilePath().isEmpty() && own.canonicalFilePath() == file.canonicalFilePath();
}

void ShowVersionFailure(const QString& fileName) {
    platform::MessageRequest request;
    request.text = QStringLiteral("Failed to get Fileversion of: \r") + fileName;
    request.header = QStringLiteral("Error");
    request.rightCaption = QStringLiteral("OK");
    platform::userDialogs()->ShowMessage(request);
}

void SetBorderless(QWidget* window, bool borderless) {
    if (IsFullSize(window) == borderless) return;
    window->setWindowFlag(Qt::FramelessWindowHint, borderless);
}

const QString kBlockerName = QStringLiteral("Veltaro");

}  // namespace

bool CheckSingleInstance(const QString& name) {
    return platform::AcquireInstanceGuard(name, nullptr) == platform::InstanceGuard::First;
}

TBlocker::TBlocker() : available_(platform::ShutdownInhibitorAvailable()) {}

TBlocker::~TBlocker() = default;

bool TBlocker::BlockIt(platform::WindowHandle window, const QString& reason) {
    if (!available_) {
        hWinLatch = 0;
        return false;
    }
    hWinLatch = window;
    return inhibitor_.Take(kBlockerName, reason);
}

bool TBlocker::UnBlock() {
    if (!available_ || hWinLatch == 0) return false;
    return inhibitor_.Release();
}

void UpdatePowerStatus() {
    platform::SystemPowerStatus& status = PowerStatus();
    if (!platform::GetSystemPowerStatus(&status)) status.acLineStatus = platform::kAcUnknown;
}

bool IsOnMains(bool refresh) {
    if (refresh || PowerStatus().systemStatusFlag == kNeverRead) UpdatePowerStatus();
    return (PowerStatus().acLineStatus & 1) != 0;
}

bool IsBatteryLow(bool refresh) {
    return !IsOnMains(refresh) &&
           (PowerStatus().batteryFlag & (platform::kBatteryLow | platform::kBatteryCritical)) != 0;
}

uint64_t GetFileVersionNumber(const QString& fileName) {
    const QFileInfo file(fileName);
    if (fileName.isEmpty() || !file.isFile() || !file.isReadable()) {
        ShowVersionFailure(fileName);
        return 0;
    }
    return IsOwnProgramFile(file) ? kBuildVersion : 0;
}

void ApplyFullSizeMode(QWidget* mainWindow, bool full) {
    if (mainWindow == nullptr) return;
    // Changing the border hides a shown window; it is shown again after.
    const bool wasVisible = mainWindow->isVisible();
    if (full) {
        if (mainWindow->windowState() != Qt::WindowNoState) mainWindow->setWindowState(Qt::WindowNoState);
        SetBorderless(mainWindow, true);
        mainWindow->setWindowState(Qt::WindowMaximized);
    } else {
        SetBorderless(mainWindow, false);
        mainWindow->setWindowState(Qt::WindowNoState);
    }
    if (wasVisible) mainWindow->show();
}

void ToggleFullSize(QWidget* mainWindow) {
    if (mainWindow == nullptr) return;
    ApplyFullSizeMode(mainWindow, !IsFullSize(mainWindow));
}

bool IsFullSize(const QWidget* mainWindow) {
    return mainWindow != nullptr && mainWindow->windowFlags().testFlag(Qt::FramelessWindowHint);
}
