#include "reports/measurement_viewer.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTimer>

#include <cmath>

#include "platform/printer_port.h"
#include "platform/user_dialogs.h"
#include "reports/level_graph.h"
#include "reports/print_options_dialog.h"
#include "reports/print_settings.h"
#include "reports/report_dialog_kit.h"
#include "reports/report_producer.h"
#include "reports/time_jump_dialog.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/message_box.h"
#include "ui_kit/notifications.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/services/report_services.h"
#include "ui_kit/services/sftp_services.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kCeilings[] = {160, 140, 120, 100, 80};
constexpr int kRanges[] = {40, 60, 80, 100};

// Caption text ids of the menus and actions, by object name.
struct Caption {
    const char* name;
    int32_t id;
};
constexpr Caption kCaptions[] = {
    {"DIN159055Laden1", 287}, {"aCSVEinzelwerte", 288}, {"aPrintProt", 289}, {"pmPPrintDirekt", 1214},
    {"mmPSFTP", 1251},        {"Fensterschlieen1", 290}, {"Informationen1", 292}, {"aEinzelwerte", 293},
    {"Grafik1", 294},         {"mbZeitSuchen", 683},
};
constexpr Caption kMenuCaptions[] = {{"Datei1", 228},         {"Anzeige1", 291}, {"Optionen1", 295},
                                     {"Obergrenze1", 250},    {"Anzeigebereich1", 249},
                                     {"Kurven1", 296},        {"Werte1", 297}};

QAction* NewAction(QWidget* owner, QMenu* menu, const char* name, bool checkable = false) {
    auto* action = new QAction(owner);
    action->setObjectName(QLatin1String(name));
    action->setCheckable(checkable);
    if (menu) menu->addAction(action);
    return action;
}

}  // namespace

TProtokoll::TProtokoll(QWidget* owner, double dpi) : QMainWindow(owner, Qt::Window) {
    pdaten = std::make_unique<TDaten>();
    lg = std::make_unique<TLeqGrafik>();
    lg->SetBlock(false);
    self_ = platform::RegisterWindow(
        [this](uint32_t msg, uintptr_t wParam, intptr_t lParam) { ListStartMessage(msg, wParam, lParam); });
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    BuildViews();
    BuildNavigation();
    BuildMenus();
    mySf = DialogScale(dpi, owner, this);
    lg->InitFontSettings(1.0);
    ApplyScale(dpi > 0 ? dpi : mySf * 96);
    SetCaptions();
    resize(RoundI(979 * mySf), RoundI(690 * mySf));
    tTasten = new QTimer(this);
    connect(tTasten, &QTimer::timeout, this, [this] { RepeatTick(); });
    pUnten->hide();
    central_->installEventFilter(this);
    MemoProt->installEventFilter(this);
}

TProtokoll::~TProtokoll() {
    // Posts still on their way find no window and are dropped.
    platform::UnregisterWindow(self_);
    if (mainReady.load() && cClose >= 0) platform::PostMessage(mWin, mClose, static_cast<uintptr_t>(cClose), 3);
}

void TProtokoll::Set_msg(platform::WindowHandle mh, uint32_t mi, int32_t ci) {
    mWin = mh;
    mClose = mi;
    cClose = ci;
}

QAction* TProtokoll::Action(const char* name) const { return findChild<QAction*>(QLatin1String(name)); }

QMenu* TProtokoll::Menu(const char* name) const { return findChild<QMenu*>(QLatin1String(name)); }

bool TProtokoll::Running() const {
    MainWindowServices* main = mainWindowServices();
    return main != nullptr && main->GetMessungLaeuft();
}

// ---------------------------------------------------------------------------
// Menus
// ---------------------------------------------------------------------------

void TProtokoll::BuildMenus() {
    QMenuBar* bar = menuBar();
    const auto newMenu = [this](QWidget* parent, const char* name) {
        auto* menu = new QMenu(parent);
        menu->setObjectName(QLatin1String(name));
        connect(menu, &QMenu::aboutToShow, this, [this] { PrepareMenus(); });
        menus_.push_back(menu);
        return menu;
    };
    QMenu* file = newMenu(this, "Datei1");
    bar->addMenu(file);
    connect(NewAction(this, file, "DIN159055Laden1"), &QAction::triggered, this, [this] { DoFileSelect(); });
    connect(NewAction(this, file, "aCSVEinzelwerte"), &QAction::triggered, this, [this] { ExportCsv(); });
    QAction* print = NewAction(this, file, "aPrintProt");
    print->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(print, &QAction::triggered, this, [this] { PrintReport(); });
    connect(NewAction(this, file, "pmPPrintDirekt"), &QAction::triggered, this, [this] { PrintDirect(); });
    connect(NewAction(this, file, "mmPSFTP"), &QAction::triggered, this, [this] { UploadBySftp(); });
    connect(NewAction(this, file, "Fensterschlieen1"), &QAction::triggered, this, [this] { close(); });

    QMenu* view = newMenu(this, "Anzeige1");
    bar->addMenu(view);
    viewGroup_ = new QActionGroup(this);
    QAction* text = NewAction(this, view, "Informationen1", true);
    QAction* single = NewAction(this, view, "aEinzelwerte", true);
    QAction* curves = NewAction(this, view, "Grafik1", true);
    for (QAction* a : {text, single, curves}) viewGroup_->addAction(a);
    connect(text, &QAction::triggered, this, [this] { ShowReportText(); });
    connect(single, &QAction::triggered, this, [this] { ShowSingleValues(); });
    connect(curves, &QAction::triggered, this, [this] { ShowCurves(); });

    QMenu* options = newMenu(this, "Optionen1");
    bar->addMenu(options);
    QMenu* ceiling = newMenu(options, "Obergrenze1");
    for (const int top : kCeilings) {
        QAction* a = NewAction(this, ceiling, "ceiling", true);
        a->setText(QStringLiteral("%1 dB").arg(top));
        connect(a, &QAction::triggered, this, [this, top] {
            pdaten->SetGraGap(top);
            RedrawGraph();
        });
    }
    QMenu* range = newMenu(options, "Anzeigebereich1");
    for (const int r : kRanges) {
        QAction* a = NewAction(this, range, "range", true);
        a->setText(QStringLiteral("%1 dB").arg(r));
        connect(a, &QAction::triggered, this, [this, r] {
            pdaten->SetGraRange(r);
            RedrawGraph();
        });
    }
    QMenu* traces = newMenu(options, "Kurven1");
    QMenu* columns = newMenu(options, "Werte1");
    bool* traceSwitch[3] = {&bkLeq, &bkLeqK, &bkPeak};
    bool* columnSwitch[3] = {&bwleq, &bwleqk, &bwPeak};
    for (int i = 0; i < 3; ++i) {
        QAction* t = NewAction(this, traces, "trace", true);
        connect(t, &QAction::triggered, this, [this, sw = traceSwitch[i]] {
            *sw = !*sw;
            RedrawGraph();
        });
        QAction* c = NewAction(this, columns, "column", true);
        connect(c, &QAction::triggered, this, [this, sw = columnSwitch[i]] {
            *sw = !*sw;
            if (lastMode == kSingleValues) pbList->Invalidate();
        });
    }
    for (QMenu* sub : {ceiling, range, traces, columns}) options->addMenu(sub);
    connect(NewAction(this, options, "mbZeitSuchen"), &QAction::triggered, this, [this] { SearchTime(); });

    QAction* all = NewAction(this, nullptr, "aShowAll", true);
    addAction(all);
    all->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    all->setChecked(true);
    connect(all, &QAction::triggered, this, [this] { ShowAll(); });

    for (const char* name : {"Anzeige1", "Optionen1"}) Menu(name)->setEnabled(false);
    for (const char* name : {"Informationen1", "Grafik1", "aCSVEinzelwerte", "aPrintProt", "aEinzelwerte"}) {
        Action(name)->setEnabled(false);
    }
    Action("mmPSFTP")->setVisible(sftpServices() != nullptr);
}

void TProtokoll::SetCaptions() {
    for (const Caption& c : kCaptions) Action(c.name)->setText(GetLangText(c.id));
    for (const Caption& c : kMenuCaptions) Menu(c.name)->setTitle(GetLangText(c.id));
    const int32_t lang = language.load();
    const QString labels[3] = {pdaten->GetLEQLabel(lang), pdaten->GetLEQKLabel(lang), pdaten->GetPeakLabel()};
    for (const char* name : {"Kurven1", "Werte1"}) {
        const QList<QAction*> items = Menu(name)->actions();
        for (int i = 0; i < items.size() && i < 3; ++i) items[i]->setText(labels[i]);
    }
    for (TPaintBox32* b : textButtons_) b->Invalidate();
    if (!pbList->isHidden()) {
        pbList->Invalidate();
    } else if (!MemoProt->isHidden() && lastMode == kReportText && language.load() != reportTextLanguage_) {
        reportTextBuilt_ = false;
        ShowReportText();
    }
}

void TProtokoll::PrepareMenus() {
    const bool main = mainWindowServices() != nullptr;
    const bool running = Running();
    const bool loaded = pdaten->Loaded();
    QAction* print = Action("aPrintProt");
    Action("DIN159055Laden1")->setEnabled(!running);
    Action("aCSVEinzelwerte")->setEnabled(loaded && !running);
    print->setEnabled(loaded && !running);
    print->setVisible(pdaten->GetStopTime() > pdaten->GetStartTime());
    QAction* sftp = Action("mmPSFTP");
    sftp->setVisible(sftpServices() != nullptr && print->isVisible() && !running);
    sftp->setEnabled(print->isVisible() && sftpServices() != nullptr);
    QAction* direct = Action("pmPPrintDirekt");
    direct->setVisible(print->isEnabled() && IsPrintReady());
    Action("Grafik1")->setChecked(lastMode == kCurves);
    Action("aEinzelwerte")->setChecked(lastMode == kSingleValues);
    Action("Informationen1")->setChecked(lastMode == kReportText);
    Action("Informationen1")->setEnabled(main && !running && loaded);
    const QList<QAction*> ceilings = Menu("Obergrenze1")->actions();
    for (int k = 0; k < ceilings.size(); ++k) ceilings[k]->setChecked(pdaten->GetGraGap() == kCeilings[k]);
    const QList<QAction*> ranges = Menu("Anzeigebereich1")->actions();
    for (int k = 0; k < ranges.size(); ++k) ranges[k]->setChecked(pdaten->GetGraRange() == kRanges[k]);
    const bool traceOn[3] = {bkLeq, bkLeqK, bkPeak};
    const bool columnOn[3] = {bwleq, bwleqk, bwPeak};
    const QList<QAction*> traces = Menu("Kurven1")->actions();
    const QList<QAction*> columns = Menu("Werte1")->actions();
    for (int i = 0; i < 3; ++i) {
        traces[i]->setChecked(traceOn[i]);
        columns[i]->setChecked(columnOn[i]);
    }
    // Captions first: the direct print's names the printer after it.
    SetCaptions();
    if (direct->isVisible()) {
        direct->setText(GetLangText(1214) + QStringLiteral(" (") + platform::CurrentPrinterName() +
                        QLatin1Char(')'));
    }
}

void TProtokoll::UpdateMenus(bool loaded) {
    if (mainWindowServices() == nullptr) return;
    const bool running = Running();
    Action("Informationen1")->setEnabled(loaded && !running);
    Action("aEinzelwerte")->setEnabled(loaded);
    Action("Grafik1")->setEnabled(loaded);
    Menu("Anzeige1")->setEnabled(loaded);
    Menu("Optionen1")->setEnabled(loaded);
    Action("aCSVEinzelwerte")->setEnabled(loaded && !running);
    Action("aPrintProt")->setEnabled(loaded && !running);
    if (!loaded) return;
    const TCurveFlags flags = pdaten->GetFlags();
    bkLeq = flags.leq;
    bkLeqK = flags.leqK;
    bkPeak = flags.peak;
    bwleq = bkLeq || pdaten->ForceProt(0);
    bwleqk = bkLeqK || pdaten->ForceProt(1);
    bwPeak = bkPeak || pdaten->ForceProt(2);
}

// ---------------------------------------------------------------------------
// Loads
// ---------------------------------------------------------------------------

bool TProtokoll::LoadProt(const QString& fn) {
    if (!QFileInfo(fn).isFile()) {
        setWindowTitle(GetLangText(228));
        AskMessageTexts(GetLangText(286) + QStringLiteral("\r\n") + fn, GetLangText(228), QString(),
                        GetLangText(1054), this);
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Read into a fresh store and swap only on success, so a damaged,
    // refused or cancelled file leaves the shown measurement whole.
    auto fresh = std::make_unique<TDaten>();
    const bool ok = fresh->LoadFromFile(fn, kLoadEverything) == kLoadDone && fresh->Loaded();
    if (ok) {
        pdaten = std::move(fresh);
        fnt = fn;
        currentFileName = fn;
        pbBottomInfo->Invalidate();
        UpdateMenus(true);
        PrepareMeasurement();
    }
    QApplication::restoreOverrideCursor();
    return ok;
}

bool TProtokoll::LoadProt(const TDaten& daten) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto copy = std::make_unique<TDaten>();
    daten.CopyTo(*copy);
    const bool hasValues = copy->GetWerteAnzahl() > 0;
    if (hasValues) {
        pdaten = std::move(copy);
        Action("aEinzelwerte")->setEnabled(true);
        Menu("Anzeige1")->setEnabled(true);
        Menu("Optionen1")->setEnabled(true);
        UpdateMenus(true);
        PrepareMeasurement();
    }
    QApplication::restoreOverrideCursor();
    return hasValues;
}

int TProtokoll::DoFileSelect() {
    platform::OpenFileRequest request;
    request.title = GetLangText(204);
    request.filter = GetLangText(39);
    request.startFolder = currentFileName.isEmpty() ? QString() : QFileInfo(currentFileName).absolutePath();
    request.owner = this;
    const platform::SaveFileAnswer answer = platform::userDialogs()->AskOpenFile(request);
    if (!answer.ok()) return 2;
    if (!QFileInfo(answer.path).isFile()) return 0;
    return LoadProt(answer.path) ? 1 : 0;
}

void TProtokoll::PrepareMeasurement() {
    values_ = pdaten->GetWerte();
    reportTextBuilt_ = false;
    if (Action("Informationen1")->isEnabled()) ShowReportText();
    QString name = pdaten->GetVeranstaltung();
    if (name.isEmpty()) name = pdaten->GetLocationText();
    if (name.isEmpty() || name.compare(QStringLiteral("---"), Qt::CaseInsensitive) == 0) {
        name = pdaten->GetSaveName();
    }
    setWindowTitle(DateText(pdaten->GetStartTime()) + QLatin1Char(' ') + name);
    markList = BuildMarks(*pdaten, values_);
    aInfo = FoldOverview(values_, markList, OverviewWidth());
    Adx = values_.empty() ? 1.0 : static_cast<double>(OverviewWidth()) / static_cast<double>(values_.size());
    lg->AntStart();
    SetCaptions();
    for (TPaintBox32* box : {pbInfo, pbArrow, pbList, pbMain}) box->Invalidate();
}

// ---------------------------------------------------------------------------
// Views
// ---------------------------------------------------------------------------

void TProtokoll::SetMode(int anzeigeMode) {
    if (anzeigeMode == kCurves) {
        ShowCurves();
    } else if (anzeigeMode == kSingleValues) {
        if (Action("aEinzelwerte")->isEnabled()) ShowSingleValues();
    } else {
        ShowReportText();
    }
}

void TProtokoll::ShowView(int mode) {
    MemoProt->setVisible(mode == kReportText);
    pbList->setVisible(mode == kSingleValues);
    pListNavi->setVisible(mode == kSingleValues);
    pbMain->setVisible(mode == kCurves);
    pUnten->setVisible(mode == kCurves);
    const bool curves = mode == kCurves;
    for (const char* name : {"Kurven1", "Obergrenze1", "Anzeigebereich1"}) Menu(name)->setEnabled(curves);
    Menu("Werte1")->setEnabled(!curves);
    Action("mbZeitSuchen")->setVisible(mode == kSingleValues && mainWindowServices() != nullptr && !Running());
    lastMode = mode;
    ArrangeViews();
}

void TProtokoll::ShowCurves() {
    ShowView(kCurves);
    Action("Grafik1")->setChecked(true);
    pbMain->Invalidate();
}

void TProtokoll::ShowSingleValues() {
    if (!Action("aEinzelwerte")->isEnabled()) return;
    if (lastMode == kSingleValues) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ShowView(kSingleValues);
    Action("aEinzelwerte")->setChecked(true);
    listStartID = 0;
    pbList->Invalidate();
    pbArrow->Invalidate();
    QApplication::restoreOverrideCursor();
}

void TProtokoll::ShowReportText() {
    ShowView(kReportText);
    Action("aEinzelwerte")->setChecked(false);
    // The text changes only with the store and the language.
    if (!reportTextBuilt_) {
        TAuswertung producer;
        producer.MemoProtokoll(MemoProt, RoundI(250 * mySf), pdaten.get());
        reportTextBuilt_ = true;
        reportTextLanguage_ = language.load();
    }
    Action("Informationen1")->setChecked(true);
}

void TProtokoll::RedrawGraph() { pbMain->Invalidate(); }

void TProtokoll::DrawCurves(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(clBack32);
    if (!lg || !pdaten || box->isHidden()) return;
    lg->InitFontSettings(mySf);
    lg->SetBackgroundColor(0xFFFFFFFFu);
    const QRect target(0, 0, box->width() - RoundI(15 * mySf), box->height());
    lg->DrawDirect(&buffer, pdaten.get(), bShowAll, bkLeq, false, bkLeqK, bkPeak, Running(), clBack32, false, target,
                   language.load());
}

// ---------------------------------------------------------------------------
// Actions
// ---------------------------------------------------------------------------

void TProtokoll::PrintReport() {
    if (!(pdaten->GetStopTime() > pdaten->GetStartTime())) return;
    const QString title = pdaten->GetVeranstaltung().isEmpty() ? QFileInfo(fnt).fileName() : pdaten->GetVeranstaltung();
    TPrintConfig config;
    if (!config.ShowMenu(title, pdaten.get())) return;
    TPrintSettings& settings = printSettings();
    settings.info = config.GetPrintSettings(1);
    settings.grafik = config.GetPrintSettings(3);
    settings.einzel = config.GetPrintSettings(2);
    if (config.GetLangId() != 0) settings.printOutLangId = config.GetLangId();
    if (!platform::RunPrintDialog(this)) return;
    const QString chosen =
        platform::PrinterIndex() < 0 ? platform::kDefaultPrinterName : platform::CurrentPrinterName();
    SavePrinterSettings(chosen);
    PrintDirect();
}

void TProtokoll::PrintDirect() {
    TPrintSettings& settings = printSettings();
    QString pdfFile;
    if (platform::IsPdfPrinterChosen()) {
        pdfFile = AskPdfTarget(currentFileName, GetLangText(289), this);
        if (pdfFile.isEmpty()) return;
    }
    const int32_t lang = settings.printOutLangId == kLangGerman || settings.printOutLangId == kLangEnglish
                             ? settings.printOutLangId
                             : kLangGerman;
    TAuswertung producer;
    producer.DoProt(pdaten.get(), false, lang, settings.info, settings.grafik, settings.einzel, pdfFile);
}

void TProtokoll::ExportCsv() {
    ReportServices* reports = reportServices();
    if (reports == nullptr) return;
    std::unique_ptr<TcsvExportSettings> dialog = reports->NewCsvExportSettings(this);
    if (!dialog) return;
    const TCurveFlags flags = pdaten->GetFlags();
    const int32_t lang = language.load();
    dialog->PresetColumns(flags.leq, flags.leqK, flags.peak, pdaten->GetLEQLabel(lang), pdaten->GetLEQKLabel(lang),
                          pdaten->GetPeakLabel());
    if (dialog->ShowModal() != 1) return;
    try {
        pdaten->SaveAsCSV(dialog->getFile(), dialog->getSep(), dialog->getDezi(), dialog->GetUseHeader(),
                          dialog->GetELeq(), dialog->GetELeqK(), dialog->GetEPeak());
    } catch (const std::exception& e) {
        AskMessageTexts(QString::fromLocal8Bit(e.what()), GetLangText(288), QString(), GetLangText(1054), this);
    }
}

void TProtokoll::UploadBySftp() {
    SftpServices* sftp = sftpServices();
    if (sftp == nullptr || !QFileInfo(currentFileName).isFile() || !pdaten->Loaded()) return;
    sftp->UploadBySFTP(currentFileName);
}

void TProtokoll::SearchTime() {
    TTimeSelect dialog(this);
    dialog.SetTimeLatch(pdaten->GetStartTime());
    dialog.setZeiten(pdaten->GetStartTime(), pdaten->GetStopTime());
    if (dialog.exec() != 1) return;
    const double seconds = std::floor((dialog.GetTimeLatch() - pdaten->GetStartTime()) * 86400.0 + 1e-6);
    const int32_t interval = pdaten->GetDrawInterval();
    if (interval > 0) PostListStart(static_cast<int64_t>(std::floor(seconds / interval)));
}

// ---------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------

void TProtokoll::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (mainReady.load() && cClose >= 0) platform::PostMessage(mWin, mClose, static_cast<uintptr_t>(cClose), 2);
}

void TProtokoll::SwitchLanguage(int32_t lang) {
    if (language.load() == lang) return;
    if (mainWnd.load() != 0) platform::SendMessage(mainWnd.load(), WM_MAIN_NOTIFY, kNotifyLanguage, lang);
    SetCaptions();
}
