// The main menu: every item of the window under its component name (the
// captions follow the language through those names), the Layout menu with
// its display options, and the menu bar drawn in the colour scheme.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>

#include "main/peak_display.h"
#include "main/main_window.h"
#include "ui_kit/notifications.h"
#include "ui_kit/palette.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/system_services.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kLanguageGerman = 1;
constexpr int32_t kLanguageEnglish = 2;
constexpr int32_t kInputsAsWired = 3;

// The top-level items on the scheme's background, the hot one on the hover
// colour, each caption centred in the text colour. Separators and disabled
// items keep the platform's look.
class TMenuBarStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_MenuBarEmptyArea) {
            painter->fillRect(option->rect, QColorOf(clBack));
            return;
        }
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element != CE_MenuBarItem || item == nullptr) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const bool hot = (option->state & State_Selected) != 0 && (option->state & State_Enabled) != 0;
        painter->fillRect(option->rect, QColorOf(hot ? clHover : clBack));
        painter->setPen(QColorOf(clText));
        painter->drawText(option->rect, Qt::AlignCenter | Qt::TextShowMnemonic, item->text);
    }
};

// An item owned by menu; placed at its end, or before the item before when given.
QAction* NamedAction(QMenu* menu, const char* name, int32_t textId, QAction* before = nullptr) {
    auto* action = new QAction(GetLangText(textId), menu);
    action->setObjectName(QString::fromLatin1(name));
    menu->insertAction(before, action);
    return action;
}

// An item whose operation is not part of the program yet: it is listed (and
// relabelled with the language) but cannot be chosen.
QAction* UnavailableItem(QMenu* menu, const char* name, int32_t textId, QAction* before = nullptr) {
    QAction* action = NamedAction(menu, name, textId, before);
    action->setEnabled(false);
    return action;
}

QMenu* NamedMenu(QWidget* parent, const char* name, const QString& title) {
    auto* menu = new QMenu(title, parent);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

}  // namespace

void TVTProMaster::BuildMainMenu() {
    QMenuBar* bar = menuBar();
    auto* style = new TMenuBarStyle;
    style->setParent(this);
    bar->setStyle(style);

    fileMenu_->setObjectName(QStringLiteral("Datei1"));
    exitAction_->setObjectName(QStringLiteral("Beenden1"));

    settingsMenu_->setObjectName(QStringLiteral("mmEinstellung"));
    // Everything before "Reset All Settings".
    QAction* reset = resetSettingsAction_;
    UnavailableItem(settingsMenu_, "DoGrundeinstellung", 210, reset);
    UnavailableItem(settingsMenu_, "aSelectSC", 211, reset);
    UnavailableItem(settingsMenu_, "miVerify", 1087, reset);
    UnavailableItem(settingsMenu_, "aPegel", 212, reset);
    UnavailableItem(settingsMenu_, "lsMic", 213, reset);
    lsRefAction_ = UnavailableItem(settingsMenu_, "lsRef", 300, reset);
    UnavailableItem(settingsMenu_, "aGetKorr", 214, reset);
    UnavailableItem(settingsMenu_, "aEditMv", 1154, reset);
    UnavailableItem(settingsMenu_, "mmEOptionen", 217, reset);
    languageMenu_ = NamedMenu(settingsMenu_, "Sprache1", GetLangText(261));
    germanAction_ = NamedAction(languageMenu_, "Deutsch1", 262);
    englishAction_ = NamedAction(languageMenu_, "English1", 263);
    for (QAction* a : {germanAction_, englishAction_}) a->setCheckable(true);
    connect(germanAction_, &QAction::triggered, this, [] { PostMainNotify(kNotifyLanguage, kLanguageGerman); });
    connect(englishAction_, &QAction::triggered, this, [] { PostMainNotify(kNotifyLanguage, kLanguageEnglish); });
    connect(languageMenu_, &QMenu::aboutToShow, this, [this] { PrepareLanguageMenu(); });
    settingsMenu_->insertMenu(reset, languageMenu_);
    AddMidiMenuItem();
    resetSettingsAction_->setObjectName(QStringLiteral("miResetAll"));
    connect(settingsMenu_, &QMenu::aboutToShow, this, [this] { PrepareSettingsMenu(); });

    dataMenu_ = NamedMenu(this, "Messung1", GetLangText(221));
    QAction* dataEntry = NamedAction(dataMenu_, "miDaten", 222);
    connect(dataEntry, &QAction::triggered, this, [this] { EditMessungData(); });
    QAction* hints = NamedAction(dataMenu_, "Hinweisendern1", 223);
    connect(hints, &QAction::triggered, this, [] { PostMainNotify(kNotifyShowHints, 0); });
    UnavailableItem(dataMenu_, "miImmi1", 636);
    UnavailableItem(dataMenu_, "miImmi2", 636);
    UnavailableItem(dataMenu_, "miEImmi", 638);
    bar->insertMenu(measureMenu_->menuAction(), dataMenu_);

    measureMenu_->setObjectName(QStringLiteral("DIN1590551"));
    startAction_->setObjectName(QStringLiteral("aMessungStarten"));
    dinStartAction_->setObjectName(QStringLiteral("mmMDIN"));
    freeStartAction_->setObjectName(QStringLiteral("aFreeStart"));
    freeStartAction_->setParent(measureMenu_);
    stopAction_->setObjectName(QStringLiteral("aStopMessung"));
    UnavailableItem(measureMenu_, "AuswahlMessung", 215, startAction_);
    UnavailableItem(measureMenu_, "aSelMV", 356, startAction_);

    reportMenu_ = NamedMenu(this, "Protokoll1", GetLangText(228));
    UnavailableItem(reportMenu_, "aShowProt", 229);
    UnavailableItem(reportMenu_, "pmPPrintCurrent", 231);
    UnavailableItem(reportMenu_, "pmPSFTPCurrent", 1254);
    UnavailableItem(reportMenu_, "Durcken1", 230);
    UnavailableItem(reportMenu_, "mmPPrintDirekt", 1214);
    QAction* restore = NamedAction(reportMenu_, "AbgebrocheneMessungwiederherstellen1", 232);
    connect(restore, &QAction::triggered, this, [this] { AbgebrocheneMessungwiederherstellen1Click(); });
    UnavailableItem(reportMenu_, "miShowCalList", 1009);
    bar->addMenu(reportMenu_);

    infoMenu_ = NamedMenu(this, "Info1", GetLangText(233));
    UnavailableItem(infoMenu_, "mInfoParameter", 234);
    UnavailableItem(infoMenu_, "VeltaroPRO1", 101);
    UnavailableItem(infoMenu_, "Soundkarten1", 235);
    bar->addMenu(infoMenu_);

    QAction* resetPeak = bar->addAction(GetLangText(236));
    resetPeak->setObjectName(QStringLiteral("resetVuPeak"));
    connect(resetPeak, &QAction::triggered, this, [this] { ResetVuPeakLatch(); });

    BuildLayoutMenu();
    BuildEventListMenu();
    WirePrintActions();
    WireViewerAction();
    WireSettingsActions();
}

void TVTProMaster::BuildLayoutMenu() {
    layoutMenu_ = NamedMenu(this, "Layout", QStringLiteral("Layout"));
    sunnyAction_ = NamedAction(layoutMenu_, "Sunny", 1174);
    darkAction_ = NamedAction(layoutMenu_, "Dark", 1173);
    fullSizeAction_ = NamedAction(layoutMenu_, "mmFullSize", 1175);
    hideMenuAction_ = NamedAction(layoutMenu_, "mmLHideMenu", 1176);
    boldLabelAction_ = NamedAction(layoutMenu_, "mmLBoldLabel", 1186);
    for (QAction* a : layoutMenu_->actions()) a->setCheckable(true);
    connect(sunnyAction_, &QAction::triggered, this, [this] { SetDisplayColors(kSchemeLight, true); });
    connect(darkAction_, &QAction::triggered, this, [this] { SetDisplayColors(kSchemeDark, true); });
    connect(fullSizeAction_, &QAction::triggered, this, [this] { ToggleFullSize(this); });
    connect(hideMenuAction_, &QAction::triggered, this, [this] { mmLHideMenuClick(); });
    connect(boldLabelAction_, &QAction::triggered, this, [this] { mmLBoldLabelClick(); });
    connect(layoutMenu_, &QMenu::aboutToShow, this, [this] { LayoutClick(); });
    menuBar()->addMenu(layoutMenu_);
}

void TVTProMaster::LayoutClick() {
    sunnyAction_->setText(GetLangText(1174));
    darkAction_->setText(GetLangText(1173));
    fullSizeAction_->setText(GetLangText(1175));
    hideMenuAction_->setText(GetLangText(1176));
    boldLabelAction_->setText(GetLangText(1186));
    sunnyAction_->setChecked(displayLayout.load() == kSchemeLight);
    darkAction_->setChecked(displayLayout.load() == kSchemeDark);
    fullSizeAction_->setChecked(IsFullSize(this));
    hideMenuAction_->setChecked(menuBar()->isHidden());
    boldLabelAction_->setChecked(GetBoldLabel());
}

void TVTProMaster::mmLBoldLabelClick() {
    SetBoldLabel(!GetBoldLabel());
    // The top areas take the weight over at their next value change.
    if (pbMitte_) pbMitte_->Invalidate();
    if (pbPeakDisplay_) pbPeakDisplay_->Invalidate();
}

void TVTProMaster::mmLHideMenuClick() { ToggleMenuBar(); }

void TVTProMaster::PrepareSettingsMenu() {
    PostMainNotify(kNotifyCalStatus, 0);
    if (lsRefAction_) lsRefAction_->setVisible(inputAssign.load() == kInputsAsWired);
}

void TVTProMaster::PrepareLanguageMenu() {
    germanAction_->setChecked(language.load() == kLanguageGerman);
    englishAction_->setChecked(language.load() == kLanguageEnglish);
}

void TVTProMaster::BuildEventListMenu() {
    eventListMenu_ = NamedMenu(pbInfoMessung_, "pmEventList", QString());
    clearEventAction_ = NamedAction(eventListMenu_, "ClearEvent", 869);
    connect(clearEventAction_, &QAction::triggered, this, [this] { ClearEvent1Click(); });
    connect(eventListMenu_, &QMenu::aboutToShow, this, [this] { PrepareEventListMenu(); });
    pbInfoMessung_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pbInfoMessung_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { eventListMenu_->popup(pbInfoMessung_->mapToGlobal(at)); });
}

void TVTProMaster::PrepareEventListMenu() {
    clearEventAction_->setText(GetLangText(869));
    clearEventAction_->setEnabled(!GetMessungLaeuft());
}

void TVTProMaster::ClearEvent1Click() {
    // The list belongs to the run while one is measured.
    if (GetMessungLaeuft()) return;
    events_.Clear();
    RefreshEventZoom(false);
    if (pbInfoMessung_) pbInfoMessung_->Invalidate();
}
