#include "reports/csv_export_dialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>

#include <cmath>

#include "platform/user_dialogs.h"
#include "reports/report_dialog_kit.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int kComma = 44;
constexpr int kDot = 46;

// A label that opens the save prompt when clicked.
class TClickLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && onClick) onClick();
    }
};

}  // namespace

TcsvExportDialog::TcsvExportDialog(QWidget* owner, double dpi)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setModal(true);
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    setWindowTitle(GetLangText(685));
    Label1 = new QLabel(GetLangText(686), this);
    cbTrenn = new QComboBox(this);
    for (const auto& [id, code] : {std::pair{693, kComma}, std::pair{695, 59}, std::pair{696, 9}, std::pair{697, 32}}) {
        cbTrenn->addItem(GetLangText(id), code);
    }
    Label2 = new QLabel(GetLangText(688), this);
    cbDezi = new QComboBox(this);
    cbDezi->addItem(GetLangText(692), kDot);
    cbDezi->addItem(GetLangText(693), kComma);
    cbTrenn->setCurrentIndex(0);
    connect(cbTrenn, &QComboBox::currentIndexChanged, this, [this] { SeparatorChanged(); });
    pbUseLabels = new TPaintBox32(this);
    pbUseLabels->OnPaintBuffer = [this](TPaintBox32* box) { sUseLabel.PaintMO(box, localSf); };
    WireSelectBoxHover(pbUseLabels);
    pbUseLabels->OnClick = [this](TPaintBox32*) { ClickHeaderTick(); };
    GroupBox1 = new QGroupBox(GetLangText(690), this);
    pbExport = new TPaintBox32(GroupBox1);
    pbExport->OnPaintBuffer = [this](TPaintBox32* box) { PaintColumns(box); };
    pbExport->OnMouseUp = [this](TPaintBox32* box, Qt::MouseButton button, int x, int y) {
        if (button == Qt::LeftButton && box->rect().contains(x, y)) ClickColumnRow(RowAt(y));
    };
    pbExport->OnMouseMove = [this](TPaintBox32* box, int, int y) {
        const intptr_t tag = box->height() > 0 ? static_cast<intptr_t>(std::ceil(y * 3.0 / box->height())) : 0;
        if (tag != box->Tag) {
            box->Tag = tag;
            box->Invalidate();
        }
    };
    pbExport->OnMouseLeave = [](TPaintBox32* box) {
        box->Tag = 0;
        box->Invalidate();
    };
    GroupBox2 = new QGroupBox(GetLangText(691), this);
    SpeedButton1 = new QToolButton(GroupBox2);
    SpeedButton1->setText(QStringLiteral("…"));
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { ChooseFile(); });
    auto* fileLabel = new TClickLabel(GetLangText(694), GroupBox2);
    fileLabel->onClick = [this] { ChooseFile(); };
    Label3 = fileLabel;
    pbCancel = new TPaintBox32(this);
    pbCancel->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 403); };
    pbCancel->OnClick = [this](TPaintBox32*) { done(2); };
    pbOk = new TPaintBox32(this);
    pbOk->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, 687); };
    pbOk->OnClick = [this](TPaintBox32*) { done(1); };
    for (TPaintBox32* button : {pbCancel, pbOk}) WireButtonStates(button, true);
    sUseLabel.SetLabel(689);
    sUseLabel.SetSelected(false);
    localSf = DialogScale(dpi, owner, this);
    ArrangeControls();
    SeparatorChanged();
    UpdateExportButton();
}

void TcsvExportDialog::PresetColumns(bool leq, bool leqK, bool peak, const QString& leqLabel,
                                     const QString& leqKLabel, const QString& peakLabel) {
    const bool on[3] = {leq, leqK, peak};
    const QString labels[3] = {leqLabel, leqKLabel, peakLabel};
    for (int i = 0; i < 3; ++i) {
        columns_[i].SetSelected(on[i]);
        columns_[i].SetLabel(labels[i]);
    }
    UpdateExportButton();
    pbExport->Invalidate();
}

QChar TcsvExportDialog::getSep() const { return QChar(cbTrenn->currentData().toInt()); }

QChar TcsvExportDialog::getDezi() const { return QChar(cbDezi->currentData().toInt()); }

void TcsvExportDialog::SeparatorChanged() {
    const bool comma = cbTrenn->currentData().toInt() == kComma;
    cbDezi->setEnabled(!comma);
    if (comma) cbDezi->setCurrentIndex(cbDezi->findData(kDot));
}

void TcsvExportDialog::ChooseFile() {
    platform::SaveFileRequest request;
    request.title = QStringLiteral("Dateiname auswählen");
    request.filter = QStringLiteral("CSV Datei |*.csv|Textdatei|*.txt|Alle Dateien|*.*");
    request.defaultExtension = QStringLiteral("csv");
    request.startFolder = datei.isEmpty() ? QString() : QFileInfo(datei).absolutePath();
    request.fileName = datei;
    request.owner = this;
    const platform::SaveFileAnswer answer = platform::userDialogs()->AskSaveFile(request);
    if (answer.ok()) {
        datei = answer.path;
        Label3->setText(QFileInfo(datei).fileName());
        Label3->setToolTip(datei);
    }
    UpdateExportButton();
}

QString TcsvExportDialog::FileLabel() const { return Label3->text(); }

void TcsvExportDialog::ClickColumnRow(int row) {
    if (row < 0 || row > 2) return;
    columns_[row].DoClick();
    UpdateExportButton();
    pbExport->Invalidate();
}

void TcsvExportDialog::ClickHeaderTick() {
    sUseLabel.DoClick();
    pbUseLabels->Invalidate();
}

bool TcsvExportDialog::ExportVisible() const { return !pbOk->isHidden(); }

void TcsvExportDialog::UpdateExportButton() {
    const bool anyColumn = GetELeq() || GetELeqK() || GetEPeak();
    pbOk->setVisible(datei.size() > 3 && anyColumn);
}

int TcsvExportDialog::RowAt(int y) const {
    if (pbExport->height() <= 0) return -1;
    return static_cast<int>(std::floor(y * 3.0 / pbExport->height()));
}

void TcsvExportDialog::PaintColumns(TPaintBox32* box) {
    box->Buffer().Clear(clBack32);
    const int rowH = RoundI(box->height() / 3.0);
    for (int i = 0; i < 3; ++i) {
        columns_[i].Paint(box, QRect(0, i * rowH, box->width(), rowH), box->Tag == i + 1, localSf, false,
                          columns_[i].myLabel);
    }
}

void TcsvExportDialog::ArrangeControls() {
    const double s = localSf;
    const int m = RoundI(16 * s);
    const int clientW = RoundI(420 * s);
    const QFont font = TFont32{QStringLiteral("VERDANA"), RoundI(-12 * s), false, clText}.ToQFont();
    setFont(font);
    for (QComboBox* combo : {cbTrenn, cbDezi}) SetComboStyle(s, combo);
    const int comboW = RoundI(180 * s);
    const int rowH = cbTrenn->sizeHint().height();
    Label1->setGeometry(m, m, clientW - 3 * m - comboW, rowH);
    cbTrenn->setGeometry(clientW - m - comboW, m, comboW, rowH);
    Label2->setGeometry(m, cbTrenn->geometry().bottom() + 1 + m / 2, clientW - 3 * m - comboW, rowH);
    cbDezi->setGeometry(clientW - m - comboW, Label2->y(), comboW, rowH);
    pbUseLabels->setGeometry(m, cbDezi->geometry().bottom() + 1 + m / 2, clientW - 2 * m, RoundI(25 * s));
    const int captionTop = RoundI(20 * s);
    GroupBox1->setGeometry(m, pbUseLabels->geometry().bottom() + 1 + m / 2, clientW - 2 * m,
                           captionTop + RoundI(75 * s) + RoundI(4 * s));
    pbExport->setGeometry(RoundI(10 * s), captionTop, GroupBox1->width() - RoundI(20 * s),
                          GroupBox1->height() - captionTop - RoundI(4 * s));
    GroupBox2->setGeometry(m, GroupBox1->geometry().bottom() + 1 + m / 2, clientW - 2 * m,
                           captionTop + RoundI(34 * s));
    const int glyph = RoundI(26 * s);
    SpeedButton1->setGeometry(RoundI(10 * s), captionTop, glyph, glyph);
    Label3->setGeometry(SpeedButton1->geometry().right() + 1 + RoundI(8 * s), captionTop,
                        GroupBox2->width() - glyph - RoundI(28 * s), glyph);
    for (TPaintBox32* button : {pbCancel, pbOk}) InitButton(button, s, true);
    const int buttonTop = GroupBox2->geometry().bottom() + 1 + m;
    pbCancel->move(m, buttonTop);
    pbOk->move(clientW - m - pbOk->width(), buttonTop);
    setFixedSize(clientW, buttonTop + pbOk->height() + m);
    for (TPaintBox32* box : {pbUseLabels, pbExport, pbCancel, pbOk}) box->Invalidate();
}
