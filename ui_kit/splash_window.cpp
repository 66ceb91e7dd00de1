#include "ui_kit/splash_window.h"

#include "ui_kit/palette.h"

#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>

namespace {

const QString kLogoResource = QStringLiteral(":/ui_kit/veltaro_logo.svg");
constexpr double kDesignWidth = 1071;
constexpr double kDesignHeight = 201;

}  // namespace

TStartUp::TStartUp(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("Intro"));
    // The logo's own transparency shows what lies below; nothing paints a
    // background of the window.
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    const QScreen* where = screen();
    setFixedSize(ClientSizeFor(where ? where->availableGeometry().width() : static_cast<int>(kDesignWidth)));
}

QSize TStartUp::ClientSizeFor(int workAreaWidth) {
    const double width = 0.8 * workAreaWidth;
    return QSize(RoundI(width), RoundI(width / kDesignWidth * kDesignHeight));
}

void TStartUp::showEvent(QShowEvent* event) {
    CentreOnScreen();
    RenderLogo();
    QWidget::showEvent(event);
}

void TStartUp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(kOpacity / 255.0);
    painter.drawImage(rect(), logo_);
}

void TStartUp::RenderLogo() {
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(kLogoResource);
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(rect()));
    painter.end();
    logo_ = image;
}

void TStartUp::CentreOnScreen() {
    if (const QScreen* where = screen()) {
        QRect frame = geometry();
        frame.moveCenter(where->geometry().center());
        move(frame.topLeft());
    }
}
