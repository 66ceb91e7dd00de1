#pragma once
// Password-based encryption: the one helper behind every enciphered thing the
// program stores (measurement files, the default preset files, the stored
// SFTP password, the stored pass phrase of the HTTPS key).
//
// A key text (a password, or a fixed pass phrase) becomes a key as follows:
// the text's UTF-16LE code units (no terminator, no byte-order mark) are
// hashed, and the key is the first min(cipher's largest key, digest) bits of
// the digest. The initial vector is the encryption of an all-zero block under
// that key; every run starts its chaining there.
//
// Two forms use that key:
//  - the stream form (files): cipher block chaining without padding. A full
//    block P gives C = E(P xor CV), CV := C. A trailing partial block of n
//    bytes is XORed with the first n bytes of E(CV), so the ciphertext is
//    exactly as long as the plaintext. Data is processed in pieces of 8192
//    bytes, which does not change the result.
//  - the text form (stored passwords): 8-bit cipher feedback over the text's
//    UTF-16LE bytes, the result written as Base64 (no line breaks).
//
// Neither form carries an integrity check: deciphering with a wrong key
// yields garbage, not an error. Callers that must tell a wrong password apart
// put a known marker into the plaintext (the measurement file does).
//
// The block ciphers and hashes come from Botan; the chaining and the cipher
// feedback are ours, on single-block calls. Each call builds its own cipher
// object and wipes its key state when done, so calls from different threads
// share nothing.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

enum class TCipherKind {
    Rijndael,  // AES, 16-byte blocks, keys up to 256 bits
    Twofish,   // 16-byte blocks, keys up to 256 bits
    Blowfish,  // 8-byte blocks, keys up to 448 bits
};

enum class THashKind {
    Tiger,   // Tiger as first published (0x01 padding), 192 bits
    Sha256,  // SHA-256, 256 bits
};

// The pieces in which data is enciphered.
inline constexpr int32_t kCipherPieceSize = 8192;

int32_t CipherBlockSize(TCipherKind cipher);
int32_t CipherMaxKeyBytes(TCipherKind cipher);
int32_t HashDigestBytes(THashKind hash);

// The digest of the UTF-16LE code units of text.
QByteArray HashKeyText(THashKind hash, const QString& text);
// The digest of raw bytes (the known-answer tests need this form).
QByteArray HashBytes(THashKind hash, const QByteArray& data);
// The key derived from keyText for cipher: the first
// min(CipherMaxKeyBytes, HashDigestBytes) bytes of the digest.
QByteArray DeriveCipherKey(TCipherKind cipher, THashKind hash, const QString& keyText);

// Stream form. Both directions keep the length. An empty input gives an
// empty output.
QByteArray EncipherStream(const QByteArray& plain, TCipherKind cipher, THashKind hash, const QString& keyText);
QByteArray DecipherStream(const QByteArray& data, TCipherKind cipher, THashKind hash, const QString& keyText);

// Text form. The empty text enciphers to the empty text.
QString EncipherText(const QString& text, TCipherKind cipher, THashKind hash, const QString& keyText);
// None when base64 is no valid Base64. An odd number of deciphered bytes
// drops the last one (half as many characters as bytes).
std::optional<QString> DecipherText(const QString& base64, TCipherKind cipher, THashKind hash,
                                    const QString& keyText);

// Runs the cipher's known-answer test on its published vectors (for
// Rijndael the 128-, 192- and 256-bit keys of FIPS-197). False when any
// vector fails: nothing may then be enciphered with it.
bool CipherSelfTest(TCipherKind cipher);

// Single-block encryption with a raw key, for the known-answer tests. The
// key must have a length the cipher accepts and block exactly one block;
// otherwise std::invalid_argument.
QByteArray EncryptOneBlock(TCipherKind cipher, const QByteArray& key, const QByteArray& block);

// Every function above throws std::runtime_error only when the cipher
// library cannot provide an algorithm, which a correct installation never does.
