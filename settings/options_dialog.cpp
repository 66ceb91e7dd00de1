// The frame of the program options dialog: pages, scale and growth, keys,
// buttons and the small control factories the pages share.
#include "settings/options_dialog.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include "settings/dialog_parts.h"
#include "settings/tick_rows.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kFormWidth = 760;
constexpr int kPanelHeight = 57;
constexpr int kFormMinHeight = 250;

struct PageTab {
    int32_t textId;  // 0: "DMX"; -1: no tab
};
constexpr PageTab kTabs[TvtpOptionen::kPageCount] = {{291}, {367}, {345}, {458}, {881}, {0},
                                                     {1087}, {366}, {1204}, {-1}, {-1}};

}  // namespace

TvtpOptionen::TvtpOptionen(QWidget* owner, TOptionsHooks hooks, double dpi)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      hooks_(std::move(hooks)) {
    setModal(true);
    setWindowTitle(QStringLiteral("Optionen Veltaro PRO"));
    localSf = (dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this)) / 96.0;
    FormCreate();
    ApplyScale(localSf * 96.0);
}

TvtpOptionen::~TvtpOptionen() = default;

void TvtpOptionen::FormCreate() {
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("pcOptionen"));
    pages_->setUsesScrollButtons(false);
    for (int i = 0; i < kPageCount; ++i) {
        auto* page = new QWidget();
        page->setAutoFillBackground(true);
        page->setPalette(palette());
        const int32_t id = kTabs[i].textId;
        pages_->addTab(page, id > 0 ? GetLangText(id) : QStringLiteral("DMX"));
        if (id < 0) pages_->setTabVisible(i, false);
    }
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index == tsSave) SftpAvailabilityRule();
        if (index == tsRecording) RecordingRule();
        LayoutPage(index);
    });
    panel_ = new QWidget(this);
    pbCancel = NewButton(panel_, "pbCancel", 403, [this] { EndWith(2); });
    pbOk = NewButton(panel_, "pbOk", 427, [this] { EndWith(1); });
    tArtPoll = new QTimer(this);
    tArtPoll->setSingleShot(true);
    tArtPoll->setInterval(1000);
    connect(tArtPoll, &QTimer::timeout, this, [this] { DmxDeviceRefresh(); });
    BuildPages();
    WireKeys(this);
}

void TvtpOptionen::BuildPages() {
    BuildLayoutPage();
    BuildSavePage();
    BuildIpPage();
    BuildInfoPage();
    BuildRecordingPage();
    BuildDmxPage();
    BuildCalLogPage();
    BuildMiscPage();
    BuildTimeServerPage();
    BuildNamesPage();
    BuildSftpPage();
}

QWidget* TvtpOptionen::Page(int index) const { return pages_->widget(index); }

void TvtpOptionen::Select_Window(int32_t index) {
    if (index < 0 || index >= kPageCount) index = tsLayout;
    pages_->setCurrentIndex(index);
}

int32_t TvtpOptionen::GetSelectedWindowID() const { return pages_->currentIndex(); }

void TvtpOptionen::ApplyScale(double ppi) {
    localSf = ppi / 96.0;
    mySpace = RoundI(16 * localSf);
    lToCb = RoundI(3 * localSf);
    QFont font(QStringLiteral("VERDANA"));
    font.setPixelSize(RoundI(12 * localSf));
    setFont(font);
    gbTop = QFontMetrics(font).height() + mySpace;
    // The tabs are drawn on the window background in the text colour.
    const QString back = QColorOf(clBack).name();
    const QString text = QColorOf(clText).name();
    pages_->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { background: %1; color: %2; padding: %3px %4px; "
                                         "border: 1px solid %5; } QTabBar::tab:selected { border-bottom: none; }")
                              .arg(back, text)
                              .arg(RoundI(4 * localSf))
                              .arg(RoundI(6 * localSf))
                              .arg(QColorOf32(clButtonLine32).name()));
    const int width = RoundI(kFormWidth * localSf);
    formClientHeight = std::max(formClientHeight, RoundI(kFormMinHeight * localSf));
    for (auto& t : ticks_) t.box.myScale = localSf;
    for (auto& t : aIpCheck) t.myScale = localSf;
    for (TTickRows* rows : tickBoxes_) rows->SetScale(localSf);
    for (QComboBox* combo : findChildren<QComboBox*>()) SetComboStyle(localSf, combo);
    for (TPaintBox32* button : {pbOk, pbCancel}) InitButton(button, localSf, true);
    for (const char* name : {"pbDMXFromCB", "pbSFTPCheck", "pBSftpCreateSubDir"})
        if (TPaintBox32* button = Box(name)) InitButton(button, localSf, true);
    TSelBox& ssl = Tick("sslCheck");
    TPaintBox32* sslBox = Box("pbSSL");
    sslCheckRight = ssl.GetWidth(sslBox, GetLangText(1194), localSf) + RoundI(10 * localSf);
    laidOut_ = true;
    setFixedSize(width, formClientHeight);
    for (int i = 0; i < kPageCount; ++i) LayoutPage(i);
    setFixedSize(width, formClientHeight);
}

void TvtpOptionen::LayoutPage(int index) {
    if (!laidOut_) return;
    const int panelH = RoundI(kPanelHeight * localSf);
    pages_->setGeometry(0, 0, width(), formClientHeight - panelH);
    panel_->setGeometry(0, formClientHeight - panelH, width(), panelH);
    const int buttonTop = (panelH - pbOk->height()) / 2;
    pbCancel->move(RoundI(16 * localSf), buttonTop);
    pbOk->move(width() - pbOk->width() - mySpace, buttonTop);
    const int w = width() - 4;
    int bottom = 0;
    switch (index) {
    case tsLayout: bottom = LayoutLayoutPage(w); break;
    case tsSave: bottom = LayoutSavePage(w); break;
    case tsIP: bottom = LayoutIpPage(w); break;
    case tsInfo: bottom = LayoutInfoPage(w); break;
    case tsRecording: bottom = LayoutRecordingPage(w); break;
    case tsDMX: bottom = LayoutDmxPage(w); break;
    case tsCalLog: bottom = LayoutCalLogPage(w); break;
    case tsSonstiges: bottom = LayoutMiscPage(w); break;
    case tsTimeServer: bottom = LayoutTimeServerPage(w); break;
    case tsDateiNamen: bottom = LayoutNamesPage(w); break;
    case tsSFTP: bottom = LayoutSftpPage(w); break;
    default: return;
    }
    Grow(bottom);
}

// The form follows the tallest page laid out so far and never shrinks.
void TvtpOptionen::Grow(int bottom) {
    const int panelH = RoundI(kPanelHeight * localSf);
    const int pageTop = pages_->tabBar()->sizeHint().height() + 4;
    const int needed = bottom + mySpace + panelH + pageTop;
    if (needed <= formClientHeight) return;
    formClientHeight = needed;
    setFixedSize(width(), formClientHeight);
    const int panelTop = formClientHeight - panelH;
    pages_->setGeometry(0, 0, width(), panelTop);
    panel_->setGeometry(0, panelTop, width(), panelH);
    pbCancel->move(pbCancel->x(), (panelH - pbCancel->height()) / 2);
    pbOk->move(pbOk->x(), (panelH - pbOk->height()) / 2);
}

void TvtpOptionen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const double dpi = LogicalDpiOf(this);
    if (std::abs(dpi / 96.0 - localSf) > 1e-9) ApplyScale(dpi);
}

// Key preview: Enter and Escape end the dialog from whatever has the focus.
void TvtpOptionen::WireKeys(QWidget* widget) {
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
}

bool TvtpOptionen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            EndWith(1);
            return true;
        }
        if (key == Qt::Key_Escape) {
            EndWith(2);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TvtpOptionen::EndWith(int result) {
    TPaintBox32* button = result == 1 ? pbOk : pbCancel;
    ButtonPress(button);
    tArtPoll->stop();
    done(result);
}

// --- control factories ---

QComboBox* TvtpOptionen::NewCombo(QWidget* parent, const char* name) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    SetComboStyle(localSf, combo);
    return combo;
}

TTickRows* TvtpOptionen::NewTicks(QWidget* parent, const char* name, std::vector<const char*> ticks) {
    std::vector<TSelBox*> rows;
    for (const char* tick : ticks) {
        ticks_.push_back({tick, TSelBox()});
        rows.push_back(&ticks_.back().box);
    }
    auto* box = new TTickRows(parent, rows);
    box->setObjectName(QString::fromLatin1(name));
    box->SetScale(localSf);
    tickBoxes_.push_back(box);
    return box;
}

TPaintBox32* TvtpOptionen::NewButton(QWidget* parent, const char* name, int32_t textId, std::function<void()> action) {
    TPaintBox32* button = NewFlatButton(parent, textId, std::move(action));
    button->setObjectName(QString::fromLatin1(name));
    InitButton(button, localSf, true);
    return button;
}

QLabel* TvtpOptionen::NewLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLineEdit* TvtpOptionen::NewEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QSpinBox* TvtpOptionen::NewSpin(QWidget* parent, const char* name, int lo, int hi) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(lo, hi);
    return spin;
}

void TvtpOptionen::SelectByData(QComboBox* combo, int32_t value, int fallbackIndex) {
    if (combo->count() == 0) return;
    const int index = combo->findData(value);
    combo->setCurrentIndex(index >= 0 ? index : fallbackIndex);
}

void TvtpOptionen::RepaintTicks() {
    for (TTickRows* rows : tickBoxes_) rows->Invalidate();
}

// --- lookups ---

TSelBox& TvtpOptionen::Tick(const char* name) {
    for (auto& t : ticks_)
        if (qstrcmp(t.name, name) == 0) return t.box;
    static TSelBox none;
    none = TSelBox();
    return none;
}

// The paint boxes carry no meta-object of their own, so the lookup goes by
// name over all widgets and then by type.
TTickRows* TvtpOptionen::TickBox(const char* name) const {
    return dynamic_cast<TTickRows*>(findChild<QWidget*>(QString::fromLatin1(name)));
}
QComboBox* TvtpOptionen::Combo(const char* name) const { return findChild<QComboBox*>(QString::fromLatin1(name)); }
QLineEdit* TvtpOptionen::Edit(const char* name) const { return findChild<QLineEdit*>(QString::fromLatin1(name)); }
QSpinBox* TvtpOptionen::Spin(const char* name) const { return findChild<QSpinBox*>(QString::fromLatin1(name)); }
QSlider* TvtpOptionen::Slider(const char* name) const { return findChild<QSlider*>(QString::fromLatin1(name)); }
QLabel* TvtpOptionen::Label(const char* name) const { return findChild<QLabel*>(QString::fromLatin1(name)); }
TPaintBox32* TvtpOptionen::Box(const char* name) const {
    return dynamic_cast<TPaintBox32*>(findChild<QWidget*>(QString::fromLatin1(name)));
}
