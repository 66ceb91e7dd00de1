#pragma once
// The main window's side of the web display: the local address list, the
// web server behind the WebServices seam, and the snapshot of the display
// texts, counters and wizards that the server's threads answer from. The
// snapshot is taken on the main thread only, ten times a second while the
// server runs.
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

#include "remote/web_snapshot.h"

class TVTProMaster;
class TIpHandling;
class TWebServer;

// Where the snapshot takes the wizard panels from. Each subsystem that owns
// a wizard sets its function; an empty function means no such wizard is
// open.
struct TWebWizardSources {
    std::function<int32_t()> kalStatus;
    std::function<TWebCalWizardPanel()> calibration;
    std::function<TWebKorWizardPanel()> correction;
    std::function<TWebCalLogPanel()> calLog;
};

class TWebDisplay : public QObject {
public:
    // Creates the address list and the server and publishes both.
    explicit TWebDisplay(TVTProMaster& window);
    // Withdraws the server and stops it; the address list stays until the
    // display is destroyed.
    void Shutdown();
    ~TWebDisplay() override;

    TIpHandling& IpHandling() { return *ipHandling_; }
    TWebServer& Server() { return *server_; }
    TWebWizardSources& WizardSources() { return sources_; }

    // The settings apply: starts the server anew while an address is
    // ticked, stops it otherwise.
    void ApplyServerSetting();
    // Takes one snapshot and publishes it.
    void Publish();

private:
    TWebSnapshot TakeSnapshot() const;
    void ReportStartFailure(int32_t port);

    TVTProMaster& window_;
    TWebWizardSources sources_;
    TWebSnapshotBoard board_;
    std::unique_ptr<TIpHandling> ipHandling_;
    std::unique_ptr<TWebServer> server_;
    QTimer publishTimer_;
};
