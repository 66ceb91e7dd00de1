// The entry to the readers of the older measurement file versions. Each
// reader converts its file into the version-14 model of the store in memory;
// whether the result is written back as version 14 is the loader's question.
#include <QIODevice>

#include <new>

#include "store/measurement_store.h"
#include "store/old_file_records.h"

int32_t TDaten::ReadOldFormat(QIODevice& stream, int32_t loadMode, int32_t version) {
    QString why;
    return ReadOldFormat(stream, loadMode, version, why);
}

// A damaged file leaves the store with its defaults, never half read.
int32_t TDaten::ReadOldFormat(QIODevice& stream, int32_t loadMode, int32_t version, QString& why) {
    ClearSms();
    stream.seek(0);
    try {
        switch (version) {
        case 2:
        case 3:
        case 4:
        case 5:
        case 7:
        case 8:
        case 9: return ReadVersion2To9(stream, loadMode, version, why);
        case 10:
        case 11: return ReadVersion10Or11(stream, loadMode, version);
        case 12: return ReadVersion12(stream, loadMode);
        case 13: return ReadVersion13(stream, loadMode);
        default: why = QStringLiteral("version %1 is no measurement file version this program reads").arg(version);
        }
    } catch (const OldFileDamage& e) {
        why = QStringLiteral("measurement file of version %1: %2").arg(version).arg(QString::fromStdString(e.what()));
    } catch (const std::bad_alloc&) {
        why = QStringLiteral("measurement file of version %1: too large for the memory left").arg(version);
    }
    InitValues();
    return 1;
}
