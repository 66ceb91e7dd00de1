#pragma once
// Host keys trusted on first use. The store keeps the SHA-256 hash of each
// server's host key per host and port under the program's registry key; the
// decision handler stores a first key (and says so in the upload window)
// and asks the user, through the dialog service, before a changed key is
// trusted. Cancel is the answer when the user closes the box.
#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

#include "remote/ssh2_client.h"

class TRegistryHashManager : public IHashManager {
public:
    // keyPath: the registry key the fingerprints live in.
    explicit TRegistryHashManager(QString keyPath = DefaultKeyPath());

    std::optional<QByteArray> GetFingerprint(const QString& host, uint16_t port) override;
    void StoreFingerprint(const QString& host, uint16_t port, const QByteArray& fingerprint) override;
    bool CompareFingerprints(const QByteArray& fresh, const QByteArray& stored) override;
    uint8_t GetHashMode() override { return kHostKeyHashSha256; }

    static QString DefaultKeyPath();

private:
    QString keyPath_;
};

// The hash as OpenSSH prints it: "SHA256:" and unpadded Base64.
QString FingerprintText(const QByteArray& sha256);

// The OnFingerprint handler of trust on first use. addLine receives the line
// that reports a newly stored key; it may be empty.
TFingerprintEvent TrustOnFirstUse(IHashManager& store, std::function<void(const QString&)> addLine);

// The texts of the host-key check in the current language.
enum class HostKeyText { NewKeyStored, KeyChangedHeader, KeyChanged, TrustNewKey, KeyRefused };
QString HostKeyMessage(HostKeyText text);
