#include "store/password_encryption.h"

#include <botan/block_cipher.h>
#include <botan/hash.h>
#include <botan/secmem.h>

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = Botan::secure_vector<uint8_t>;

std::string HashName(THashKind hash) {
    switch (hash) {
    case THashKind::Tiger: return "Tiger(24,3)";
    case THashKind::Sha256: return "SHA-256";
    }
    throw std::invalid_argument("unknown hash");
}

// Rijndael here is AES: the variant follows from the key length.
std::string CipherName(TCipherKind cipher, size_t keyBytes) {
    switch (cipher) {
    case TCipherKind::Rijndael:
        if (keyBytes != 16 && keyBytes != 24 && keyBytes != 32) {
            throw std::invalid_argument("Rijndael takes keys of 16, 24 or 32 bytes");
        }
        return "AES-" + std::to_string(keyBytes * 8);
    case TCipherKind::Twofish: return "Twofish";
    case TCipherKind::Blowfish: return "Blowfish";
    }
    throw std::invalid_argument("unknown cipher");
}

std::unique_ptr<Botan::BlockCipher> KeyedCipher(TCipherKind cipher, const uint8_t* key, size_t keyBytes) {
    std::unique_ptr<Botan::BlockCipher> c;
    try {
        c = Botan::BlockCipher::create_or_throw(CipherName(cipher, keyBytes));
    } catch (const std::invalid_argument&) {
        throw;
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("cipher not available: ") + e.what());
    }
    if (!c->valid_keylength(keyBytes)) {
        throw std::invalid_argument("key length not accepted by the cipher");
    }
    c->set_key(key, keyBytes);
    return c;
}

Bytes Utf16LeBytes(const QString& text) {
    Bytes out(static_cast<size_t>(text.size()) * 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        out[static_cast<size_t>(i) * 2] = static_cast<uint8_t>(unit & 0xFF);
        out[static_cast<size_t>(i) * 2 + 1] = static_cast<uint8_t>(unit >> 8);
    }
    return out;
}

Bytes Digest(THashKind hash, const uint8_t* data, size_t size) {
    std::unique_ptr<Botan::HashFunction> h;
    try {
        h = Botan::HashFunction::create_or_throw(HashName(hash));
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("hash not available: ") + e.what());
    }
    h->update(data, size);
    return h->final();
}

// A cipher keyed from a key text, with its chaining value at the initial
// vector. The key state is wiped when the run ends.
class ChainedRun {
public:
    ChainedRun(TCipherKind cipher, THashKind hash, const QString& keyText) {
        const Bytes text = Utf16LeBytes(keyText);
        Bytes key = Digest(hash, text.data(), text.size());
        key.resize(std::min<size_t>(key.size(), static_cast<size_t>(CipherMaxKeyBytes(cipher))));
        cipher_ = KeyedCipher(cipher, key.data(), key.size());
        block_ = cipher_->block_size();
        cv_.assign(block_, 0);
        cipher_->encrypt(cv_.data());
        scratch_.resize(block_);
    }
    ~ChainedRun() { cipher_->clear(); }
    ChainedRun(const ChainedRun&) = delete;
    ChainedRun& operator=(const ChainedRun&) = delete;

    void EncipherBlocks(uint8_t* data, size_t size) {
        size_t pos = 0;
        for (; pos + block_ <= size; pos += block_) {
            for (size_t i = 0; i < block_; ++i) {
                cv_[i] ^= data[pos + i];
            }
            cipher_->encrypt(cv_.data());
            std::copy(cv_.begin(), cv_.end(), data + pos);
        }
        XorTail(data + pos, size - pos);
    }

    void DecipherBlocks(uint8_t* data, size_t size) {
        size_t pos = 0;
        for (; pos + block_ <= size; pos += block_) {
            std::copy(data + pos, data + pos + block_, scratch_.begin());
            cipher_->decrypt(data + pos);
            for (size_t i = 0; i < block_; ++i) {
                data[pos + i] ^= cv_[i];
            }
            cv_.swap(scratch_);
        }
        XorTail(data + pos, size - pos);
    }

    // 8-bit cipher feedback: one output byte per encryption of the register.
    void CfbBytes(uint8_t* data, size_t size, bool encipher) {
        for (size_t i = 0; i < size; ++i) {
            cipher_->encrypt(cv_.data(), scratch_.data());
            const uint8_t in = data[i];
            const uint8_t out = static_cast<uint8_t>(in ^ scratch_[0]);
            data[i] = out;
            std::copy(cv_.begin() + 1, cv_.end(), cv_.begin());
            cv_[block_ - 1] = encipher ? out : in;
        }
    }

private:
    // The partial-block rule, the same in both directions.
    void XorTail(uint8_t* data, size_t n) {
        if (n == 0) {
            return;
        }
        cipher_->encrypt(cv_.data());
        for (size_t i = 0; i < n; ++i) {
            data[i] ^= cv_[i];
        }
    }

    std::unique_ptr<Botan::BlockCipher> cipher_;
    size_t block_ = 0;
    Bytes cv_;
    Bytes scratch_;
};

// Full blocks are chained piece by piece; the partial-block rule only ever
// applies to the end of the data, because a piece is a whole number of blocks.
QByteArray RunStream(const QByteArray& in, TCipherKind cipher, THashKind hash, const QString& keyText,
                     bool encipher) {
    QByteArray out = in;
    if (out.isEmpty()) {
        return out;
    }
    ChainedRun run(cipher, hash, keyText);
    auto* data = reinterpret_cast<uint8_t*>(out.data());
    const size_t size = static_cast<size_t>(out.size());
    for (size_t pos = 0; pos < size; pos += kCipherPieceSize) {
        const size_t piece = std::min<size_t>(kCipherPieceSize, size - pos);
        if (encipher) {
            run.EncipherBlocks(data + pos, piece);
        } else {
            run.DecipherBlocks(data + pos, piece);
        }
    }
    return out;
}

QByteArray FromHex(const char* hex) { return QByteArray::fromHex(QByteArray(hex)); }

struct KnownAnswer {
    const char* key;
    const char* plain;
    const char* cipher;
};

// FIPS-197 appendix C.
constexpr std::array kRijndaelVectors = {
    KnownAnswer{"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
                "69c4e0d86a7b0430d8cdb78070b4c55a"},
    KnownAnswer{"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
                "dda97ca4864cdfe06eaf70a0ec0d7191"},
    KnownAnswer{"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
                "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
};

// The Twofish paper's vectors for 128-, 192- and 256-bit keys.
constexpr std::array kTwofishVectors = {
    KnownAnswer{"00000000000000000000000000000000", "00000000000000000000000000000000",
                "9f589f5cf6122c32b6bfec2f2ae8c35a"},
    KnownAnswer{"0123456789abcdeffedcba98765432100011223344556677", "00000000000000000000000000000000",
                "cfd1d2e5a9be9cdf501f13b892bd2248"},
    KnownAnswer{"0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff",
                "00000000000000000000000000000000", "37527be0052334b89f0cfccae87cfa20"},
};

// Schneier's vectors, the 24-byte key (the length the preset files use) included.
constexpr std::array kBlowfishVectors = {
    KnownAnswer{"0000000000000000", "0000000000000000", "4ef997456198dd78"},
    KnownAnswer{"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
    KnownAnswer{"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
    KnownAnswer{"f0e1d2c3b4a5968778695a4b3c2d1e0f0011223344556677", "fedcba9876543210", "05044b62fa52d080"},
};

template <size_t N>
bool PassesAll(TCipherKind cipher, const std::array<KnownAnswer, N>& vectors) {
    for (const KnownAnswer& v : vectors) {
        if (EncryptOneBlock(cipher, FromHex(v.key), FromHex(v.plain)) != FromHex(v.cipher)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t CipherBlockSize(TCipherKind cipher) {
    return cipher == TCipherKind::Blowfish ? 8 : 16;
}

int32_t CipherMaxKeyBytes(TCipherKind cipher) {
    return cipher == TCipherKind::Blowfish ? 56 : 32;
}

int32_t HashDigestBytes(THashKind hash) {
    return hash == THashKind::Tiger ? 24 : 32;
}

QByteArray HashBytes(THashKind hash, const QByteArray& data) {
    const Bytes d = Digest(hash, reinterpret_cast<const uint8_t*>(data.constData()), static_cast<size_t>(data.size()));
    return QByteArray(reinterpret_cast<const char*>(d.data()), static_cast<qsizetype>(d.size()));
}

QByteArray HashKeyText(THashKind hash, const QString& text) {
    const Bytes bytes = Utf16LeBytes(text);
    const Bytes d = Digest(hash, bytes.data(), bytes.size());
    return QByteArray(reinterpret_cast<const char*>(d.data()), static_cast<qsizetype>(d.size()));
}

QByteArray DeriveCipherKey(TCipherKind cipher, THashKind hash, const QString& keyText) {
    return HashKeyText(hash, keyText).left(std::min(CipherMaxKeyBytes(cipher), HashDigestBytes(hash)));
}

QByteArray EncipherStream(const QByteArray& plain, TCipherKind cipher, THashKind hash, const QString& keyText) {
    return RunStream(plain, cipher, hash, keyText, true);
}

QByteArray DecipherStream(const QByteArray& data, TCipherKind cipher, THashKind hash, const QString& keyText) {
    return RunStream(data, cipher, hash, keyText, false);
}

QString EncipherText(const QString& text, TCipherKind cipher, THashKind hash, const QString& keyText) {
    if (text.isEmpty()) {
        return QString();
    }
    Bytes bytes = Utf16LeBytes(text);
    ChainedRun run(cipher, hash, keyText);
    run.CfbBytes(bytes.data(), bytes.size(), true);
    const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    return QString::fromLatin1(raw.toBase64());
}

std::optional<QString> DecipherText(const QString& base64, TCipherKind cipher, THashKind hash,
                                    const QString& keyText) {
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(base64.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || base64.size() % 4 != 0) {
        return std::nullopt;
    }
    QByteArray bytes = decoded.decoded;
    if (bytes.isEmpty()) {
        return QString();
    }
    {
        ChainedRun run(cipher, hash, keyText);
        run.CfbBytes(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<size_t>(bytes.size()), false);
    }
    QString text;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto lo = static_cast<uint8_t>(bytes[i]);
        const auto hi = static_cast<uint8_t>(bytes[i + 1]);
        text.append(QChar(static_cast<char16_t>(lo | (hi << 8))));
    }
    bytes.fill('\0');
    return text;
}

QByteArray EncryptOneBlock(TCipherKind cipher, const QByteArray& key, const QByteArray& block) {
    if (block.size() != CipherBlockSize(cipher)) {
        throw std::invalid_argument("the block must be exactly one cipher block");
    }
    auto c = KeyedCipher(cipher, reinterpret_cast<const uint8_t*>(key.constData()), static_cast<size_t>(key.size()));
    QByteArray out(block.size(), '\0');
    c->encrypt(reinterpret_cast<const uint8_t*>(block.constData()), reinterpret_cast<uint8_t*>(out.data()));
    c->clear();
    return out;
}

bool CipherSelfTest(TCipherKind cipher) {
    try {
        switch (cipher) {
        case TCipherKind::Rijndael: return PassesAll(cipher, kRijndaelVectors);
        case TCipherKind::Twofish: return PassesAll(cipher, kTwofishVectors);
        case TCipherKind::Blowfish: return PassesAll(cipher, kBlowfishVectors);
        }
    } catch (const std::exception&) {
        return false;
    }
    return false;
}
