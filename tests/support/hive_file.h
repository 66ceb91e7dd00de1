#pragma once
// A settings-hive file around a hand-made payload, with a correct header and
// checksum, so that the structure checks behind the checksum are reached.
// Written from the file layout, not with the hive's own writer.
#include <QByteArray>
#include <QCryptographicHash>
#include <QtEndian>

#include <cstdint>

inline QByteArray HiveFileAround(const QByteArray& payload) {
    QByteArray file("VLTHIVE\x1a", 8);
    char word[4];
    qToLittleEndian<uint32_t>(1, word);
    file.append(word, 4);
    qToLittleEndian<uint32_t>(static_cast<uint32_t>(payload.size()), word);
    file.append(word, 4);
    file.append(QCryptographicHash::hash(payload, QCryptographicHash::Sha256));
    file.append(payload);
    return file;
}
