#include "remote/web_sessions.h"

#include <openssl/rand.h>

#include <stdexcept>
#include <vector>

#include "ui_kit/services/web_services.h"

namespace {

constexpr std::string_view kCookieName = "VELTARO";
constexpr int kIdBytes = 16;

bool IsSessionIdForm(std::string_view value) {
    if (value.size() != 2 * kIdBytes) return false;
    for (char c : value)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

QString NewWebSessionId() {
    unsigned char bytes[kIdBytes];
    if (RAND_bytes(bytes, kIdBytes) != 1) throw std::runtime_error("no random bytes for a session id");
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), kIdBytes).toHex());
}

std::optional<QString> SessionCookieOf(std::string_view header) {
    while (!header.empty()) {
        const size_t end = header.find(';');
        const std::string_view pair = TrimBlanks(header.substr(0, end));
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
        const size_t eq = pair.find('=');
        if (eq == std::string_view::npos || TrimBlanks(pair.substr(0, eq)) != kCookieName) continue;
        const std::string_view value = TrimBlanks(pair.substr(eq + 1));
        if (IsSessionIdForm(value)) return QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size()));
    }
    return std::nullopt;
}

std::string SessionCookieHeader(const QString& id) {
    return std::string(kCookieName) + "=" + id.toStdString() + "; Path=/; HttpOnly; SameSite=Strict";
}

TWebSessionTable::TWebSessionTable(WebServices& registrar, std::function<int64_t()> nowMs)
    : registrar_(registrar), nowMs_(std::move(nowMs)) {}

TWebSessionTable::Visit TWebSessionTable::Touch(const std::optional<QString>& presentedId,
                                                 const QString& remoteHost) {
    Visit visit;
    {
        std::lock_guard guard(lock_);
        const int64_t now = nowMs_();
        if (presentedId) {
            const auto it = lastUse_.find(*presentedId);
            if (it != lastUse_.end() && now - it.value() <= kWebSessionLifeMs) {
                it.value() = now;
                visit.id = *presentedId;
                visit.presented = true;
                return visit;
            }
        }
        visit.id = NewWebSessionId();
        visit.opened = true;
        lastUse_[visit.id] = now;
    }
    registrar_.webiSessionStart(remoteHost, visit.id);
    return visit;
}

void TWebSessionTable::Sweep() {
    std::vector<QString> ended;
    {
        std::lock_guard guard(lock_);
        const int64_t now = nowMs_();
        for (auto it = lastUse_.begin(); it != lastUse_.end();) {
            if (now - it.value() > kWebSessionLifeMs) {
                ended.push_back(it.key());
                it = lastUse_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const QString& id : ended) registrar_.webiSessionEnd(id);
}

void TWebSessionTable::EndAll() {
    std::vector<QString> ended;
    {
        std::lock_guard guard(lock_);
        for (auto it = lastUse_.cbegin(); it != lastUse_.cend(); ++it) ended.push_back(it.key());
        lastUse_.clear();
    }
    for (const QString& id : ended) registrar_.webiSessionEnd(id);
}

int32_t TWebSessionTable::Count() const {
    std::lock_guard guard(lock_);
    return static_cast<int32_t>(lastUse_.size());
}
