// The level graph painter: its scales and cursor, the mapping between pixel
// columns and times, and both drawings checked by sampled pixels, by a
// paint device that draws again while drawing, and by a printed PDF read
// back with poppler.
#include <gtest/gtest.h>

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "platform/date_time.h"
#include "reports/level_graph.h"
#include "reports/level_graph_columns.h"
#include "store/measurement_store.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/clock.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr TColor kLeqColour = RGBColor(0, 255, 0);
constexpr TColor kLeqKColour = RGBColor(255, 0, 0);
constexpr TColor kPeakColour = RGBColor(0, 0, 255);
constexpr TColor kLeqPColour = RGBColor(255, 0, 255);
constexpr TColor kLabelColour = RGBColor(128, 128, 128);
constexpr int kPlotWidth = 600;
constexpr int kHeight = 200;
constexpr int kLegendHeight = 16;

platform::TDateTime At(int h, int m, int s, int ms = 0) { return platform::EncodeDateTime(2026, 6, 12, h, m, s, ms); }

struct Levels {
    double leq = 80, leqK = 85, peak = 100;
};

// A store of n values, one every interval seconds from start, top 120 dB over 80 dB.
std::unique_ptr<TDaten> Store(int n, platform::TDateTime start, int interval = 1,
                              const std::function<Levels(int)>& levels = nullptr) {
    auto data = std::make_unique<TDaten>();
    data->SetStartTime(start);
    data->SetDrawInterval(interval);
    data->SetGraGap(120);
    data->SetGraRange(80);
    data->SetMaxLEQ(100);
    data->SetMaxPeak(115);
    for (int i = 0; i < n; ++i) {
        const Levels l = levels ? levels(i) : Levels{};
        TSaveIT6 value;
        value.id = i;
        value.TimeStamp = start + (i + 1) * interval * kSecond;
        value.leq = l.leq;
        value.LeqK = l.leqK;
        value.Peak = l.peak;
        data->AddWert(value);
    }
    return data;
}

class LevelGraph : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        SetColorScheme(kSchemeDark);
        graph.SetLEQcolor(kLeqColour);
        graph.SetLEQKurzColor(kLeqKColour);
        graph.SetPeakColor(kPeakColour);
        graph.SetLeqPColor(kLeqPColour);
        graph.SetLabelColor(kLabelColour);
        graph.SetWidth(2.0f);
        bitmap.SetSize(graph.LeftMargin() + kPlotWidth, kHeight);
    }
    bool Draw(TDaten& data, bool leq = true, bool leqP = false, bool leqK = true, bool peak = true,
              bool mark = false) {
        return graph.DrawDirect(&bitmap, &data, false, leq, leqP, leqK, peak, false, 0xFF000000u, mark,
                                bitmap.BoundsRect(), kLangEnglish);
    }
    int Left() const { return graph.LeftMargin(); }
    int Top() const { return graph.TopMargin(); }
    // y of a level in the bitmap drawing (top 120, range 80).
    double LevelY(double level) const {
        return kHeight - (level - 40.0) * (kHeight - Top()) / 80.0;
    }
    bool Is(int x, int y, TColor colour) const { return bitmap.Pixel(x, y) == Color32(colour); }
    // The trace's two pixel rows lie on either side of its level.
    bool Near(int x, double y, TColor colour) const {
        const int row = static_cast<int>(std::floor(y));
        return Is(x, row - 1, colour) || Is(x, row, colour) || Is(x, row + 1, colour);
    }
    // Pixels of a colour above the legend.
    int CountColour(TColor colour) const {
        int count = 0;
        for (int y = 0; y < bitmap.Height() - kLegendHeight; ++y)
            for (int x = 0; x < bitmap.Width(); ++x) count += Is(x, y, colour);
        return count;
    }

    TLeqGrafik graph;
    TBitmap32 bitmap;
};

TEST(LevelGraphScales, TimeStepGridStepAndTheirUnusableInputs) {
    struct Case {
        double x;
        int32_t a;
        double step;
    } cases[] = {
        {1.0, 1, 60},    {1.0, 10, 60},  {3.0, 0, 60},   {3.0, -5, 60},  {0.0, 1, 60},
        {-2.0, 1, 60},   {std::nan(""), 1, 60},           {std::numeric_limits<double>::infinity(), 1, 60},
        {0.5, 1, 120},   {10.0, 60, 5},
    };
    for (const Case& c : cases) EXPECT_EQ(CalcTimeStep(c.x, c.a), c.step) << c.x << " " << c.a;
    EXPECT_TRUE(std::isfinite(CalcTimeStep(1e-300, 1)));
    for (auto [range, step] : {std::pair{40, 10}, {60, 10}, {80, 20}, {100, 20}, {120, 25}, {140, 25}})
        EXPECT_EQ(GetGridStep(range), step) << range;
}

TEST(LevelGraphScales, TheDeviceDrawingsFirstTimeLabel) {
    using level_graph::DayTime;
    struct Case {
        DayTime base;
        int tick;
        DayTime label;
    } cases[] = {
        {{12, 10, 0}, 1800, {12, 30, 0}},  {{12, 50, 20}, 1800, {13, 0, 0}}, {{12, 5, 0}, 900, {12, 15, 0}},
        {{12, 31, 0}, 900, {12, 45, 0}},   {{12, 1, 0}, 600, {12, 10, 0}},   {{12, 1, 0}, 360, {12, 5, 0}},
        {{12, 1, 30}, 60, {12, 2, 0}},     {{23, 50, 0}, 1800, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        const DayTime label = level_graph::FirstTimeLabel(c.base, c.tick);
        EXPECT_EQ(label.Seconds(), c.label.Seconds()) << c.base.h << ":" << c.base.m << " + " << c.tick;
    }
}

TEST_F(LevelGraph, TheCursorOperations) {
    graph.SetAntPos(3);
    graph.AntMinus(5);
    EXPECT_EQ(graph.GetAntPos(), 0);
    graph.AntStart();
    graph.AntMinus(5);
    EXPECT_EQ(graph.GetAntPos(), 0);

    graph.SetBlock(true);
    EXPECT_FALSE(graph.SetAntPos(0));
    EXPECT_TRUE(graph.GetBlock());
    EXPECT_TRUE(graph.SetAntPos(7));
    EXPECT_FALSE(graph.GetBlock());

    graph.SetAntPos(std::numeric_limits<int32_t>::max() - 1);
    graph.AntPlus(10);
    EXPECT_EQ(graph.GetAntPos(), std::numeric_limits<int32_t>::max());
    graph.SetBlock(true);
    graph.AntEnd();
    EXPECT_EQ(graph.GetAntPos(), kAntJumpToEnd);
    EXPECT_FALSE(graph.GetBlock());
}

TEST_F(LevelGraph, TheAlignedStartFloorsToTheIntervalFromTheFullHour) {
    for (auto [interval, expected] : {std::pair{10, At(10, 17, 40)}, {7, At(10, 17, 44)}, {1, At(10, 17, 45)}}) {
        auto data = Store(1, At(10, 17, 45, 300), interval);
        ASSERT_TRUE(Draw(*data));
        EXPECT_EQ(platform::DateTimeToMs(graph.GetAlignedStart()), platform::DateTimeToMs(expected)) << interval;
    }
}

TEST_F(LevelGraph, ColumnsAndTimesMapBothWaysInsideThePlotOnly) {
    auto data = Store(1000, At(10, 0, 0));
    ASSERT_TRUE(Draw(*data));
    const platform::TDateTime aligned = graph.GetAlignedStart();
    EXPECT_EQ(platform::DateTimeToMs(aligned), platform::DateTimeToMs(At(10, 6, 41)));  // value 400
    EXPECT_EQ(graph.GetXPos(aligned), -1);
    EXPECT_EQ(graph.GetXPos(aligned - kSecond), -1);
    EXPECT_EQ(graph.GetXPos(aligned + 10 * kSecond), Left() + 10);
    EXPECT_EQ(platform::DateTimeToMs(graph.GetTime(Left() + 10)), platform::DateTimeToMs(aligned + 10 * kSecond));
    EXPECT_EQ(graph.GetTime(Left() - 1), 0.0);
    EXPECT_EQ(graph.GetTime(Left() + kPlotWidth + 1), 0.0);
    EXPECT_EQ(graph.GetXPos(std::nan("")), -1);
}

TEST_F(LevelGraph, AnEmptyStoreDrawsTheGridsAndNoTrace) {
    auto data = Store(0, At(10, 0, 0));
    ASSERT_TRUE(Draw(*data));
    const TGraphStatus status = graph.GetGraphStatus();
    EXPECT_EQ(status.showEnd, status.showStart);
    EXPECT_EQ(status.total, 0);
    EXPECT_EQ(status.bmSize, bitmap.Width());
    EXPECT_EQ(status.bmLeft, Left());
    // The first dB line lies half a grid step below the top.
    const int gridY = RoundI(10 * (kHeight - Top()) / 80.0 + Top());
    int lit = 0;
    for (int x = Left(); x < bitmap.Width(); ++x) lit += Is(x, gridY, kLabelColour);
    EXPECT_GT(lit, kPlotWidth / 2);
    EXPECT_EQ(CountColour(kLeqColour), 0);
}

TEST_F(LevelGraph, OneValueDrawsNoBitmapTraceButPaintDeviceDots) {
    auto data = Store(1, At(10, 0, 0));
    ASSERT_TRUE(Draw(*data));
    EXPECT_EQ(CountColour(kLeqColour), 0);
    EXPECT_EQ(CountColour(kPeakColour), 0);

    QImage image(400, 200, QImage::Format_ARGB32);
    QPainter painter(&image);
    ASSERT_TRUE(graph.DrawDirect(&painter, data.get(), false, true, true, true, true, false, 1.0, kLangEnglish));
    painter.end();
    int leq = 0, peak = 0;
    for (int y = 0; y < image.height() - kLegendHeight; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            leq += image.pixel(x, y) == QColorOf(kLeqColour).rgb();
            peak += image.pixel(x, y) == QColorOf(kPeakColour).rgb();
        }
    }
    EXPECT_EQ(leq, 4);  // a 2 x 2 dot
    EXPECT_EQ(peak, 4);
}

TEST_F(LevelGraph, ARangeTooSmallIsDrawnAs80AndWrittenBack) {
    auto data = Store(10, At(10, 0, 0));
    data->SetGraRange(10);
    ASSERT_TRUE(Draw(*data));
    EXPECT_EQ(data->GetGraRange(), 80);
}

TEST_F(LevelGraph, ScrollingFollowsClampsAndJumpsToTheEnd) {
    struct Case {
        int values;
        int32_t cursor;
        int first, end;
        int32_t cursorAfter;
    } cases[] = {
        {1000, kAntFollow, 400, 1000, kAntFollow},
        {1000, 700, 400, 1000, 700},
        {1000, 100, 100, 700, 100},
        {1000, 5000, 400, 1000, 5000},
        {1000, kAntJumpToEnd, 400, 1000, 400},
        {300, kAntJumpToEnd, 0, 300, 0},
    };
    for (const Case& c : cases) {
        auto data = Store(c.values, At(10, 0, 0));
        graph.SetAntPos(c.cursor);
        ASSERT_TRUE(Draw(*data));
        const TGraphStatus status = graph.GetGraphStatus();
        EXPECT_EQ(status.showStart, c.first) << c.values << " " << c.cursor;
        EXPECT_EQ(status.showEnd, c.end) << c.values << " " << c.cursor;
        EXPECT_EQ(status.status, c.cursor == kAntFollow ? 0 : 2);
        EXPECT_EQ(graph.GetAntPos(), c.cursorAfter) << c.values << " " << c.cursor;
    }
}

TEST_F(LevelGraph, ANewIntervalDropsBelowThePlotAndRisesOnlyWithFixedIntervals) {
    // Leq 90 dB for 300 values, then 70 dB: the newest interval starts lower.
    auto levels = [](int i) { return Levels{i < 300 ? 90.0 : 70.0, 60, 60}; };
    for (int32_t leqSeconds : {60, -60}) {
        auto data = Store(400, At(10, 0, 0), 1, levels);
        data->SetLEQDauer(leqSeconds);
        ASSERT_TRUE(Draw(*data, true, false, false, false));
        EXPECT_TRUE(Near(Left() + 150, LevelY(90), kLeqColour));
        EXPECT_TRUE(Near(Left() + 350, LevelY(70), kLeqColour));
        // Between the two levels the trace goes down at the last column of the old interval.
        EXPECT_TRUE(Is(Left() + 299, RoundI(LevelY(80)), kLeqColour) || Is(Left() + 300, RoundI(LevelY(80)), kLeqColour));
        // Only the step goes on below the new level.
        const bool below = Is(Left() + 299, RoundI(LevelY(55)), kLeqColour) ||
                           Is(Left() + 300, RoundI(LevelY(55)), kLeqColour);
        EXPECT_EQ(below, leqSeconds > 0) << leqSeconds;
    }
}

TEST_F(LevelGraph, LeqPercentReachesTheLimitLineAtTheReferenceLevel) {
    leqPercentRef.store(0.01 * std::pow(10.0, 100 / 10.0));
    auto data = Store(300, At(10, 0, 0), 1, [](int i) { return Levels{i < 150 ? 100.0 : 110.0, 60, 60}; });
    data->SetLEQDauer(-60);
    ASSERT_TRUE(Draw(*data, false, true, false, false));
    const int limitY = RoundI(LevelY(100));
    EXPECT_TRUE(Is(Left() + 100, limitY - 1, kLeqPColour));
    EXPECT_FALSE(Is(Left() + 100, limitY + 3, kLeqPColour));
    // Ten times the energy: ten times the height, clipped at the top edge.
    EXPECT_TRUE(Is(Left() + 200, 0, kLeqPColour));
    leqPercentRef.store(kStartLeqPercentRef);
}

TEST_F(LevelGraph, TimeLinesStartOnTheMinuteAndCarryTheirLabel) {
    auto data = Store(100, At(10, 17, 30));
    ASSERT_TRUE(Draw(*data));
    const int midY = Top() + 5;  // above the traces and the first dB line
    EXPECT_TRUE(Is(Left() + 30, midY, kLabelColour));
    EXPECT_TRUE(Is(Left() + 90, midY, kLabelColour));
    EXPECT_FALSE(Is(Left() + 60, midY, kLabelColour));
    // The label above the first line reads 10:18.
    TBitmap32 expected(bitmap.Width(), bitmap.Height());
    expected.Clear(clBack32);
    expected.Font = bitmap.Font;
    expected.Font.color = clText;
    const QString label = QStringLiteral("10:18");
    const QSize size = expected.TextExtent(label);
    const int x = RoundI(Left() + 30 - 0.5 * size.width());
    expected.Textout(x, 1, label);
    for (int yy = 1; yy < 1 + size.height() && yy < Top(); ++yy)
        for (int xx = x; xx < x + size.width(); ++xx)
            ASSERT_EQ(bitmap.Pixel(xx, yy), expected.Pixel(xx, yy)) << xx << "," << yy;
}

TEST_F(LevelGraph, BlockViewShowsTheCurrentIntervalAcrossThePlot) {
    auto data = Store(90, At(10, 0, 0), 1);
    data->SetLEQDauer(60);
    TBlockDaten8 block;
    block.ende = At(10, 1, 0);
    data->AddBlock(block);
    graph.SetBlock(true);
    ASSERT_TRUE(Draw(*data));
    const TGraphStatus status = graph.GetGraphStatus();
    EXPECT_EQ(status.status, 1);
    EXPECT_EQ(status.showStart, 59);  // the newest value stamped at or before 10:01:00
    // An interval shorter than half a value still spans the plot.
    data->SetLEQDauer(1);
    data->SetDrawInterval(10);
    ASSERT_TRUE(Draw(*data));
    EXPECT_EQ(graph.GetGraphStatus().status, 1);
}

TEST_F(LevelGraph, BadLevelsTimesAndSizesStillDraw) {
    // Levels that are no number lie on the floor line; infinite ones are clipped.
    auto nan = Store(100, At(10, 0, 0), 1, [](int) { return Levels{std::nan(""), std::nan(""), std::nan("")}; });
    ASSERT_TRUE(Draw(*nan));
    EXPECT_TRUE(Is(Left() + 50, kHeight - 1, kLeqColour) || Is(Left() + 50, kHeight - 2, kLeqColour));
    const double inf = std::numeric_limits<double>::infinity();
    auto infinite = Store(100, At(10, 0, 0), 1, [&](int i) { return Levels{i % 2 ? inf : -inf, inf, 80}; });
    EXPECT_TRUE(Draw(*infinite));

    // Time stamps of 0 and running backwards: the reference becomes now.
    auto data = std::make_unique<TDaten>();
    data->SetDrawInterval(1);
    for (int i = 0; i < 700; ++i) {
        TSaveIT6 value;
        value.TimeStamp = i < 650 ? 0.0 : At(10, 0, 0) - i * kSecond;
        value.leq = 80;
        data->AddWert(value);
    }
    graph.SetAntPos(0);
    const platform::TDateTime before = CorrectedNow();
    ASSERT_TRUE(Draw(*data));
    EXPECT_GE(graph.GetAlignedStart(), before - 3600 * kSecond);

    // A time stamp and a block end beyond the calendar: drawn from now.
    auto damaged = std::make_unique<TDaten>();
    damaged->SetDrawInterval(1);
    damaged->SetLEQDauer(60);
    for (int i = 0; i < 700; ++i) {
        TSaveIT6 value;
        value.TimeStamp = i == 100 ? 1.0e12 : At(10, 0, 0) + i * kSecond;
        value.leq = 80;
        damaged->AddWert(value);
    }
    TBlockDaten8 block;
    block.ende = -1.0e12;
    damaged->AddBlock(block);
    for (bool blockView : {false, true}) {
        graph.SetAntPos(100);
        graph.SetBlock(blockView);
        ASSERT_TRUE(Draw(*damaged));
        EXPECT_GE(graph.GetAlignedStart(), before - 3600 * kSecond) << blockView;
        EXPECT_EQ(graph.GetXPos(1.0e12), -1);
    }
    graph.SetBlock(false);

    // A graph 51 pixels wide or 1 pixel high.
    auto many = Store(1000, At(10, 0, 0));
    for (QSize size : {QSize(51, 120), QSize(700, 1), QSize(Left() + 1, 60)}) {
        TBitmap32 small(size.width(), size.height());
        EXPECT_TRUE(graph.DrawDirect(&small, many.get(), false, true, true, true, true, false, 0, true,
                                     small.BoundsRect(), kLangEnglish));
        QImage image(size, QImage::Format_ARGB32);
        QPainter painter(&image);
        EXPECT_TRUE(graph.DrawDirect(&painter, many.get(), true, true, true, true, false, false, 1.0, kLangEnglish));
    }
    // 50 pixels or less: the bitmap entry leaves the bitmap alone.
    TBitmap32 narrow(50, 80);
    narrow.Clear(0xFF123456u);
    graph.DrawGraph(&narrow, many.get(), false, true, true, true, true, false, false, false, kLangEnglish);
    EXPECT_EQ(narrow.Pixel(25, 40), 0xFF123456u);
    EXPECT_FALSE(graph.DrawDirect(static_cast<TBitmap32*>(nullptr), many.get(), false, true, true, true, true,
                                  false, 0, false, bitmap.BoundsRect(), kLangEnglish));
    EXPECT_FALSE(graph.DrawDirect(&bitmap, nullptr, false, true, true, true, true, false, 0, false,
                                  bitmap.BoundsRect(), kLangEnglish));
}

// A paint device whose engine calls back on its first line, so that a
// drawing can start a second one while it runs.
class CallbackEngine : public QPaintEngine {
public:
    std::function<void()> onFirstLine;
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawLines(const QLine*, int) override { Fire(); }
    void drawLines(const QLineF*, int) override { Fire(); }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { Fire(); }
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override { Fire(); }
    void drawRects(const QRectF*, int) override { Fire(); }
    void drawRects(const QRect*, int) override { Fire(); }
    void drawTextItem(const QPointF&, const QTextItem&) override {}
    Type type() const override { return User; }

private:
    void Fire() {
        if (!onFirstLine) return;
        auto call = std::move(onFirstLine);
        onFirstLine = nullptr;
        call();
    }
};

class CallbackDevice : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return &engine; }
    mutable CallbackEngine engine;

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth: return 400;
        case PdmHeight: return 200;
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return 96;
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        default: return QPaintDevice::metric(m);
        }
    }
};

TEST_F(LevelGraph, ASecondPaintDeviceDrawingDuringOneGivesFalse) {
    auto data = Store(100, At(10, 0, 0));
    CallbackDevice device;
    std::optional<bool> inner;
    device.engine.onFirstLine = [&] {
        QImage image(300, 150, QImage::Format_ARGB32);
        QPainter second(&image);
        inner = graph.DrawDirect(&second, data.get(), true, true, true, true, true, false, 1.0, kLangEnglish);
    };
    QPainter painter(&device);
    EXPECT_TRUE(graph.DrawDirect(&painter, data.get(), true, true, true, true, true, false, 1.0, kLangEnglish));
    painter.end();
    ASSERT_TRUE(inner.has_value());
    EXPECT_FALSE(*inner);
    QImage image(300, 150, QImage::Format_ARGB32);
    QPainter again(&image);
    EXPECT_TRUE(graph.DrawDirect(&again, data.get(), true, true, true, true, true, false, 1.0, kLangEnglish));
}

TEST_F(LevelGraph, ThePaintDeviceDrawingPrintsLabelsAsTextIntoAPdf) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath("graph.pdf");
    // One value a minute from 12:10:00 at about 2.5 pixels per value: labels
    // every 30 minutes, the first at 12:30.
    auto data = Store(385, At(12, 10, 0), 60, [](int i) { return Levels{80.0 + (i % 20), 85, 100}; });
    {
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageOrientation(QPageLayout::Landscape);
        QPainter painter(&printer);
        const double factor = printer.resolution() / 96.0;
        painter.setClipRect(QRect(0, 0, RoundI(1000 * factor), RoundI(400 * factor)));
        graph.SetBackgroundColor(0xFFFFFFFFu);
        ASSERT_TRUE(graph.DrawDirect(&painter, data.get(), true, true, true, true, false, false, factor, kLangEnglish));
    }
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    for (const char* label : {"110dB", "90dB", "70dB", "50dB", "12:30", "13:00", "LEQ", "PEAK"})
        EXPECT_TRUE(words.contains(QLatin1String(label))) << label << " in " << words.toStdString();
    EXPECT_FALSE(words.contains(QLatin1String("12:15")));

    QProcess raster;
    raster.start("pdftoppm", {"-r", "30", "-png", "-singlefile", pdf, dir.filePath("page")});
    ASSERT_TRUE(raster.waitForFinished(30000));
    const QImage page(dir.filePath("page.png"));
    ASSERT_FALSE(page.isNull());
    int inked = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) inked += page.pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_GT(inked, 500);
}

}  // namespace
