#include "store/windows_1252.h"

#include <array>

namespace {

// Code points of the bytes 0x80 to 0x9F; every other byte is its own code point.
constexpr std::array<char16_t, 32> kHighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

QString DecodeWindows1252(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        text.append(b >= 0x80 && b <= 0x9F ? QChar(kHighControlRange[b - 0x80]) : QChar(b));
    }
    return text;
}
