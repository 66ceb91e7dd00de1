#pragma once
// The main window's Art-Net output: start and stop, the periodic ArtPoll, the
// collection of the nodes' replies, our own answer to another controller's
// poll, and the ArtDmx send of the limit state every 150 ms. The main window
// owns one instance; it reads the running flag and the limit states and sets
// the status line through the main-window services. Main thread only.
#include <QObject>
#include <QTimer>

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "remote/art_net_control.h"
#include "remote/art_net_socket.h"

struct TArtNetConfig {
    uint16_t port = kArtNetPort;
    // The local IPv4 addresses to bind; without a list, those of the
    // machine's interfaces, loopback excepted (a send from 127.0.0.1 to a
    // node on the network fails and would end the output).
    std::optional<std::vector<in_addr>> localAddresses;
    in_addr pollDestination{htonl(INADDR_BROADCAST)};
    // Off: nothing runs by itself, the caller drives the send and poll ticks.
    bool timers = true;
};

class TArtNetDrive : public QObject {
public:
    static constexpr int kSendIntervalMs = 150;
    static constexpr int kPollIntervalMs = 3000;
    static constexpr int kRepeatTicks = 10;  // an unchanged state goes out again on the 11th tick
    static constexpr int kSetupBlackoutOnce = 254;
    static constexpr int kSetupBlackout = 255;

    explicit TArtNetDrive(TArtNetConfig config = {}, QObject* parent = nullptr);
    ~TArtNetDrive() override;

    void StartArtNet();
    void StopArtNet();
    // Setup mode 0, both timers off and one dark packet.
    void ArtNetOff();
    // Notification 512: 1 or 2 start, anything else stops.
    void SwitchArtNet(int32_t argument);
    // Notification 513: shows a scene (16, 17, 18, 20) or dark (254 once, 255).
    void SetArtNetSetupMode(int32_t mode);
    // The send tick; force sends dark.
    void SendArtNetDmx(bool force);
    void PollArtNetNodes();

    bool Running() const { return socket_.Active(); }
    int32_t SetupMode() const { return artNetSetupMode_; }
    // The delay of the last queued answer to a poll, in milliseconds.
    int32_t PollAnswerDelayMs() const { return pollAnswerDelayMs_; }

private:
    struct PollSource {
        in_addr local{};
        sockaddr_in peer{};
    };

    std::vector<in_addr> LocalAddresses() const;
    void CreateArtNetControl();
    void DropArtNetControl();
    bool BindAll(const std::vector<in_addr>& addresses);
    int32_t PickState();
    int32_t MeasuringState() const;
    bool SendToNode(int32_t state);
    void SendFailed();
    void ArtNetServerUDPRead(const TArtNetDatagram& datagram);
    void QueuePollAnswer(const TArtNetDatagram& datagram);
    void PollAnswerTimer();
    void SetStatus(const QString& text);

    const TArtNetConfig config_;
    TArtNetSocket socket_;
    std::vector<in_addr> bindings_;
    std::unique_ptr<TArtNetControl> control_;
    QTimer tArtNet_;
    QTimer tArtNetPoll_;
    QTimer tArtNetPollAnswer_;
    int32_t artNetSetupMode_ = 0;
    int32_t artSendCounter_ = kRepeatTicks + 1;
    int32_t oldMol_ = 0;
    int32_t pollAnswerDelayMs_ = 0;
    PollSource artNetPollSource_;
    std::minstd_rand random_{std::random_device{}()};
};
