// The location texts of the report in the menu "Texte und Daten": one item
// per group of weightings whose corrections were determined together, one for
// the measuring position, and the editor they open.
#include <QAction>
#include <QCursor>
#include <QMenu>

#include <cmath>

#include "calibration/location_text_editor.h"
#include "main/main_window.h"
#include "store/measurement_store.h"
#include "ui_kit/message_box.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kMeasuringPosition = 8;
constexpr double kSameTimeDays = 0.001 / 86400.0;

bool SameTime(platform::TDateTime a, platform::TDateTime b) { return std::fabs(a - b) <= kSameTimeDays; }

// Which items the menu shows for the correction times of A, C and Z: their
// captions and the weighting bits each edits.
std::vector<std::pair<QString, int32_t>> ImmiMenuItems(platform::TDateTime a, platform::TDateTime c,
                                                       platform::TDateTime z) {
    const QString base = GetLangText(1069);
    const bool ac = SameTime(a, c), az = SameTime(a, z), cz = SameTime(c, z);
    if (ac && az) return {{base, 7}};
    if (ac) return {{base + QStringLiteral(" (A + C)"), 3}, {base + QStringLiteral(" (Z)"), 4}};
    if (az) return {{base + QStringLiteral(" (A + Z)"), 5}, {base + QStringLiteral(" (C)"), 2}};
    if (cz) return {{base + QStringLiteral(" (A)"), 1}, {base + QStringLiteral(" (C + Z)"), 6}};
    return {{base + QStringLiteral(" (A)"), 1}, {base + QStringLiteral(" (C)"), 2}, {base + QStringLiteral(" (Z)"), 4}};
}

}  // namespace

void TVTProMaster::UpdateImmiMenu(bool show) {
    QAction* items[3] = {CalAction("miImmi1"), CalAction("miImmi2"), CalAction("miImmi3")};
    QAction* position = CalAction("miEImmi");
    if (!show) {
        for (QAction* item : items) if (item) item->setVisible(false);
        if (position) position->setVisible(false);
        return;
    }
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    if (position) {
        position->setVisible(true);
        position->setData(kMeasuringPosition);
    }
    const auto menu = ImmiMenuItems(store->GetKorrTime(1), store->GetKorrTime(2), store->GetKorrTime(4));
    for (size_t i = 0; i < 3; ++i) {
        if (items[i] == nullptr) continue;
        items[i]->setVisible(i < menu.size());
        if (i >= menu.size()) continue;
        items[i]->setText(menu[i].first);
        items[i]->setData(menu[i].second);
    }
}

void TVTProMaster::SetImmiMenus(bool idle) {
    UpdateImmiMenu(idle);
    const TDaten* store = defaultDaten.load();
    if (QAction* position = CalAction("miEImmi"))
        position->setVisible(idle && store != nullptr && store->GetKorrArt() != kKorrNoCorrection);
}

void TVTProMaster::OpenEditKorr(int32_t flags) {
    const TDaten* store = defaultDaten.load();
    if (store == nullptr) return;
    if (hEditKorr_ == nullptr) hEditKorr_ = new TEditKorr(this);
    hEditKorr_->SetMode(flags);
    QString text = QStringLiteral("---");
    if (flags & 1) text = store->GetKorrText(1);
    if (flags & 2) text = store->GetKorrText(2);
    if (flags & 4) text = store->GetKorrText(4);
    if (flags == kMeasuringPosition) text = store->GetKorrText(8);
    hEditKorr_->SetIt(text);
    const QPoint wanted(settings_.posEditKorrX, settings_.posEditKorrY);
    const QPoint corner = FitRectToWorkArea(QRect(wanted, hEditKorr_->size()));
    settings_.posEditKorrX = corner.x();
    settings_.posEditKorrY = corner.y();
    hEditKorr_->move(corner);
    hEditKorr_->show();
    hEditKorr_->raise();
}

// The editor's end: its text goes to every weighting its mode names. The
// default store is saved with the next measurement or at exit.
void TVTProMaster::EditKorrDone(bool accepted) {
    TDaten* store = defaultDaten.load();
    if (hEditKorr_ == nullptr || store == nullptr) return;
    settings_.posEditKorrX = hEditKorr_->x();
    settings_.posEditKorrY = hEditKorr_->y();
    const QString text = hEditKorr_->GetIt();
    const int32_t mode = hEditKorr_->Getmode();
    hEditKorr_->hide();
    hEditKorr_->deleteLater();
    hEditKorr_ = nullptr;
    if (!accepted) return;
    if (mode == kMeasuringPosition) {
        store->SetKorrText(8, text);
        return;
    }
    if (mode & 1) store->SetKorrText(1, text);
    if (mode & 2) store->SetKorrText(2, text);
    if (mode & 4) store->SetKorrText(4, text);
}

void TVTProMaster::WireLocationTextMenu() {
    QMenu* menu = findChild<QMenu*>(QStringLiteral("Messung1"));
    if (menu == nullptr) return;
    QAction* second = CalAction("miImmi2");
    if (CalAction("miImmi3") == nullptr && second != nullptr) {
        auto* third = new QAction(second->text(), menu);
        third->setObjectName(QStringLiteral("miImmi3"));
        const QList<QAction*> actions = menu->actions();
        const qsizetype at = actions.indexOf(second);
        menu->insertAction(at + 1 < actions.size() ? actions[at + 1] : nullptr, third);
    }
    for (const char* name : {"miImmi1", "miImmi2", "miImmi3", "miEImmi"}) {
        QAction* item = CalAction(name);
        if (item == nullptr) continue;
        item->setEnabled(true);
        const bool atCursor = QByteArray(name) == "miImmi1" || QByteArray(name) == "miEImmi";
        connect(item, &QAction::triggered, this, [this, item, atCursor] {
            if (atCursor) {
                settings_.posEditKorrX = QCursor::pos().x();
                settings_.posEditKorrY = QCursor::pos().y();
            }
            OpenEditKorr(item->data().toInt());
        });
    }
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateImmiMenu(!GetMessungLaeuft()); });
    SetImmiMenus(true);
}
