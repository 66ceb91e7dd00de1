#include "calibration/calibration_wizard.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QWidgetAction>

#include <algorithm>
#include <cmath>

#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/info_symbols.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

using Page = TKalibrierungCore::Page;
using View = TKalibrierungCore::ConnectView;

constexpr int kTickMs = 250;
constexpr int kShowNextMs = 3000;
constexpr int32_t kProgressRepaint = 268;
constexpr uint32_t kWrap = kTextLeft | kTextWordBreak;
constexpr uint32_t kLine = kTextLeft | kTextSingleLine | kTextVCenter | kTextEndEllipsis;
const QString kCrLf = QStringLiteral("\r\n");
const QString kDash = QStringLiteral("---");

constexpr std::array<int32_t, 14> kStepLabels{492, 493, 494, 1046, 495, 1047, 1045, 496, 497, 1047, 1046, 1045, 498, 497};

void FillWith(QWidget* widget, TColor color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColorOf(color));
    palette.setColor(QPalette::WindowText, QColorOf(clText));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void StyleEdit(QLineEdit* edit, double scale) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColorOf(clList));
    palette.setColor(QPalette::Text, QColorOf(clListText));
    edit->setPalette(palette);
    QFont font(QStringLiteral("VERDANA"));
    font.setPixelSize(RoundI(13 * scale));
    edit->setFont(font);
    InstallEnterEscapeFilter(edit);
}

void MarkInvalid(QLineEdit* edit, bool invalid) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, invalid ? QColorOf(clRed) : QColorOf(clList));
    edit->setPalette(palette);
}

QString OneDecimal(double value) { return QLocale().toString(value, 'f', 1); }

}  // namespace

TKalibrierung::TKalibrierung(WizardHost& host, const TCalLog* log, QWidget* owner)
    : QDialog(owner), core_(host, log) {
    setObjectName(QStringLiteral("TKalibrierung"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    mySf_ = LogicalDpiOf(this) / 96.0;
    QFont font(QStringLiteral("VERDANA"));
    font.setPixelSize(RoundI(12 * mySf_));
    setFont(font);
    FillWith(this, clBack);
    handle_ = platform::RegisterWindow([this](uint32_t msg, uintptr_t code, intptr_t) {
        if (msg == WM_MAIN_NOTIFY) TalkToMe(static_cast<int32_t>(code));
    });
    tLevel_.setInterval(kTickMs);
    tMess_.setInterval(kTickMs);
    tShowNext_.setInterval(kShowNextMs);
    tShowNext_.setSingleShot(true);
    connect(&tLevel_, &QTimer::timeout, this, [this] { Act([this] { core_.LevelTick(); }); });
    connect(&tMess_, &QTimer::timeout, this, [this] {
        Act([this] { core_.RunTick(); });
        if (core_.RunTimerOn()) platform::PostMessage(handle_, WM_MAIN_NOTIFY, kProgressRepaint, core_.SampleCounter());
    });
    connect(&tShowNext_, &QTimer::timeout, this, [this] { Act([this] { core_.ShowNextTick(); }); });
    BuildPages();
    BuildBottom();
    Layout();
    Sync();
}

TKalibrierung::~TKalibrierung() { platform::UnregisterWindow(handle_); }

// --- set-up ---

void TKalibrierung::SetMode(int32_t newCalMode, double lastRefVal, platform::TDateTime lastCalTimeM,
                            int32_t berechnungsArt, double lastKalVal, int32_t kalPos, bool showVgl,
                            platform::TDateTime lastCalTimeR, double lastCalValR, double previousVal) {
    core_.SetMode(newCalMode, lastRefVal, lastCalTimeM, berechnungsArt, lastKalVal, kalPos, showVgl, lastCalTimeR,
                  lastCalValR, previousVal);
    const QString reference = OneDecimal(lastRefVal);
    editCalibratorSpl_->setText(reference);
    editSplRef_->setText(reference);
    Layout();
    Sync();
}

void TKalibrierung::SetCalibratorText(const QString& text) {
    mKalibrator_->setPlainText(text);
    core_.SetCalibratorText(text);
}

QString TKalibrierung::GetCalibratorText() const { return mKalibrator_->toPlainText(); }

void TKalibrierung::EnableCalibratorEdit(bool canEdit) { mKalibrator_->setReadOnly(!canEdit); }

void TKalibrierung::EnableModeSelect(bool isEnabled) {
    modeSelectEnabled_ = isEnabled;
    Sync();
}

// --- commands ---

void TKalibrierung::Act(const std::function<void()>& action) {
    // Nothing may leave an event handler: a failing step ends the wizard.
    try {
        action();
    } catch (const std::exception& e) {
        failure_ = QString::fromLocal8Bit(e.what());
        core_.ControlKal(0);
    } catch (...) {
        failure_ = QStringLiteral("unknown failure");
        core_.ControlKal(0);
    }
    Sync();
}

void TKalibrierung::SetTickIntervals(int tickMs, int showNextMs) {
    tLevel_.setInterval(tickMs);
    tMess_.setInterval(tickMs);
    tShowNext_.setInterval(showNextMs);
}

void TKalibrierung::TalkToMe(int32_t code) {
    if (code == kProgressRepaint) {
        if (pbFortschritt_->isVisible()) pbFortschritt_->Invalidate();
        return;
    }
    Act([this, code] { core_.TalkToMe(code); });
}

void TKalibrierung::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Act([this] { core_.ControlKal(0); });
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;  // acted on at release
    QDialog::keyPressEvent(event);
}

void TKalibrierung::keyReleaseEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && core_.RightVisible() && core_.CurrentPage() != Page::Description) {
        Act([this] { core_.RightButtonCommand(); });
        return;
    }
    QDialog::keyReleaseEvent(event);
}

void TKalibrierung::reject() { Act([this] { core_.ControlKal(0); }); }

void TKalibrierung::SyncTimers() {
    auto follow = [](QTimer& timer, bool on) {
        if (on && !timer.isActive()) timer.start();
        if (!on && timer.isActive()) timer.stop();
    };
    follow(tLevel_, core_.LevelTimerOn());
    follow(tMess_, core_.RunTimerOn());
    follow(tShowNext_, core_.ShowNextTimerOn());
}

void TKalibrierung::Sync() {
    SyncTimers();
    if (const int32_t result = core_.ModalResult(); result != TKalibrierungCore::kResultNone) {
        tLevel_.stop();
        tMess_.stop();
        tShowNext_.stop();
        if (isVisible()) done(result);
        else setResult(result);
        return;
    }
    pcSelect_->setCurrentIndex(static_cast<int>(core_.CurrentPage()));
    RefreshTexts();
    RefreshButtons();
    for (TPaintBox32* box : {pbSteps_, pbStatus_, pbLights_, pBCrestCheck_, pbCalDataInfo_, pbUseIpControl_,
                             pbFortschritt_, pbWarnung_, pbResultInfo_, pbCalCal_, pbCalSpl_, pbDBoth_, pbDMic_,
                             pbDRef_, pbLt1_, pbMRef_})
        box->Invalidate();
}

// --- building ---

TPaintBox32* TKalibrierung::NewBox(QWidget* parent, const char* name, std::function<void(TPaintBox32*)> paint) {
    auto* box = new TPaintBox32(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->OnPaintBuffer = std::move(paint);
    return box;
}

QLabel* TKalibrierung::NewLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColorOf(clText));
    label->setPalette(palette);
    return label;
}

void TKalibrierung::BuildPages() {
    pcSelect_ = new QStackedWidget(this);
    pcSelect_->setObjectName(QStringLiteral("pcSelect"));
    const char* names[] = {"tsArt", "tsBeschreibung", "tsKalibrierung", "tsRef", "tsVGL", "tsEnde", "tsWarnung"};
    for (size_t i = 0; i < pages_.size(); ++i) {
        pages_[i] = new QWidget(pcSelect_);
        pages_[i]->setObjectName(QString::fromLatin1(names[i]));
        FillWith(pages_[i], clBack);
        pcSelect_->addWidget(pages_[i]);
    }
    QWidget* choice = pages_[0];
    headerMode_ = NewLabel(choice, "HeaderMode");
    headerDual_ = NewLabel(choice, "HeaderDual");
    auto selectBox = [this](QWidget* parent, const char* name, TSelBox& sel, int32_t label,
                            std::function<void()> click) {
        sel.SetLabel(label);
        TPaintBox32* box = NewBox(parent, name, [this, &sel](TPaintBox32* b) { PaintSelBox(b, sel); });
        box->OnMouseEnter = [](TPaintBox32* b) { b->Tag = 1; b->Invalidate(); };
        box->OnMouseLeave = [](TPaintBox32* b) { b->Tag = 0; b->Invalidate(); };
        box->OnClick = [this, click = std::move(click)](TPaintBox32*) { Act(click); };
        return box;
    };
    pbCalCal_ = selectBox(choice, "pbCalCal", checkCalCal_, 546, [this] { if (modeSelectEnabled_) core_.ChooseKind(0); });
    pbCalSpl_ = selectBox(choice, "pbCalSpl", checkCalSpl_, 547, [this] { if (modeSelectEnabled_) core_.ChooseKind(1); });
    pbDMic_ = selectBox(choice, "pbDMic", checkDMic_, 549,
                        [this] { core_.ChooseMics(TKalibrierungCore::Mics::MeasuringOnly); });
    pbDBoth_ = selectBox(choice, "pbDBoth", checkDBoth_, 550, [this] { core_.ChooseMics(TKalibrierungCore::Mics::Both); });
    pbDRef_ = selectBox(choice, "pbDRef", checkDRef_, 551,
                        [this] { core_.ChooseMics(TKalibrierungCore::Mics::ReferenceOnly); });

    QWidget* description = pages_[1];
    pbLt1_ = NewBox(description, "pbLt1", [this](TPaintBox32* box) {
        TBitmap32& b = box->Buffer();
        b.Clear(clBack32);
        b.Font.height = RoundI(-13 * mySf_);
        b.Font.bold = true;
        b.Font.color = clText;
        const bool meter = core_.Kind() == 1;
        b.DrawText(box->ClientRect(), GetLangText(meter ? 515 : 514), kLine);
    });
    mKalibrator_ = new QPlainTextEdit(description);
    mKalibrator_->setObjectName(QStringLiteral("mKalibrator"));
    SetMemoStyle(mKalibrator_, mySf_);
    connect(mKalibrator_, &QPlainTextEdit::textChanged, this, [this] {
        core_.SetCalibratorText(mKalibrator_->toPlainText());
        pbCalDataInfo_->Invalidate();
    });

    QWidget* nominal = pages_[2];
    label1_ = NewLabel(nominal, "Label1");
    label2_ = NewLabel(nominal, "Label2");
    label8_ = NewLabel(nominal, "Label8");
    editCalibratorSpl_ = new QLineEdit(nominal);
    editCalibratorSpl_->setObjectName(QStringLiteral("Edit_Calibrator_SPL"));
    StyleEdit(editCalibratorSpl_, mySf_);
    popKalNenn_ = new QMenu(this);
    popKalNenn_->setObjectName(QStringLiteral("popKalNenn"));
    editCalibratorSpl_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(editCalibratorSpl_, &QLineEdit::customContextMenuRequested, this, [this](const QPoint& at) {
        popKalNenn_->clear();
        auto* header = new QWidgetAction(popKalNenn_);
        auto* headerLabel = new QLabel(GetLangText(931));
        headerLabel->setAlignment(Qt::AlignCenter);
        headerLabel->setStyleSheet(QStringLiteral("font-weight: bold; padding: 3px;"));
        header->setDefaultWidget(headerLabel);
        popKalNenn_->addAction(header);
        for (int level : {94, 114}) {
            popKalNenn_->addAction(QStringLiteral("%1 dB").arg(level), this, [this, level] {
                editCalibratorSpl_->setText(QString::number(level) + QLocale().decimalPoint() + QLatin1Char('0'));
                Act([this] { core_.EditReference(editCalibratorSpl_->text()); });
            });
        }
        if (core_.RefVal() != core_.OldKalRef()) {
            const QString old = OneDecimal(core_.OldKalRef());
            popKalNenn_->addAction(GetLangText(930) + QStringLiteral(": ") + old + QStringLiteral(" dB"), this,
                                   [this, old] {
                                       editCalibratorSpl_->setText(old);
                                       Act([this] { core_.EditReference(editCalibratorSpl_->text()); });
                                   });
        }
        popKalNenn_->popup(editCalibratorSpl_->mapToGlobal(at));
    });
    connect(editCalibratorSpl_, &QLineEdit::textEdited, this,
            [this](const QString& text) { Act([this, text] { core_.EditReference(text); }); });

    QWidget* meter = pages_[3];
    headerSplRef_ = NewLabel(meter, "HeaderSplRef");
    pbMRef_ = NewBox(meter, "pbMRef", [this](TPaintBox32* box) {
        TBitmap32& b = box->Buffer();
        b.Clear(clBack32);
        b.Font.height = RoundI(-13 * mySf_);
        b.Font.color = clText;
        b.DrawText(box->ClientRect(), GetLangText(544), kWrap);
    });
    labelSplRef_ = NewLabel(meter, "Label_SPL_Ref");
    editSplRef_ = new QLineEdit(meter);
    editSplRef_->setObjectName(QStringLiteral("Edit_SPL_REF"));
    editSplRef_->setContextMenuPolicy(Qt::NoContextMenu);
    StyleEdit(editSplRef_, mySf_);
    labelSplDezimal_ = NewLabel(meter, "Label_Spl_Dezimaltrenner");
    connect(editSplRef_, &QLineEdit::textEdited, this,
            [this](const QString& text) { Act([this, text] { core_.EditReference(text); }); });

    QWidget* connectPage = pages_[4];
    const char* labelNames[] = {"Label3", "Label4", "Label5", "Label6"};
    for (size_t i = 0; i < connectLabels_.size(); ++i) connectLabels_[i] = NewLabel(connectPage, labelNames[i]);
    lKalOn_ = NewLabel(connectPage, "lKalOn");
    QFont big(QStringLiteral("VERDANA"));
    big.setPixelSize(RoundI(20 * mySf_));
    big.setBold(true);
    lKalOn_->setFont(big);
    lKalOn_->setWordWrap(false);
    pbLights_ = NewBox(connectPage, "sl", [this](TPaintBox32* box) { PaintLights(box); });
    lLowInput_ = NewLabel(connectPage, "lLowInput");
    lLowInput2_ = NewLabel(connectPage, "lLowInput2");
    pBCrestCheck_ = NewBox(connectPage, "pBCrestCheck", [this](TPaintBox32* box) { PaintCrest(box); });
    pbCalDataInfo_ = NewBox(connectPage, "pbCalDataInfo", [this](TPaintBox32* box) { PaintCalData(box); });
    pbCalDataInfo_->OnMouseMove = [this](TPaintBox32* box, int x, int y) {
        int32_t hot = -1;
        for (int32_t i = 0; i < 2; ++i)
            if (aRectCalData_[static_cast<size_t>(i)].contains(x, y)) hot = i;
        if (hot != calDataHot_) {
            calDataHot_ = hot;
            box->Invalidate();
        }
    };
    pbCalDataInfo_->OnMouseLeave = [this](TPaintBox32* box) {
        calDataHot_ = -1;
        box->Invalidate();
    };
    pbCalDataInfo_->OnMouseDown = [this](TPaintBox32*, Qt::MouseButton button, int x, int y) {
        if (button == Qt::LeftButton) ClickCalData(x, y);
    };
    checkUseIp_.SetLabel(950);
    pbUseIpControl_ = NewBox(connectPage, "pbUseIpControl", [this](TPaintBox32* b) { PaintSelBox(b, checkUseIp_); });
    pbUseIpControl_->OnClick = [this](TPaintBox32*) { Act([this] { core_.SetIpControl(!core_.IpEnabled()); }); };
    pbFortschritt_ = NewBox(connectPage, "pbFortschritt", [this](TPaintBox32* box) { PaintProgress(box); });

    QWidget* result = pages_[5];
    lMikroInfo_ = NewLabel(result, "lMikroInfo");
    const char* resultNames[] = {"Label13", "Label14", "Label15", "Label16", "Label17"};
    for (size_t i = 0; i < resultLabels_.size(); ++i) resultLabels_[i] = NewLabel(result, resultNames[i]);
    pbResultInfo_ = NewBox(result, "pbResultInfo", [this](TPaintBox32* box) { PaintResultInfo(box); });

    pbWarnung_ = NewBox(pages_[6], "pbWarnung", [this](TPaintBox32* box) { PaintWarning(box); });

    pbSteps_ = NewBox(this, "pbSteps", [this](TPaintBox32* box) { PaintSteps(box); });
}

void TKalibrierung::BuildBottom() {
    pUnten_ = new QWidget(this);
    pUnten_->setObjectName(QStringLiteral("pUnten"));
    FillWith(pUnten_, clBack);
    auto button = [this](const char* name, std::function<void()> click) {
        auto* box = new TPaintBox32(pUnten_);
        box->setObjectName(QString::fromLatin1(name));
        InitButton(box, mySf_, true);
        WireButtonStates(box, true);
        box->OnClick = [this, click = std::move(click)](TPaintBox32*) { Act(click); };
        return box;
    };
    pbCancel_ = button("pbCancel", [this] { core_.ControlKal(0); });
    pbCancel_->OnPaintBuffer = [](TPaintBox32* b) { PaintButton(b, GetLangText(403), true, false); };
    pbMitte_ = button("pbMitte", [this] { core_.MiddleButtonCommand(); });
    pbMitte_->OnPaintBuffer = [this](TPaintBox32* b) { PaintButton(b, ButtonCaption(core_.MiddleMode()), true, false); };
    pbRechts_ = button("pbRechts", [this] { core_.RightButtonCommand(); });
    pbRechts_->OnPaintBuffer = [this](TPaintBox32* b) { PaintButton(b, ButtonCaption(core_.RightMode()), true, false); };
    pbStatus_ = NewBox(pUnten_, "pbStatus", [this](TPaintBox32* box) { PaintStatus(box); });
}

void TKalibrierung::Layout() {
    const double s = mySf_;
    const int m = RoundI(16 * s);
    const int pageWidth = RoundI(470 * s);
    const int pageHeight = RoundI(330 * s);
    pcSelect_->setGeometry(0, 0, pageWidth, pageHeight);

    // Step list as wide as the widest of its first eight labels.
    TBitmap32& steps = pbSteps_->Buffer();
    steps.Font.height = RoundI(-9.1 * s);
    int widest = 0;
    for (size_t i = 0; i < 8; ++i) {
        const int32_t id = i == 7 && core_.IsVerification() ? 1087 : kStepLabels[i];
        widest = std::max(widest, steps.TextWidth(GetLangText(id)));
    }
    const int stepsWidth = widest + 2 * m + RoundI(14 * s) + RoundI(8 * s);
    pbSteps_->setGeometry(pageWidth, 0, stepsWidth, pageHeight);
    const int clientWidth = pageWidth + stepsWidth;

    const int buttonHeight = pbCancel_->height();
    const int statusHeight = RoundI(19 * s);
    const int bottomHeight = 2 * m + buttonHeight + statusHeight;
    pUnten_->setGeometry(0, pageHeight, clientWidth, bottomHeight);
    pbCancel_->move(m, m);
    const int buttonWidth = pbCancel_->width();
    pbMitte_->setGeometry(RoundI((clientWidth - buttonWidth) * 0.5), m, buttonWidth, buttonHeight);
    pbRechts_->setGeometry(clientWidth - m - buttonWidth, m, buttonWidth, buttonHeight);
    pbStatus_->setGeometry(0, bottomHeight - statusHeight, clientWidth, statusHeight);
    setFixedSize(clientWidth, pageHeight + bottomHeight);

    // Choice page.
    const int boxHeight = RoundI(15 * s);
    const int gap = RoundI(10 * s);
    const int inner = pageWidth - 2 * m;
    int y = m;
    for (QLabel* header : {headerMode_, headerDual_, headerSplRef_, lMikroInfo_}) SetLabelStyle(header, s);
    headerMode_->setGeometry(m, y, inner, headerMode_->sizeHint().height());
    y += headerMode_->height() + gap;
    for (TPaintBox32* box : {pbCalCal_, pbCalSpl_}) {
        box->setGeometry(m, y, inner, boxHeight);
        y += boxHeight + gap;
    }
    y += m;
    headerDual_->setGeometry(m, y, inner, headerDual_->sizeHint().height());
    y += headerDual_->height() + gap;
    for (TPaintBox32* box : {pbDMic_, pbDBoth_, pbDRef_}) {
        box->setGeometry(m, y, inner, boxHeight);
        y += boxHeight + gap;
    }
    // Description page.
    pbLt1_->setGeometry(m, m, inner, RoundI(18 * s));
    mKalibrator_->setGeometry(m, pbLt1_->geometry().bottom() + 1 + m, inner, pageHeight - pbLt1_->height() - 3 * m);
    // Nominal-level page.
    const int lineHeight = RoundI(20 * s);
    label1_->setGeometry(m, m, inner, lineHeight);
    editCalibratorSpl_->setGeometry(m, m + lineHeight + RoundI(7 * s), RoundI(120 * s), RoundI(24 * s));
    label2_->setGeometry(m, editCalibratorSpl_->geometry().bottom() + 1 + m, inner, lineHeight);
    label8_->setGeometry(m, pageHeight - m - 2 * lineHeight, inner, 2 * lineHeight);
    // Meter page: heading, instructions, then the entry from the bottom.
    headerSplRef_->setGeometry(m, m, inner, headerSplRef_->sizeHint().height());
    labelSplDezimal_->setGeometry(m, pageHeight - m - 2 * lineHeight, inner, 2 * lineHeight);
    editSplRef_->setGeometry(m, labelSplDezimal_->y() - m - RoundI(24 * s), RoundI(120 * s), RoundI(24 * s));
    labelSplRef_->setGeometry(m, editSplRef_->y() - lineHeight - RoundI(4 * s), inner, lineHeight);
    const int instrTop = headerSplRef_->geometry().bottom() + 1 + RoundI(7 * s);
    pbMRef_->setGeometry(m, instrTop, inner, std::max(1, labelSplRef_->y() - m - instrTop));
    // Connect page.
    y = m;
    for (QLabel* label : connectLabels_) {
        label->setGeometry(m, y, inner, lineHeight);
        y += lineHeight;
    }
    lKalOn_->setGeometry(m, m, inner, RoundI(36 * s));
    const int lightSide = RoundI(26 * s);
    pbLights_->setGeometry(m, lKalOn_->geometry().bottom() + 1 + RoundI(7 * s), 6 * lightSide + 5 * RoundI(6 * s),
                           lightSide);
    const int afterLights = pbLights_->geometry().bottom() + 1 + m;
    pBCrestCheck_->setGeometry(m, afterLights, inner, RoundI(30 * s));
    lLowInput_->setGeometry(m, afterLights, inner, lineHeight);
    lLowInput2_->setGeometry(m, afterLights + lineHeight, inner, lineHeight);
    const int calTop = pageHeight - RoundI(66 * s);
    pbCalDataInfo_->setGeometry(m, calTop, inner, pageHeight - calTop);
    pbUseIpControl_->setGeometry(m, calTop - UISpaceSmall - RoundI(33 * s), inner, RoundI(33 * s));
    const int progressTop = connectLabels_[3]->geometry().bottom() + 1 + m;
    pbFortschritt_->setGeometry(m, progressTop, inner, std::max(1, calTop - m - progressTop));
    // Result page.
    lMikroInfo_->setGeometry(m, m, inner, lMikroInfo_->sizeHint().height());
    y = lMikroInfo_->geometry().bottom() + 1 + m;
    for (QLabel* label : resultLabels_) {
        label->setGeometry(m, y, inner, lineHeight);
        y += lineHeight + (label == resultLabels_[2] ? m : 0);
    }
    pbResultInfo_->setGeometry(m, y + m, inner, std::max(1, pageHeight - y - 2 * m));
    // Warning page.
    pbWarnung_->setGeometry(m, m, inner, pageHeight - 2 * m);
}

// --- texts ---

QString TKalibrierung::ButtonCaption(int32_t mode) const {
    switch (mode) {
    case TKalibrierungCore::kButtonApply: return GetLangText(939);
    case TKalibrierungCore::kButtonNext: return GetLangText(562);
    case TKalibrierungCore::kButtonStart: return GetLangText(core_.IsVerification() ? 1100 : 561);
    case TKalibrierungCore::kButtonRepeat:
    case TKalibrierungCore::kButtonRepeatStep: return GetLangText(938);
    default: return QString();
    }
}

QString TKalibrierung::CaptionText() const {
    if (core_.CurrentMic() == 2) return GetLangText(517);
    if (core_.KalPos() == 4) return GetLangText(66);
    if (core_.KalPos() == 3) return GetLangText(1080);
    return GetLangText(516);
}

QString TKalibrierung::DecimalHint() const {
    const bool dot = QLocale().decimalPoint() == QStringLiteral(".");
    return GetLangText(508) + QLatin1Char(' ') + GetLangText(dot ? 509 : 510);
}

QString TKalibrierung::StatusLeft() const {
    if (core_.IsVerification()) {
        const platform::TDateTime last = core_.LastCalTime();
        return last > 1 ? GetLangText(1094) + QStringLiteral(": ") + DateTimeText(last) : GetLangText(1091);
    }
    const platform::TDateTime t = core_.CalTimeM();
    return t > 1 ? GetLangText(503) + DateTimeText(t) : GetLangText(504);
}

QString TKalibrierung::StatusRight() const {
    if (!core_.TwoMicConfig()) return kDash;
    const platform::TDateTime t = core_.CalTimeR();
    return t > 1 ? GetLangText(505) + DateTimeText(t) : GetLangText(506);
}

QString TKalibrierung::ProgressText() const {
    return FillTextArguments(GetLangText(1144), {QString::number(core_.GetProz())});
}

void TKalibrierung::RefreshTexts() {
    setWindowTitle(CaptionText());
    const bool verification = core_.IsVerification();
    const bool meter = core_.Kind() == 1;
    const bool r = core_.CurrentMic() == 2;
    headerMode_->setText(GetLangText(545));
    headerDual_->setText(GetLangText(548));
    const bool showKind = core_.EnableVgl();
    headerMode_->setVisible(showKind);
    pbCalCal_->setVisible(showKind);
    pbCalSpl_->setVisible(showKind);
    const bool showMics = core_.TwoMicConfig();
    for (QWidget* w : std::initializer_list<QWidget*>{headerDual_, pbDMic_, pbDBoth_, pbDRef_}) w->setVisible(showMics);
    checkCalCal_.SetStatus(!meter, modeSelectEnabled_);
    checkCalSpl_.SetStatus(meter, modeSelectEnabled_);
    const auto mics = core_.SelectedMics();
    checkDMic_.SetStatus(mics == TKalibrierungCore::Mics::MeasuringOnly, true);
    checkDBoth_.SetStatus(mics == TKalibrierungCore::Mics::Both, true);
    checkDRef_.SetStatus(mics == TKalibrierungCore::Mics::ReferenceOnly, true);
    checkUseIp_.SetStatus(core_.IpEnabled(), true);

    label1_->setText(GetLangText(553));
    label2_->setText(GetLangText(554));
    label8_->setText(DecimalHint());
    labelSplDezimal_->setText(DecimalHint());
    headerSplRef_->setText(GetLangText(543));
    labelSplRef_->setText(GetLangText(543));
    const bool invalid = core_.Step() == 3 && !core_.ReferenceValid();
    MarkInvalid(editCalibratorSpl_, invalid && core_.CurrentPage() == Page::Nominal);
    MarkInvalid(editSplRef_, invalid && core_.CurrentPage() == Page::Meter);

    const View view = core_.View();
    const bool labels = view == View::Labels;
    if (meter) {
        connectLabels_[0]->setText(GetLangText(r ? 519 : 518));
        connectLabels_[1]->setText(GetLangText(520));
        connectLabels_[2]->setText(GetLangText(521));
    } else {
        connectLabels_[0]->setText(GetLangText(r ? 524 : 525));
        connectLabels_[1]->setText(GetLangText(522));
        connectLabels_[2]->setText(GetLangText(523));
    }
    if (labels) connectLabels_[3]->setText(GetLangText(verification ? 1101 : 526));
    else connectLabels_[3]->setText(GetLangText(verification ? 1114 : 513));
    for (size_t i = 0; i < 3; ++i) connectLabels_[i]->setVisible(labels);
    connectLabels_[3]->setVisible(view != View::Run && !(view == View::LevelCheck && core_.LowInputShown()));
    if (!labels) {
        // Beside the instructions the check's caption goes below them.
        connectLabels_[3]->move(connectLabels_[3]->x(), pBCrestCheck_->geometry().bottom() + 1 + RoundI(8 * mySf_));
    } else {
        connectLabels_[3]->move(connectLabels_[3]->x(), connectLabels_[2]->geometry().bottom() + 1);
    }
    lKalOn_->setVisible(!labels);
    if (view == View::Run) lKalOn_->setText(GetLangText(r ? 502 : (verification ? 1099 : 501)));
    else lKalOn_->setText(core_.LevelCaption());
    QPalette kalOn = lKalOn_->palette();
    kalOn.setColor(QPalette::WindowText, QColorOf(core_.MarkerAlarm() ? clRed : clText));
    lKalOn_->setPalette(kalOn);
    pbLights_->setVisible(view == View::LevelCheck);
    pBCrestCheck_->setVisible(view == View::LevelCheck && core_.CrestBoxShown());
    lLowInput_->setVisible(view == View::LevelCheck && core_.LowInputShown());
    lLowInput2_->setVisible(lLowInput_->isVisibleTo(pages_[4]));
    lLowInput_->setText(GetLangText(verification ? 1115 : 604));
    lLowInput2_->setText(GetLangText(meter ? 511 : 512));
    pbFortschritt_->setVisible(view == View::Run);
    pbUseIpControl_->setVisible(core_.IpBoxVisible());

    lMikroInfo_->setText(GetLangText(r ? 540 : 539));
    const double maxLevel = r ? core_.MaxLevelR() : core_.MaxLevelM();
    const bool nextToR = core_.DualMode() == 2 && !r;
    resultLabels_[0]->setText(GetLangText(527) + QString::number(static_cast<int64_t>(std::trunc(maxLevel))) +
                              QStringLiteral("dB."));
    resultLabels_[1]->setText(GetLangText(528) + FixedText(core_.CrestVal(), 1) + QStringLiteral(" dB."));
    resultLabels_[2]->setText(GetLangText(529));
    resultLabels_[3]->setText(GetLangText(nextToR ? 530 : 532));
    resultLabels_[4]->setText(GetLangText(nextToR ? 531 : 533));
}

void TKalibrierung::RefreshButtons() {
    pbRechts_->setVisible(core_.RightVisible());
    pbMitte_->setVisible(core_.MiddleVisible());
    const int buttonWidth = pbCancel_->width();
    const int right = pbRechts_->geometry().right();
    if (core_.RightMode() == TKalibrierungCore::kButtonStart) {
        const int widest = right - pbCancel_->geometry().right();
        const QRect fit = ButtonRectFor(pbRechts_, mySf_, widest, ButtonCaption(core_.RightMode()));
        pbRechts_->setGeometry(right + 1 - fit.width(), pbRechts_->y(), fit.width(), fit.height());
    } else if (pbRechts_->width() != buttonWidth) {
        pbRechts_->setGeometry(right + 1 - buttonWidth, pbRechts_->y(), buttonWidth, pbCancel_->height());
    }
    for (TPaintBox32* b : {pbCancel_, pbMitte_, pbRechts_}) b->Invalidate();
}

// --- drawing ---

TColor32 TKalibrierung::CrestColor(double crest) {
    if (crest >= 2.8 && crest <= 3.2) return clGreen32;
    if (crest >= 2.0 && crest <= 4.0) return clYellow32;
    return clRed32;
}

QString TKalibrierung::CrestText(double crest) { return crest > 99 ? kDash : FixedText(crest, 1); }

void TKalibrierung::PaintSelBox(TPaintBox32* box, TSelBox& sel) {
    box->Buffer().Clear(clBack32);
    sel.Paint(box, QRect(0, 0, box->width(), box->height()), box->Tag == 1, mySf_, true, sel.myLabel);
}

void TKalibrierung::PaintSteps(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    b.Font.height = RoundI(-9.1 * mySf_);
    const int m = UISpace;
    const int side = RoundI(14 * mySf_);
    const int rowHeight = RoundI(box->height() / 12.0);
    const int marked = core_.MarkedStep();
    int n = 0;
    for (int32_t i = 0; i < TKalibrierungCore::kStepListSize; ++i) {
        if (!core_.StepVisible(i)) continue;
        ++n;
        int32_t id = kStepLabels[static_cast<size_t>(i)];
        if (core_.IsVerification() && i == 7) id = 1087;
        if (core_.IsVerification() && i == 8) id = 1109;
        const int y = n * rowHeight;
        const QRect text(m + side, y, box->width() - m - side, rowHeight);
        b.Font.bold = i == marked;
        b.Font.color = i == marked ? WinColor(clAccent32) : clText;
        b.DrawText(text.adjusted(RoundI(4 * mySf_), 0, 0, 0), GetLangText(id), kLine);
        if (i == marked) {
            auto canvas = CreateCanvas32(b);
            SetCanvasColors(canvas.get(), clFrame32, core_.MarkerAlarm() ? clRed32 : clGreen32, mySf_);
            canvas->RoundRect(QRectF(m - side * 0.5, y + (rowHeight - side) * 0.5, side, side), 3 * mySf_);
        }
    }
}

void TKalibrierung::PaintStatus(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    b.HorzLine(0, 0, box->width() - 1, clFrame32);
    b.Font.height = RoundI(-11 * mySf_);
    b.Font.bold = false;
    b.Font.color = clText;
    const uint32_t flags = kTextCenter | kTextSingleLine | kTextVCenter | kTextEndEllipsis;
    if (core_.TwoMicConfig()) {
        const int half = box->width() / 2;
        b.DrawText(QRect(0, 1, half, box->height() - 1), StatusLeft(), flags);
        b.DrawText(QRect(half, 1, box->width() - half, box->height() - 1), StatusRight(), flags);
    } else {
        b.DrawText(QRect(0, 1, box->width(), box->height() - 1), StatusLeft(), flags);
    }
}

void TKalibrierung::PaintLights(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    const int side = box->height();
    const int gap = RoundI(6 * mySf_);
    auto canvas = CreateCanvas32(b);
    const auto& lights = core_.Lights();
    for (int i = 0; i < core_.VisibleLights(); ++i) {
        TColor32 fill = Opaque32(255, 255, 255);
        switch (lights[static_cast<size_t>(i)]) {
        case TKalibrierungCore::Light::Green: fill = clGreen32; break;
        case TKalibrierungCore::Light::Yellow: fill = clYellow32; break;
        case TKalibrierungCore::Light::Red: fill = clRed32; break;
        case TKalibrierungCore::Light::White: break;
        }
        SetCanvasColors(canvas.get(), clFrame32, fill, mySf_);
        canvas->RoundRect(HalfInsetRect(QRect(i * (side + gap), 0, side, side), mySf_), 3 * mySf_);
    }
}

void TKalibrierung::PaintCrest(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    const double crest = core_.CrestVal();
    b.Font.height = RoundI(-24 * mySf_);
    b.Font.bold = true;
    b.Font.color = WinColor(CrestColor(crest));
    const QString value = CrestText(crest);
    const int valueWidth = std::max(b.TextWidth(QStringLiteral("00.0")), b.TextWidth(value));
    b.DrawText(QRect(0, 0, valueWidth, box->height()), value, kLine);
    b.Font.height = RoundI(-12 * mySf_);
    b.Font.bold = false;
    b.Font.color = clText;
    b.DrawText(QRect(valueWidth + UISpace, 0, box->width(), box->height()), GetLangText(915), kLine);
}

void TKalibrierung::PaintEditMark(TBitmap32& buffer, const QRect& area, bool hot) {
    if (hot) buffer.FillRect(area, Color32(ColorToRGB(clHighlight)));
    auto canvas = CreateCanvas32(buffer);
    SetCanvasColors(canvas.get(), clText32, clText32, 1.5 * mySf_);
    const QRectF r = QRectF(area).adjusted(area.width() * 0.3, area.height() * 0.25, -area.width() * 0.3,
                                           -area.height() * 0.25);
    canvas->Line(r.bottomLeft(), r.topRight());
    canvas->Line(r.bottomLeft(), QPointF(r.left() + r.width() * 0.35, r.bottom()));
}

void TKalibrierung::PaintCalData(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    const int row = RoundI(22 * mySf_);
    const int markWidth = row;
    b.Font.height = RoundI(-13 * mySf_);
    b.Font.color = clText;
    b.Font.bold = true;
    const QString head = GetLangText(1019);
    const int headWidth = b.TextWidth(head) + UISpaceSmall;
    b.DrawText(QRect(0, 0, headWidth, row), head, kLine);
    b.Font.bold = false;
    b.DrawText(QRect(headWidth, 0, box->width() - headWidth - markWidth, row), FoldLineBreaks(core_.GetCalibratorText()),
               kLine);
    const int second = RoundI(1.5 * row);
    const QString nominal = GetLangText(1121) + QStringLiteral(": ");
    const int nominalWidth = b.TextWidth(nominal);
    b.DrawText(QRect(0, second, nominalWidth, row), nominal, kLine);
    b.Font.bold = true;
    b.DrawText(QRect(nominalWidth, second, box->width() - nominalWidth - markWidth, row),
               OneDecimal(core_.RefVal()) + QStringLiteral(" dB"), kLine);
    aRectCalData_ = {QRect(box->width() - markWidth, 0, markWidth, row),
                     QRect(box->width() - markWidth, second, markWidth, row)};
    if (core_.View() == View::Run) return;
    for (int32_t i = 0; i < 2; ++i) PaintEditMark(b, aRectCalData_[static_cast<size_t>(i)], calDataHot_ == i);
}

void TKalibrierung::ClickCalData(int x, int y) {
    if (core_.View() == View::Run || core_.LevelTimerOn()) return;
    if (aRectCalData_[0].contains(x, y)) {
        Act([this] { core_.Restart(true); });
    } else if (aRectCalData_[1].contains(x, y)) {
        Act([this] { core_.ShowNominalPage(); });
    }
}

void TKalibrierung::PaintProgress(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    b.Font.height = RoundI(-26 * mySf_);
    b.Font.bold = false;
    b.Font.color = clText;
    b.DrawText(box->ClientRect(), ProgressText(), kTextLeft | kTextVCenter | kTextSingleLine);
}

void TKalibrierung::PaintWarning(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    const QRect symbol = DrawInfoSymbol(box, core_.WarningIsInformation() ? kSymbolInfoFilled : kSymbolWarning, mySf_);
    const int m = RoundI(16 * mySf_);
    b.Font.height = RoundI(-13 * mySf_);
    b.Font.bold = true;
    b.Font.color = clText;
    const QRect header = b.MeasureText(QRect(m, m, std::max(1, symbol.left() - 2 * m), 1000), core_.WarningHeader(), kWrap);
    b.DrawText(QRect(m, m, std::max(1, symbol.left() - 2 * m), header.height()), core_.WarningHeader(), kWrap);
    b.Font.bold = false;
    QString text = core_.WarningText();
    if (core_.UseOffsetWarning() && core_.KalPos() == 1) text += kCrLf + kCrLf + core_.CalLogInfo();
    b.DrawText(QRect(m, header.bottom() + 1 + m, std::max(1, symbol.left() - 2 * m), box->height()), text, kWrap);
}

void TKalibrierung::PaintResultInfo(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    if (!core_.UseOffsetWarning()) return;
    b.Font.height = RoundI(-13 * mySf_);
    b.Font.color = WinColor(clAccent32);
    b.DrawText(box->ClientRect(), core_.CalLogInfo(), kWrap);
}
