#include "store/restore_backup_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>
#include <QWindow>

#include "platform/user_dialogs.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kTextCaption = 232;
constexpr int32_t kTextRestoredInto = 811;
constexpr int32_t kTextRestoreHeader = 812;
constexpr int32_t kTextRestoreButton = 813;
constexpr int32_t kTextCancelButton = 814;
constexpr int32_t kTextOkay = 1054;

// The form at 96 pixels per inch.
constexpr QSize kClientSize(638, 364);
constexpr QRect kTreeRect(0, 8, 369, 336);
constexpr QRect kInfoRect(381, 8, 239, 244);
constexpr QRect kOkRect(381, 260, 239, 39);
constexpr QRect kExitRect(381, 305, 239, 39);
constexpr int kInfoMargin = 5;

QRect Scaled(const QRect& r, double sf) {
    return QRect(RoundI(r.x() * sf), RoundI(r.y() * sf), RoundI(r.width() * sf), RoundI(r.height() * sf));
}

// Inside root, or root itself.
bool LiesUnder(const QString& folder, const QString& root) {
    const QString relative = QDir(root).relativeFilePath(folder);
    return !relative.startsWith(QLatin1String(".."));
}

}  // namespace

TRestoreBackup::TRestoreBackup(QWidget* owner, double dpi)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setModal(true);
    setWindowTitle(GetLangText(kTextCaption));

    model_ = new QFileSystemModel(this);
    // Folders only; hidden ones too, since backups may lie under one.
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::Drives);
    model_->setReadOnly(true);
    fs2 = new QTreeView(this);
    fs2->setModel(model_);
    fs2->setHeaderHidden(true);
    fs2->setSortingEnabled(true);
    fs2->sortByColumn(0, Qt::AscendingOrder);
    for (int column = 1; column < model_->columnCount(); ++column) fs2->hideColumn(column);
    connect(fs2->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { ScanFolder(model_->filePath(current)); });

    pbInfo = new TPaintBox32(this);
    pbInfo->OnPaintBuffer = [this](TPaintBox32* box) { PaintInfo(box); };
    pTOk = new TPaintBox32(this);
    pTOk->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, kTextRestoreButton); };
    pTOk->OnClick = [this](TPaintBox32*) { Button1Click(); };
    pTOk->setVisible(false);
    pTExit = new TPaintBox32(this);
    pTExit->OnPaintBuffer = [](TPaintBox32* box) { PaintButtonText(box, kTextCancelButton); };
    pTExit->OnClick = [this](TPaintBox32*) { pTExitClick(); };
    for (TPaintBox32* button : {pTOk, pTExit}) WireButtonStates(button, false);

    ApplyColors();
    ScaleForm(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));

    MainWindowServices* main = mainWindowServices();
    QString root = main != nullptr ? main->GetTreeBasePath() : QString();
    if (root.isEmpty() || !QFileInfo(root).isDir()) root = QDir::rootPath();
    model_->setRootPath(root);
    fs2->setRootIndex(model_->index(root));
    if (main != nullptr) InitDir(main->GetUserPath());
    QApplication::restoreOverrideCursor();
}

void TRestoreBackup::ApplyColors() {
    const QPalette palette = SchemeWidgetPalette(this->palette());
    setPalette(palette);
    setAutoFillBackground(true);
    fs2->setPalette(palette);
}

// Run at creation and whenever the window moves to a screen of another density.
void TRestoreBackup::ScaleForm(double dpi) {
    mySf = dpi / 96.0;
    setFixedSize(RoundI(kClientSize.width() * mySf), RoundI(kClientSize.height() * mySf));
    fs2->setGeometry(Scaled(kTreeRect, mySf));
    QFont treeFont(QStringLiteral("VERDANA"));
    treeFont.setPixelSize(std::max(1, RoundI(12 * mySf)));
    fs2->setFont(treeFont);
    fs2->setIndentation(RoundI(16 * mySf));
    pbInfo->setGeometry(Scaled(kInfoRect, mySf));
    pbInfo->Buffer().Font.height = RoundI(-12 * mySf);
    pTOk->setGeometry(Scaled(kOkRect, mySf));
    pTExit->setGeometry(Scaled(kExitRect, mySf));
    for (TPaintBox32* button : {pTOk, pTExit}) {
        InitButton(button, mySf, false);
        button->Invalidate();
    }
    pbInfo->Invalidate();
}

void TRestoreBackup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!screenHooked_ && windowHandle() != nullptr) {
        screenHooked_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this](QScreen* screen) {
            if (screen != nullptr && !qFuzzyCompare(screen->logicalDotsPerInch() / 96.0, mySf)) {
                ScaleForm(screen->logicalDotsPerInch());
            }
        });
    }
}

void TRestoreBackup::InitDir(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) return;
    const QString path = QFileInfo(folder).absoluteFilePath();
    // A folder outside the tree's root could not be shown, so the tree
    // widens to the whole file system.
    if (!LiesUnder(path, model_->rootPath())) {
        model_->setRootPath(QDir::rootPath());
        fs2->setRootIndex(model_->index(QDir::rootPath()));
    }
    const QModelIndex index = model_->index(path);
    if (fs2->currentIndex() == index) {
        ScanFolder(path);
        return;
    }
    fs2->setCurrentIndex(index);
    fs2->scrollTo(index);
}

QString TRestoreBackup::SelectedFolder() const { return model_->filePath(fs2->currentIndex()); }

void TRestoreBackup::ScanFolder(const QString& folder) {
    scan_ = ScanBackupFolder(folder);
    pTOk->setVisible(scan_.restorable);
    pbInfo->Invalidate();
}

void TRestoreBackup::PaintInfo(TPaintBox32* box) {
    TBitmap32& buffer = box->Buffer();
    buffer.Clear(clBack32);
    buffer.FrameRect(buffer.BoundsRect(), clText32);
    if (scan_.infoText.isEmpty()) return;
    buffer.Font.name = QStringLiteral("VERDANA");
    buffer.Font.color = clText;
    const int margin = RoundI(kInfoMargin * mySf);
    buffer.DrawText(buffer.BoundsRect().adjusted(margin, margin, -margin, -margin), scan_.infoText,
                    kTextLeft | kTextWordBreak);
}

void TRestoreBackup::Button1Click() {
    if (scan_.restoreDir.isEmpty()) return;
    platform::SaveFileRequest request;
    request.title = QStringLiteral("Speicherort für die Wiederherstellung wählen");
    request.filter = QStringLiteral("Veltaro Protokoll|*.VTM");
    request.defaultExtension = QStringLiteral("vtm");
    if (MainWindowServices* main = mainWindowServices()) request.startFolder = main->GetUserPath();
    request.owner = this;
    const platform::SaveFileAnswer answer = platform::userDialogs()->AskSaveFile(request);
    if (!answer.ok()) return;

    const RestoreResult result = RestoreFromBackup(scan_.restoreDir, answer.path);
    if (!result.ok) {
        AskMessage(result.error, 0, kTextRestoreHeader, 0, 0, kTextOkay, this);
        return;
    }
    RestoreFileName = answer.path;
    AskMessage(WithTextArgument(GetLangText(kTextRestoredInto), answer.path), kTextRestoredInto, kTextRestoreHeader,
               0, 0, kTextOkay, this);
    done(kRestoreDone);
}
