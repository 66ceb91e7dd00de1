#include "main/tray_icon.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QSystemTrayIcon>

#include <cmath>

#include "ui_kit/text_table.h"

namespace {

constexpr int kAnimationMs = 500;
constexpr int kBalloonMs = 60000;
constexpr int kProgramTitleText = 101;

int SmallIconSize() {
    const int size = QApplication::style()->pixelMetric(QStyle::PM_SmallIconSize);
    return size > 0 ? size : 16;
}

}  // namespace

QImage WarningGlyph(int size) {
    QImage glyph(size, size, QImage::Format_ARGB32_Premultiplied);
    glyph.fill(Qt::transparent);
    const double w = size;
    const double baseline = w / std::sqrt(2.0) + 2.0;
    QPainterPath triangle;
    triangle.moveTo(w / 2.0, 3.0);
    triangle.lineTo(w - 3.0, baseline);
    triangle.lineTo(3.0, baseline);
    triangle.closeSubpath();
    QPainter painter(&glyph);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen outline(QColor(255, 0, 0), 3.0);
    outline.setJoinStyle(Qt::RoundJoin);
    painter.setPen(outline);
    painter.setBrush(QColor(255, 255, 0));
    painter.drawPath(triangle);
    return glyph;
}

TTrayIcon::TTrayIcon(QObject* parent, bool trayAvailable, const QIcon& programIcon, std::function<void()> clicked)
    : QObject(parent) {
    if (!trayAvailable) return;
    frames_[0] = programIcon;
    frames_[1] = QIcon(QPixmap::fromImage(WarningGlyph(SmallIconSize())));
    tray_ = new QSystemTrayIcon(frames_[0], this);
    animation_.setInterval(kAnimationMs);
    connect(&animation_, &QTimer::timeout, this, [this] { NextFrame(); });
    if (clicked) {
        connect(tray_, &QSystemTrayIcon::activated, this, [clicked] { clicked(); });
        connect(tray_, &QSystemTrayIcon::messageClicked, this, [clicked] { clicked(); });
    }
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::ShowEvent(const QString& hint, const QString& balloonText) {
    if (tray_ == nullptr) return;
    Hide();
    tray_->setToolTip(hint);
    tray_->show();
    animation_.start();
    tray_->showMessage(GetLangText(kProgramTitleText), balloonText, QSystemTrayIcon::Warning, kBalloonMs);
}

void TTrayIcon::Hide() {
    if (tray_ == nullptr) return;
    animation_.stop();
    frame_ = 0;
    tray_->setIcon(frames_[0]);
    tray_->hide();
}

bool TTrayIcon::IsShown() const { return tray_ != nullptr && tray_->isVisible(); }

void TTrayIcon::NextFrame() {
    if (tray_ == nullptr) return;
    frame_ = 1 - frame_;
    tray_->setIcon(frames_[frame_]);
}
