#include "calibration/correction_wizard_window.h"

#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTreeView>

#include <algorithm>
#include <cmath>

#include "calibration/location_store.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/info_symbols.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/select_box.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/services/report_naming_services.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr uint32_t kWrap = kTextLeft | kTextWordBreak;
constexpr uint32_t kLine = kTextLeft | kTextSingleLine;
constexpr int32_t kCodeFilePanel = 321;
constexpr std::array<int32_t, 5> kLevelTargets{-50, -40, -30, -20, -10};
constexpr std::array<int32_t, 17> kStepTexts{635, 641, 880, 636, 1047, 1048, 637, 1050, 638,
                                             1049, 630, 640, 641, 1048, 643, 644, 642};

QString Text(int32_t id) { return GetLangText(id); }
size_t PageIndex(KorrPage page) { return static_cast<size_t>(page); }

void Fill(QWidget* widget, TColor color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColorOf(color));
    palette.setColor(QPalette::WindowText, QColorOf(clText));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

TColor32 ToneColor(TaKorr::CorrTone tone) {
    switch (tone) {
    case TaKorr::CorrTone::Red: return clRed32;
    case TaKorr::CorrTone::Green: return clGreen32;
    default: return clYellow32;
    }
}

// One decimal, three significant digits, as the monitors and the result show a value.
QString DbText(double value) { return FixedSignificant(value, 3, 1) + QStringLiteral(" dB"); }

}  // namespace

TKorrWizard::TKorrWizard(KorrEnvironment env, const QString& treeRoot, QWidget* owner)
    : QDialog(owner), core_(std::make_unique<TaKorr>(std::move(env))) {
    setObjectName(QStringLiteral("aKorr"));
    setWindowTitle(Text(790));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("VERDANA")));
    Fill(this, clBack);
    BuildPages();
    WireButtons();
    model_->setRootPath(treeRoot);
    tree_->setRootIndex(model_->index(treeRoot));
    handle_ = platform::RegisterWindow([this](uint32_t msg, uintptr_t code, intptr_t argument) {
        OnMessage(msg, code, argument);
    });
    messTimer_.setObjectName(QStringLiteral("messTimer"));
    connect(&messTimer_, &QTimer::timeout, this, [this] { Act([this] { core_->MessTick(); }); });
    connect(&levelTimer_, &QTimer::timeout, this, [this] { Act([this] { core_->LevelTick(); }); });
    errorTimer_.setSingleShot(true);
    connect(&errorTimer_, &QTimer::timeout, this, [this] { Act([this] { core_->ErrorTick(); }); });
    ApplyDpi(LogicalDpiOf(this));
}

TKorrWizard::~TKorrWizard() { platform::UnregisterWindow(handle_); }

TPaintBox32* TKorrWizard::NewPageBox(KorrPage page) {
    auto* box = new TPaintBox32(pageWidgets_[PageIndex(page)]);
    pageBoxes_[PageIndex(page)] = box;
    return box;
}

void TKorrWizard::BuildPages() {
    pages_ = new QStackedWidget(this);
    for (size_t i = 0; i < pageWidgets_.size(); ++i) {
        pageWidgets_[i] = new QWidget(pages_);
        Fill(pageWidgets_[i], clBack);
        pages_->addWidget(pageWidgets_[i]);
    }
    const char* names[] = {"tsART", "tsVglConfig", "tsDualMicCal", "tsEdit", "tsImmi", "tsMessMess",
                           "tsRECH", "tsLoad", "tsError", "tsEnde", "tsLocList"};
    for (size_t i = 0; i < pageWidgets_.size(); ++i) pageWidgets_[i]->setObjectName(QString::fromLatin1(names[i]));

    NewPageBox(KorrPage::tsART)->OnPaintBuffer = [this](TPaintBox32* b) { PaintMethods(b); };
    pageBoxes_[PageIndex(KorrPage::tsART)]->OnClick = nullptr;
    pageBoxes_[PageIndex(KorrPage::tsART)]->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton b, int x, int y) {
        const int i = HitIndex(methodHits_, x, y);
        if (b == Qt::LeftButton && i >= 0) Act([this, i] { core_->ChooseMethod(methodOrder_[static_cast<size_t>(i)]); });
    };
    NewPageBox(KorrPage::tsVglConfig)->OnPaintBuffer = [this](TPaintBox32* b) { PaintDurations(b); };
    pageBoxes_[PageIndex(KorrPage::tsVglConfig)]->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton b, int x, int y) {
        if (b != Qt::LeftButton) return;
        if (ipHit_.contains(x, y)) Act([this] { core_->ToggleUseIp(); });
        const int i = HitIndex(durationHits_, x, y);
        if (i >= 0) Act([this, i] { core_->ChooseDurationBox(i); });
    };
    NewPageBox(KorrPage::tsDualMicCal)->OnPaintBuffer = [this](TPaintBox32* b) { PaintDualInfo(b); };

    QWidget* edit = pageWidgets_[PageIndex(KorrPage::tsEdit)];
    for (QLabel*& label : editLabels_) label = new QLabel(edit);
    editMemo_ = new QPlainTextEdit(edit);
    editMemo_->setObjectName(QStringLiteral("editMemo"));
    connect(editMemo_, &QPlainTextEdit::textChanged, this, [this] {
        if (editMemo_->toPlainText() != core_->MemoText()) Act([this] { core_->SetMemoText(editMemo_->toPlainText()); });
    });
    pbEditHint_ = new TPaintBox32(edit);
    pbEditHint_->OnPaintBuffer = [this](TPaintBox32* b) { DrawHintLine(b, scale_); };

    NewPageBox(KorrPage::tsImmi)->OnPaintBuffer = [this](TPaintBox32* b) { PaintImmi(b); };
    QWidget* immi = pageWidgets_[PageIndex(KorrPage::tsImmi)];
    spin_ = new QSpinBox(immi);
    spin_->setObjectName(QStringLiteral("seOutVol"));
    spin_->setRange(kSpinMin, kSpinMax);
    spin_->setSuffix(QStringLiteral(" dB"));
    spin_->setContextMenuPolicy(Qt::CustomContextMenu);
    spin_->installEventFilter(this);
    connect(spin_, qOverload<int>(&QSpinBox::valueChanged), this, [this](int v) {
        if (v != core_->SpinValue()) Act([this, v] { core_->SetSpin(v); });
    });
    connect(spin_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* header = menu.addAction(Text(932));
        header->setEnabled(false);
        for (int32_t level : {-60, -50, -40, -30, -20, -10}) {
            QAction* item = menu.addAction(QStringLiteral("%1 dB").arg(level));
            connect(item, &QAction::triggered, this, [this, level] { Act([this, level] { core_->LevelMenuChoice(level); }); });
        }
        menu.exec(spin_->mapToGlobal(at));
    });
    for (size_t i = 0; i < levelButtons_.size(); ++i) {
        auto* button = new TPaintBox32(immi);
        const QString caption = QStringLiteral("%1 dB").arg(kLevelTargets[i]);
        InitButton(button, scale_, false);
        WireButtonStates(button, true);
        button->OnPaintBuffer = [caption](TPaintBox32* b) { PaintButton(b, caption, true, false); };
        const int32_t target = kLevelTargets[i];
        button->OnClick = [this, target](TPaintBox32*) { Act([this, target] { core_->LevelButton(target); }); };
        levelButtons_[i] = button;
    }
    pinkBox_ = std::make_unique<TSelBox>();
    pbPink_ = new TPaintBox32(immi);
    pbPink_->setObjectName(QStringLiteral("pbUsePink"));
    pbPink_->OnPaintBuffer = [this](TPaintBox32* b) {
        TBitmap32& buffer = b->Buffer();
        buffer.Clear(clBack32);
        buffer.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * scale_), false, clText};
        const TaKorr::ImmiView& v = core_->Immi();
        if (!v.pinkEnabled) {
            buffer.DrawText(b->ClientRect(), core_->PinkBoxLine(), kLine | kTextVCenter);
            return;
        }
        pinkBox_->SetStatus(v.pinkChecked, true);
        pinkBox_->Paint(b, b->ClientRect(), false, scale_, true, QStringLiteral("Use the Veltaro's internal pink-noise source"));
    };
    pbPink_->OnClick = [this](TPaintBox32*) { Act([this] { core_->TogglePink(); }); };

    NewPageBox(KorrPage::tsMessMess)->OnPaintBuffer = [this](TPaintBox32* b) { PaintMess(b); };

    QWidget* rech = pageWidgets_[PageIndex(KorrPage::tsRECH)];
    rechHeader_ = new QLabel(Text(623), rech);
    calcMemo_ = new QPlainTextEdit(rech);
    calcMemo_->setObjectName(QStringLiteral("mKorrCalc"));
    connect(calcMemo_, &QPlainTextEdit::textChanged, this, [this] { core_->SetCalcMemo(calcMemo_->toPlainText()); });
    const int32_t labels[3] = {625, 624, 922};
    for (int32_t i = 0; i < 3; ++i) {
        directLabels_[static_cast<size_t>(i)] = new QLabel(Text(labels[i]), rech);
        auto* field = new QLineEdit(rech);
        field->setObjectName(QStringList{QStringLiteral("Edit1"), QStringLiteral("Edit2"), QStringLiteral("edRFlat")}[i]);
        field->setContextMenuPolicy(Qt::NoContextMenu);
        InstallEnterEscapeFilter(field);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, [this, i](const QString& text) {
            Act([this, i, text] { core_->SetDirectField(i, text); });
        });
        directFields_[static_cast<size_t>(i)] = field;
    }
    decimalHint_ = new QLabel(rech);
    finishHint_ = new QLabel(Text(626), rech);

    QWidget* load = pageWidgets_[PageIndex(KorrPage::tsLoad)];
    pbPath_ = new TPaintBox32(load);
    pbPath_->OnPaintBuffer = [this](TPaintBox32* b) { PaintPath(b); };
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::AllDirs);
    tree_ = new QTreeView(load);
    tree_->setObjectName(QStringLiteral("fs2"));
    tree_->setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
    tree_->header()->hide();
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        platform::PostMessage(handle_, WM_MAIN_NOTIFY, kCodeFilePanel, 0);
    });
    NewPageBox(KorrPage::tsLoad)->OnPaintBuffer = [this](TPaintBox32* b) { PaintPanel(b); };

    NewPageBox(KorrPage::tsError)->OnPaintBuffer = [this](TPaintBox32* b) { PaintWarning(b); };
    NewPageBox(KorrPage::tsEnde)->OnPaintBuffer = [this](TPaintBox32* b) { PaintResult(b); };
    TPaintBox32* list = NewPageBox(KorrPage::tsLocList);
    list->OnPaintBuffer = [this](TPaintBox32* b) { PaintLocList(b); };
    list->setMouseTracking(true);
    list->OnMouseMove = [this](TPaintBox32*, int x, int y) { LocListMouseMove(x, y); };
    list->OnMouseUp = [this](TPaintBox32*, Qt::MouseButton b, int x, int y) {
        LocListMouseMove(x, y);
        if (b == Qt::LeftButton && locListSel_ >= 0) {
            const int32_t entry = locListSel_;
            Act([this, entry] { core_->AskDeleteLocation(entry); });
        }
    };

    pbSteps_ = new TPaintBox32(this);
    pbSteps_->setObjectName(QStringLiteral("pbSteps"));
    pbSteps_->OnPaintBuffer = [this](TPaintBox32* b) { PaintSteps(b); };
    buttonPanel_ = new QWidget(this);
    Fill(buttonPanel_, clPanel);
    pbLeft_ = new TPaintBox32(buttonPanel_);
    pbMiddle_ = new TPaintBox32(buttonPanel_);
    pbRight_ = new TPaintBox32(buttonPanel_);
    pbLeft_->setObjectName(QStringLiteral("pbLeft"));
    pbMiddle_->setObjectName(QStringLiteral("pbMiddle"));
    pbRight_->setObjectName(QStringLiteral("pbRight"));
}

void TKorrWizard::WireButtons() {
    for (TPaintBox32* button : {pbLeft_, pbMiddle_, pbRight_}) {
        InitButton(button, scale_, true);
        WireButtonStates(button, true);
    }
    pbLeft_->OnPaintBuffer = [this](TPaintBox32* b) { PaintButton(b, core_->LeftCaption(), true, true); };
    pbMiddle_->OnPaintBuffer = [this](TPaintBox32* b) { PaintButton(b, core_->MiddleCaption(), true, true); };
    pbRight_->OnPaintBuffer = [this](TPaintBox32* b) { PaintButton(b, core_->RightCaption(), true, true); };
    pbLeft_->OnClick = [this](TPaintBox32*) { Act([this] { core_->LeftButton(); }); };
    pbMiddle_->OnClick = [this](TPaintBox32*) { Act([this] { core_->MiddleButtonAction(); }); };
    pbRight_->OnClick = [this](TPaintBox32*) { Act([this] { core_->RightButton(); }); };
}

TPaintBox32* TKorrWizard::PagePaintBox(KorrPage page) const { return pageBoxes_[PageIndex(page)]; }

void TKorrWizard::Act(const std::function<void()>& action) {
    if (closing_) return;
    action();
    Sync();
}

// --- layout ---

void TKorrWizard::ApplyDpi(double dpi) {
    scale_ = dpi / 96.0;
    myFH_ = RoundI(-4.0 / 3.0 * scale_);
    mySpace_ = RoundI(16 * scale_);
    mySSpace_ = RoundI(7 * scale_);
    const QFont font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * scale_), false, clText}.ToQFont();
    setFont(font);
    const int pageW = RoundI(550 * scale_);
    const int pageH = RoundI(295 * scale_);
    int widest = 0;
    TBitmap32 probe(1, 1);
    probe.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * scale_), false, clText};
    for (int32_t id : kStepTexts) widest = std::max(widest, probe.TextWidth(Text(id)));
    const int stepW = widest + 2 * mySSpace_ + RoundI(14 * scale_);
    const int top = mySSpace_;
    const int panelH = RoundI(33 * scale_) + 2 * mySSpace_;
    pages_->setGeometry(0, top, pageW, pageH);
    pbSteps_->setGeometry(pageW, top, stepW, pageH);
    buttonPanel_->setGeometry(0, top + pageH, pageW + stepW, panelH);
    setFixedSize(pageW + stepW, top + pageH + panelH);

    for (size_t i = 0; i < pageBoxes_.size(); ++i) {
        if (pageBoxes_[i]) pageBoxes_[i]->setGeometry(0, 0, pageW, pageH);
    }
    // tsEdit
    int y = mySpace_;
    for (QLabel* label : editLabels_) {
        label->setFont(font);
        label->setGeometry(mySpace_, y, pageW - 2 * mySpace_, QFontMetrics(font).height());
        y += QFontMetrics(font).height() + mySSpace_;
    }
    editLabels_[0]->setFont(QFont(font.family(), -1, QFont::Bold));
    editLabels_[0]->setFont([&] { QFont f = font; f.setBold(true); return f; }());
    const int hintTop = pageH - RoundI(30 * scale_);
    editMemo_->setGeometry(mySpace_, y, pageW - 2 * mySpace_, hintTop - mySpace_ - y);
    SetMemoStyle(editMemo_, scale_);
    pbEditHint_->setGeometry(mySpace_, hintTop, pageW - 2 * mySpace_, RoundI(22 * scale_));
    // tsImmi: spin, level buttons and the signal-source box
    const int spinTop = RoundI(150 * scale_);
    spin_->setFont(font);
    spin_->setGeometry(mySpace_, spinTop, RoundI(90 * scale_), RoundI(26 * scale_));
    int x = spin_->geometry().right() + mySSpace_;
    for (TPaintBox32* button : levelButtons_) {
        InitButton(button, scale_, false);
        button->setGeometry(x, spinTop, RoundI(55 * scale_), spin_->height());
        x += RoundI(55 * scale_) + mySSpace_;
    }
    pbPink_->setGeometry(mySpace_, RoundI(194 * scale_), RoundI(430 * scale_), RoundI(25 * scale_));
    // tsRECH
    QFont bold = font;
    bold.setBold(true);
    rechHeader_->setFont(bold);
    rechHeader_->setGeometry(mySpace_, mySSpace_, pageW - 2 * mySpace_, QFontMetrics(font).height());
    const int fieldsTop = pageH - 3 * (RoundI(24 * scale_) + mySSpace_) - RoundI(40 * scale_);
    calcMemo_->setGeometry(mySpace_, rechHeader_->geometry().bottom() + mySSpace_, pageW - 2 * mySpace_,
                           fieldsTop - rechHeader_->geometry().bottom() - 2 * mySSpace_);
    SetMemoStyle(calcMemo_, scale_);
    for (int32_t i = 0; i < 3; ++i) {
        const int rowTop = fieldsTop + i * (RoundI(24 * scale_) + mySSpace_);
        directLabels_[static_cast<size_t>(i)]->setFont(font);
        directLabels_[static_cast<size_t>(i)]->setGeometry(mySpace_, rowTop, RoundI(260 * scale_), RoundI(24 * scale_));
        directFields_[static_cast<size_t>(i)]->setFont(font);
        directFields_[static_cast<size_t>(i)]->setGeometry(mySpace_ + RoundI(270 * scale_), rowTop, RoundI(120 * scale_),
                                                           RoundI(24 * scale_));
    }
    decimalHint_->setFont(font);
    decimalHint_->setGeometry(mySpace_, pageH - RoundI(40 * scale_), pageW - 2 * mySpace_, RoundI(18 * scale_));
    finishHint_->setFont(font);
    finishHint_->setGeometry(mySpace_, pageH - RoundI(20 * scale_), pageW - 2 * mySpace_, RoundI(18 * scale_));
    // tsLoad: path line on top, tree left, panel right
    const int pathH = RoundI(22 * scale_);
    pbPath_->setGeometry(0, 0, pageW, pathH);
    tree_->setFont(font);
    // The tree takes the list colours like the memos, or it stays white in the dark scheme.
    QPalette treeColours = tree_->palette();
    treeColours.setColor(QPalette::Base, QColorOf(clList));
    treeColours.setColor(QPalette::Text, QColorOf(clListText));
    tree_->setPalette(treeColours);
    tree_->setGeometry(0, pathH, pageW / 2, pageH - pathH);
    pageBoxes_[PageIndex(KorrPage::tsLoad)]->setGeometry(pageW / 2, pathH, pageW - pageW / 2, pageH - pathH);
    for (QWidget* w : {static_cast<QWidget*>(editLabels_[0]), static_cast<QWidget*>(editLabels_[1]),
                       static_cast<QWidget*>(editLabels_[2]), static_cast<QWidget*>(rechHeader_),
                       static_cast<QWidget*>(decimalHint_), static_cast<QWidget*>(finishHint_),
                       static_cast<QWidget*>(directLabels_[0]), static_cast<QWidget*>(directLabels_[1]),
                       static_cast<QWidget*>(directLabels_[2])}) {
        QPalette p = w->palette();
        p.setColor(QPalette::WindowText, QColorOf(clText));
        w->setPalette(p);
    }
    for (TPaintBox32* button : {pbLeft_, pbMiddle_, pbRight_}) InitButton(button, scale_, true);
    LayoutButtons();
    for (TPaintBox32* box : pageBoxes_) if (box) box->Invalidate();
    pbSteps_->Invalidate();
}

// The right button as wide as its caption needs, at the same distance from
// the right edge as the left one from the left; the middle one centred between.
void TKorrWizard::LayoutButtons() {
    const int panelW = buttonPanel_->width();
    const int h = RoundI(33 * scale_);
    const int top = (buttonPanel_->height() - h) / 2;
    pbLeft_->setGeometry(mySpace_, top, ButtonWidthFor(pbLeft_, core_->LeftCaption(), scale_), h);
    const int rightW = ButtonWidthFor(pbRight_, core_->RightCaption(), scale_);
    pbRight_->setGeometry(panelW - mySpace_ - rightW, top, rightW, h);
    const int gapLeft = pbLeft_->geometry().right() + 1;
    const int gap = pbRight_->x() - gapLeft;
    const int middleW = std::min(gap - 2 * mySSpace_, ButtonWidthFor(pbMiddle_, core_->MiddleCaption(), scale_));
    pbMiddle_->setGeometry(gapLeft + (gap - middleW) / 2, top, middleW, h);
}

// --- state to widgets ---

void TKorrWizard::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (begun_) return;
    begun_ = true;
    decimalHint_->setText(core_->DecimalHint());
    Act([this] { core_->Begin(); });
}

void TKorrWizard::Sync() {
    const KorrPage page = core_->Page();
    pages_->setCurrentIndex(static_cast<int>(PageIndex(page)));
    pbRight_->setVisible(core_->NextVisible());
    pbMiddle_->setVisible(core_->MiddleVisible());
    LayoutButtons();
    for (TPaintBox32* b : {pbLeft_, pbMiddle_, pbRight_}) b->Invalidate();
    SyncEditPage();
    SyncImmiControls();
    SyncDirectFields();
    if (page == KorrPage::tsLoad) pbPath_->Invalidate();
    if (page != KorrPage::tsLocList) locListSel_ = -1;
    calcMemo_->blockSignals(true);
    if (calcMemo_->toPlainText() != core_->GetKorrCalcText()) calcMemo_->setPlainText(core_->GetKorrCalcText());
    calcMemo_->blockSignals(false);
    if (core_->WaitCursor()) setCursor(Qt::WaitCursor);
    else unsetCursor();
    for (TPaintBox32* box : pageBoxes_) if (box) box->Invalidate();
    pbSteps_->Invalidate();
    SyncTimers();
    if (onStateChanged) onStateChanged();
    if (core_->Result() != KorrResult::Open && !closing_) {
        closing_ = true;
        messTimer_.stop();
        levelTimer_.stop();
        errorTimer_.stop();
        done(core_->Result() == KorrResult::Ok ? QDialog::Accepted : 2);
    }
}

void TKorrWizard::SyncTimers() {
    if (!core_->MessTimerOn()) messTimer_.stop();
    else if (!messTimer_.isActive() || messTimer_.interval() != core_->MessInterval()) messTimer_.start(core_->MessInterval());
    if (!core_->LevelChangeOn()) levelTimer_.stop();
    else if (!levelTimer_.isActive()) levelTimer_.start(25);
    if (!core_->ErrorTimerOn()) errorTimer_.stop();
    else if (!errorTimer_.isActive()) errorTimer_.start(3000);
}

void TKorrWizard::SyncEditPage() {
    const auto& lines = core_->EditLines();
    for (size_t i = 0; i < 3; ++i) editLabels_[i]->setText(lines[i]);
    if (memoRevision_ != core_->MemoRevision()) {
        memoRevision_ = core_->MemoRevision();
        editMemo_->blockSignals(true);
        SetMemoText(editMemo_, core_->MemoText());
        editMemo_->blockSignals(false);
    }
    pbEditHint_->setVisible(core_->EditHintVisible());
    pbEditHint_->Invalidate();
}

void TKorrWizard::SyncImmiControls() {
    const TaKorr::ImmiView& v = core_->Immi();
    spin_->setVisible(v.levelControlsVisible);
    spin_->setEnabled(v.levelControlsEnabled);
    spin_->blockSignals(true);
    spin_->setValue(core_->SpinValue());
    spin_->blockSignals(false);
    for (TPaintBox32* button : levelButtons_) {
        button->setVisible(v.levelControlsVisible);
        button->setEnabled(v.levelControlsEnabled);
    }
    pbPink_->setVisible(v.pinkVisible);
    pbPink_->Invalidate();
}

void TKorrWizard::SyncDirectFields() {
    for (int32_t i = 0; i < 3; ++i) {
        QLineEdit* field = directFields_[static_cast<size_t>(i)];
        QPalette p = field->palette();
        p.setColor(QPalette::Base, core_->DirectFieldRed(i) ? QColor(Qt::red) : QColorOf(clList));
        p.setColor(QPalette::Text, QColorOf(clListText));
        field->setPalette(p);
    }
    finishHint_->setVisible(core_->Page() == KorrPage::tsRECH);
}

// --- keys, notifications, close ---

void TKorrWizard::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter) {
        QDialog::keyPressEvent(event);
        return;
    }
    QWidget* focus = focusWidget();
    if (focus == editMemo_ || focus == calcMemo_ || !core_->NextVisible() || event->isAutoRepeat()) return;
    enterHeld_ = true;
    ButtonPress(pbRight_);
    Act([this] { core_->RightButton(); });
}

void TKorrWizard::keyReleaseEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && enterHeld_) {
        enterHeld_ = false;
        ButtonRelease(pbRight_);
    }
    QDialog::keyReleaseEvent(event);
}

// Enter in a value field moves on: A, C, Z, then the calculation memo.
bool TKorrWizard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == spin_ && event->type() == QEvent::MouseButtonDblClick) {
        Act([this] { core_->SpinDoubleClick(); });
        return true;
    }
    if (event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            for (size_t i = 0; i < 3; ++i) {
                if (watched != directFields_[i]) continue;
                if (i < 2) directFields_[i + 1]->setFocus();
                else calcMemo_->setFocus();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The close box ends the run; the caller stops the test signal after every run.
void TKorrWizard::reject() {
    if (closing_) return;
    closing_ = true;
    messTimer_.stop();
    levelTimer_.stop();
    errorTimer_.stop();
    QDialog::reject();
}

void TKorrWizard::OnMessage(uint32_t msg, uintptr_t code, intptr_t argument) {
    if (msg != WM_MAIN_NOTIFY) return;
    if (code == kCodeFilePanel) {
        const QString path = model_->filePath(tree_->currentIndex());
        Act([this, path] { core_->SelectImportFile(path); });
        return;
    }
    Act([this, code, argument] { core_->HandleCode(static_cast<int32_t>(code), argument); });
}

// --- painting ---

namespace {

void BeginPage(TBitmap32& buffer, double scale) {
    buffer.Clear(clBack32);
    buffer.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * scale), false, clText};
}

}  // namespace

void TKorrWizard::PaintSteps(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    const int rowH = RoundI(box->height() / 12.0);
    const int textX = mySSpace_ + RoundI(14 * scale_);
    int row = 0;
    bool afterMark = false;
    for (int32_t entry = 0; entry < kStepListEntries; ++entry) {
        if (!core_->StepEntryVisible(entry)) continue;
        const int top = row * rowH + mySSpace_;
        buffer.Font.color = afterMark ? clTextOff : clText;
        const QString text = Text(kStepTexts[static_cast<size_t>(entry)]);
        buffer.DrawText(QRect(textX, top, box->width() - textX, rowH), text, kLine);
        if (entry == core_->StepMark()) {
            const int side = RoundI(14 * scale_);
            const int th = buffer.TextHeight(text);
            auto canvas = CreateCanvas32(buffer);
            SetCanvasColors(canvas.get(), clText32, core_->StepMarkRed() ? clRed32 : clAccent32, scale_);
            canvas->RoundRect(QRectF(scale_, top + (th - side) / 2.0, side - scale_, side), 6);
            afterMark = true;
        }
        ++row;
    }
}

void TKorrWizard::PaintBoxes(TPaintBox32* box, int top,
                             const std::vector<std::pair<QString, std::pair<bool, bool>>>& items,
                             std::vector<QRect>& hits) {
    hits.clear();
    const int h = static_cast<int>(std::ceil(15 * scale_));
    int y = top;
    TSelBox painter;
    for (const auto& [label, state] : items) {
        const QRect r(mySpace_, y, box->width() - 2 * mySpace_, h + 4);
        hits.push_back(r);
        painter.SetStatus(state.first, state.second);
        painter.Paint(box, r, false, scale_, false, label);
        y += h + RoundI(16 * scale_);
    }
}

int TKorrWizard::HitIndex(const std::vector<QRect>& hits, int x, int y) const {
    for (size_t i = 0; i < hits.size(); ++i) {
        if (hits[i].contains(x, y)) return static_cast<int>(i);
    }
    return -1;
}

QPoint TKorrWizard::MethodBoxPoint(int32_t method) const {
    for (size_t i = 0; i < methodHits_.size(); ++i) {
        if (methodOrder_[i] == method) return methodHits_[i].topLeft() + QPoint(RoundI(8 * scale_), methodHits_[i].height() / 2);
    }
    return QPoint(-1, -1);
}

QPoint TKorrWizard::DurationBoxPoint(int32_t index) const {
    if (index < 0 || index >= static_cast<int32_t>(durationHits_.size())) return QPoint(-1, -1);
    const QRect& r = durationHits_[static_cast<size_t>(index)];
    return r.topLeft() + QPoint(RoundI(8 * scale_), r.height() / 2);
}

QPoint TKorrWizard::LocationBlockPoint(int32_t block) const {
    if (block < 0 || block >= static_cast<int32_t>(locBlocks_.size())) return QPoint(-1, -1);
    return locBlocks_[static_cast<size_t>(block)].first.center();
}

void TKorrWizard::PaintMethods(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    buffer.Font.bold = true;
    buffer.DrawText(QRect(mySpace_, mySSpace_, box->width() - 2 * mySpace_, RoundI(40 * scale_)), Text(613), kWrap);
    buffer.Font.bold = false;
    const std::array<int32_t, 5> labels{614, 818, 617, 616, 615};
    std::vector<std::pair<QString, std::pair<bool, bool>>> items;
    std::array<int32_t, 5> order{};
    size_t n = 0;
    for (size_t i = 0; i < 5; ++i) {
        const int32_t method = std::array<int32_t, 5>{kKorrOneMic, kKorrTwoMics, kKorrNoCorrection, kKorrImport, kKorrDirect}[i];
        if (!core_->MethodOffered(method)) continue;
        order[n++] = method;
        items.push_back({Text(labels[i]), {core_->MethodSelected(method), true}});
    }
    for (size_t i = n; i < 5; ++i) order[i] = kKorrNone;
    methodOrder_ = order;
    PaintBoxes(box, RoundI(50 * scale_), items, methodHits_);
    buffer.DrawText(QRect(mySpace_, box->height() - RoundI(30 * scale_), box->width() - 2 * mySpace_, RoundI(24 * scale_)),
                    Text(618), kLine);
}

void TKorrWizard::PaintDurations(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    buffer.Font.bold = true;
    buffer.DrawText(QRect(mySpace_, mySSpace_, box->width() - 2 * mySpace_, RoundI(24 * scale_)), Text(872), kLine);
    buffer.Font.bold = false;
    const std::array<int32_t, 5> labels{873, 874, 875, 876, 877};
    const std::array<int32_t, 5> seconds{15, 30, 45, 60, 120};
    std::vector<std::pair<QString, std::pair<bool, bool>>> items;
    for (size_t i = 0; i < 5; ++i) {
        items.push_back({Text(labels[i]), {core_->Duration() == seconds[i], core_->DurationEnabled(static_cast<int32_t>(i))}});
    }
    PaintBoxes(box, RoundI(40 * scale_), items, durationHits_);
    int y = durationHits_.back().bottom() + mySSpace_;
    if (core_->MusicHintVisible()) {
        buffer.Font.bold = true;
        buffer.DrawText(QRect(mySpace_, y, box->width() - 2 * mySpace_, RoundI(20 * scale_)), Text(1064), kLine);
        buffer.Font.bold = false;
    }
    ipHit_ = QRect();
    if (core_->UseIpBoxVisible()) {
        ipHit_ = QRect(mySpace_, box->height() - RoundI(34 * scale_), box->width() - 2 * mySpace_, RoundI(19 * scale_));
        TSelBox ip;
        ip.SetStatus(core_->GetUseIP(), true);
        ip.Paint(box, ipHit_, false, scale_, false, Text(955));
    }
}

void TKorrWizard::PaintDualInfo(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    buffer.Font.bold = true;
    buffer.DrawText(QRect(mySpace_, mySSpace_, box->width() - 2 * mySpace_, RoundI(24 * scale_)), Text(597), kLine);
    buffer.Font.bold = false;
    int y = RoundI(45 * scale_);
    for (int32_t id : {598, 599, 600, 601, 602}) {
        buffer.DrawText(QRect(mySpace_, y, box->width() - 2 * mySpace_, RoundI(20 * scale_)), Text(id), kLine);
        y += RoundI(22 * scale_);
    }
    buffer.DrawText(QRect(mySpace_, box->height() - RoundI(30 * scale_), box->width() - 2 * mySpace_, RoundI(24 * scale_)),
                    Text(603), kLine);
}

void TKorrWizard::PaintMonitor(TBitmap32& buffer, const QRect& area) {
    buffer.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * scale_), false, clText};
    const QString labels[3] = {QStringLiteral("\u0394A: "), QStringLiteral("\u0394C: "), QStringLiteral("\u0394Z: ")};
    const uint32_t aligns[3] = {kTextLeft, kTextCenter, kTextRight};
    for (int32_t i = 0; i < 3; ++i) {
        if (!(core_->Ratio(i) > 0.0)) continue;
        const double value = core_->MonitorDb(i);
        const QString text = labels[i] + DbText(value);
        const uint32_t flags = aligns[i] | kTextSingleLine | kTextVCenter;
        buffer.DrawText(area, text, flags);
        const QRect used = buffer.MeasureText(area, text, flags);
        int left = area.left();
        if (i == 1) left = area.center().x() - used.width() / 2;
        if (i == 2) left = area.right() - used.width();
        auto canvas = CreateCanvas32(buffer);
        SetCanvasColors(canvas.get(), ToneColor(TaKorr::CorrColor(value)), 0, scale_);
        canvas->FillBrush().visible = false;
        const double y = area.center().y() + used.height() / 2.0 + scale_;
        canvas->Line(QPointF(left, y), QPointF(left + used.width(), y));
    }
}

void TKorrWizard::PaintImmi(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    const TaKorr::ImmiView& v = core_->Immi();
    const int w = box->width() - 2 * mySpace_;
    buffer.Font.bold = true;
    buffer.DrawText(QRect(mySpace_, mySSpace_, w, RoundI(18 * scale_)), v.header1.isEmpty() ? Text(605) : v.header1, kLine);
    buffer.Font.bold = false;
    buffer.DrawText(QRect(mySpace_, mySSpace_ + RoundI(18 * scale_), w, RoundI(17 * scale_)), FoldLineBreaks(v.header2),
                    kLine | kTextEndEllipsis);
    int y = RoundI(50 * scale_);
    if (v.placementVisible) {
        buffer.DrawText(QRect(mySpace_, y, w, RoundI(18 * scale_)), v.placement1, kLine);
        buffer.DrawText(QRect(mySpace_, y + RoundI(20 * scale_), w, RoundI(18 * scale_)), v.placement2, kLine);
    }
    if (v.warningVisible) {
        buffer.Font.bold = true;
        buffer.Font.color = WinColor(clRed32);
        buffer.DrawText(QRect(mySpace_, y, w, RoundI(18 * scale_)), Text(606), kLine);
        buffer.DrawText(QRect(mySpace_, y + RoundI(20 * scale_), w, RoundI(18 * scale_)), Text(607), kLine);
        buffer.Font.bold = false;
        buffer.Font.color = clText;
    }
    if (core_->Progress1Visible()) {
        buffer.Font.height = RoundI(-26 * scale_);
        buffer.DrawText(QRect(mySpace_, RoundI(95 * scale_), w, RoundI(40 * scale_)), core_->Progress1(), kLine);
        buffer.Font.height = RoundI(-12 * scale_);
    }
    if (v.infoVisible) {
        const int boxTop = box->height() - mySpace_ - RoundI(44 * scale_);
        buffer.DrawText(QRect(mySpace_, boxTop, w, RoundI(22 * scale_)), v.info1, kWrap);
        if (v.info2.size() > 2) {
            buffer.Font.bold = true;
            buffer.DrawText(QRect(mySpace_, boxTop + RoundI(18 * scale_), w, RoundI(30 * scale_)), v.info2, kWrap);
            buffer.Font.bold = false;
        }
    }
    if (v.dualMonitorVisible) {
        PaintMonitor(buffer, QRect(mySpace_, box->height() - RoundI(30 * scale_), w, RoundI(30 * scale_)));
    }
}

void TKorrWizard::PaintMess(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    const TaKorr::MessView& v = core_->Mess();
    const int w = box->width() - 2 * mySpace_;
    const int line = RoundI(18 * scale_);
    buffer.Font.bold = true;
    buffer.DrawText(QRect(mySpace_, mySSpace_, w, line), Text(630), kLine);
    buffer.Font.bold = false;
    int y = mySSpace_ + line + mySpace_;
    if (v.placementVisible) {
        for (int32_t id : {631, 632, 633, 634}) {
            buffer.DrawText(QRect(mySpace_, y, w, line), Text(id), kLine);
            y += line + RoundI(2 * scale_);
        }
    }
    if (v.warningVisible) {
        buffer.Font.bold = true;
        buffer.Font.color = WinColor(clRed32);
        buffer.DrawText(QRect(mySpace_, y, w, line), Text(606), kLine);
        buffer.DrawText(QRect(mySpace_, y + line + 2, w, line), Text(607), kLine);
        buffer.Font.bold = false;
        buffer.Font.color = clText;
    }
    if (core_->Progress2Visible()) {
        buffer.Font.height = RoundI(-26 * scale_);
        buffer.DrawText(QRect(mySpace_, RoundI(160 * scale_), w, RoundI(40 * scale_)), core_->Progress2(), kLine);
        buffer.Font.height = RoundI(-12 * scale_);
    }
    if (!v.statusLine.isEmpty()) {
        buffer.Font.color = WinColor(clRed32);
        buffer.DrawText(QRect(mySpace_, RoundI(205 * scale_), w, line), v.statusLine, kLine);
        buffer.Font.color = clText;
    }
    if (v.hintVisible) buffer.DrawText(QRect(mySpace_, box->height() - RoundI(56 * scale_), w, line), v.hint, kLine);
    if (v.monitorVisible) PaintMonitor(buffer, QRect(mySpace_, box->height() - RoundI(30 * scale_), w, RoundI(30 * scale_)));
}

void TKorrWizard::PaintWarning(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    const QRect symbol = DrawInfoSymbol(box, core_->IsWarnInfo() ? kSymbolInfoFilled : kSymbolWarning, scale_);
    // The warning page's fonts are whole multiples of myFH: 10 for the header, 9 for the text.
    buffer.Font = TFont32{QStringLiteral("VERDANA"), 10 * myFH_, true, clText};
    const int headerH = buffer.TextHeight(core_->WarnHeader());
    buffer.Textout(mySpace_, mySSpace_, core_->WarnHeader());
    buffer.Font.bold = false;
    buffer.Font.height = 9 * myFH_;
    buffer.DrawText(QRect(mySpace_, 2 * headerH + mySSpace_, symbol.left() - 2 * mySpace_, box->height() - 2 * headerH),
                    core_->WarnText(), kWrap);
}

void TKorrWizard::PaintResult(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    const int w = box->width() - 2 * mySpace_;
    buffer.Font.bold = true;
    buffer.DrawText(QRect(mySpace_, mySSpace_, w, RoundI(18 * scale_)), Text(594), kLine);
    buffer.Font.bold = false;
    const QRect panel(mySpace_, RoundI(32 * scale_), w, box->height() - RoundI(80 * scale_));
    const double q = panel.height() / 4.0;
    const int t = buffer.TextHeight(QStringLiteral("Hgq1"));
    const int32_t labels[3] = {580, 581, 922};
    buffer.Font.bold = true;
    int widest = 0;
    for (int32_t i = 0; i < 3; ++i) widest = std::max(widest, buffer.TextWidth(DbText(core_->ResultValue(i))));
    const int blanks = buffer.TextWidth(QStringLiteral("  "));
    buffer.Font.bold = false;
    for (int32_t i = 0; i < 3; ++i) {
        const int y = panel.top() + RoundI((i + 0.5) * q);
        buffer.DrawText(QRect(panel.left(), y, panel.width(), t), Text(labels[i]).trimmed() + QLatin1Char(':'), kLine);
        const int textTop = panel.top() + RoundI(1.2 * t + (i + 0.5) * q);
        buffer.DrawText(QRect(panel.left(), textTop, RoundI(panel.width() * 0.9), t), FoldLineBreaks(core_->ResultText(i)),
                        kLine | kTextEndEllipsis);
        const platform::TDateTime when = core_->ResultTime(i);
        if (when > 0.0) buffer.DrawText(QRect(panel.left(), textTop + t, panel.width(), t), DateTimeText(when), kLine);
        const int valueX = panel.left() + RoundI(panel.width() * 0.8);
        buffer.Font.bold = true;
        buffer.Textout(valueX, y, DbText(core_->ResultValue(i)));
        buffer.Font.bold = false;
        const QRect square(valueX + widest + blanks, y, t, t);
        buffer.FillRect(square, ToneColor(TaKorr::CorrColor(core_->ResultValue(i))));
        buffer.FrameRect(square, clFrame32);
    }
    buffer.DrawText(QRect(mySpace_, box->height() - RoundI(42 * scale_), w, RoundI(18 * scale_)), Text(595), kLine);
    buffer.DrawText(QRect(mySpace_, box->height() - RoundI(22 * scale_), w, RoundI(18 * scale_)), Text(596), kLine);
}

void TKorrWizard::PaintPath(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    const QString file = core_->GetCorrFileName();
    QString shown = QStringLiteral("---");
    if (!file.isEmpty() && QFileInfo(file).isFile()) {
        shown = reportNaming() != nullptr ? reportNaming()->SymbolicPath(file) : file;
    }
    buffer.DrawText(box->ClientRect(), shown, kTextCenter | kTextVCenter | kTextSingleLine | kTextPathEllipsis);
}

void TKorrWizard::PaintPanel(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    const QString text = core_->ImportPanelText().isEmpty() ? Text(589) : core_->ImportPanelText();
    buffer.DrawText(box->ClientRect().adjusted(5, 5, -5, -5), text, kWrap);
}

void TKorrWizard::LocListMouseMove(int x, int y) {
    int32_t selected = -1;
    for (const auto& [rect, entry] : locBlocks_) {
        if (rect.contains(x, y)) selected = entry;
    }
    if (selected == locListSel_) return;
    locListSel_ = selected;
    pageBoxes_[PageIndex(KorrPage::tsLocList)]->Invalidate();
}

// One block per deciding location (A, then C, then Z), its weightings named
// at the left when there is more than one block.
void TKorrWizard::PaintLocList(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    BeginPage(buffer, scale_);
    locBlocks_.clear();
    const TKorrLocation* store = core_->LocationStore();
    if (store == nullptr) return;
    const int t = buffer.TextHeight(QStringLiteral("Hgq1"));
    const int rowGap = RoundI(1.2 * t);
    const int blockGap = RoundI(1.6 * t);
    const int m = RoundI(box->width() * 0.02);
    const int right = box->width() - m;
    buffer.Font.bold = true;
    const int textX = m + buffer.TextWidth(Text(1071) + QLatin1Char(' '));
    buffer.Font.bold = false;
    buffer.DrawText(QRect(textX, m, right - textX, t), Text(1060), kLine);
    const int32_t ids[3] = {store->GetIdKFA(), store->GetIdKFC(), store->GetIdKFZ()};
    const int32_t labelIds[3] = {1071, 1072, 1073};
    const bool labelled = store->GetNumDifLoc() > 1;
    int y = m + blockGap;
    for (int32_t w = 0; w < 3; ++w) {
        const int32_t id = ids[w];
        if (id < 0 || (w > 0 && (id == ids[0] || (w == 2 && id == ids[1])))) continue;
        const QRect block(m, y, right - m, 2 * rowGap + rowGap);
        locBlocks_.push_back({block, id});
        if (locListSel_ == id) buffer.FillRectBlend(block, WithAlpha32(clText32, 0x37));
        if (labelled) {
            buffer.Font.bold = true;
            int ly = y;
            for (int32_t k = w; k < 3; ++k) {
                if (ids[k] != id) continue;
                buffer.Textout(m, ly, Text(labelIds[k]));
                ly += rowGap;
            }
            buffer.Font.bold = false;
        }
        const int iconSide = 2 * rowGap;
        buffer.DrawText(QRect(textX, y, right - textX - iconSide, t), FoldLineBreaks(store->GetLocText(id, false)),
                        kLine | kTextEndEllipsis);
        buffer.DrawText(QRect(textX, y + rowGap, right - textX - iconSide, t), DateTimeText(store->GetDateTime(id)), kLine);
        if (locListSel_ == id) {
            if (MainWindowServices* main = mainWindowServices()) {
                QPainter painter(&buffer.Image());
                main->DrawSvgIcon(painter, 0, QRectF(right - iconSide, y, iconSide, iconSide));
            }
        }
        y += block.height() + blockGap - rowGap;
    }
    const int bottomTop = box->height() - 2 * rowGap - m;
    if (locListSel_ >= 0) {
        buffer.DrawText(QRect(m, bottomTop, right - m, 2 * rowGap), store->GetValueInfoString(locListSel_), kWrap);
    } else if (store->GetLocCount() >= 2) {
        buffer.DrawText(QRect(m, bottomTop + rowGap, right - m, rowGap),
                        WithTextArgument(Text(1070), QString::number(store->GetLocCount())), kLine);
    }
}
