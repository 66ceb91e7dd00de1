#pragma once
// The zoom window: a small semi-transparent tool window over the main window
// that shows a multi-line information text in a larger font, sized to the
// text, with a header in its caption bar; a click on the text hides it. The
// main window keeps at most one and uses it for three texts by zoom id:
// 1 the measurement information, 2 the web server information, 3 the list
// of special events (the only one that follows new events).
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>

class QScrollArea;
class TPaintBox32;

inline constexpr int32_t kZoomMeasurementInfo = 1;
inline constexpr int32_t kZoomWebServerInfo = 2;
inline constexpr int32_t kZoomEvents = 3;

class TZoomWindow : public QWidget {
public:
    explicit TZoomWindow(QWidget* owner);

    // Shows the text under the header and sizes the window to it, kept
    // inside the work area of its screen (a taller text scrolls).
    void SetInfoText(const QString& theNewInfo, const QString& theHeader);

    TPaintBox32* pbMain = nullptr;
    double mySf = 1.0;  // pixels per inch of the window's screen / 96
    QString theInfo;

private:
    void PaintText(TPaintBox32* box);

    QScrollArea* scroller_ = nullptr;
    QWidget* content_ = nullptr;
};

// The main window's zoom window: created on first use, placed where the
// last one was closed, freed by Close.
class TZoomControl {
public:
    // centreX/centreY: where the window was last closed (the stored settings;
    // -1 or 0 for the centre of the work area); written back at each close.
    TZoomControl(QWidget* owner, int32_t& centreX, int32_t& centreY);
    ~TZoomControl();
    TZoomControl(const TZoomControl&) = delete;
    TZoomControl& operator=(const TZoomControl&) = delete;

    void ShowZoomWindow(const QString& theNewInfo, const QString& theHeader, int32_t zoomId);
    void CloseZoomWindow();
    // Only while the event list is shown: showIt replaces its text by lines,
    // otherwise the window closes.
    void RefreshEventZoom(bool showIt, const QStringList& lines);

    TZoomWindow* Window() const { return hZoomWindow; }
    int32_t LastZoomId() const { return lastZoomId; }

private:
    void PlaceNewWindow();

    QWidget* owner_;
    int32_t& centreX_;
    int32_t& centreY_;
    TZoomWindow* hZoomWindow = nullptr;
    int32_t lastZoomId = 0;
};
