#include "store/old_file_records.h"

#include <QBuffer>
#include <QIODevice>
#include <QtEndian>

#include <algorithm>
#include <cstring>

#include "store/measurement_file.h"
#include "store/windows_1252.h"
#include "ui_kit/stream_strings.h"

namespace {

QString PositionText(const QIODevice& in) { return QStringLiteral(" (at byte %1)").arg(in.pos()); }

}  // namespace

OldRecord OldRecord::Read(QIODevice& in, qint64 size, const QString& what) {
    const qint64 at = in.pos();
    if (size < 0 || in.bytesAvailable() < size) {
        throw OldFileDamage(QStringLiteral("%1 is cut short (at byte %2)").arg(what).arg(at).toStdString());
    }
    QByteArray bytes = in.read(size);
    if (bytes.size() != size) {
        throw OldFileDamage(QStringLiteral("%1 could not be read (at byte %2)").arg(what).arg(at).toStdString());
    }
    return OldRecord(std::move(bytes));
}

// The record layouts are constants of this program; a field outside its
// record is a fault of the layout table, never of the file.
const char* OldRecord::At(int at, int size) const {
    if (at < 0 || size < 0 || at > bytes_.size() - size) {
        throw std::logic_error("a field lies outside its record");
    }
    return bytes_.constData() + at;
}

int32_t OldRecord::I32(int at) const { return qFromLittleEndian<int32_t>(At(at, 4)); }

int64_t OldRecord::I64(int at) const { return qFromLittleEndian<int64_t>(At(at, 8)); }

double OldRecord::F64(int at) const {
    const uint64_t bits = qFromLittleEndian<uint64_t>(At(at, 8));
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString OldRecord::Short(int at, int room) const {
    const char* start = At(at, 1);
    const int roomInRecord = std::min<qint64>(room, bytes_.size() - at);
    const int length = std::min(static_cast<int>(static_cast<unsigned char>(*start)), roomInRecord - 1);
    return DecodeWindows1252(QByteArrayView(start + 1, std::max(length, 0)));
}

QString OldRecord::Lines(int at, int lines, int room) const {
    std::vector<QString> texts;
    texts.reserve(static_cast<size_t>(std::max(lines, 0)));
    for (int i = 0; i < lines; ++i) {
        texts.push_back(Short(at + i * room, room));
    }
    return JoinLines(texts);
}

QString JoinLines(const std::vector<QString>& lines) {
    QString text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 0) {
            text = lines[0];
        } else if (!lines[i].isEmpty()) {
            if (!text.isEmpty()) {
                text += QLatin1String("\r\n");
            }
            text += lines[i];
        }
    }
    return text;
}

QString RecordName(const char* what, size_t index) {
    return QStringLiteral("%1 %2").arg(QLatin1String(what)).arg(index + 1);
}

uint32_t LeqKWarnOf(int32_t warnLeq) {
    constexpr uint32_t kValidatedWarnLeq = 95;
    return warnLeq >= 0 ? static_cast<uint32_t>(warnLeq) : kValidatedWarnLeq;
}

TBlockDaten8 BlockWithoutShortTermLeq(const OldRecord& r, int at, int remarkRoom) {
    TBlockDaten8 b;
    b.dBCMax = r.F64(at);
    b.currentCount = r.I32(at + 8);
    b.PeakHighTime = r.F64(at + 12);
    b.leq = r.F64(at + 20);
    b.start = r.F64(at + 28);
    b.ende = r.F64(at + 36);
    b.next = r.F64(at + 44);
    b.LeqHighTime = r.F64(at + 52);
    b.clipCount = r.I32(at + 60);
    b.leqK = -1.0;
    b.LeqKHighTime = 0.0;
    b.remarkStr = AsStoredText(r.Short(at + 64, remarkRoom));
    return b;
}

QString AsStoredText(const QString& text) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadWrite);
    QString stored;
    if (WriteStreamString(buffer, text) < 0 || !buffer.seek(0) || !ReadStreamString(buffer, stored)) {
        return QString();
    }
    return stored;
}

void RequireCountsFit(const QIODevice& in, std::initializer_list<CountedRecords> parts) {
    qint64 least = 0;
    QStringList counts;
    for (const CountedRecords& part : parts) {
        if (part.count < 0) {
            throw OldFileDamage(
                QStringLiteral("the header counts %1 %2").arg(part.count).arg(QLatin1String(part.what)).toStdString());
        }
        // At most 2^31 records of a few hundred bytes: no overflow in 64 bits.
        least += static_cast<qint64>(part.count) * part.leastBytes;
        counts << QStringLiteral("%1 %2").arg(part.count).arg(QLatin1String(part.what));
    }
    if (least > in.bytesAvailable()) {
        throw OldFileDamage(QStringLiteral("the file is shorter than its counts (%1) require")
                                .arg(counts.join(QStringLiteral(", ")))
                                .toStdString());
    }
}

void ReadCurrentValueRecords(QIODevice& in, int32_t count, std::vector<TSaveIT6>& werte) {
    RequireCountsFit(in, {{"values", count, static_cast<qint64>(sizeof(TSaveIT6))}});
    if (!ReadValueRecords(in, count, werte)) {
        throw OldFileDamage(("the values could not be read" + PositionText(in)).toStdString());
    }
}

void ReadStreamMessages(QIODevice& in, int32_t count, std::vector<TSMS>& messages) {
    RequireCountsFit(in, {{"messages", count, 8 + 4}});
    messages.resize(static_cast<size_t>(count));
    for (TSMS& message : messages) {
        double time = 0.0;
        if (!ReadExactly(in, &time, sizeof time) ||
            !ReadStreamString(in, message.meldung)) {
            throw OldFileDamage(("a message is damaged or cut short" + PositionText(in)).toStdString());
        }
        message.zeitpunkt = time;
    }
}
