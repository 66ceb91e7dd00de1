#pragma once
// Small helpers of the web server's tests.
#include <QByteArray>

#include <zlib.h>

// The body of a gzip or zlib stream (either wrapper), or an empty array when
// it is neither.
inline QByteArray InflateBody(const QByteArray& data) {
    z_stream zs{};
    if (inflateInit2(&zs, 15 + 32) != Z_OK) return {};
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    zs.avail_in = static_cast<uInt>(data.size());
    QByteArray out;
    char buffer[16384];
    int result = Z_OK;
    do {
        zs.next_out = reinterpret_cast<Bytef*>(buffer);
        zs.avail_out = sizeof buffer;
        result = inflate(&zs, Z_NO_FLUSH);
        out.append(buffer, static_cast<qsizetype>(sizeof buffer - zs.avail_out));
    } while (result == Z_OK);
    inflateEnd(&zs);
    return result == Z_STREAM_END ? out : QByteArray();
}
