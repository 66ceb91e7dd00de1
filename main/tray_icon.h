#pragma once
// The tray icon that draws attention to events of a running measurement: it
// stays hidden until the first such event, then alternates between the
// program icon and a warning glyph and shows the event as a balloon. Where
// the desktop has no tray nothing is created, so nothing is shown or printed.
#include <QIcon>
#include <QImage>
#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

class QSystemTrayIcon;

// A yellow warning triangle with a red, round-joined outline of width 3 on a
// transparent square of size x size pixels.
QImage WarningGlyph(int size);

class TTrayIcon : public QObject {
public:
    // trayAvailable is QSystemTrayIcon::isSystemTrayAvailable() of the
    // desktop; clicked runs on a click on the icon or its balloon.
    TTrayIcon(QObject* parent, bool trayAvailable, const QIcon& programIcon, std::function<void()> clicked);
    ~TTrayIcon() override;

    bool Exists() const { return tray_ != nullptr; }
    // Hides the icon, gives it the hint, shows it and its balloon.
    void ShowEvent(const QString& hint, const QString& balloonText);
    void Hide();
    bool IsShown() const;
    // The image shown now: 0 the program icon, 1 the warning glyph.
    int Frame() const { return frame_; }
    // One step of the animation (the timer's tick).
    void NextFrame();

private:
    QSystemTrayIcon* tray_ = nullptr;
    std::array<QIcon, 2> frames_;
    int frame_ = 0;
    QTimer animation_;
};
