#include "remote/web_encoding.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int64_t kLongestPlainBody = 200;
constexpr qsizetype kInputPiece = 1 << 20;

}  // namespace

int32_t SelectContentEncoding(int64_t bodyLength, std::string_view acceptEncoding) {
    if (bodyLength <= kLongestPlainBody) return kEncodingNone;
    if (acceptEncoding.find("gzip") != std::string_view::npos) return kEncodingGzip;
    if (acceptEncoding.find("deflate") != std::string_view::npos) return kEncodingDeflate;
    return kEncodingNone;
}

const char* ContentEncodingName(int32_t encoding) {
    if (encoding == kEncodingGzip) return "gzip";
    if (encoding == kEncodingDeflate) return "deflate";
    return "";
}

QByteArray EncodeBody(const QByteArray& body, int32_t encoding) {
    if (encoding != kEncodingGzip && encoding != kEncodingDeflate) return body;
    z_stream zs{};
    const int windowBits = encoding == kEncodingGzip ? 31 : 15;
    if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    QByteArray out;
    out.reserve(static_cast<qsizetype>(deflateBound(&zs, static_cast<uLong>(body.size()))));
    char buffer[64 * 1024];
    qsizetype offset = 0;
    int result = Z_OK;
    do {
        const qsizetype piece = std::min(kInputPiece, body.size() - offset);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.constData() + offset));
        zs.avail_in = static_cast<uInt>(piece);
        offset += piece;
        const int flush = offset >= body.size() ? Z_FINISH : Z_NO_FLUSH;
        do {
            zs.next_out = reinterpret_cast<Bytef*>(buffer);
            zs.avail_out = sizeof buffer;
            result = deflate(&zs, flush);
            out.append(buffer, static_cast<qsizetype>(sizeof buffer - zs.avail_out));
        } while (zs.avail_out == 0);
    } while (offset < body.size());
    deflateEnd(&zs);
    if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
    return out;
}
