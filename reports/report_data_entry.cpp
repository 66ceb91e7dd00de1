#include "reports/report_data_entry.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include "reports/report_dialog_kit.h"
#include "reports/symbolic_path.h"
#include "store/measurement_file.h"
#include "store/measurement_store.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kImportPa = 0;
constexpr int kImportEvent = 1;
constexpr int kImportAll = 2;

// The memo's lines, each ended by a line break.
QString MemoLines(const QPlainTextEdit* memo) {
    QString out;
    for (const QString& line : memo->toPlainText().split(QLatin1Char('\n'))) out += line + QStringLiteral("\r\n");
    return out;
}

bool FileIsEnciphered(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && IsEncipheredFile(file.read(8));
}

QLabel* FieldLabel(int32_t id, bool required, QWidget* parent) {
    auto* label = new QLabel(GetLangText(id), parent);
    QFont font = label->font();
    font.setBold(required);
    label->setFont(font);
    return label;
}

}  // namespace

TMessProtokollEingabe::TMessProtokollEingabe(QWidget* owner, double dpi)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setModal(true);
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    mySf = DialogScale(dpi, owner, this);
    setFont(TFont32{QStringLiteral("VERDANA"), RoundI(-12 * mySf), false, clText}.ToQFont());
    setWindowTitle(GetLangText(668));
    PageControl1 = new QTabWidget(this);
    PageControl1->addTab(BuildEventPage(), GetLangText(645));
    PageControl1->addTab(BuildPaPage(), GetLangText(653));
    PageControl1->addTab(BuildImportPage(), GetLangText(660));
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        SetEditStyle(e, mySf);
        InstallEnterEscapeFilter(e);
    }
    for (QPlainTextEdit* m : {mVAOrt, mHinweise, mPAInfo}) SetMemoStyle(m, mySf);

    auto* bar = new QWidget(this);
    pbCancel = new TPaintBox32(bar);
    pbCancel->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 403); };
    pbCancel->OnClick = [this](TPaintBox32*) { done(2); };
    pbClear = new TPaintBox32(bar);
    pbClear->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 1122); };
    pbClear->OnClick = [this](TPaintBox32*) { Reset(); };
    pbOk = new TPaintBox32(bar);
    pbOk->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 427); };
    pbOk->OnClick = [this](TPaintBox32*) { done(1); };
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    for (TPaintBox32* button : {pbCancel, pbClear, pbOk}) {
        InitButton(button, mySf, true);
        button->setFixedSize(button->size());
        WireButtonStates(button, true);
    }
    barLayout->addWidget(pbCancel);
    barLayout->addStretch();
    barLayout->addWidget(pbClear);
    barLayout->addStretch();
    barLayout->addWidget(pbOk);
    auto* legend = FieldLabel(659, true, this);
    auto* layout = new QVBoxLayout(this);
    const int m = RoundI(16 * mySf);
    layout->setContentsMargins(m, m, m, m);
    layout->addWidget(PageControl1, 1);
    layout->addWidget(bar);
    layout->addWidget(legend);
    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this](int page) { pbClear->setVisible(page != kImportPage); });
    setTabOrder(edVAName, edVeranstalter);
    setTabOrder(edVeranstalter, mVAOrt);
    setTabOrder(edVAAnschrift, edVAPLZ);
    setTabOrder(edVAPLZ, edVAOrt);
    setTabOrder(edVAOrt, edVAZeit);
    setTabOrder(edVAZeit, mHinweise);
    setTabOrder(edMessFA, edUnterzeichnung);
    setTabOrder(edUnterzeichnung, edPATel);
    setTabOrder(edPATel, edPATeam);
    setTabOrder(edPATeam, mPAInfo);
    for (QPlainTextEdit* m2 : {mVAOrt, mHinweise, mPAInfo}) m2->setTabChangesFocus(true);
    resize(RoundI(760 * mySf), RoundI(560 * mySf));
}

QWidget* TMessProtokollEingabe::BuildEventPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    edVAName = new QLineEdit(page);
    edVeranstalter = new QLineEdit(page);
    mVAOrt = new QPlainTextEdit(page);
    edVAAnschrift = new QLineEdit(page);
    edVAPLZ = new QLineEdit(page);
    edVAOrt = new QLineEdit(page);
    edVAZeit = new QLineEdit(page);
    mHinweise = new QPlainTextEdit(page);
    edVAPLZ->setMaximumWidth(RoundI(90 * mySf));
    grid->addWidget(FieldLabel(646, false, page), 0, 0);
    grid->addWidget(edVAName, 0, 1, 1, 2);
    grid->addWidget(FieldLabel(647, true, page), 1, 0);
    grid->addWidget(edVeranstalter, 1, 1, 1, 2);
    grid->addWidget(FieldLabel(648, true, page), 2, 0);
    grid->addWidget(mVAOrt, 2, 1, 1, 2);
    grid->addWidget(FieldLabel(649, true, page), 3, 0);
    grid->addWidget(edVAAnschrift, 3, 1, 1, 2);
    grid->addWidget(FieldLabel(650, true, page), 4, 0);
    grid->addWidget(edVAPLZ, 4, 1);
    grid->addWidget(edVAOrt, 4, 2);
    grid->addWidget(FieldLabel(651, false, page), 5, 0);
    grid->addWidget(edVAZeit, 5, 1, 1, 2);
    grid->addWidget(FieldLabel(652, false, page), 6, 0, 1, 3);
    grid->addWidget(mHinweise, 7, 0, 1, 3);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(2, 1);
    return page;
}

QWidget* TMessProtokollEingabe::BuildPaPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    edMessFA = new QLineEdit(page);
    edUnterzeichnung = new QLineEdit(page);
    edPATel = new QLineEdit(page);
    edPATeam = new QLineEdit(page);
    mPAInfo = new QPlainTextEdit(page);
    const struct {
        int32_t id;
        bool required;
        QLineEdit* edit;
    } rows[] = {{654, true, edMessFA}, {655, true, edUnterzeichnung}, {656, false, edPATel}, {657, false, edPATeam}};
    int r = 0;
    for (const auto& row : rows) {
        grid->addWidget(FieldLabel(row.id, row.required, page), r, 0);
        grid->addWidget(row.edit, r++, 1);
    }
    grid->addWidget(FieldLabel(658, false, page), r++, 0, 1, 2);
    grid->addWidget(mPAInfo, r, 0, 1, 2);
    grid->setRowStretch(r, 1);
    return page;
}

QWidget* TMessProtokollEingabe::BuildImportPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    pbFileName = new TPaintBox32(page);
    pbFileName->setFixedHeight(RoundI(22 * mySf));
    pbFileName->OnPaintBuffer = [this](TPaintBox32* box) {
        TBitmap32& b = box->Buffer();
        b.Clear(clBack32);
        b.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * mySf), false, clText};
        b.DrawText(box->ClientRect(), SymbolicPath(selected_), kTextLeft | kTextVCenter | kTextSingleLine |
                                                                   kTextPathEllipsis);
    };
    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    fs2 = new QTreeView(page);
    fs2->setModel(model_);
    for (int c = 1; c < model_->columnCount(); ++c) fs2->hideColumn(c);
    fs2->header()->hide();
    MainWindowServices* main = mainWindowServices();
    const QString base = main != nullptr ? main->GetTreeBasePath() : QDir::homePath();
    fs2->setRootIndex(model_->setRootPath(base));
    if (main != nullptr) fs2->setCurrentIndex(model_->index(main->GetUserPath()));
    connect(fs2->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) { PreviewFile(model_->filePath(index)); });
    cbImportArt = new QComboBox(page);
    for (const int32_t id : {663, 664, 665}) cbImportArt->addItem(GetLangText(id));
    SetComboStyle(mySf, cbImportArt);
    pProtDaten = new TPaintBox32(page);
    pProtDaten->OnPaintBuffer = [this](TPaintBox32* box) {
        TBitmap32& b = box->Buffer();
        b.Clear(clBack32);
        if (display_text.isEmpty()) return;
        b.FrameRect(box->ClientRect(), 0xFF000000u);
        b.Font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * mySf), false, clText};
        b.DrawText(box->ClientRect().adjusted(5, 5, -5, -5), display_text, kTextLeft | kTextWordBreak);
    };
    pbImport = new TPaintBox32(page);
    pbImport->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 661); };
    pbImport->OnClick = [this](TPaintBox32*) { ImportSelected(); };
    InitButton(pbImport, mySf, true);
    pbImport->setFixedSize(pbImport->size());
    WireButtonStates(pbImport, true);
    pbImport->hide();
    grid->addWidget(pbFileName, 0, 0, 1, 2);
    grid->addWidget(fs2, 1, 0, 4, 1);
    grid->addWidget(new QLabel(GetLangText(662), page), 1, 1);
    grid->addWidget(cbImportArt, 2, 1);
    grid->addWidget(pProtDaten, 3, 1);
    grid->addWidget(pbImport, 4, 1, Qt::AlignRight);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

QLineEdit* TMessProtokollEingabe::Edit(const char* name) const {
    const struct {
        const char* name;
        QLineEdit* edit;
    } edits[] = {{"edVAName", edVAName}, {"edVeranstalter", edVeranstalter}, {"edVAAnschrift", edVAAnschrift},
                 {"edVAPLZ", edVAPLZ},   {"edVAOrt", edVAOrt},               {"edVAZeit", edVAZeit},
                 {"edMessFA", edMessFA}, {"edUnterzeichnung", edUnterzeichnung}, {"edPATel", edPATel},
                 {"edPATeam", edPATeam}};
    for (const auto& e : edits)
        if (qstrcmp(e.name, name) == 0) return e.edit;
    return nullptr;
}

void TMessProtokollEingabe::SetData(const TDaten& store) {
    edPATeam->setText(store.GetPATeam());
    edMessFA->setText(store.GetMessFirma());
    edPATel->setText(store.GetPAKontakt());
    edUnterzeichnung->setText(store.GetUnterzeichner());
    SetPaText(store.GetPAText());
    edVeranstalter->setText(store.GetVeranstalter());
    edVAOrt->setText(store.GetORT());
    edVAPLZ->setText(store.GetPLZ());
    edVAAnschrift->setText(store.GetAdresse());
    edVAName->setText(store.GetVeranstaltung());
    edVAZeit->setText(store.GetZeitraum());
    SetHinweisText(store.GetHinweisText());
    SetVAOrtText(store.GetLocationText());
}

void TMessProtokollEingabe::WriteTo(TDaten& store) const {
    store.SetVeranstalter(edVeranstalter->text());
    store.SetUnterzeichner(edUnterzeichnung->text());
    store.SetLocationText(GetVAOrtText());
    store.SetORT(edVAOrt->text());
    store.SetPLZ(edVAPLZ->text());
    store.SetAdresse(edVAAnschrift->text());
    store.SetPATeam(edPATeam->text());
    store.SetVeranstaltung(edVAName->text());
    store.SetZeitraum(edVAZeit->text());
    store.SetPAKontakt(edPATel->text());
    store.SetMessFirma(edMessFA->text());
    store.SetPAText(GetPAText());
    store.SetHinweisText(GetHinweisText());
}

QString TMessProtokollEingabe::GetHinweisText() const { return MemoLines(mHinweise); }
void TMessProtokollEingabe::SetHinweisText(const QString& text) { SetMemoText(mHinweise, text); }
QString TMessProtokollEingabe::GetPAText() const { return MemoLines(mPAInfo); }
void TMessProtokollEingabe::SetPaText(const QString& text) { SetMemoText(mPAInfo, text); }
QString TMessProtokollEingabe::GetVAOrtText() const { return mVAOrt->toPlainText(); }
void TMessProtokollEingabe::SetVAOrtText(const QString& text) { SetMemoText(mVAOrt, text); }

bool TMessProtokollEingabe::ImportVisible() const { return !pbImport->isHidden(); }

void TMessProtokollEingabe::PreviewFile(const QString& path) {
    selected_ = path;
    pbFileName->Invalidate();
    if (QFileInfo(path).suffix().compare(QStringLiteral("vtm"), Qt::CaseInsensitive) != 0) {
        display_text = GetLangText(667);
        pbImport->hide();
        pProtDaten->Invalidate();
        return;
    }
    TDaten header;
    QString why;
    display_text = QFileInfo(path).fileName() + QLatin1Char('\n');
    if (header.LoadFromFile(path, kLoadHeaderOnly, &why) != kLoadDone) {
        // Only an enciphered file is called protected; a damaged one says why.
        display_text += FileIsEnciphered(path) ? GetLangText(1000) : why;
    } else {
        const int kind = cbImportArt->currentIndex();
        display_text += header.GetVeranstaltung() + QLatin1Char('\n') + GetLangText(666) +
                        DateTimeText(header.GetStartTime()) + QStringLiteral("\n\n");
        if (kind == kImportEvent || kind == kImportAll) {
            display_text += header.GetLocationText() + QLatin1Char('\n');
            if (!header.GetAdresse().isEmpty()) display_text += header.GetAdresse() + QLatin1Char('\n');
            display_text += header.GetPLZ() + QLatin1Char(' ') + header.GetORT() + QStringLiteral("\n\n");
        }
        if (kind == kImportPa || kind == kImportAll) display_text += header.GetPAText();
    }
    pbImport->show();
    pProtDaten->Invalidate();
}

void TMessProtokollEingabe::ImportSelected() {
    if (pbImport->isHidden() || !QFileInfo(selected_).isFile()) return;
    TDaten source;
    if (source.LoadFromFile(selected_, kLoadHeaderForImport) != kLoadDone) return;
    TakeImport(source, cbImportArt->currentIndex());
}

void TMessProtokollEingabe::TakeImport(const TDaten& source, int kind) {
    if (kind == kImportPa || kind == kImportAll) {
        edPATeam->setText(source.GetPATeam());
        edMessFA->setText(source.GetMessFirma());
        edPATel->setText(source.GetPAKontakt());
        edUnterzeichnung->setText(source.GetUnterzeichner());
        SetPaText(source.GetPAText());
    }
    if (kind == kImportEvent || kind == kImportAll) {
        edVeranstalter->setText(source.GetVeranstalter());
        edVAOrt->setText(source.GetORT());
        edVAPLZ->setText(source.GetPLZ());
        edVAAnschrift->setText(source.GetAdresse());
        edVAName->setText(source.GetVeranstaltung());
        edVAZeit->setText(source.GetZeitraum());
        SetHinweisText(source.GetHinweisText());
        SetVAOrtText(source.GetLocationText());
    }
    PageControl1->setCurrentIndex(kind == kImportPa ? kPaPage : kEventPage);
}

void TMessProtokollEingabe::Reset() {
    if (PageControl1->currentIndex() == kPaPage) {
        for (QLineEdit* e : {edMessFA, edUnterzeichnung, edPATel, edPATeam}) e->clear();
        mPAInfo->clear();
    } else if (PageControl1->currentIndex() == kEventPage) {
        for (QLineEdit* e : {edVAName, edVeranstalter, edVAAnschrift, edVAPLZ, edVAOrt, edVAZeit}) e->clear();
        for (QPlainTextEdit* m : {mVAOrt, mHinweise}) m->clear();
    }
}

bool TMessProtokollEingabe::MemoHasFocus() const {
    return mVAOrt->hasFocus() || mHinweise->hasFocus() || mPAInfo->hasFocus();
}

void TMessProtokollEingabe::keyReleaseEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !MemoHasFocus()) {
        ButtonSetHot(pbOk);
        done(1);
        return;
    }
    if (key == Qt::Key_Escape) {
        ButtonSetHot(pbCancel);
        done(2);
        return;
    }
    QDialog::keyReleaseEvent(event);
}

void TMessProtokollEingabe::reject() { done(2); }
