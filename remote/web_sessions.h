#pragma once
// The web server's own cookie sessions. A session lives from its first
// request until it has been idle longer than the session life; the web
// services decide which sessions are registered clients. An id the server
// did not hand out, or one that has ended, is never adopted: its request
// opens a new session with a fresh id.
#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <QHash>

class WebServices;

inline constexpr int64_t kWebSessionLifeMs = 5000;

// A new random session id: 128 bits from the system's CSPRNG as 32
// lowercase hexadecimal characters.
QString NewWebSessionId();
// The VELTARO cookie's value in a Cookie header when it has the form of a
// session id; none otherwise (also for a huge or garbled header).
std::optional<QString> SessionCookieOf(std::string_view cookieHeader);
// The Set-Cookie value of a session.
std::string SessionCookieHeader(const QString& id);

class TWebSessionTable {
public:
    // registrar admits and ends sessions (notification 53); nowMs is the
    // clock in milliseconds (tests drive it).
    TWebSessionTable(WebServices& registrar, std::function<int64_t()> nowMs);

    struct Visit {
        QString id;
        bool opened = false;     // a new session (its cookie must be set)
        bool presented = false;  // the request presented this live session's cookie
    };
    // Finds the session of the presented cookie and marks it used, or opens
    // a new one for remoteHost.
    Visit Touch(const std::optional<QString>& presentedId, const QString& remoteHost);
    // Ends every session idle longer than the session life.
    void Sweep();
    // Ends every session.
    void EndAll();
    int32_t Count() const;

private:
    void End(const QString& id);

    WebServices& registrar_;
    std::function<int64_t()> nowMs_;
    mutable std::mutex lock_;
    QHash<QString, int64_t> lastUse_;
};
