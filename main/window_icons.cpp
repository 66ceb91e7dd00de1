// The window's icon collection and logos in the scheme's text colour, and
// the tray icon that shows events of a running measurement.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSystemTrayIcon>

#include "main/icon_collection.h"
#include "main/main_window.h"
#include "main/tray_icon.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kProgramTitleText = 101;
constexpr int kProgramIconSize = 64;

// The logo's three level bars, square: the program's icon.
QIcon ProgramIcon(const TIconCollection& icons) {
    QImage image(kProgramIconSize * 5, kProgramIconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        icons.DrawLogo(painter, kLogoNight, QRectF(image.rect()));
    }
    const int side = static_cast<int>(image.height() * 88.0 / kLogoHeight);
    return QIcon(QPixmap::fromImage(image.copy(0, 0, side, image.height())));
}

}  // namespace

void TVTProMaster::SetIconColors() {
    if (icons_) icons_->SetIconColors(QColorOf(clText));
    else icons_ = std::make_unique<TIconCollection>(QColorOf(clText));
}

void TVTProMaster::DrawSvgIcon(QPainter& painter, int32_t index, const QRectF& square) {
    // Message boxes may ask for the close icon before the form is built.
    if (!icons_) SetIconColors();
    icons_->Draw(painter, index, square);
}

void TVTProMaster::DrawLogo(QPainter& painter, int32_t index, const QRectF& area) {
    if (!icons_) SetIconColors();
    icons_->DrawLogo(painter, index, area);
}

void TVTProMaster::CreateTrayIcon() {
    if (!icons_) SetIconColors();
    setWindowIcon(ProgramIcon(*icons_));
    if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
    trayIcon_ = new TTrayIcon(this, true, windowIcon(), [this] { tIconBalloonClick(); });
}

void TVTProMaster::ShowTrayEvent(const QString& text) {
    if (trayIcon_ == nullptr) return;
    trayIcon_->ShowEvent(GetLangText(kProgramTitleText) + QStringLiteral(": ") + text,
                         text + QStringLiteral("\r\n") + DateTimeText(CorrectedNow()));
}

void TVTProMaster::HideTrayIcon() {
    if (trayIcon_) trayIcon_->Hide();
}

void TVTProMaster::tIconBalloonClick() {
    HideTrayIcon();
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    show();
    raise();
    activateWindow();
    QCoreApplication::processEvents();
}
