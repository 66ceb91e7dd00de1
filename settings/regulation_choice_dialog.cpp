#include "settings/regulation_choice_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cmath>

#include "platform/date_time.h"
#include "platform/user_dialogs.h"
#include "settings/dialog_parts.h"
#include "settings/settings_prompts.h"
#include "store/preset_handler.h"
#include "ui_kit/control_styles.h"
#include "ui_kit/flat_button.h"
#include "ui_kit/message_box.h"
#include "ui_kit/palette.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/text_table.h"

namespace {

constexpr double kDaysPerYear = 365.25;

int32_t CurrentLanguage() { return language.load() == 2 ? 2 : 1; }

QString LimitText(const TVTPreset& p, int32_t entry) {
    return QLocale().toString(p.messungen[entry].Rot, 'f', std::clamp(p.naKoS, 0, 3)) +
           DbUnitText(p.messungen[entry].Filter);
}

// A name with a folder separator would copy the file out of the preset folder.
bool SafePresetName(const QString& name) {
    return !name.trimmed().isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           name != QStringLiteral("..") && name != QStringLiteral(".");
}

}  // namespace

TSelectMV::TSelectMV(QWidget* owner, double dpi)
    : QDialog(owner, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setModal(true);
    setWindowTitle(GetLangText(356));
    setPalette(SchemeWidgetPalette(palette()));
    setAutoFillBackground(true);
    cbEntries = new QComboBox(this);
    connect(cbEntries, &QComboBox::currentIndexChanged, this, [this] { pbInfo->Invalidate(); });
    pbInfo = new TPaintBox32(this);
    pbInfo->OnPaintBuffer = [this](TPaintBox32* box) { PaintSummary(box); };
    pbCancel = NewFlatButton(this, 403, [this] { done(2); });
    pbLoad = NewFlatButton(this, 1156, [this] { Import(); });
    pbOk = NewFlatButton(this, 1054, [this] { done(1); });
    ApplyScale(dpi > 0 ? dpi : LogicalDpiOf(owner != nullptr ? owner : this));
    FillList();
}

void TSelectMV::ApplyScale(double dpi) {
    mySf = dpi / 96.0;
    const int m = RoundI(16 * mySf);
    const int clientW = RoundI(420 * mySf);
    SetComboStyle(mySf, cbEntries);
    cbEntries->setGeometry(m, m, clientW - 2 * m, cbEntries->sizeHint().height());
    pbInfo->setGeometry(m, cbEntries->y() + cbEntries->height() + m, cbEntries->width(), RoundI(290 * mySf));
    for (TPaintBox32* b : {pbCancel, pbLoad, pbOk}) InitButton(b, mySf, true);
    const int top = pbInfo->y() + pbInfo->height() + m;
    pbCancel->move(m, top);
    pbLoad->move((clientW - pbLoad->width()) / 2, top);
    pbOk->move(clientW - m - pbOk->width(), top);
    setFixedSize(clientW, top + pbOk->height() + m);
}

void TSelectMV::FillList() {
    cbEntries->clear();
    TVTPresetHandler* handler = presetHandler.load();
    if (handler != nullptr)
        for (int32_t id = 0; id < handler->GetPresetCount(); ++id)
            cbEntries->addItem(handler->GetPresetText(id, CurrentLanguage()), id);
    cbEntries->addItem(GetLangText(826), kUserPresetId);
    const int index = cbEntries->findData(lastPresetId);
    cbEntries->setCurrentIndex(index >= 0 ? index : 0);
    cbEntries->setMaxVisibleItems(cbEntries->count());
    pbInfo->Invalidate();
}

void TSelectMV::SetCurrentPresetByName(const QString& name) {
    for (int i = 0; i < cbEntries->count(); ++i)
        if (cbEntries->itemText(i).compare(name, Qt::CaseInsensitive) == 0) {
            cbEntries->setCurrentIndex(i);
            return;
        }
}

int32_t TSelectMV::GetPresetId() const {
    return cbEntries->currentIndex() < 0 ? -1 : cbEntries->currentData().toInt();
}

TVTPreset TSelectMV::ChosenPreset() const {
    TVTPresetHandler* handler = presetHandler.load();
    if (handler == nullptr || cbEntries->currentIndex() < 0) return {};
    return handler->GetPreset(GetPresetId());
}

int32_t TSelectMV::AgeWarningYears() const {
    if (presetHandler.load() == nullptr || cbEntries->currentIndex() < 0) return 0;
    const TVTPreset p = ChosenPreset();
    if (p.lastModDate <= 10) return 0;
    const int32_t years = static_cast<int32_t>(std::floor((platform::SystemLocalNow() - p.lastModDate) / kDaysPerYear));
    return years > 2 ? years : 0;
}

// Each entry's lines in the order the summary draws them.
QStringList TSelectMV::SummaryLines() const {
    QStringList lines;
    if (presetHandler.load() == nullptr || cbEntries->currentIndex() < 0) return lines;
    const TVTPreset p = ChosenPreset();
    if (const int32_t years = AgeWarningYears(); years > 0) lines << GetLangText(1157).replace("%d", QString::number(years));
    lines << p.vor << QString();
    int monitored = 0;
    for (int e = 0; e < kPresetEntryCount; ++e)
        if (p.messungen[e].Status == 2) {
            lines << TVTPresetHandler::GetInfo(p, e) << LimitText(p, e) << QString();
            ++monitored;
        }
    for (int e = 0; e < kPresetEntryCount; ++e)
        if (p.messungen[e].Status == 1) lines << TVTPresetHandler::GetInfo(p, e) << LimitText(p, e) << QString();
    lines << GetLangText(825);
    (void)monitored;
    return lines;
}

void TSelectMV::PaintSummary(TPaintBox32* box) {
    TBitmap32& b = box->Buffer();
    b.Clear(clBack32);
    if (presetHandler.load() == nullptr || cbEntries->currentIndex() < 0) return;
    const TVTPreset p = ChosenPreset();
    b.Font.height = RoundI(-13 * mySf);
    b.Font.bold = false;
    b.Font.color = clText;
    const int32_t years = AgeWarningYears();
    const int l0 = years > 0 ? 1 : 0;
    int monitored = 0;
    for (const auto& e : p.messungen) monitored += e.Status == 2 ? 1 : 0;
    const QString limitsLabel = GetLangText(monitored == 1 ? 820 : 821) + QLatin1Char(':');
    const QString infoLabel = GetLangText(824) + QLatin1Char(':');
    const int h = RoundI(1.3 * b.TextHeight(limitsLabel));
    const TColor red = RGBColor(255, 0, 0);
    if (years > 0) {
        b.Font.bold = true;
        b.Font.color = red;
        b.Textout(0, 0, GetLangText(1157).replace("%d", QString::number(years)));
        b.Font.bold = false;
        b.Font.color = clText;
    }
    int informative = 0;
    for (const auto& e : p.messungen) informative += e.Status == 1 ? 1 : 0;
    // A label without entries under it would sit on top of the next one.
    if (monitored > 0) b.Textout(0, (l0 + 2) * h, limitsLabel);
    if (monitored < 3 && informative > 0) b.Textout(0, (l0 + 2 + 3 * monitored) * h, infoLabel);
    const int right = std::max(b.TextWidth(limitsLabel), b.TextWidth(infoLabel)) + RoundI(20 * mySf);
    b.Font.bold = true;
    b.Textout(right, l0 * h, p.vor);
    int line = l0 + 2;
    for (const int32_t status : {2, 1}) {
        b.Font.bold = status == 2;
        for (int e = 0; e < kPresetEntryCount; ++e) {
            if (p.messungen[e].Status != status) continue;
            b.Textout(right, line * h, TVTPresetHandler::GetInfo(p, e));
            b.Textout(right, (line + 1) * h, LimitText(p, e));
            line += 3;
        }
    }
    b.Font.bold = true;
    b.Font.color = red;
    b.DrawText(QRect(0, line * h, box->width(), box->height() - line * h), GetLangText(825), kTextLeft | kTextWordBreak);
    b.Font.color = clText;
}

// A failed copy is told: otherwise the import would look done and list nothing.
bool TSelectMV::CopyInto(const QString& source, const QString& target) {
    if (QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath() && QFileInfo::exists(target))
        return true;
    if (QFileInfo::exists(target)) QFile::remove(target);
    if (QFile::copy(source, target)) return true;
    AskMessage(QDir::toNativeSeparators(target), 0, 845, 0, 0, 1054, this);
    return false;
}

void TSelectMV::Import() {
    TVTPresetHandler* handler = presetHandler.load();
    if (handler == nullptr) return;
    const std::optional<QString> chosen = AskPresetFile(this, handler->GetPresetDir());
    if (!chosen) return;
    const TVTPreset p = handler->LoadPreset(*chosen);
    const QString info = CurrentLanguage() == 2 ? p.InfoE : p.InfoD;
    QString summary = info + QStringLiteral(" (") + QLocale().toString(platform::ToQDateTime(p.lastModDate).date(),
                                                                        QLocale::ShortFormat) +
                      QStringLiteral(")\r\n\r\n") + GetLangText(402) + QStringLiteral(":\r\n");
    int monitored = 0;
    for (int e = 0; e < kPresetEntryCount; ++e) {
        if (p.messungen[e].Status != 2) continue;
        ++monitored;
        summary += MeasureLabel(p.messungen[e]) + QLatin1Char(' ') +
                   QLocale().toString(p.messungen[e].Rot, 'f', std::clamp(p.naKoS, 0, 3)) + QStringLiteral(" dB");
        if (e == kPresetEntryLeq && p.messungen[e].Dauer > 0) summary += QLatin1Char(' ') + GetLangText(121);
        summary += QStringLiteral("\r\n");
    }
    if (monitored < 3) {
        summary += QStringLiteral("\r\n") + GetLangText(819) + QStringLiteral("\r\n");
        for (int e = 0; e < kPresetEntryCount; ++e)
            if (p.messungen[e].Status == 1) summary += MeasureLabel(p.messungen[e]) + QStringLiteral("\r\n");
    }
    if (AskMessage(summary, 0, 845, 403, 0, 1158, this) != platform::kMessageRight) return;
    const QFileInfo source(*chosen);
    // A default preset is enciphered; it is listed as the user preset it is loaded into.
    const bool plain = source.suffix().compare(QStringLiteral("vup"), Qt::CaseInsensitive) == 0;
    const QString extension = QStringLiteral(".vup");
    QString name = source.completeBaseName();
    QString target = QDir(handler->GetPresetDir()).filePath(name + extension);
    while (QFileInfo::exists(target)) {
        const QString question = GetLangText(782).replace("%s", name + extension);
        const int answer = AskMessage(question, 0, 845, 403, 1123, 1159, this);
        if (answer == platform::kMessageCentre) break;
        if (answer != platform::kMessageRight) return;
        const std::optional<QString> typed = settingsPrompts().text(this, GetLangText(1159), GetLangText(1159), name);
        if (typed && !SafePresetName(*typed)) {
            AskMessage(*typed, 0, 1159, 0, 0, 1054, this);
            continue;
        }
        if (typed) name = typed->trimmed();
        target = QDir(handler->GetPresetDir()).filePath(name + extension);
    }
    bool copied = false;
    if (plain) {
        copied = CopyInto(*chosen, target);
    } else {
        // Written as a user preset so that the scan lists it.
        TVTPreset user = p;
        user.isUser = true;
        const TVTPreset keep = handler->GetPreset(kUserPresetId);
        handler->SetPreset(kUserPresetId, user);
        QString error;
        copied = handler->SavePresetToFile(target, kUserPresetId, &error);
        handler->SetPreset(kUserPresetId, keep);
        if (!copied) AskMessage(QDir::toNativeSeparators(target) + QStringLiteral("\r\n") + error, 0, 845, 0, 0, 1054, this);
    }
    if (!copied) return;
    cbEntries->setEnabled(false);
    if (handler->ScanForData()) FillList();
    const int index = cbEntries->findText(info);
    if (index >= 0) cbEntries->setCurrentIndex(index);
    cbEntries->setEnabled(true);
}
