#include "main/info_panels.h"

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

#include "main/display_areas.h"
#include "main/program_settings.h"
#include "platform/user_dialogs.h"
#include "store/header_words.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kUpIcon = 3;
constexpr int32_t kDownIcon = 4;
constexpr intptr_t kClockRefresh = 4;
constexpr int32_t kTimeModeClock = 1;
constexpr int32_t kTimeModeRunTime = 2;
constexpr int32_t kTimeModeCountDown = 3;
constexpr int32_t kBlockPopupMs = 15000;
constexpr int32_t kPopupNoFollowUp = 4;
const QString kLogoResource = QStringLiteral(":/ui_kit/veltaro_logo.svg");

int IconSize() { return RoundI(22 * UIScale); }
int Gap() { return UISpaceSmall; }

void UseFont(TBitmap32& b, bool bold, TColor color = clText) {
    b.Font = TFont32{};
    b.Font.height = RoundI(-12 * UIScale);
    b.Font.bold = bold;
    b.Font.color = color;
}

void DrawIcon(const IconPainterFn& draw, TBitmap32& b, int32_t index, const QRect& square) {
    if (draw && !square.isEmpty()) draw(b, index, QRectF(square));
}

TDaten* DefaultStore() { return defaultDaten.load(); }
TDaten* RunStore() { return messDaten.load(); }

// The label of preset entry 0, 1 or 2 in the lower info area.
QString EntryLabel(int32_t entry) {
    const TPresetMessung& m = curPreset.messungen[entry];
    if (entry == kPresetEntryPeak) return MeasurePeakLabel(m);
    return MeasureDurationText(m, entry == kPresetEntryLeq, language.load());
}

TColor32 DotColour(int32_t entry, double value) {
    const TDaten* store = DefaultStore();
    if (store == nullptr) return clGreen32;
    if (value > store->GetRealLimit(entry)) return clRed32;
    if (value > store->GetRealWarn(entry)) return clYellow32;
    return clGreen32;
}

}  // namespace

QString FormatRunTime(int64_t seconds) {
    seconds = std::max<int64_t>(0, seconds);
    const int64_t hours = seconds / 3600;
    const int64_t minutes = seconds / 60 % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString CountDownText(int32_t plannedMinutes, int64_t elapsedSeconds) {
    if (plannedMinutes <= 0) return QStringLiteral("---");
    return FormatRunTime(std::max<int64_t>(0, int64_t{plannedMinutes} * 60 - elapsedSeconds));
}

QString AddressText(const std::optional<std::vector<LocalAddress>>& addresses, bool https, int32_t port,
                    bool running) {
    if (!addresses || addresses->empty()) return QString();
    QStringList used;
    for (const LocalAddress& a : *addresses) {
        if (a.inUse) used << (port == 80 ? a.ip : a.ip + QLatin1Char(':') + QString::number(port));
    }
    if (used.isEmpty()) return running ? QString() : GetLangText(928);
    return (https ? QStringLiteral("https://") : QStringLiteral("http://")) + used.join(BulletSeparator());
}

IpInfoRects ComputeIpInfoRects(int width, int height, int spacing, int addressTextWidth) {
    IpInfoRects r;
    const int clockLeft = RoundI(0.75 * width - spacing);
    r.clock = QRect(QPoint(clockLeft, 0), QPoint(width - spacing - 1, height - 1));
    r.addressLimit = std::max(0, clockLeft);
    const int addressRight = std::min(addressTextWidth + 2 * spacing, r.addressLimit);
    r.address = QRect(0, 0, std::max(0, addressRight), height);
    return r;
}

int32_t IpInfoHitTest(const IpInfoRects& rects, int x, int y, bool running) {
    if (rects.clock.contains(x, y)) return 2;
    if (!running && rects.address.contains(x, y)) return 1;
    return 0;
}

std::array<int32_t, 3> BlockOrder(const TVTPreset& preset) {
    const bool leqK = preset.messungen[kPresetEntryLeqK].Status == 2;
    const bool peak = preset.messungen[kPresetEntryPeak].Status == 2;
    const bool leq = preset.messungen[kPresetEntryLeq].Status == 2;
    if (leqK && peak && !leq) return {kPresetEntryLeqK, kPresetEntryPeak, kPresetEntryLeq};
    if (leqK && !peak && !leq) return {kPresetEntryLeqK, kPresetEntryLeq, kPresetEntryPeak};
    if (peak && !leqK && !leq) return {kPresetEntryPeak, kPresetEntryLeq, kPresetEntryLeqK};
    return {kPresetEntryLeq, kPresetEntryLeqK, kPresetEntryPeak};
}

int32_t FirstShownIndex(int32_t count, int32_t offset) { return count - offset - 1; }

// ---------------------------------------------------------------------------

TInfoPanels::TInfoPanels(Boxes boxes, TProgramSettings& settings, Hooks hooks)
    : boxes_(boxes), settings_(settings), hooks_(std::move(hooks)) {
    Wire();
}

TInfoPanels::~TInfoPanels() {
    for (TPaintBox32* box : {boxes_.messages, boxes_.runten, boxes_.blocks, boxes_.logo, boxes_.ipInfo}) {
        if (box == nullptr) continue;
        box->OnPaintBuffer = [](TPaintBox32* b) { b->Buffer().Clear(clBack32); };
        box->OnMouseDown = nullptr;
        box->OnMouseMove = nullptr;
        box->OnMouseLeave = nullptr;
    }
    delete timeMenu_;
}

void TInfoPanels::Wire() {
    const auto leave = [](TPaintBox32* box) {
        box->Tag = 0;
        box->Invalidate();
    };
    const auto setHover = [](TPaintBox32* box, int32_t hover) {
        if (box->Tag == hover) return;
        box->Tag = hover;
        box->Invalidate();
    };
    if (TPaintBox32* box = boxes_.messages) {
        box->setObjectName(QStringLiteral("pbInfoMessung"));
        box->OnPaintBuffer = [this](TPaintBox32* b) { PaintMessages(b->Buffer(), b->Tag); };
        box->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int x, int y) { MessagesMouseDown(x, y); };
        box->OnMouseMove = [this](TPaintBox32*, int x, int y) { MessagesMouseMove(x, y); };
        box->OnMouseLeave = leave;
    }
    if (TPaintBox32* box = boxes_.runten) {
        box->setObjectName(QStringLiteral("pbRunten"));
        box->OnPaintBuffer = [this](TPaintBox32* b) { PaintRunten(b->Buffer(), b->Tag); };
        box->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int x, int y) { RuntenMouseDown(x, y); };
        box->OnMouseMove = [this, setHover](TPaintBox32* b, int, int y) {
            const bool upper = y < RoundI(0.25 * b->height());
            setHover(b, upper ? (Running() ? 0 : 1) : 2);
        };
        box->OnMouseLeave = leave;
    }
    if (TPaintBox32* box = boxes_.blocks) {
        box->setObjectName(QStringLiteral("pbMInfo"));
        box->OnPaintBuffer = [this](TPaintBox32* b) { PaintBlocks(b->Buffer(), b->Tag); };
        box->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton, int x, int y) { BlocksMouseDown(x, y); };
        box->OnMouseMove = [this, setHover](TPaintBox32* b, int x, int y) { setHover(b, BlocksHit(x, y)); };
        box->OnMouseLeave = leave;
    }
    if (TPaintBox32* box = boxes_.logo) {
        box->setObjectName(QStringLiteral("pbLogo"));
        box->OnPaintBuffer = [this](TPaintBox32* b) { PaintLogo(b->Buffer()); };
        box->OnClick = [this](TPaintBox32*) {
            if (hooks_.showAbout) hooks_.showAbout();
        };
    }
    if (TPaintBox32* box = boxes_.ipInfo) {
        box->setObjectName(QStringLiteral("pbIpInfo"));
        box->OnPaintBuffer = [this](TPaintBox32* b) { PaintIpInfo(b->Buffer(), b->Tag); };
        box->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int y) {
            IpInfoMouseDown(button, x, y);
        };
        box->OnMouseMove = [this, setHover](TPaintBox32* b, int x, int y) {
            setHover(b, IpInfoHitTest(IpRects(), x, y, Running()));
        };
        box->OnMouseLeave = leave;
    }
}

void TInfoPanels::RepaintOnTick() {
    if (boxes_.ipInfo) boxes_.ipInfo->Invalidate();
    if (!Running()) return;
    if (boxes_.runten) boxes_.runten->Invalidate();
    if (boxes_.blocks) boxes_.blocks->Invalidate();
}

void TInfoPanels::RepaintAll() {
    for (TPaintBox32* box : {boxes_.messages, boxes_.runten, boxes_.blocks, boxes_.logo, boxes_.ipInfo}) {
        if (box) box->Invalidate();
    }
}

QRect TInfoPanels::IconColumn(const TPaintBox32* box) const {
    const int s = IconSize();
    return QRect(box->width() - s, 0, s, box->height());
}

// --- Event-message list ---

void TInfoPanels::PaintMessages(TBitmap32& b, intptr_t hover) {
    b.Clear(clBack32);
    if (b.Empty()) return;
    UseFont(b, false);
    const TDaten* run = RunStore();
    const int32_t n = run ? run->GetSmsCount() : 0;
    const int s = IconSize();
    QRect text(0, Gap(), b.Width(), std::max(0, b.Height() - Gap()));
    const int lh = RoundI(1.05 * b.TextHeight(QStringLiteral("Igq1")));
    infoMoreToShow = (infoTopId > 0 ? 1 : 0) | (int64_t{lh} * (n - infoTopId) > text.height() ? 2 : 0);
    if (infoMoreToShow != 0) text.setWidth(std::max(0, text.width() - s));
    if (n > 0) {
        if (hover == 3) b.FillRect(text, clHover32);
        int y = text.top();
        for (int32_t i = FirstShownIndex(n, infoTopId); i >= 0 && y + lh - text.top() < text.height(); --i) {
            const TSMS sms = run->GetSms(i);
            b.DrawText(QRect(text.left(), y, text.width(), lh), TimeText(sms.zeitpunkt) + QStringLiteral(": ") + sms.meldung,
                       kTextSingleLine | kTextVCenter | kTextPathEllipsis);
            y += lh;
        }
    }
    const QRect up(b.Width() - s, text.top(), s, s);
    const QRect down(b.Width() - s, b.Height() - s, s, s);
    if (infoMoreToShow & 1) {
        if (hover == 1) b.FillRect(up, clAccent32);
        DrawIcon(hooks_.drawIcon, b, kUpIcon, up);
    }
    if (infoMoreToShow & 2) {
        if (hover == 2) b.FillRect(down, clAccent32);
        DrawIcon(hooks_.drawIcon, b, kDownIcon, down);
    }
}

int32_t TInfoPanels::MessagesHit(int x, int y) const {
    const TPaintBox32* box = boxes_.messages;
    const int s = IconSize();
    if (IconColumn(box).contains(x, y)) {
        // On a list lower than two squares they overlap: the one that can move wins.
        const bool up = y >= Gap() && y < Gap() + s;
        const bool down = y >= box->height() - s;
        if (down && (infoMoreToShow & 2)) return 2;
        if (up && (infoMoreToShow & 1)) return 1;
        return down ? 2 : (up ? 1 : 0);
    }
    const TDaten* run = RunStore();
    return run && run->GetSmsCount() > 0 ? 3 : 0;
}

void TInfoPanels::MessagesMouseMove(int x, int y) {
    TPaintBox32* box = boxes_.messages;
    const int32_t hit = MessagesHit(x, y);
    if (hit == box->Tag) return;
    box->Tag = hit;
    box->Invalidate();
}

void TInfoPanels::MessagesMouseDown(int x, int y) {
    const int32_t hit = MessagesHit(x, y);
    if (hit == 1 && (infoMoreToShow & 1)) {
        --infoTopId;
    } else if (hit == 2 && (infoMoreToShow & 2)) {
        ++infoTopId;
    } else {
        if (hooks_.showMessageList) hooks_.showMessageList();
        return;
    }
    boxes_.messages->Invalidate();
}

// --- Lower info area ---

void TInfoPanels::PaintRunten(TBitmap32& b, intptr_t hover) {
    b.Clear(clBack32);
    if (b.Empty()) return;
    const int w = b.Width();
    const int h = b.Height();
    const int s = IconSize();
    const int d = RoundI(15 * UIScale);
    const int x1 = RoundI(1.5 * d);
    const int x2 = RoundI(0.75 * w);
    const int quarter = RoundI(0.25 * h);
    if (hover == 1) b.FillRect(QRect(0, 0, std::max(0, w - s), quarter), clAccent32);
    if (hover == 2) b.FillRect(QRect(0, quarter, std::max(0, w - s), h - quarter), clAccent32);
    UseFont(b, true);
    const int lh = RoundI(1.1 * b.TextHeight(QStringLiteral("Gg1q")));
    int y = RoundI(0.5 * lh);
    const TDaten* store = DefaultStore();
    const uint32_t line = kTextSingleLine | kTextEndEllipsis;
    if (store) b.DrawText(QRect(0, y, std::max(0, w - d), lh), store->GetVeranstaltung(), line);
    y += lh;
    UseFont(b, false);
    if (store) b.DrawText(QRect(0, y, std::max(0, w - d), lh), store->GetLocationText(), line);
    const int t = RoundI(1.5 * b.TextHeight(QStringLiteral("Gg1q")));
    const std::array<int32_t, 3> order = BlockOrder(curPreset);
    int top = y + t;
    for (int32_t entry : order) {
        PaintEntryBlock(b, entry, top, lh, d, x1, x2);
        top += lh + t;
    }
}

void TInfoPanels::PaintEntryBlock(TBitmap32& b, int32_t entry, int top, int lh, int d, int x1, int x2) {
    const TPresetMessung& m = curPreset.messungen[entry];
    if (m.Status <= 0) return;
    const bool monitored = m.Status == 2;
    const int decimals = curPreset.naKoS;
    const int w = b.Width();
    UseFont(b, monitored);
    const uint32_t line = kTextSingleLine | kTextEndEllipsis;
    b.DrawText(QRect(x1, top, std::max(0, x2 - x1), lh), EntryLabel(entry), line);
    b.DrawText(QRect(x2, top, std::max(0, w - x2), lh), FixedText(m.Rot, decimals), line);
    const Maxima max = hooks_.maxima ? hooks_.maxima() : Maxima{};
    double value = 0.0;
    platform::TDateTime when = 0.0;
    bool shown = false;
    if (entry == kPresetEntryLeq) {
        shown = Running();
        value = max.leq;
        when = max.leqTime;
    } else if (entry == kPresetEntryLeqK) {
        shown = max.leqKTime > 0;
        value = max.leqK;
        when = max.leqKTime;
    } else {
        shown = max.peak > 0;
        value = max.peak;
        when = max.peakTime;
    }
    if (!shown) return;
    const int row = top + lh;
    b.DrawText(QRect(x2, row, std::max(0, w - x2), lh), FixedText(value, decimals), line);
    UseFont(b, false);
    b.DrawText(QRect(x1, row, std::max(0, x2 - x1), lh), DateTimeText(when), line);
    if (!monitored) return;
    auto canvas = CreateCanvas32(b);
    SetCanvasColors(canvas.get(), 0, DotColour(entry, value), 0);
    canvas->StrokeBrush().visible = false;
    canvas->RoundRect(QRectF(0, row - d * 0.5, d, d), 6);
}

void TInfoPanels::RuntenMouseDown(int, int y) {
    const bool upper = y < RoundI(0.25 * boxes_.runten->height());
    const auto& follow = upper ? (Running() ? std::function<void()>() : hooks_.editMessungData)
                               : (Running() ? hooks_.showProtocol : hooks_.selectRegulation);
    if (follow) follow();
}

// --- Block table ---

bool TInfoPanels::BlocksShown() const {
    const TDaten* run = RunStore();
    const TDaten* store = DefaultStore();
    return run && store && run->GetNumBlocks() > 0 && store->GetIsInterval();
}

void TInfoPanels::PaintBlocks(TBitmap32& b, intptr_t hover) {
    b.Clear(clBack32);
    infoUpRect = infoDownRect = QRect();
    if (b.Empty() || !BlocksShown()) return;
    const TDaten* run = RunStore();
    const TDaten* store = DefaultStore();
    const int w = b.Width();
    const int h = b.Height();
    const int s = IconSize();
    const int32_t blocks = run->GetNumBlocks();
    const std::array<int, 4> col{0, RoundI(w / 4.0), RoundI(2 * w / 4.0), RoundI(3 * w / 4.0)};
    UseFont(b, true);
    const int rh = std::max(1, b.TextHeight(QStringLiteral("Tj")));
    const QRect text(0, Gap(), std::max(0, w - s), std::max(0, h - Gap()));
    if (hover == 3) b.FillRect(text, clAccent32);
    if (blockTableOffset >= 1) {
        infoUpRect = QRect(w - s, Gap(), s, s);
        if (hover == 1) b.FillRect(infoUpRect, clAccent32);
        DrawIcon(hooks_.drawIcon, b, kUpIcon, infoUpRect);
    }
    if (int64_t{h} < int64_t{rh} * (blocks - blockTableOffset + 1)) {
        infoDownRect = QRect(w - s, h - s, s, s);
        if (hover == 2) b.FillRect(infoDownRect, clAccent32);
        DrawIcon(hooks_.drawIcon, b, kDownIcon, infoDownRect);
    }
    std::array<bool, 3> shown{};
    std::array<bool, 3> monitored{};
    for (int32_t e = 0; e < 3; ++e) {
        shown[e] = curPreset.messungen[e].Status > 0;
        monitored[e] = curPreset.messungen[e].Status == 2;
    }
    const int lang = language.load();
    const std::array<QString, 3> labels{
        DurationText(store->GetFilter(kQuantityLeq), store->GetLEQDauer(), true, lang),
        store->GetLEQKLabel(lang), store->GetPeakLabel()};
    const std::array<int, 3> ends{shown[1] ? col[2] : col[3], shown[2] ? col[3] : w - s, w - s};
    int y = text.top();
    for (int32_t e = 0; e < 3; ++e) {
        if (!shown[e]) continue;
        UseFont(b, monitored[e]);
        b.DrawText(QRect(col[e + 1], y, std::max(0, ends[e] - col[e + 1]), rh), labels[e],
                   kTextSingleLine | kTextEndEllipsis);
    }
    y += rh;
    const int decimals = DisplayDecimals();
    for (int32_t i = FirstShownIndex(blocks, blockTableOffset); i >= 0 && y < h; --i) {
        TBlockDaten8 block;
        run->GetBlock(i, block);
        UseFont(b, false);
        b.Textout(0, y, TimeText(block.ende));
        const std::array<double, 3> values{block.leq, block.leqK, block.dBCMax};
        for (int32_t e = 0; e < 3; ++e) {
            if (!shown[e]) continue;
            const bool over = monitored[e] && values[e] > store->GetRealLimit(e);
            UseFont(b, monitored[e], over ? clRed : clText);
            b.Textout(col[e + 1], y, FixedText(values[e], decimals));
        }
        y += rh;
    }
}

int32_t TInfoPanels::BlocksHit(int x, int y) const {
    if (infoUpRect.contains(x, y)) return 1;
    if (infoDownRect.contains(x, y)) return 2;
    if (IconColumn(boxes_.blocks).contains(x, y)) return 0;
    return BlocksShown() ? 3 : 0;
}

void TInfoPanels::BlocksMouseDown(int x, int y) {
    TPaintBox32* box = boxes_.blocks;
    if (IconColumn(box).contains(x, y)) {
        const TDaten* run = RunStore();
        const int32_t blocks = run ? run->GetNumBlocks() : 0;
        int32_t offset = blockTableOffset;
        if (infoUpRect.contains(x, y)) --offset;
        else if (infoDownRect.contains(x, y)) ++offset;
        offset = std::clamp(offset, 0, std::max(0, blocks - 1));
        if (offset != blockTableOffset) {
            blockTableOffset = offset;
            box->Invalidate();
        }
        return;
    }
    const QStringList memo = hooks_.memoLines ? hooks_.memoLines() : QStringList();
    if (memo.isEmpty()) return;
    platform::InfoRequest r;
    const QPoint corner = box->mapToGlobal(QPoint(box->width(), 0));
    r.x = corner.x();
    r.y = corner.y();
    r.place = 2;
    r.info = memo.join(QStringLiteral("\r\n"));
    r.header = RunStore() ? RunStore()->GetVeranstaltung() : QString();
    r.rightCaption = GetLangText(19);
    r.rightAnswer = 0;
    r.timeoutMs = kBlockPopupMs;
    r.restAnswer = kPopupNoFollowUp;
    platform::userDialogs()->ShowInfo(r);
}

// --- Logo ---

void TInfoPanels::PaintLogo(TBitmap32& b) {
    b.Clear(clBack32);
    if (b.Empty()) return;
    if (!logo_) logo_ = std::make_unique<QSvgRenderer>(kLogoResource);
    if (!logo_->isValid()) return;
    QPainter painter(&b.Image());
    logo_->render(&painter, QRectF(b.BoundsRect()));
}

// --- Address and clock line ---

QString TInfoPanels::RunTimeText() const {
    const TDaten* run = RunStore();
    if (!Running() || run == nullptr) return FormatRunTime(0);
    return FormatRunTime(static_cast<int64_t>(std::floor((CorrectedNow() - run->GetStartTime()) * 86400.0)));
}

QString TInfoPanels::CountDownNow() const {
    const TDaten* store = DefaultStore();
    const TDaten* run = RunStore();
    const int32_t planned = store ? store->GetMessDauer() : 0;
    const int64_t elapsed =
        Running() && run ? static_cast<int64_t>(std::floor((CorrectedNow() - run->GetStartTime()) * 86400.0)) : 0;
    return CountDownText(planned, elapsed);
}

QString TInfoPanels::ClockText() const {
    if (Running() && settings_.timeShowMode == kTimeModeRunTime) return RunTimeText();
    if (Running() && settings_.timeShowMode == kTimeModeCountDown) return CountDownNow();
    return TimeText(CorrectedNow());
}

QString TInfoPanels::CurrentAddressText() const {
    std::optional<std::vector<LocalAddress>> list;
    if (hooks_.localAddresses) list = hooks_.localAddresses();
    return AddressText(list, settings_.doSSL, settings_.ipPort, Running());
}

IpInfoRects TInfoPanels::IpRects() const {
    TPaintBox32* box = boxes_.ipInfo;
    TBitmap32& b = box->Buffer();
    UseFont(b, false);
    const QString text = CurrentAddressText();
    return ComputeIpInfoRects(box->width(), box->height(), UISpace, text.isEmpty() ? 0 : b.TextWidth(text));
}

void TInfoPanels::PaintIpInfo(TBitmap32& b, intptr_t hover) {
    b.Clear(clBack32);
    if (b.Empty()) return;
    const int w = b.Width();
    const int S = UISpace;
    const IpInfoRects r = IpRects();
    const QString address = CurrentAddressText();
    UseFont(b, false);
    if (hover == 1 && address.size() > 1) b.FillRect(r.address, clAccent32);
    b.DrawText(QRect(S, 0, std::max(0, r.addressLimit - S), b.Height()), address,
               kTextSingleLine | kTextEndEllipsis | kTextVCenter);
    if (hover == 2) b.FillRect(r.clock, clAccent32);
    UseFont(b, true);
    const int x = S + RoundI(0.75 * (w - 2 * S));
    b.DrawText(QRect(x, 0, std::max(0, w - x), b.Height()), ClockText(), kTextSingleLine | kTextVCenter);
}

void TInfoPanels::IpInfoMouseDown(Qt::MouseButton button, int x, int y) {
    TPaintBox32* box = boxes_.ipInfo;
    const IpInfoRects r = IpRects();
    switch (IpInfoHitTest(r, x, y, Running())) {
    case 1:
        if (hooks_.showOptions) hooks_.showOptions(box->mapToGlobal(QPoint(0, 0)));
        return;
    case 2:
        if (button == Qt::LeftButton && Running()) {
            settings_.timeShowMode = settings_.timeShowMode == kTimeModeRunTime ? kTimeModeClock : kTimeModeRunTime;
        } else if (button == Qt::LeftButton || button == Qt::RightButton) {
            TimeModeMenu()->popup(box->mapToGlobal(QPoint(r.clock.left(), 0)));
        }
        box->Invalidate();
        return;
    default: return;
    }
}

QMenu* TInfoPanels::TimeModeMenu() {
    if (timeMenu_ == nullptr) {
        timeMenu_ = new QMenu();
        timeMenu_->setObjectName(QStringLiteral("popTimeMode"));
        for (int32_t mode : {kTimeModeClock, kTimeModeRunTime, kTimeModeCountDown}) {
            QAction* item = timeMenu_->addAction(QString());
            item->setCheckable(true);
            item->setData(mode);
            QObject::connect(item, &QAction::triggered, timeMenu_, [this, mode] { SetTimeMode(mode); });
        }
        timeMenu_->actions().at(2)->setVisible(false);
        QAction* web = timeMenu_->addAction(QString());
        web->setObjectName(QStringLiteral("UseWebTime"));
        web->setCheckable(true);
        QObject::connect(web, &QAction::triggered, timeMenu_, [this] {
            settings_.syncWebTime = !settings_.syncWebTime;
            if (hooks_.syncWebTime) hooks_.syncWebTime();
        });
        QObject::connect(timeMenu_, &QMenu::aboutToShow, timeMenu_, [this] {
            const QList<QAction*> items = timeMenu_->actions();
            const std::array<int32_t, 4> ids{305, 306, 307, 1102};
            for (int i = 0; i < 4; ++i) items[i]->setText(GetLangText(ids[i]));
            for (int i = 0; i < 3; ++i) items[i]->setChecked(items[i]->data().toInt() == settings_.timeShowMode);
            items[3]->setChecked(settings_.syncWebTime);
            items[3]->setEnabled(!Running());
        });
    }
    return timeMenu_;
}

void TInfoPanels::SetTimeMode(int32_t mode) {
    settings_.timeShowMode = mode;
    PostMainNotify(kNotifyClockTick, kClockRefresh);
}
