// Stream strings read one after another from arbitrary bytes, as a record
// reader does: the reader never passes the end, always moves on or stops,
// and every text it accepts is written and read back unchanged.
#include <QBuffer>

#include "tests/fuzz/fuzz_support.h"
#include "ui_kit/stream_strings.h"

namespace {

void RequireRoundTrip(const QString& text) {
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    fuzz::Require(WriteStreamString(out, text) == 4 + 2 * text.size(), "a read text was not written whole");
    QBuffer in(&written);
    in.open(QIODevice::ReadOnly);
    QString back;
    fuzz::Require(ReadStreamString(in, back) && back == text, "a read text did not read back unchanged");
    fuzz::Require(in.atEnd(), "reading a written text left bytes behind");
}

}  // namespace

static int TestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes = fuzz::Bytes(data, size);
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    for (;;) {
        const qint64 before = in.pos();
        QString text;
        const bool read = ReadStreamString(in, text);
        fuzz::Require(in.pos() <= bytes.size(), "the reader passed the end");
        if (!read) {
            fuzz::Require(text.isEmpty(), "a refused text left something in its output");
        } else {
            fuzz::Require(text.size() <= kStreamStringMaxUnits, "a text longer than the limit was read");
            RequireRoundTrip(text);
        }
        if (in.pos() == before) {
            fuzz::Require(!read, "a text was read without consuming anything");
            break;
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::WithinASecond(size, [&] { return TestOneInput(data, size); });
}
