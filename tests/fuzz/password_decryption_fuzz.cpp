// Password-based decryption in both forms. The first byte chooses the cipher
// (bits 0-1), the hash (bit 2) and the form (bit 3): the stream form keeps
// the length and enciphers back to its input; the text form accepts only
// Base64 and what it gives enciphers and deciphers to itself. The enciphered
// measurement file is tried with the same bytes: a wrong password or no
// marker leaves the file as it was.
#include "store/measurement_file.h"
#include "store/password_encryption.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void StreamForm(const QByteArray& data, TCipherKind cipher, THashKind hash) {
    const QByteArray plain = DecipherStream(data, cipher, hash, fuzz::kPassword);
    fuzz::Require(plain.size() == data.size(), "the stream form changed the length");
    fuzz::Require(EncipherStream(plain, cipher, hash, fuzz::kPassword) == data,
                  "the stream form does not encipher back to its input");

    QByteArray file = data;
    if (!DecipherFileImage(file, fuzz::kPassword)) {
        fuzz::Require(file == data, "a refused file image was changed");
    }
}

void TextForm(const QByteArray& data, TCipherKind cipher, THashKind hash) {
    const QString base64 = QString::fromLatin1(data);
    const std::optional<QString> text = DecipherText(base64, cipher, hash, fuzz::kPassword);
    if (!text) {
        return;
    }
    const QString again = EncipherText(*text, cipher, hash, fuzz::kPassword);
    fuzz::Require(DecipherText(again, cipher, hash, fuzz::kPassword) == text,
                  "a deciphered text does not survive enciphering");
}

}  // namespace

static int TestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    static constexpr TCipherKind kCiphers[] = {TCipherKind::Rijndael, TCipherKind::Twofish, TCipherKind::Blowfish,
                                               TCipherKind::Rijndael};
    const TCipherKind cipher = kCiphers[data[0] & 3];
    const THashKind hash = (data[0] & 4) != 0 ? THashKind::Sha256 : THashKind::Tiger;
    const QByteArray rest = fuzz::Bytes(data + 1, size - 1);
    if ((data[0] & 8) != 0) {
        TextForm(rest, cipher, hash);
    } else {
        StreamForm(rest, cipher, hash);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::WithinASecond(size, [&] { return TestOneInput(data, size); });
}
