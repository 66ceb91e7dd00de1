#include "ui_kit/info_symbols.h"

#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace {

constexpr TColor32 kBlack32 = Opaque32(0, 0, 0);
constexpr TColor kBlack = RGBColor(0, 0, 0);
constexpr int32_t kHintTextId = 622;

// A round-capped vector canvas with the given line width.
std::unique_ptr<TCanvas32> SymbolCanvas(TBitmap32& buffer, TColor32 stroke, TColor32 fill, double lineWidth) {
    auto canvas = CreateCanvas32(buffer);
    canvas->roundCaps = true;
    SetCanvasColors(canvas.get(), stroke, fill, lineWidth);
    return canvas;
}

void SetLetterFont(TBitmap32& buffer, int32_t height, TColor color) {
    buffer.Font.name = QStringLiteral("VERDANA");
    buffer.Font.bold = true;
    buffer.Font.color = color;
    buffer.Font.height = height;
}

}  // namespace

QRect DrawInfoSymbol(TPaintBox32* box, int32_t kind, double scale) {
    if (box == nullptr) return QRect();
    const double s = scale > 0 ? scale : UIScale;
    TBitmap32& buffer = box->Buffer();
    const double R = box->width();
    const double T = 0;
    const double H = box->height();
    const double m = 2 * s;
    const double S = 0.2 * H;
    const double lineWidth = 2 * H / 285;
    SetLetterFont(buffer, RoundI(S * -76.8 / (s * 96)), clText);
    const QRect square(RoundI(R - m - S), RoundI(T + m), RoundI(R - m) - RoundI(R - m - S),
                       RoundI(T + S + m) - RoundI(T + m));

    box->BeginUpdate();
    if (kind == kSymbolInfoOutlined || kind == kSymbolInfoFilled) {
        auto canvas = SymbolCanvas(buffer, clValueText32, clYellow32, lineWidth);
        canvas->FillBrush().visible = kind == kSymbolInfoFilled;
        canvas->Circle(QPointF(R - m - S / 2, T + m + S / 2), S / 2);
        const QSize letter = buffer.TextExtent(QStringLiteral("i"));
        buffer.Textout(RoundI(R - m - (S + letter.width()) / 2), RoundI(T + m + (S - letter.height()) / 2),
                       QStringLiteral("i"));
    } else if (kind == kSymbolWarning) {
        auto canvas = SymbolCanvas(buffer, kBlack32, clYellow32, lineWidth);
        const QPointF apex(R - m - S / 2, T + m);
        canvas->Polygon({QPointF(R - m - S, T + S + m), apex, QPointF(R - m, T + S + m)});
        buffer.Font.color = kBlack;
        const QSize letter = buffer.TextExtent(QStringLiteral("!"));
        buffer.Textout(RoundI(apex.x() - letter.width() / 2.0), RoundI(T + m + 0.6 * S - letter.height() / 2.0),
                       QStringLiteral("!"));
    }
    buffer.Font.bold = false;
    box->EndUpdate();
    return square;
}

void DrawSymbolFull(TPaintBox32* box, int32_t kind) {
    if (box == nullptr) return;
    const double s = UIScale;
    TBitmap32& buffer = box->Buffer();
    const double L = 0;
    const double T = 0;
    const double R = box->width();
    const double H = box->height();
    const double m = 5 * s;
    const double lineWidth = 10 * H / 285;
    SetLetterFont(buffer, RoundI(H * 57.6 / (s * 96) * -1.3333333333333333), clText);

    box->BeginUpdate();
    if (kind == kSymbolInfoOutlined || kind == kSymbolInfoFilled) {
        auto canvas = SymbolCanvas(buffer, clText32, clYellow32, lineWidth);
        canvas->FillBrush().visible = kind == kSymbolInfoFilled;
        canvas->Circle(QPointF(H / 2, H / 2), (H - m) / 2);
        const QSize letter = buffer.TextExtent(QStringLiteral("i"));
        buffer.Textout(RoundI((H - letter.width()) / 2), RoundI((H - letter.height()) / 2), QStringLiteral("i"));
    } else if (kind == kSymbolWarning) {
        auto canvas = SymbolCanvas(buffer, kBlack32, clYellow32, lineWidth);
        canvas->Polygon({QPointF(L + m, H - m), QPointF(H / 2, m), QPointF(R - m, H - m)});
        buffer.Font.color = kBlack;
        const QSize letter = buffer.TextExtent(QStringLiteral("!"));
        buffer.Textout(RoundI(H / 2 - letter.width() / 2.0), RoundI(T + m + H / 2 - letter.height() / 2.0),
                       QStringLiteral("!"));
    }
    buffer.Font.bold = false;
    box->EndUpdate();
}

void DrawHintLine(TPaintBox32* box, double scale) {
    if (box == nullptr) return;
    const double s = scale > 0 ? scale : UIScale;
    TBitmap32& buffer = box->Buffer();
    box->BeginUpdate();
    buffer.Font.color = clText;
    buffer.Clear(clBack32);
    const double L = 0;
    const double T = 0;
    const double R = box->width();
    const double B = box->height();
    const double H = box->height();
    const double a = H / 2;
    const double b = 0.8 * a;

    auto canvas = SymbolCanvas(buffer, kBlack32, clYellow32, s);
    canvas->Circle(QPointF(L + b + s, a), b - s);

    const int32_t previousHeight = buffer.Font.height;
    buffer.Font.height = RoundI(-16 * s);
    buffer.Font.bold = true;
    const QSize letter = buffer.TextExtent(QStringLiteral("i"));
    buffer.Textout(RoundI(L + b + s - letter.width() / 2.0), RoundI(a - letter.height() / 2.0), QStringLiteral("i"));
    buffer.Font.height = previousHeight;
    buffer.Font.bold = false;

    const QString hint = GetLangText(kHintTextId);
    const int32_t left = RoundI(L + H + s);
    const uint32_t flags = kTextLeft | kTextWordBreak;
    const int32_t width = RoundI(R) - left;
    if (width > 0) {
        const QRect measured = buffer.MeasureText(QRect(left, RoundI(T), width, RoundI(B - T)), hint, flags);
        const int32_t top = RoundI((H - measured.height()) / 2);
        buffer.DrawText(QRect(left, top, width, RoundI(B) - top), hint, flags);
    }
    box->EndUpdate();
}
