#include "remote/web_tls.h"

#include <QFile>

#include <openssl/err.h>
#include <openssl/pkcs12.h>
#include <openssl/provider.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <memory>
#include <mutex>

#include "store/password_encryption.h"

namespace {

constexpr qint64 kLargestCertificateFile = 1 << 20;

void LoadProvidersOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Naming the legacy provider switches off the implicit default one,
        // so both are loaded; they stay for the life of the process.
        OSSL_PROVIDER_load(nullptr, "default");
        OSSL_PROVIDER_load(nullptr, "legacy");
    });
}

struct Pkcs12Parts {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    STACK_OF(X509)* chain = nullptr;
    ~Pkcs12Parts() {
        EVP_PKEY_free(key);
        X509_free(cert);
        sk_X509_pop_free(chain, X509_free);
    }
};

bool ParsePkcs12(const QByteArray& der, const QString& password, Pkcs12Parts& parts) {
    const auto* p = reinterpret_cast<const unsigned char*>(der.constData());
    std::unique_ptr<PKCS12, decltype(&PKCS12_free)> p12(d2i_PKCS12(nullptr, &p, der.size()), &PKCS12_free);
    if (!p12) return false;
    const QByteArray pass = password.toUtf8();
    return PKCS12_parse(p12.get(), pass.constData(), &parts.key, &parts.cert, &parts.chain) == 1 &&
           parts.key != nullptr && parts.cert != nullptr;
}

}  // namespace

bool SetupTlsContext(SSL_CTX& ctx, const QString& certFile, const QString& password) {
    LoadProvidersOnce();
    if (SSL_CTX_set_min_proto_version(&ctx, TLS1_2_VERSION) != 1) return false;
    QFile file(certFile);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kLargestCertificateFile) return false;
    const QByteArray der = file.readAll();
    Pkcs12Parts parts;
    const bool ok = ParsePkcs12(der, password, parts) && SSL_CTX_use_certificate(&ctx, parts.cert) == 1 &&
                    SSL_CTX_use_PrivateKey(&ctx, parts.key) == 1 && SSL_CTX_check_private_key(&ctx) == 1;
    if (ok) {
        for (int i = 0; parts.chain != nullptr && i < sk_X509_num(parts.chain); ++i)
            SSL_CTX_add1_chain_cert(&ctx, sk_X509_value(parts.chain, i));
    }
    ERR_clear_error();
    return ok;
}

TCertificateCheck CheckCertificateFile(const QString& certFile, const QString& password) {
    LoadProvidersOnce();
    QFile file(certFile);
    if (!file.exists() || !file.open(QIODevice::ReadOnly)) return TCertificateCheck::Missing;
    if (file.size() > kLargestCertificateFile) return TCertificateCheck::NotPkcs12;
    const QByteArray der = file.readAll();
    // A PKCS#12 file is one DER sequence; anything else (a PEM text, say) is another kind of file.
    constexpr char kDerSequence = 0x30;
    const auto* p = reinterpret_cast<const unsigned char*>(der.constData());
    std::unique_ptr<PKCS12, decltype(&PKCS12_free)> p12(d2i_PKCS12(nullptr, &p, der.size()), &PKCS12_free);
    TCertificateCheck result = TCertificateCheck::Ok;
    if (!p12) {
        result = der.startsWith(kDerSequence) ? TCertificateCheck::Damaged : TCertificateCheck::NotPkcs12;
    } else {
        const QByteArray pass = password.toUtf8();
        if (PKCS12_mac_present(p12.get()) == 1 && PKCS12_verify_mac(p12.get(), pass.constData(), pass.size()) != 1) {
            result = TCertificateCheck::WrongPassPhrase;
        } else {
            Pkcs12Parts parts;
            if (PKCS12_parse(p12.get(), pass.constData(), &parts.key, &parts.cert, &parts.chain) != 1)
                result = TCertificateCheck::Damaged;
            else if (parts.key == nullptr || parts.cert == nullptr)
                result = TCertificateCheck::NoKeyOrCertificate;
        }
    }
    ERR_clear_error();
    return result;
}

std::optional<QString> CertificatePassword(const QString& keyName) {
    return DecipherText(keyName, TCipherKind::Twofish, THashKind::Sha256, QString::fromLatin1(kCertKeyPhrase));
}
