#pragma once
// The smaller drawn panels of the main window's right side: the event-message
// list of the measurement, the lower info area (event, location, the limits
// and maxima of the monitored quantities), the table of closed Leq blocks,
// the logo, and the line with the server's addresses and the clock. Each is
// a paint box with a back buffer; its hover state lives in the box's Tag.
// GUI thread only.
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/date_time.h"

class QMenu;
class QSvgRenderer;
class QRectF;
class TBitmap32;
class TPaintBox32;
struct TProgramSettings;
struct TVTPreset;

using IconPainterFn = std::function<void(TBitmap32&, int32_t index, const QRectF& square)>;

// "HH:MM:SS" with two-digit fields; the hours are not limited. Negative
// seconds count as 0.
QString FormatRunTime(int64_t seconds);
// The planned minutes less the elapsed seconds, never below 0; "---" when
// no duration is planned.
QString CountDownText(int32_t plannedMinutes, int64_t elapsedSeconds);

// One local address of the computer and whether the web server binds to it.
struct LocalAddress {
    QString ip;
    bool inUse = false;
};
// The address line's text. addresses is absent while the program keeps no
// address list; the web server is in use when one address is.
QString AddressText(const std::optional<std::vector<LocalAddress>>& addresses, bool https, int32_t port,
                    bool running);

// The address text and the clock of the line. The address text ends where
// the clock's rectangle begins, so it never runs under the clock.
struct IpInfoRects {
    QRect address;
    QRect clock;
    int addressLimit = 0;  // the right end of the address text
};
IpInfoRects ComputeIpInfoRects(int width, int height, int spacing, int addressTextWidth);
// 2 on the clock, 1 on the addresses while idle, 0 elsewhere.
int32_t IpInfoHitTest(const IpInfoRects& rects, int x, int y, bool running);

// The order of the preset entries (0 Leq, 1 short-term Leq, 2 peak) in the
// lower info area, decided by which of them are monitored.
std::array<int32_t, 3> BlockOrder(const TVTPreset& preset);

// Rows of the event list and of the block table that fit; an offset beyond
// the list shows none.
int32_t FirstShownIndex(int32_t count, int32_t offset);

class TInfoPanels {
public:
    struct Maxima {
        double leq = 0.0;
        platform::TDateTime leqTime = 0.0;
        double leqK = 0.0;
        platform::TDateTime leqKTime = 0.0;
        double peak = 0.0;
        platform::TDateTime peakTime = 0.0;
    };
    struct Hooks {
        std::function<bool()> running;
        IconPainterFn drawIcon;
        std::function<Maxima()> maxima;
        std::function<QStringList()> memoLines;
        // The local addresses; unset while the program keeps no list.
        std::function<std::vector<LocalAddress>()> localAddresses;
        // Follow-ups of clicks. An unset one makes its click do nothing.
        std::function<void()> showMessageList;
        std::function<void()> editMessungData;
        std::function<void()> selectRegulation;
        std::function<void()> showProtocol;
        std::function<void()> showAbout;
        std::function<void(QPoint topLeft)> showOptions;
        std::function<void()> syncWebTime;
    };
    struct Boxes {
        TPaintBox32* messages = nullptr;
        TPaintBox32* runten = nullptr;
        TPaintBox32* blocks = nullptr;
        TPaintBox32* logo = nullptr;
        TPaintBox32* ipInfo = nullptr;
    };

    TInfoPanels(Boxes boxes, TProgramSettings& settings, Hooks hooks);
    ~TInfoPanels();
    TInfoPanels(const TInfoPanels&) = delete;
    TInfoPanels& operator=(const TInfoPanels&) = delete;

    void RepaintAll();
    // What the clock tick changes: the clock line, and while running the
    // maxima of the lower info area and the block table.
    void RepaintOnTick();
    // The line's texts as they are shown now.
    QString ClockText() const;
    QString RunTimeText() const;
    QString CountDownNow() const;
    QString CurrentAddressText() const;
    IpInfoRects IpRects() const;

    int32_t infoTopId = 0;
    int32_t infoMoreToShow = 0;
    int32_t blockTableOffset = 0;
    QRect infoUpRect, infoDownRect;
    QMenu* TimeModeMenu();

    // The mouse, as the boxes report it (public for tests).
    void MessagesMouseDown(int x, int y);
    void MessagesMouseMove(int x, int y);
    void RuntenMouseDown(int x, int y);
    void BlocksMouseDown(int x, int y);
    void IpInfoMouseDown(Qt::MouseButton button, int x, int y);

private:
    void Wire();
    void PaintMessages(TBitmap32& b, intptr_t hover);
    void PaintRunten(TBitmap32& b, intptr_t hover);
    void PaintBlocks(TBitmap32& b, intptr_t hover);
    void PaintLogo(TBitmap32& b);
    void PaintIpInfo(TBitmap32& b, intptr_t hover);
    void PaintEntryBlock(TBitmap32& b, int32_t entry, int top, int labelRowHeight, int d, int x1, int x2);
    QRect IconColumn(const TPaintBox32* box) const;
    int32_t MessagesHit(int x, int y) const;
    int32_t BlocksHit(int x, int y) const;
    bool Running() const { return hooks_.running && hooks_.running(); }
    bool BlocksShown() const;
    void SetTimeMode(int32_t mode);

    Boxes boxes_;
    TProgramSettings& settings_;
    Hooks hooks_;
    QMenu* timeMenu_ = nullptr;
    std::unique_ptr<QSvgRenderer> logo_;
};
