#include "remote/ssh2_host_keys.h"

#include "platform/registry.h"
#include "platform/user_dialogs.h"
#include "ui_kit/shared_state.h"
#include "ui_kit/startup_settings.h"
#include "ui_kit/text_table.h"

namespace {

constexpr int32_t kCancelTextId = 403;

QString ValueName(const QString& host, uint16_t port) { return host.toLower() + QLatin1Char(':') + QString::number(port); }

struct BilingualText {
    const char16_t* german;
    const char16_t* english;
};

BilingualText TextOf(HostKeyText text) {
    switch (text) {
    case HostKeyText::NewKeyStored:
        return {u"Neuer Host-Schlüssel gespeichert: %1", u"New host key stored: %1"};
    case HostKeyText::KeyChangedHeader:
        return {u"Host-Schlüssel geändert", u"Host key changed"};
    case HostKeyText::KeyChanged:
        return {u"Der Host-Schlüssel von %1, Port %2, hat sich geändert.\nGespeichert: %3\nJetzt: %4\n"
                u"Wenn Sie den Schlüssel nicht selbst geändert haben, gibt sich ein anderer als Ihr Server aus.",
                u"The host key of %1, port %2, has changed.\nStored: %3\nNow: %4\n"
                u"Unless you changed the key yourself, someone else is posing as your server."};
    case HostKeyText::TrustNewKey:
        return {u"Neuem Schlüssel vertrauen", u"Trust the new key"};
    case HostKeyText::KeyRefused:
        return {u"Host-Schlüssel abgelehnt: keine Verbindung", u"Host key refused: not connected"};
    }
    return {u"", u""};
}

}  // namespace

QString HostKeyMessage(HostKeyText text) {
    const BilingualText texts = TextOf(text);
    return QString::fromUtf16(language.load() == kLangGerman ? texts.german : texts.english);
}

TRegistryHashManager::TRegistryHashManager(QString keyPath) : keyPath_(std::move(keyPath)) {}

QString TRegistryHashManager::DefaultKeyPath() { return kSettingsKey + QStringLiteral("\\SSHHostKeys"); }

std::optional<QByteArray> TRegistryHashManager::GetFingerprint(const QString& host, uint16_t port) {
    platform::Registry reg;
    if (!reg.OpenKeyReadOnly(keyPath_)) return std::nullopt;
    return reg.ReadBinaryData(ValueName(host, port));
}

void TRegistryHashManager::StoreFingerprint(const QString& host, uint16_t port, const QByteArray& fingerprint) {
    platform::Registry reg;
    if (reg.OpenKey(keyPath_, true)) reg.WriteBinaryData(ValueName(host, port), fingerprint);
}

bool TRegistryHashManager::CompareFingerprints(const QByteArray& fresh, const QByteArray& stored) {
    // An empty hash (the library gave none) never matches.
    return !fresh.isEmpty() && fresh == stored;
}

QString FingerprintText(const QByteArray& sha256) {
    return QStringLiteral("SHA256:") +
           QString::fromLatin1(sha256.toBase64(QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals));
}

TFingerprintEvent TrustOnFirstUse(IHashManager& store, std::function<void(const QString&)> addLine) {
    return [&store, addLine](TSSH2Client& client, TFingerprintState state, TConnectHashAction& action) {
        const QString fresh = FingerprintText(client.HostKeyHash());
        if (state == TFingerprintState::fsNew) {
            action = TConnectHashAction::chaSave;
            if (addLine) addLine(HostKeyMessage(HostKeyText::NewKeyStored).arg(fresh));
            return;
        }
        const QString stored = FingerprintText(store.GetFingerprint(client.Host(), client.Port()).value_or(QByteArray()));
        platform::MessageRequest request;
        request.text = HostKeyMessage(HostKeyText::KeyChanged).arg(client.Host()).arg(client.Port()).arg(stored, fresh);
        request.header = HostKeyMessage(HostKeyText::KeyChangedHeader);
        request.leftCaption = HostKeyMessage(HostKeyText::TrustNewKey);
        request.rightCaption = GetLangText(kCancelTextId);
        request.rightCaptionId = kCancelTextId;
        const int answer = platform::userDialogs()->ShowMessage(request);
        action = answer == platform::kMessageLeft ? TConnectHashAction::chaSave : TConnectHashAction::chaCancel;
    };
}
