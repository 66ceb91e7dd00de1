#pragma once
// The embedded web server's session handling, which keeps the program-wide
// list of web clients (webSessions, shared_state.h) up to date. The web
// server implements WebServices and registers it at start; before that the
// accessor answers nullptr.
//
// The handlers run on the web server's connection threads; the list guards
// itself, and the main window reads it on notification 53.
#include <QString>

class WebServices {
public:
    virtual ~WebServices() = default;

    // Start and stop the server; a start also builds the digest list of the
    // static web files, a stop frees it. GUI thread.
    virtual void StartWebServer() = 0;
    virtual void StopWebServer() = 0;
    virtual bool WebServerActive() = 0;

    // A new session: added to webSessions (connected at CorrectedNow, client
    // id = session id, client mode 1) unless webClientLimit sessions are
    // present; posts notification 53 with 1 when added. Answers whether the
    // session was admitted.
    virtual bool webiSessionStart(const QString& remoteHost, const QString& sessionID) = 0;
    // An ended session: its last entry is removed; posts notification 53 with 1
    // in every case.
    virtual void webiSessionEnd(const QString& sessionID) = 0;
};

// The registered implementation, or nullptr before the server exists.
WebServices* webServices();
void RegisterWebServices(WebServices* services);
