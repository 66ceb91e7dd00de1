#pragma once
// The TLS side of the web server: TLS 1.2 at least, the certificate and its
// key from a PKCS#12 file. Older exports (RC2, 3DES) need OpenSSL's legacy
// provider, which is loaded once beside the default one.
#include <QString>

#include <optional>

typedef struct ssl_ctx_st SSL_CTX;

// The fixed pass phrase under which the certificate's pass phrase is stored.
inline constexpr const char* kCertKeyPhrase = "#47WoqLMb93?61:RxeKuaP";

// Sets the protocol floor and loads certFile with password into ctx; false
// when the file cannot be read or opened with that password.
bool SetupTlsContext(SSL_CTX& ctx, const QString& certFile, const QString& password);

// What opening a certificate file with a pass phrase found.
enum class TCertificateCheck { Ok, Missing, NotPkcs12, Damaged, WrongPassPhrase, NoKeyOrCertificate };
TCertificateCheck CheckCertificateFile(const QString& certFile, const QString& password);

// The certificate's pass phrase from its stored form; none when the stored
// text is no valid enciphered text.
std::optional<QString> CertificatePassword(const QString& keyName);
