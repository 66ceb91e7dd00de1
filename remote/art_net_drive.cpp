#include "remote/art_net_drive.h"

#include <QNetworkInterface>

#include <arpa/inet.h>

#include <algorithm>

#include "remote/dmx_data.h"
#include "ui_kit/notifications.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/shared_state.h"

namespace {

constexpr int kPollAnswerMinMs = 50;
constexpr int kPollAnswerSpreadMs = 799;
constexpr int32_t kStatusSlotArtNet = 2;
const QString kOurStatus = QStringLiteral("Alles klar beim Veltaro");

sockaddr_in NodeAddress(in_addr address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr = address;
    return to;
}

}  // namespace

TArtNetDrive::TArtNetDrive(TArtNetConfig config, QObject* parent) : QObject(parent), config_(std::move(config)) {
    tArtNet_.setInterval(kSendIntervalMs);
    tArtNetPoll_.setInterval(kPollIntervalMs);
    tArtNetPollAnswer_.setSingleShot(true);
    // Never before the delay that spreads the answers of many nodes.
    tArtNetPollAnswer_.setTimerType(Qt::PreciseTimer);
    connect(&tArtNet_, &QTimer::timeout, this, [this] { SendArtNetDmx(false); });
    connect(&tArtNetPoll_, &QTimer::timeout, this, [this] { PollArtNetNodes(); });
    connect(&tArtNetPollAnswer_, &QTimer::timeout, this, [this] { PollAnswerTimer(); });
    socket_.onDatagram = [this](const TArtNetDatagram& d) { ArtNetServerUDPRead(d); };
}

TArtNetDrive::~TArtNetDrive() {
    if (Running()) StopArtNet();
}

std::vector<in_addr> TArtNetDrive::LocalAddresses() const {
    if (config_.localAddresses) return *config_.localAddresses;
    std::vector<in_addr> addresses;
    for (const QHostAddress& a : QNetworkInterface::allAddresses()) {
        if (a.protocol() != QHostAddress::IPv4Protocol || a.isLoopback()) continue;
        addresses.push_back(in_addr{htonl(a.toIPv4Address())});
    }
    return addresses;
}

void TArtNetDrive::StartArtNet() {
    TDMXData* dmx = dmxData.load();
    if (dmx == nullptr || !dmx->GetUseIt() || Running()) return;
    const std::vector<in_addr> addresses = LocalAddresses();
    if (addresses.empty()) return;
    CreateArtNetControl();
    if (!BindAll(addresses)) {
        // Cleared, so that the next settings apply does not try again until
        // the user switches DMX on.
        dmx->SetUseIt(false);
        bindings_.clear();
        DropArtNetControl();
        return;
    }
    SetStatus(QStringLiteral("ArtNet: ") + dmx->GetIp());
    PollArtNetNodes();
    if (config_.timers) {
        tArtNet_.start();
        tArtNetPoll_.start();
    }
    artSendCounter_ = kRepeatTicks + 1;
    oldMol_ = 0;
    dmx->Reset();
}

// One wildcard socket carries every binding; the list keeps the local
// addresses the packets are sent from.
bool TArtNetDrive::BindAll(const std::vector<in_addr>& addresses) {
    bindings_.clear();
    if (!socket_.Open(config_.port)) return false;
    bindings_ = addresses;
    return true;
}

void TArtNetDrive::CreateArtNetControl() {
    artNetSetupMode_ = 0;
    if (!control_) {
        control_ = std::make_unique<TArtNetControl>();
        artNetControl.store(control_.get());
    }
}

void TArtNetDrive::DropArtNetControl() {
    artNetControl.store(nullptr);
    control_.reset();
    SetStatus(QStringLiteral("---"));
}

void TArtNetDrive::StopArtNet() {
    ArtNetOff();
    tArtNetPollAnswer_.stop();
    socket_.Close();
    bindings_.clear();
    DropArtNetControl();
}

void TArtNetDrive::ArtNetOff() {
    artNetSetupMode_ = 0;
    tArtNet_.stop();
    tArtNetPoll_.stop();
    SendArtNetDmx(true);
}

void TArtNetDrive::SwitchArtNet(int32_t argument) {
    if (argument == 1 || argument == 2)
        StartArtNet();
    else
        StopArtNet();
}

void TArtNetDrive::SetArtNetSetupMode(int32_t mode) {
    PostMainNotify(kNotifyArtNetSwitch, 1);
    artNetSetupMode_ = mode;
    SendArtNetDmx(false);
}

int32_t TArtNetDrive::MeasuringState() const {
    MainWindowServices* window = mainWindowServices();
    const int32_t show = dmxData.load()->GetDMXShow();
    if ((show & (kDmxShowPeak | kDmxShowLeq | kDmxShowLeqK)) == 0 || window == nullptr) return kDmxStateDark;
    int32_t state = -1;
    if (show & kDmxShowPeak) state = std::max(state, window->GetLimitState(kLimitQuantityPeak));
    if (show & kDmxShowLeq) state = std::max(state, window->GetLimitState(kLimitQuantityLeq));
    if (show & kDmxShowLeqK) state = std::max(state, window->GetLimitState(kLimitQuantityLeqK));
    return state;
}

int32_t TArtNetDrive::PickState() {
    MainWindowServices* window = mainWindowServices();
    if (window != nullptr && window->GetMessungLaeuft()) return MeasuringState();
    if (artNetSetupMode_ < 1) return kDmxStateNoMeasurement;
    if (artNetSetupMode_ == kSetupBlackoutOnce) {
        artNetSetupMode_ = 0;
        return kDmxStateDark;
    }
    if (artNetSetupMode_ == kSetupBlackout) return kDmxStateDark;
    return artNetSetupMode_;
}

void TArtNetDrive::SendArtNetDmx(bool force) {
    if (bindings_.empty() || dmxData.load() == nullptr || !Running()) return;
    int32_t state = PickState();
    if (force) state = kDmxStateDark;
    ++artSendCounter_;
    if (state != oldMol_ || artSendCounter_ > kRepeatTicks) {
        artSendCounter_ = 0;
        if (!SendToNode(state)) {
            SendFailed();
            return;
        }
    }
    oldMol_ = state;
}

bool TArtNetDrive::SendToNode(int32_t state) {
    TDMXData* dmx = dmxData.load();
    in_addr node{};
    if (inet_pton(AF_INET, dmx->GetIp().toLatin1().constData(), &node) != 1) return false;
    const QByteArray packet = dmx->GetSendData(state);
    const sockaddr_in to = NodeAddress(node, config_.port);
    for (const in_addr& binding : bindings_)
        if (!socket_.SendThrough(binding, to, packet)) return false;
    return true;
}

// A node the program cannot reach stays unreachable: the output ends and DMX
// stays off until the user switches it on again.
void TArtNetDrive::SendFailed() {
    dmxData.load()->SetUseIt(false);
    socket_.Close();
    StopArtNet();
}

void TArtNetDrive::PollArtNetNodes() {
    TDMXData* dmx = dmxData.load();
    if (dmx == nullptr || !dmx->GetUseIt()) return;
    const QByteArray poll = TArtNetControl::GetPoll();
    const sockaddr_in to = NodeAddress(config_.pollDestination, config_.port);
    bool sent = socket_.SetBroadcast(true);
    for (const in_addr& binding : bindings_) sent = sent && socket_.SendThrough(binding, to, poll);
    sent = socket_.SetBroadcast(false) && sent;
    if (!sent) dmx->SetUseIt(false);
}

void TArtNetDrive::ArtNetServerUDPRead(const TArtNetDatagram& datagram) {
    if (!control_) return;
    switch (TArtNetControl::GetCommand(datagram.data)) {
    case kOpPoll: QueuePollAnswer(datagram); break;
    case kOpPollReply: control_->CheckOpPollReply(datagram.data); break;
    default: break;
    }
}

// A burst of polls gets one answer, after a random delay that keeps many
// nodes from answering at the same moment.
void TArtNetDrive::QueuePollAnswer(const TArtNetDatagram& datagram) {
    artNetPollSource_ = PollSource{datagram.local, datagram.peer};
    pollAnswerDelayMs_ = kPollAnswerMinMs + std::uniform_int_distribution<int>(0, kPollAnswerSpreadMs)(random_);
    tArtNetPollAnswer_.start(pollAnswerDelayMs_);
}

void TArtNetDrive::PollAnswerTimer() {
    tArtNetPollAnswer_.stop();
    if (!Running() || !control_) return;
    const QByteArray reply =
        control_->AnswerToPoll(Ipv4Text(artNetPollSource_.local), 0, 0, 0, 1, kOurStatus);
    socket_.SendThrough(artNetPollSource_.local, artNetPollSource_.peer, reply);
}

void TArtNetDrive::SetStatus(const QString& text) {
    if (MainWindowServices* window = mainWindowServices()) window->SetStatusInfo(kStatusSlotArtNet, text);
}
