#pragma once
// The compression of web answers, shared by the file answers and the
// command answers. The HTTP library never compresses on its own: every body
// leaves through a content provider, compressed here or not at all.
#include <QByteArray>

#include <cstdint>
#include <string_view>

inline constexpr int32_t kEncodingNone = 0;
inline constexpr int32_t kEncodingGzip = 1;
inline constexpr int32_t kEncodingDeflate = 2;

// A body of at most 200 units stays as it is; a longer one is gzipped when
// acceptEncoding contains "gzip", else deflated when it contains "deflate".
// Containment is exact and case-sensitive, so "GZIP" does not count.
int32_t SelectContentEncoding(int64_t bodyLength, std::string_view acceptEncoding);

// The Content-Encoding header value of an encoding; empty for none.
const char* ContentEncodingName(int32_t encoding);

// The body deflated at the default level, with the gzip wrapper (window
// bits 31) or the zlib wrapper (window bits 15); the body itself for none.
QByteArray EncodeBody(const QByteArray& body, int32_t encoding);
