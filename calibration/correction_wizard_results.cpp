// What the correction wizard hands back: the values into the default store,
// the import of another measurement file, the result page's lines, the
// colour of a value, and the state text for remote clients.
#include <QFileInfo>

#include <cmath>

#include "calibration/correction_wizard_core.h"
#include "calibration/location_store.h"
#include "calibration/wizard_host.h"
#include "store/measurement_store.h"
#include "ui_kit/text_helpers.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kSummaryPartMax = 50;
constexpr int32_t kCopyModeFromFile = 2;

QString Text(int32_t id) { return GetLangText(id); }

QString Part(const QString& label, const QString& text) { return (label + text).left(kSummaryPartMax); }

}  // namespace

// The texts and times of an import or a direct entry: per weighting, and the
// time of the correction measurement.
void TaKorr::HandBackTextsAndTimes(TDaten& theData, platform::TDateTime measured) const {
    theData.SetKorrTime(1, ldA);
    theData.SetKorrTime(2, ldC);
    theData.SetKorrTime(4, ldZ);
    theData.SetKorrTime(8, measured);
    theData.SetKorrText(1, ktA);
    theData.SetKorrText(2, ktC);
    theData.SetKorrText(4, ktZ);
}

bool TaKorr::SetKorrResults(TDaten& theData) {
    theData.SetKorrVal(1, klA);
    theData.SetKorrVal(2, klC);
    theData.SetKorrVal(4, klZ);
    theData.SetCopyKorFrom(QString());
    theData.SetCopyMode(theData.GetCopyMode() & 5);
    theData.SetKorrTime(8, eGetTime);
    theData.SetKorrArt(GetResultArt());
    switch (KorrMode) {
    case kKorrOneMic:
    case kKorrTwoMics:
        if (const TKorrLocation* store = Store()) {
            const int32_t ids[3] = {store->GetIdKFA(), store->GetIdKFC(), store->GetIdKFZ()};
            const int32_t weightings[3] = {1, 2, 4};
            for (int32_t i = 0; i < 3; ++i) {
                theData.SetKorrText(weightings[i], store->GetLocText(ids[i], false));
                theData.SetKorrTime(weightings[i], store->GetDateTime(ids[i]));
            }
            theData.SetKorrText(8, eOrtText);
        }
        break;
    case kKorrNoCorrection:
        theData.SetKorrText(1, eOrtText);
        for (int32_t id : {1, 2, 4}) theData.SetKorrVal(id, 0.0);
        for (int32_t id : {1, 2, 4}) theData.SetKorrTime(id, Now());
        theData.SetKorrTime(8, theData.GetKorrTime(1));
        break;
    case kKorrImport:
        theData.SetCopyMode(theData.GetCopyMode() | kCopyModeFromFile);
        theData.SetCopyKorFrom(loadFileName);
        theData.SetVMicCalTime(VKorrDate);
        HandBackTextsAndTimes(theData, ldE);
        theData.SetKorrArt(KorrModeLoad);
        break;
    case kKorrDirect:
        HandBackTextsAndTimes(theData, ldZ);
        theData.SetKorrCalcText(calcMemo);
        theData.SetKorrText(8, eOrtText);
        break;
    default: break;
    }
    return true;
}

// The header is read with the password prompt; a damaged file, a wrong
// password or a cancelled prompt change nothing.
bool TaKorr::LoadKorrFromFile(const QString& fileName) {
    TKorrLocation* store = Store();
    if (store == nullptr || fileName.isEmpty() || !QFileInfo(fileName).isFile()) return false;
    TDaten file;
    if (file.LoadFromFile(fileName, 3) != 0) return false;
    eOrtText = file.GetKorrText(8);
    klA = file.GetKorr(1);
    klC = file.GetKorr(2);
    klZ = file.GetKorr(4);
    KorrModeLoad = file.GetKorrArt();
    VKorrDate = file.GetVMicCalDate();
    ldA = file.GetKorrTime(1);
    ldC = file.GetKorrTime(2);
    ldZ = file.GetKorrTime(4);
    ldE = file.GetKorrTime(8);
    ktA = file.GetKorrText(1);
    ktC = file.GetKorrText(2);
    ktZ = file.GetKorrText(4);
    store->Clear();
    for (int32_t i = 0; i < 3; ++i) directRed_[static_cast<size_t>(i)] = false;
    return true;
}

void TaKorr::SelectImportFile(const QString& path) {
    loadFileName = path;
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        panelText_ = Text(589);
        nextVisible_ = false;
        return;
    }
    TDaten file;
    const int32_t read = file.LoadFromFile(path, 2);
    if (read == 0) {
        const QString crlf = QStringLiteral("\r\n");
        QString text = file.GetVeranstaltung() + crlf + file.GetLocationText() + crlf + Text(590) + crlf +
                       DateTimeText(file.GetKorrTime(1)) + crlf;
        if (file.GetKorrTime(2) > 0.0) text += DateTimeText(file.GetKorrTime(2)) + crlf;
        text += crlf + Text(591) + crlf + file.GetKorrText(1) + crlf + crlf + Text(592) + crlf + file.GetKorrText(8);
        panelText_ = text;
        nextVisible_ = true;
    } else if (read == 2) {
        panelText_ = Text(1000);
    } else {
        panelText_ = Text(593) + path;
        nextVisible_ = false;
    }
}

// --- result page ---

double TaKorr::ResultValue(int32_t i) const { return i == 0 ? klA : i == 1 ? klC : klZ; }

QString TaKorr::ResultText(int32_t i) const {
    if ((KorrMode == kKorrOneMic || KorrMode == kKorrTwoMics) && Store() != nullptr) {
        const int32_t id = i == 0 ? Store()->GetIdKFA() : i == 1 ? Store()->GetIdKFC() : Store()->GetIdKFZ();
        return Store()->GetLocText(id, false);
    }
    if (KorrMode == kKorrNoCorrection) return i == 0 ? eOrtText : QString();
    return i == 0 ? ktA : i == 1 ? ktC : ktZ;
}

platform::TDateTime TaKorr::ResultTime(int32_t i) const {
    if ((KorrMode == kKorrOneMic || KorrMode == kKorrTwoMics) && Store() != nullptr) {
        const int32_t id = i == 0 ? Store()->GetIdKFA() : i == 1 ? Store()->GetIdKFC() : Store()->GetIdKFZ();
        return Store()->GetDateTime(id);
    }
    if (KorrMode == kKorrNoCorrection) return Now();
    return i == 0 ? ldA : i == 1 ? ldC : ldZ;
}

TaKorr::CorrTone TaKorr::CorrColor(double value) {
    if (value > 0.95 || value < -25.0) return CorrTone::Red;
    if (value < -0.95) return CorrTone::Green;
    return CorrTone::Yellow;
}

// --- remote state ---

QString TaKorr::DurationText(int32_t seconds) {
    switch (seconds) {
    case 15: return QStringLiteral("15s");
    case 30: return QStringLiteral("30s");
    case 45: return QStringLiteral("45s");
    case 60: return QStringLiteral("1 min");
    default: return QStringLiteral("2 min");
    }
}

QString TaKorr::LocSummaryText() const {
    const TKorrLocation* store = Store();
    if (store == nullptr) return QString();
    const int32_t a = store->GetIdKFA();
    const int32_t c = store->GetIdKFC();
    const int32_t z = store->GetIdKFZ();
    const QString sep = QStringLiteral(" \u00A7 ");
    auto text = [store](int32_t id) { return store->GetLocText(id, false); };
    switch (store->GetNumDifLoc()) {
    case 1: return Part(QString(), text(a));
    case 2:
        if (a == c) return Part(QStringLiteral("A, C: "), text(a)) + sep + Part(QStringLiteral("Z:   "), text(z));
        if (a == z) return Part(QStringLiteral("A, Z: "), text(a)) + sep + Part(QStringLiteral("C:   "), text(c));
        return Part(QStringLiteral("A:   "), text(a)) + sep + Part(QStringLiteral("C, Z: "), text(z));
    default:
        return Part(QStringLiteral("A: "), text(a)) + sep + Part(QStringLiteral("C: "), text(c)) + sep +
               Part(QStringLiteral("Z: "), text(z));
    }
}

QString TaKorr::GetWebString() const {
    auto tenths = [](double v) { return QString::number(static_cast<int64_t>(std::nearbyint(v * 10.0))); };
    QString s = QString::number(cIndex) + QLatin1Char(';');
    if (cIndex == 8 || cIndex == 26) {
        for (const auto& w : wl_) s += QString::number(w.load()) + QLatin1Char(';');
    } else if (cIndex == 11 || cIndex == 19) {
        const double rms = env_.host != nullptr ? env_.host->GetRMSSlow(false) : 0.0;
        if (rms >= 1e-5 && rms <= 1.0) s += QString::number(static_cast<int64_t>(std::nearbyint(20.0 * std::log10(rms))));
        else s += tenths(klA);
        s += QLatin1Char(';') + tenths(klC) + QLatin1Char(';') + tenths(klZ) + QLatin1Char(';');
    } else {
        s += tenths(klA) + QLatin1Char(';') + tenths(klC) + QLatin1Char(';') + tenths(klZ) + QLatin1Char(';');
    }
    switch (cIndex) {
    case 1: case 6: case 32: s += memoText_ + QLatin1Char(';'); break;
    case 4: case 20:
        s += !pinkEnabled_ ? QStringLiteral("NONE;") : usePink_ ? QStringLiteral("ON;") : QStringLiteral("OFF;");
        break;
    case 5: case 8: case 26: case 35:
        s += QString::number((messEnd - messCount - 1) / 10 + 1) + QLatin1Char(';');
        break;
    case 11: case 19: s += QString::number(seOutVol_) + QStringLiteral("dB;"); break;
    case 24: s += Text(960) + DurationText(Duration()) + QLatin1Char(';'); break;
    case 30: s += LocSummaryText(); break;
    default: break;
    }
    return s;
}
