#include "store/password_encryption.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <vector>

namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

QByteArray Pattern(int size) {
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i) {
        data[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    }
    return data;
}

QByteArray Xor(const QByteArray& a, const QByteArray& b) {
    QByteArray out(a.size(), '\0');
    for (int i = 0; i < a.size(); ++i) {
        out[i] = static_cast<char>(a[i] ^ b[i]);
    }
    return out;
}

struct HashVector {
    THashKind hash;
    const char* input;
    const char* digest;
};

TEST(PasswordEncryption, HashesMatchPublishedVectors) {
    const std::vector<HashVector> vectors = {
        // Tiger as first published (0x01 padding), NESSIE byte order.
        {THashKind::Tiger, "", "3293AC630C13F0245F92BBB1766E16167A4E58492DDE73F3"},
        {THashKind::Tiger, "abc", "2AAB1484E8C158F2BFB8C5FF41B57A525129131C957B5F93"},
        {THashKind::Tiger, "Tiger", "DD00230799F5009FEC6DEBC838BB6A27DF2B9D6F110C7937"},
        {THashKind::Tiger, "message digest", "D981F8CB78201A950DCF3048751E441C517FCA1AA55A29F6"},
        // FIPS 180.
        {THashKind::Sha256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {THashKind::Sha256, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {THashKind::Sha256, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const HashVector& v : vectors) {
        EXPECT_EQ(HashBytes(v.hash, QByteArray(v.input)).toHex(), Hex(v.digest).toHex()) << v.input;
    }
    // Tiger2 (0x80 padding) of the empty text differs: this is not it.
    EXPECT_NE(HashBytes(THashKind::Tiger, QByteArray()), Hex("4441BE75F6018773C206C22745374B924AA8313FEF919F41"));
}

struct BlockVector {
    TCipherKind cipher;
    const char* key;
    const char* plain;
    const char* expected;
};

TEST(PasswordEncryption, BlockCiphersMatchPublishedVectors) {
    const std::vector<BlockVector> vectors = {
        // FIPS-197 appendix C.
        {TCipherKind::Rijndael, "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
         "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {TCipherKind::Rijndael, "000102030405060708090a0b0c0d0e0f1011121314151617",
         "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {TCipherKind::Rijndael, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
        // The Twofish paper.
        {TCipherKind::Twofish, "0123456789abcdeffedcba98765432100011223344556677",
         "00000000000000000000000000000000", "cfd1d2e5a9be9cdf501f13b892bd2248"},
        {TCipherKind::Twofish, "0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff",
         "00000000000000000000000000000000", "37527be0052334b89f0cfccae87cfa20"},
        // Schneier's vectors.
        {TCipherKind::Blowfish, "0000000000000000", "0000000000000000", "4ef997456198dd78"},
        {TCipherKind::Blowfish, "fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
        {TCipherKind::Blowfish, "f0e1d2c3b4a5968778695a4b3c2d1e0f0011223344556677", "fedcba9876543210",
         "05044b62fa52d080"},
    };
    for (const BlockVector& v : vectors) {
        EXPECT_EQ(EncryptOneBlock(v.cipher, Hex(v.key), Hex(v.plain)).toHex(), QByteArray(v.expected)) << v.key;
    }
    for (TCipherKind cipher : {TCipherKind::Rijndael, TCipherKind::Twofish, TCipherKind::Blowfish}) {
        EXPECT_TRUE(CipherSelfTest(cipher));
    }
    EXPECT_THROW(EncryptOneBlock(TCipherKind::Rijndael, Hex("0011"), QByteArray(16, '\0')), std::invalid_argument);
    EXPECT_THROW(EncryptOneBlock(TCipherKind::Blowfish, Hex("0011"), QByteArray(16, '\0')), std::invalid_argument);
}

TEST(PasswordEncryption, KeyIsTheDigestOfTheUtf16TextCutToTheCipher) {
    const QString text = QStringLiteral("ZuQ48mvkr!pw \u00fc");
    QByteArray utf16;
    for (QChar c : text) {
        utf16.append(static_cast<char>(c.unicode() & 0xFF));
        utf16.append(static_cast<char>(c.unicode() >> 8));
    }
    EXPECT_EQ(HashKeyText(THashKind::Tiger, text), HashBytes(THashKind::Tiger, utf16));

    EXPECT_EQ(DeriveCipherKey(TCipherKind::Rijndael, THashKind::Tiger, text).size(), 24);  // AES-192
    EXPECT_EQ(DeriveCipherKey(TCipherKind::Blowfish, THashKind::Tiger, text).size(), 24);
    EXPECT_EQ(DeriveCipherKey(TCipherKind::Twofish, THashKind::Tiger, text).size(), 24);
    EXPECT_EQ(DeriveCipherKey(TCipherKind::Twofish, THashKind::Sha256, text).size(), 32);
    EXPECT_EQ(DeriveCipherKey(TCipherKind::Blowfish, THashKind::Sha256, text),
              HashKeyText(THashKind::Sha256, text));
}

// The stream form rebuilt from single-block encryptions: IV = E(0), CBC for
// the full blocks, the tail XORed with E(last ciphertext block).
QByteArray StreamByDefinition(TCipherKind cipher, THashKind hash, const QString& keyText, const QByteArray& plain) {
    const QByteArray key = DeriveCipherKey(cipher, hash, keyText);
    const int b = CipherBlockSize(cipher);
    QByteArray cv = EncryptOneBlock(cipher, key, QByteArray(b, '\0'));
    QByteArray out;
    int pos = 0;
    for (; pos + b <= plain.size(); pos += b) {
        cv = EncryptOneBlock(cipher, key, Xor(plain.mid(pos, b), cv));
        out += cv;
    }
    if (pos < plain.size()) {
        const QByteArray pad = EncryptOneBlock(cipher, key, cv);
        out += Xor(plain.mid(pos), pad.left(plain.size() - pos));
    }
    return out;
}

TEST(PasswordEncryption, StreamFormFollowsTheChainingRules) {
    const QString key = QStringLiteral("ZuQ48mvkr!secret");
    for (TCipherKind cipher : {TCipherKind::Rijndael, TCipherKind::Blowfish, TCipherKind::Twofish}) {
        for (int size : {1, 7, 16, 33, 40}) {
            const QByteArray plain = Pattern(size);
            EXPECT_EQ(EncipherStream(plain, cipher, THashKind::Tiger, key),
                      StreamByDefinition(cipher, THashKind::Tiger, key, plain))
                << static_cast<int>(cipher) << " size " << size;
        }
    }
    EXPECT_EQ(EncipherStream(Pattern(40), TCipherKind::Twofish, THashKind::Sha256, key),
              StreamByDefinition(TCipherKind::Twofish, THashKind::Sha256, key, Pattern(40)));
}

TEST(PasswordEncryption, StreamFormRoundTripsEveryLengthAndKeepsIt) {
    const QString key = QStringLiteral("pass phrase");
    for (TCipherKind cipher : {TCipherKind::Rijndael, TCipherKind::Twofish, TCipherKind::Blowfish}) {
        for (THashKind hash : {THashKind::Tiger, THashKind::Sha256}) {
            for (int size : {0, 1, 15, 16, 17, 8191, 8192, 8193, 20000}) {
                const QByteArray plain = Pattern(size);
                const QByteArray sealed = EncipherStream(plain, cipher, hash, key);
                ASSERT_EQ(sealed.size(), size);
                if (size > 0) {
                    EXPECT_NE(sealed, plain);
                    EXPECT_NE(DecipherStream(sealed, cipher, hash, QStringLiteral("pass phrasE")), plain);
                }
                EXPECT_EQ(DecipherStream(sealed, cipher, hash, key), plain) << size;
            }
        }
    }
}

TEST(PasswordEncryption, PiecesDoNotChangeTheResult) {
    const QByteArray plain = Pattern(3 * kCipherPieceSize + 11);
    const QByteArray whole = EncipherStream(plain, TCipherKind::Rijndael, THashKind::Tiger, QStringLiteral("k"));
    // A prefix of whole pieces enciphers to the prefix of the whole.
    const QByteArray head =
        EncipherStream(plain.left(2 * kCipherPieceSize), TCipherKind::Rijndael, THashKind::Tiger, QStringLiteral("k"));
    EXPECT_EQ(whole.left(head.size()), head);
    EXPECT_EQ(whole, StreamByDefinition(TCipherKind::Rijndael, THashKind::Tiger, QStringLiteral("k"), plain));
}

TEST(PasswordEncryption, TextFormIsEightBitFeedbackInBase64) {
    const QString key = QStringLiteral("a fixed pass phrase");
    EXPECT_EQ(EncipherText(QString(), TCipherKind::Twofish, THashKind::Tiger, key), QString());
    EXPECT_EQ(DecipherText(QString(), TCipherKind::Twofish, THashKind::Tiger, key), QString());

    // First byte: P0 xor first byte of E(IV).
    const QByteArray k = DeriveCipherKey(TCipherKind::Twofish, THashKind::Tiger, key);
    const QByteArray iv = EncryptOneBlock(TCipherKind::Twofish, k, QByteArray(16, '\0'));
    const QByteArray o0 = EncryptOneBlock(TCipherKind::Twofish, k, iv);
    const QByteArray sealed =
        QByteArray::fromBase64(EncipherText(QStringLiteral("A"), TCipherKind::Twofish, THashKind::Tiger, key).toLatin1());
    ASSERT_EQ(sealed.size(), 2);
    EXPECT_EQ(static_cast<uint8_t>(sealed[0]), static_cast<uint8_t>('A' ^ o0[0]));
    // Second byte: the register shifted by one byte with C0 entering last.
    const QByteArray reg = iv.mid(1) + sealed.left(1);
    EXPECT_EQ(static_cast<uint8_t>(sealed[1]), static_cast<uint8_t>(0 ^ EncryptOneBlock(TCipherKind::Twofish, k, reg)[0]));

    const QString long_text = QString(300, QChar(u'x')) + QStringLiteral("\u00fc\u20ac\U0001F600 ende ");
    for (THashKind hash : {THashKind::Tiger, THashKind::Sha256}) {
        for (const QString& text : {QStringLiteral("p"), QStringLiteral("Geheim 123"), long_text}) {
            const QString b64 = EncipherText(text, TCipherKind::Twofish, hash, key);
            EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9+/]*=*$")).match(b64).hasMatch()) << b64.toStdString();
            EXPECT_EQ(DecipherText(b64, TCipherKind::Twofish, hash, key), text);
            EXPECT_NE(DecipherText(b64, TCipherKind::Twofish, hash, key + QLatin1Char('.')), text);
        }
    }
    EXPECT_EQ(DecipherText(QStringLiteral("not base64!"), TCipherKind::Twofish, THashKind::Tiger, key), std::nullopt);
    EXPECT_EQ(DecipherText(QStringLiteral("QUJD\nREVG"), TCipherKind::Twofish, THashKind::Tiger, key), std::nullopt);
}

}  // namespace
