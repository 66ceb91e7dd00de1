#include "ui_kit/stream_strings.h"

#include <QtEndian>

#include "platform/date_time.h"

namespace {

qsizetype UnitsToStore(const QString& text) {
    qsizetype units = std::min<qsizetype>(text.size(), kStreamStringMaxUnits);
    if (units < text.size() && units > 0 && text.at(units - 1).isHighSurrogate() && text.at(units).isLowSurrogate()) {
        --units;
    }
    return units;
}

bool WriteAll(QIODevice& out, const char* data, qint64 size) {
    return size == 0 || out.write(data, size) == size;
}

bool ReadExactly(QIODevice& in, char* data, qint64 size) {
    return size == 0 || in.read(data, size) == size;
}

// Drops size bytes that are known to be present.
void SkipPresent(QIODevice& in, qint64 size) {
    if (size <= 0) {
        return;
    }
    if (in.isSequential()) {
        in.skip(size);
    } else {
        in.seek(in.pos() + size);
    }
}

}  // namespace

QString CapStreamString(const QString& text) { return text.left(UnitsToStore(text)); }

int32_t WriteStreamString(QIODevice& out, const QString& text) {
    if (!out.isWritable()) {
        return -1;
    }
    const qsizetype units = UnitsToStore(text);
    const int32_t byteCount = static_cast<int32_t>(units * 2);

    char countBytes[4];
    qToLittleEndian<int32_t>(byteCount, countBytes);
    if (!WriteAll(out, countBytes, sizeof countBytes)) {
        return -1;
    }
    QByteArray payload(byteCount, Qt::Uninitialized);
    qToLittleEndian<char16_t>(text.utf16(), units, payload.data());
    if (!WriteAll(out, payload.constData(), payload.size())) {
        return -1;
    }
    return 4 + byteCount;
}

bool ReadStreamString(QIODevice& in, QString& out) {
    out.clear();
    if (!in.isReadable() || in.bytesAvailable() < 4) {
        return false;
    }
    char countBytes[4];
    if (!ReadExactly(in, countBytes, sizeof countBytes)) {
        return false;
    }
    const int32_t byteCount = qFromLittleEndian<int32_t>(countBytes);
    if (byteCount == 0) {
        return true;
    }
    const qint64 present = in.bytesAvailable();
    if (byteCount < 0 || present < byteCount) {
        return false;
    }
    if (byteCount < 2 || byteCount > kStreamStringMaxBytes) {
        SkipPresent(in, byteCount);
        return false;
    }
    QByteArray payload(byteCount, Qt::Uninitialized);
    if (!ReadExactly(in, payload.data(), byteCount)) {
        return false;
    }
    QString text(byteCount / 2, Qt::Uninitialized);
    qFromLittleEndian<char16_t>(payload.constData(), byteCount / 2, text.data());
    out = platform::Trim(text);
    return true;
}
