#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cstring>

#include "ui_kit/stream_strings.h"

namespace {

QByteArray Count(int32_t n) {
    QByteArray bytes(4, '\0');
    qToLittleEndian<int32_t>(n, bytes.data());
    return bytes;
}

QByteArray Utf16Le(const QString& text) {
    QByteArray bytes(text.size() * 2, '\0');
    qToLittleEndian<char16_t>(text.utf16(), text.size(), bytes.data());
    return bytes;
}

QByteArray Encoded(const QString& text) { return Count(static_cast<int32_t>(text.size() * 2)) + Utf16Le(text); }

// A buffer opened for reading, holding bytes.
struct ReadBuffer {
    explicit ReadBuffer(const QByteArray& bytes) : data(bytes), buffer(&data) { buffer.open(QIODevice::ReadOnly); }
    QByteArray data;
    QBuffer buffer;
};

// A device that can only be read forward, like a pipe or a socket.
class SequentialBytes : public QIODevice {
public:
    explicit SequentialBytes(const QByteArray& bytes) : data_(bytes) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return (data_.size() - offset_) + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* out, qint64 max) override {
        const qint64 n = std::min<qint64>(max, data_.size() - offset_);
        std::memcpy(out, data_.constData() + offset_, static_cast<size_t>(n));
        offset_ += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray data_;
    qint64 offset_ = 0;
};

TEST(StreamStrings, SixUnitsWriteSixteenBytesAndReadBack) {
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteStreamString(out, QStringLiteral("Bühne1")), 16);
    ASSERT_EQ(bytes.size(), 16);
    EXPECT_EQ(bytes.left(4), QByteArray::fromHex("0C000000"));
    EXPECT_EQ(bytes.mid(4), QByteArray::fromHex("4200FC0068006E0065003100"));

    ReadBuffer in(bytes);
    QString text;
    EXPECT_TRUE(ReadStreamString(in.buffer, text));
    EXPECT_EQ(text, QStringLiteral("Bühne1"));
    EXPECT_TRUE(in.buffer.atEnd());
}

TEST(StreamStrings, EmptyTextIsTheCountAlone) {
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteStreamString(out, QString()), 4);
    EXPECT_EQ(bytes, Count(0));
}

TEST(StreamStrings, ReadingTrimsBlanksAndControlCharacters) {
    ReadBuffer in(Encoded(QStringLiteral(" \t Halle 7\r\n ")));
    QString text;
    EXPECT_TRUE(ReadStreamString(in.buffer, text));
    EXPECT_EQ(text, QStringLiteral("Halle 7"));
}

// Each case is followed by the stream string "next": the reader must land on it.
struct CountCase {
    const char* name;
    QByteArray bytes;
    bool ok;
    QString text;
    qint64 consumed;
};

TEST(StreamStrings, CountsOutsideTheAcceptedRangeGiveEmptyTextAndStayInStep) {
    const QByteArray next = Encoded(QStringLiteral("next"));
    const QByteArray big(2502, 'x');
    const CountCase cases[] = {
        {"count 0", Count(0), true, QString(), 4},
        {"count 1 with its byte", Count(1) + QByteArray(1, 'A'), false, QString(), 5},
        {"odd count 5", Count(5) + Utf16Le(QStringLiteral("ab")) + QByteArray(1, 'Z'), true, QStringLiteral("ab"), 9},
        {"count 2500", Count(2500) + Utf16Le(QString(1250, u'w')), true, QString(1250, u'w'), 2504},
        {"count 2502", Count(2502) + big, false, QString(), 2506},
        {"negative count", Count(-6), false, QString(), 4},
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(c.name);
        ReadBuffer in(c.bytes + next);
        QString text = QStringLiteral("stale");
        EXPECT_EQ(ReadStreamString(in.buffer, text), c.ok);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(in.buffer.pos(), c.consumed);
        if (c.consumed == c.bytes.size()) {
            QString following;
            EXPECT_TRUE(ReadStreamString(in.buffer, following));
            EXPECT_EQ(following, QStringLiteral("next"));
        }
    }
}

TEST(StreamStrings, TruncatedStreamsFailWithoutReadingPastTheEnd) {
    struct Cut {
        const char* name;
        QByteArray bytes;
        qint64 consumed;
    };
    const Cut cases[] = {
        {"empty stream", QByteArray(), 0},
        {"half a count", Count(8).left(2), 0},
        {"text cut short", Count(10) + Utf16Le(QStringLiteral("ab")), 4},
        {"count 1 at the end", Count(1), 4},
        {"oversized count cut short", Count(4000) + QByteArray(100, 'x'), 4},
    };
    for (const Cut& c : cases) {
        SCOPED_TRACE(c.name);
        ReadBuffer in(c.bytes);
        QString text = QStringLiteral("stale");
        EXPECT_FALSE(ReadStreamString(in.buffer, text));
        EXPECT_TRUE(text.isEmpty());
        EXPECT_EQ(in.buffer.pos(), c.consumed);
    }
}

TEST(StreamStrings, LongTextIsStoredAsItsFirst1250Units) {
    QString longText;
    for (int i = 0; i < 2000; ++i) {
        longText.append(QChar(u'a' + i % 26));
    }
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteStreamString(out, longText), 2504);
    EXPECT_EQ(WriteStreamString(out, QStringLiteral("after")), 14);

    ReadBuffer in(bytes);
    QString text;
    EXPECT_TRUE(ReadStreamString(in.buffer, text));
    EXPECT_EQ(text, longText.left(1250));
    EXPECT_TRUE(ReadStreamString(in.buffer, text));
    EXPECT_EQ(text, QStringLiteral("after"));
}

TEST(StreamStrings, CutNeverSplitsASurrogatePair) {
    const QString text = QString(1249, u'a') + QString::fromUtf8("\xF0\x9F\x8E\xB5");  // U+1F3B5 at units 1249-1250
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(WriteStreamString(out, text), 4 + 1249 * 2);

    ReadBuffer in(bytes);
    QString back;
    EXPECT_TRUE(ReadStreamString(in.buffer, back));
    EXPECT_EQ(back, QString(1249, u'a'));
}

TEST(StreamStrings, FileRoundTripKeepsEveryByte) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("texts.bin"));
    const QStringList texts = {QStringLiteral("Stadtfest"), QString(), QStringLiteral("Größe → 100 dB"),
                               QString(1250, u'z')};
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QString& t : texts) {
            ASSERT_GT(WriteStreamString(file, t), 0);
        }
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray expected;
    for (const QString& t : texts) {
        expected += Encoded(t);
    }
    EXPECT_EQ(file.readAll(), expected);
    file.seek(0);
    for (const QString& t : texts) {
        QString back;
        EXPECT_TRUE(ReadStreamString(file, back));
        EXPECT_EQ(back, t);
    }
    QString beyond = QStringLiteral("stale");
    EXPECT_FALSE(ReadStreamString(file, beyond));
    EXPECT_TRUE(beyond.isEmpty());
}

TEST(StreamStrings, SequentialDeviceSkipsARejectedText) {
    SequentialBytes in(Count(2600) + QByteArray(2600, 'q') + Encoded(QStringLiteral("Ende")));
    QString text;
    EXPECT_FALSE(ReadStreamString(in, text));
    EXPECT_TRUE(ReadStreamString(in, text));
    EXPECT_EQ(text, QStringLiteral("Ende"));
}

TEST(StreamStrings, DevicesThatCannotBeUsedReportFailure) {
    QBuffer closed;
    EXPECT_EQ(WriteStreamString(closed, QStringLiteral("x")), -1);
    QString text = QStringLiteral("stale");
    EXPECT_FALSE(ReadStreamString(closed, text));
    EXPECT_TRUE(text.isEmpty());
}

}  // namespace
