// The graph view of the main window on its own two paint boxes, driven by
// synthesized events offscreen; the notifications it posts are recorded and
// handled the way the window's dispatcher would.
#include "main/graph_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "main/icon_collection.h"
#include "main/program_settings.h"
#include "store/measurement_store.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr int kWidth = 760;
constexpr int kGraphHeight = 154;
constexpr int kSliderHeight = 36;

platform::TDateTime At(int h, int m, int s) { return platform::EncodeDateTime(2026, 6, 12, h, m, s, 0); }

// Values of a show: the short-term Leq swings, the Leq is the energy of
// the current 15-minute interval so far, so it rises and starts again.
void AddValues(TDaten& data, int count, platform::TDateTime start, int interval = 1) {
    constexpr int kValuesPerInterval = 900;
    const int first = data.GetWerteAnzahl();
    double energy = 0.0;
    for (int i = first - first % kValuesPerInterval; i < first; ++i) {
        const double wave = 12.0 * std::sin(i / 300.0) + 4.0 * std::sin(i / 17.0);
        energy += std::pow(10.0, (90.0 + wave) / 10.0);
    }
    for (int i = first; i < first + count; ++i) {
        TSaveIT6 value;
        value.id = i;
        value.TimeStamp = start + (i + 1) * interval * kSecond;
        const double wave = 12.0 * std::sin(i / 300.0) + 4.0 * std::sin(i / 17.0);
        if (i % kValuesPerInterval == 0) energy = 0.0;
        energy += std::pow(10.0, (90.0 + wave) / 10.0);
        value.leq = 10.0 * std::log10(energy / kValuesPerInterval);
        value.LeqK = 90.0 + wave;
        value.Peak = 108.0 + wave + (i % 97 == 0 ? 8.0 : 0.0);
        data.AddWert(value);
    }
}

void PrepareStore(TDaten& data, platform::TDateTime start, int32_t leqSeconds) {
    data.SetStartTime(start);
    data.SetDrawInterval(1);
    data.SetGraGap(120);
    data.SetGraRange(80);
    data.SetMaxLEQ(99);
    data.SetMaxPeak(135);
    data.SetLEQDauer(leqSeconds);
}

class GraphViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        SetUIScale(1.0);
        SetColorScheme(kSchemeDark);
        displayLayout.store(kSchemeDark);
        language.store(kLangEnglish);
        parent.resize(kWidth, kGraphHeight + kSliderHeight);
        graph = new TPaintBox32(&parent);
        slider = new TPaintBox32(&parent);
        graph->setGeometry(0, 0, kWidth, kGraphHeight);
        slider->setGeometry(0, kGraphHeight, kWidth, kSliderHeight);
        for (TDaten* data : {&display, &defaults, &measurement}) PrepareStore(*data, At(20, 0, 0), 900);

        GraphViewHost host;
        host.post = [this](uintptr_t code, intptr_t argument) { posts.emplace_back(code, argument); };
        host.measuring = [this] { return measuring; };
        host.displayStore = [this] { return &display; };
        host.defaultStore = [this] { return &defaults; };
        host.measurementStore = [this] { return &measurement; };
        host.drawIcon = [](QPainter& painter, int32_t index, const QRectF& square) {
            TIconCollection(QColorOf(clText)).Draw(painter, index, square);
        };
        host.askColor = [this](TColor preset) -> std::optional<TColor> {
            colourPresets.push_back(preset);
            if (colourAnswers.empty()) return std::nullopt;
            const TColor answer = colourAnswers.front();
            colourAnswers.pop_front();
            return answer;
        };
        view = std::make_unique<TGraphView>(graph, slider, settings, std::move(host));
        parent.show();
        QApplication::processEvents();
        HandlePosts();
    }
    void TearDown() override {
        view.reset();
        SetColorScheme(kSchemeDark);
    }

    // What the window's dispatcher does with the recorded posts.
    void HandlePosts() {
        while (!posts.empty()) {
            const auto [code, argument] = posts.front();
            posts.erase(posts.begin());
            if (code == kNotifyGraphRedraw) view->RedrawGraph();
            if (code == kNotifyGraphCursor || code == kNotifyGraphRepaint) view->RepaintGraph();
        }
        graph->RenderBuffer();
        slider->RenderBuffer();
    }
    int Count(uintptr_t code) const {
        int n = 0;
        for (const auto& post : posts) n += post.first == code;
        return n;
    }
    int Margin() const { return view->Margin(); }
    int PlotLeft() const { return Margin() + view->Painter().LeftMargin(); }
    void MouseTo(TPaintBox32* box, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, box->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(box, &event);
    }
    // Rows of column x of the graph that show the red cursor line.
    int CursorPixels(int x) {
        int n = 0;
        for (int y = 0; y < graph->height(); ++y) n += graph->Buffer().Pixel(x, y) == StateColor32(3);
        return n;
    }
    int ColumnWithCursor() {
        for (int x = 0; x < graph->width(); ++x)
            if (CursorPixels(x) > kGraphHeight / 2) return x;
        return -1;
    }
    QPointF ThumbCentre() {
        const TGraphStatus st = view->Painter().GetGraphStatus();
        const double w = st.bmSize - st.bmLeft;
        const double g = w < st.total ? w / st.total : 1.0;
        const double x = std::min(Margin() + st.bmLeft + st.showEnd * g, static_cast<double>(Margin() + st.bmSize));
        return QPointF(x, kSliderHeight / 2.0);
    }
    // The thumb's outline on its left side, two pixels above the track:
    // drawn by the circle, left of the triangle.
    bool CircleOutlineAtThumb() {
        const QPointF c = ThumbCentre();
        const double r = kSliderHeight * 0.2;
        const int x = RoundI(c.x() - std::sqrt(r * r - 4.0)), y = RoundI(c.y() - 2.0);
        for (int dy = -1; dy <= 0; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (slider->Buffer().Pixel(x + dx, y + dy) != clBack32) return true;
        return false;
    }

    QWidget parent;
    TPaintBox32* graph = nullptr;
    TPaintBox32* slider = nullptr;
    TProgramSettings settings;
    TDaten display, defaults, measurement;
    bool measuring = false;
    std::vector<std::pair<uintptr_t, intptr_t>> posts;
    std::deque<TColor> colourAnswers;
    std::vector<TColor> colourPresets;
    std::unique_ptr<TGraphView> view;
};

TEST_F(GraphViewTest, AResizePostsOneRedrawAtTheNewSize) {
    posts.clear();
    graph->resize(kWidth - 100, kGraphHeight);
    QApplication::processEvents();
    EXPECT_EQ(posts, (std::vector<std::pair<uintptr_t, intptr_t>>{{kNotifyGraphRedraw, 0}}));
    EXPECT_EQ(view->GraphBitmap().Width(), kWidth - 100 - 2 * Margin());
    EXPECT_EQ(view->GraphBitmap().Height(), kGraphHeight);
    EXPECT_EQ(graphRect, QRect(0, 0, kWidth - 100 - 2 * Margin(), kGraphHeight));
    HandlePosts();
    // The plot panel reaches the new right edge of the bitmap, not the old one.
    const int right = kWidth - 100 - Margin() - 3;
    EXPECT_EQ(graph->Buffer().Pixel(right, kGraphHeight / 2 + 7), clPanel32);
}

TEST_F(GraphViewTest, TheTimerRedrawsOnEverySixthTickWhileIdle) {
    posts.clear();
    for (int i = 0; i < 12; ++i) view->GraphTimerTick();
    EXPECT_EQ(Count(kNotifyGraphRedraw), 2);
    posts.clear();
    measuring = true;
    for (int i = 0; i < 12; ++i) view->GraphTimerTick();
    EXPECT_EQ(Count(kNotifyGraphRedraw), 0);
}

TEST_F(GraphViewTest, AClickSetsTheCursorThatMovesWithItsTime) {
    AddValues(display, 1000, At(20, 0, 0));
    view->RedrawGraph();
    HandlePosts();

    // In the margin: nothing changes.
    posts.clear();
    gui_test::Click(graph, QPoint(Margin() / 2, 60));
    EXPECT_TRUE(posts.empty());
    EXPECT_EQ(view->CursorTime(), 0.0);

    // In the plot: the red line on the clicked column.
    const int x = PlotLeft() + 300;
    gui_test::Click(graph, QPoint(x, 60));
    EXPECT_EQ(posts, (std::vector<std::pair<uintptr_t, intptr_t>>{{kNotifyGraphCursor, 3}}));
    EXPECT_GT(view->CursorTime(), 0.0);
    HandlePosts();
    EXPECT_EQ(ColumnWithCursor(), x);

    // New values scroll the view: the line stays on its time.
    AddValues(display, 100, At(20, 0, 0));
    view->RedrawGraph();
    HandlePosts();
    EXPECT_EQ(ColumnWithCursor(), x - 100);
    AddValues(display, 400, At(20, 0, 0));
    view->RedrawGraph();
    HandlePosts();
    EXPECT_EQ(ColumnWithCursor(), -1);

    // On the dB labels: the time 0 removes the cursor.
    gui_test::Click(graph, QPoint(Margin() + 5, 60));
    EXPECT_EQ(view->CursorTime(), 0.0);
}

TEST_F(GraphViewTest, RangeAndTopGuardsAndTheBlockItem) {
    defaults.SetGraGap(40);
    posts.clear();
    view->SetGraphRange(60);
    EXPECT_EQ(defaults.GetGraRange(), 80);
    EXPECT_TRUE(posts.empty());
    defaults.SetGraGap(140);
    view->SetGraphRange(60);
    for (TDaten* data : {&defaults, &measurement, &display}) EXPECT_EQ(data->GetGraRange(), 60);
    EXPECT_EQ(Count(kNotifyGraphRedraw), 1);

    // "80 dB" as top is offered only below a range of 100, "100 dB" as range only above a top of 80.
    view->SetGraphRange(100);
    QMenu* topMenu = qobject_cast<QMenu*>(view->TopItem(80)->parent());
    ASSERT_NE(topMenu, nullptr);
    Q_EMIT topMenu->aboutToShow();
    EXPECT_FALSE(view->TopItem(80)->isEnabled());
    view->SetGraphTop(80);
    EXPECT_EQ(defaults.GetGraGap(), 140);
    view->SetGraphRange(80);
    Q_EMIT topMenu->aboutToShow();
    EXPECT_TRUE(view->TopItem(80)->isEnabled());
    view->SetGraphTop(80);
    QMenu* rangeMenu = qobject_cast<QMenu*>(view->RangeItem(100)->parent());
    Q_EMIT rangeMenu->aboutToShow();
    EXPECT_FALSE(view->RangeItem(100)->isEnabled());

    // Block view only while measuring with fixed intervals.
    struct Case {
        bool measuring;
        int32_t leqSeconds;
        bool enabled;
    } cases[] = {{false, 60, false}, {true, -60, false}, {true, -2, false}, {true, 60, true}};
    for (const Case& c : cases) {
        measuring = c.measuring;
        measurement.SetLEQDauer(c.leqSeconds);
        view->PrepareMenu();
        EXPECT_EQ(view->BlockItem()->isEnabled(), c.enabled) << c.measuring << " " << c.leqSeconds;
    }
    view->PrepareMenu();
    EXPECT_TRUE(view->RangeItem(80)->isChecked());
    EXPECT_TRUE(view->TopItem(80)->isChecked());
    EXPECT_TRUE(view->AutoScrollItem()->isChecked());
}

TEST_F(GraphViewTest, ColoursWidthAndTraces) {
    colourAnswers.push_back(RGBColor(1, 2, 3));
    view->ChooseColor(kGraphColorLeq);
    EXPECT_EQ(colourPresets.back(), settings.colorLeq);
    EXPECT_EQ(view->Painter().GetLEQColor(), RGBColor(1, 2, 3));
    EXPECT_EQ(Count(kNotifyGraphRedraw), 1);
    posts.clear();
    view->ChooseColor(kGraphColorPeak);  // cancelled
    EXPECT_EQ(view->Painter().getPEAKColor(), settings.colorPeak);
    EXPECT_TRUE(posts.empty());
    view->StoreSettings();
    EXPECT_EQ(settings.colorLeq, RGBColor(1, 2, 3));

    view->SetLineWidth(4);
    EXPECT_EQ(view->Painter().GetWidth(), 4.0f);
    view->PrepareMenu();
    QMenu* widths = qobject_cast<QMenu*>(view->WidthItem(4)->parent());
    Q_EMIT widths->aboutToShow();
    EXPECT_TRUE(view->WidthItem(4)->isChecked());
    EXPECT_FALSE(view->WidthItem(2)->isChecked());

    view->TraceItem(0)->trigger();
    EXPECT_FALSE(settings.dLeq);
    EXPECT_FALSE(view->TraceItem(0)->isChecked());
    EXPECT_FALSE(measurement.GetFlags().leq);
    view->TraceItem(3)->trigger();
    EXPECT_TRUE(settings.dLeqP);
}

TEST_F(GraphViewTest, DraggingPastTheEndFixesTheViewAndADoubleClickFollowsAgain) {
    measuring = true;
    AddValues(display, 3000, At(20, 0, 0));
    view->RedrawGraph();
    HandlePosts();
    EXPECT_EQ(view->Painter().GetGraphStatus().status, 0);
    EXPECT_FALSE(CircleOutlineAtThumb());

    const QPoint thumb = ThumbCentre().toPoint();
    MouseTo(slider, QEvent::MouseButtonPress, thumb, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(view->SliderDragging());
    // Near the left end: the first values.
    MouseTo(slider, QEvent::MouseMove, QPoint(PlotLeft() + 10, thumb.y()), Qt::NoButton, Qt::LeftButton);
    HandlePosts();
    EXPECT_EQ(view->Painter().GetGraphStatus().showStart, 0);
    // Past the right end: the newest values, at a fixed position.
    MouseTo(slider, QEvent::MouseMove, QPoint(kWidth - 2, thumb.y()), Qt::NoButton, Qt::LeftButton);
    MouseTo(slider, QEvent::MouseButtonRelease, QPoint(kWidth - 2, thumb.y()), Qt::LeftButton, Qt::NoButton);
    HandlePosts();
    TGraphStatus st = view->Painter().GetGraphStatus();
    EXPECT_EQ(st.showEnd, 3000);
    EXPECT_EQ(st.status, 2);
    EXPECT_FALSE(view->SliderDragging());
    EXPECT_TRUE(CircleOutlineAtThumb());

    MouseTo(slider, QEvent::MouseButtonDblClick, thumb, Qt::LeftButton, Qt::LeftButton);
    HandlePosts();
    EXPECT_EQ(view->Painter().GetGraphStatus().status, 0);
    EXPECT_EQ(view->Painter().GetAntPos(), kAntFollow);
    EXPECT_FALSE(CircleOutlineAtThumb());
}

TEST_F(GraphViewTest, TheSliderShowsOnlyTheMenuButtonWhileIdle) {
    AddValues(display, 3000, At(20, 0, 0));
    view->RedrawGraph();
    HandlePosts();
    int accent = 0;
    for (int y = 0; y < kSliderHeight; ++y)
        for (int x = 0; x < kWidth; ++x) accent += slider->Buffer().Pixel(x, y) == clAccent32;
    EXPECT_EQ(accent, 0);
    // Hovering the button lights it.
    MouseTo(slider, QEvent::MouseMove, QPoint(Margin() + 3, 3), Qt::NoButton, Qt::NoButton);
    slider->RenderBuffer();
    EXPECT_EQ(slider->Buffer().Pixel(Margin() + 1, 1), clHover32);
}

QString ShotPath(const QString& file) {
    const QString dir = qEnvironmentVariableIsSet("VELTARO_SCREENSHOT_DIR")
                            ? qEnvironmentVariable("VELTARO_SCREENSHOT_DIR")
                            : QDir::currentPath();
    return QDir(dir).filePath(file);
}

// A two-hour measurement in both schemes, following, fixed and in block
// view, saved for a person to look at.
TEST_F(GraphViewTest, ScreenshotsOfATwoHourMeasurement) {
    measuring = true;
    AddValues(display, 7200, At(20, 0, 0));
    TBlockDaten8 block;
    block.ende = At(21, 45, 0);
    display.AddBlock(block);
    settings.dLeqP = true;
    leqPercentRef.store(0.01 * std::pow(10.0, 9.9));
    for (int32_t scheme : {kSchemeLight, kSchemeDark}) {
        displayLayout.store(scheme);
        SetColorScheme(scheme);
        view->ApplyColorScheme();
        struct View {
            const char* name;
            std::function<void()> set;
        } views[] = {{"follow", [&] { view->GraphAutoScroll(); }},
                     {"fixed", [&] { view->Painter().SetAntPos(1500); }},
                     {"block", [&] { view->Painter().SetBlock(true); }}};
        for (const View& v : views) {
            v.set();
            view->RedrawGraph();
            HandlePosts();
            gui_test::Click(graph, QPoint(PlotLeft() + 200, 60));
            HandlePosts();
            const QImage shot = parent.grab().toImage();
            EXPECT_TRUE(shot.save(ShotPath(QStringLiteral("graph_%1_%2.png")
                                               .arg(scheme == kSchemeLight ? "light" : "dark")
                                               .arg(QLatin1String(v.name)))));
        }
    }
}

}  // namespace
