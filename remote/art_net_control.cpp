#include "remote/art_net_control.h"

#include <QStringList>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

constexpr int kHeaderSize = 12;
constexpr int kIpOffset = 10;
constexpr int kShortNameOffset = 26;
constexpr int kShortNameLast = 43;
constexpr int kLongNameOffset = 44;
constexpr int kLongNameLast = 107;
constexpr int kNodeReportOffset = 108;
constexpr int kNodeReportMax = 63;
constexpr int kNetOffset = 18;
constexpr int kSubNetOffset = 19;
constexpr int kPortTypesOffset = 174;
constexpr int kSwOutOffset = 190;
constexpr uint8_t kDmxOutputPort = 0x80;
constexpr int32_t kCounterWrap = 9999;
const QString kOurName = QStringLiteral("Veltaro 25 96");

// One character per byte; what ASCII cannot hold becomes "?".
void PutText(QByteArray& packet, int offset, const QString& text, int maxBytes) {
    const int n = std::min<int>(static_cast<int>(text.size()), maxBytes);
    for (int i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        packet[offset + i] = c < 0x80 ? static_cast<char>(c) : '?';
    }
}

// The byte at offset, or nothing past the end of the datagram.
std::optional<uint8_t> ByteAt(const QByteArray& datagram, int offset) {
    if (offset < 0 || offset >= datagram.size()) return std::nullopt;
    return static_cast<uint8_t>(datagram[offset]);
}

// The text from first up to a zero byte or last; nothing when the datagram
// ends before the text does.
std::optional<QString> TextAt(const QByteArray& datagram, int first, int last) {
    QString text;
    for (int i = first; i <= last; ++i) {
        const std::optional<uint8_t> b = ByteAt(datagram, i);
        if (!b) return std::nullopt;
        if (*b == 0) break;
        text.append(QChar(*b < 0x80 ? char16_t(*b) : u'?'));
    }
    return text;
}

void PutIp(QByteArray& packet, int offset, const QString& ip) {
    const QStringList parts = ip.split(QLatin1Char('.'));
    for (int i = 0; i < 4 && i < parts.size(); ++i) packet[offset + i] = static_cast<char>(parts[i].toInt() & 0xFF);
}

}  // namespace

bool TArtNetControl::InitHeader(QByteArray& packet, int32_t opCode) {
    if (packet.size() < kHeaderSize) return false;
    packet.fill('\0');
    std::memcpy(packet.data(), "Art-Net", 8);
    packet[8] = static_cast<char>(opCode & 0xFF);
    packet[9] = static_cast<char>((opCode >> 8) & 0xFF);
    packet[10] = 0;
    packet[11] = 14;
    return true;
}

QByteArray TArtNetControl::GetPoll() {
    QByteArray poll(kArtPollSize, '\0');
    InitHeader(poll, kOpPoll);
    poll[12] = 0x0C;
    poll[13] = 0x40;
    return poll;
}

int32_t TArtNetControl::GetCommand(const QByteArray& datagram) {
    if (datagram.size() < 11) return -1;
    return static_cast<uint8_t>(datagram[8]) | static_cast<uint8_t>(datagram[9]) << 8;
}

void TArtNetControl::CheckOpPollReply(const QByteArray& datagram) {
    TArtDevice device;
    const std::optional<QString> name = TextAt(datagram, kLongNameOffset, kLongNameLast);
    if (!name) return;
    device.Name = *name;
    const std::optional<QString> shortName = TextAt(datagram, kShortNameOffset, kShortNameLast);
    if (!shortName) return;
    device.ShortName = *shortName;
    // The names reach beyond the address, the net and the sub-net, so those
    // are in the datagram once the names are.
    device.Ip = QStringLiteral("%1.%2.%3.%4")
                    .arg(*ByteAt(datagram, kIpOffset))
                    .arg(*ByteAt(datagram, kIpOffset + 1))
                    .arg(*ByteAt(datagram, kIpOffset + 2))
                    .arg(*ByteAt(datagram, kIpOffset + 3));
    const int base = *ByteAt(datagram, kNetOffset) * 256 + *ByteAt(datagram, kSubNetOffset) * 16;
    for (int port = 0; port < 4; ++port) {
        const std::optional<uint8_t> type = ByteAt(datagram, kPortTypesOffset + port);
        if (!type) return;
        if (*type != kDmxOutputPort) continue;
        const std::optional<uint8_t> swOut = ByteAt(datagram, kSwOutOffset + port);
        if (!swOut) return;
        device.adr = static_cast<uint16_t>(base | *swOut);
        AddDevice(device);
    }
}

int32_t TArtNetControl::AddDevice(const TArtDevice& device) {
    const int32_t id = GetIdByAdr(device.adr);
    if (id >= 0) {
        ArtDevices[static_cast<size_t>(id)].Name = device.Name;
        ArtDevices[static_cast<size_t>(id)].ShortName = device.ShortName;
        return id;
    }
    ArtDevices.push_back(device);
    return GetNumDevices() - 1;
}

int32_t TArtNetControl::GetIdByAdr(int32_t address) const {
    for (int32_t id = GetNumDevices() - 1; id >= 0; --id)
        if (ArtDevices[static_cast<size_t>(id)].adr == address) return id;
    return -1;
}

QByteArray TArtNetControl::AnswerToPoll(const QString& myIp, int32_t myUni, int32_t mySub, int32_t myNet,
                                        int32_t myStatusId, const QString& myStatus) {
    QByteArray reply(kArtPollReplySize, '\0');
    InitHeader(reply, kOpPollReply);
    PutIp(reply, kIpOffset, myIp);
    reply[14] = static_cast<char>(kArtNetPort & 0xFF);
    reply[15] = static_cast<char>(kArtNetPort >> 8);
    reply[16] = 25;
    reply[17] = 80;
    reply[kNetOffset] = static_cast<char>(myNet);
    reply[kSubNetOffset] = static_cast<char>(mySub);
    reply[20] = static_cast<char>(kArtNetOemCode >> 8);
    reply[21] = static_cast<char>(kArtNetOemCode & 0xFF);
    reply[23] = static_cast<char>(0xC8);
    reply[24] = static_cast<char>(kArtNetEstaCode & 0xFF);
    reply[25] = static_cast<char>(kArtNetEstaCode >> 8);
    PutText(reply, kShortNameOffset, kOurName, kShortNameLast - kShortNameOffset);
    PutText(reply, kLongNameOffset, kOurName + QStringLiteral("     "), kLongNameLast - kLongNameOffset);
    const QString report = QStringLiteral("#%1 [%2] %3")
                               .arg(myStatusId & 0xFFFF, 4, 16, QLatin1Char('0'))
                               .toUpper()
                               .arg(ccl, 4, 10, QLatin1Char('0'))
                               .arg(myStatus);
    PutText(reply, kNodeReportOffset, report, kNodeReportMax);
    reply[173] = 1;
    reply[kPortTypesOffset] = 0x40;
    const char goodInput[] = {char(0x88), 0x08, 0x08, 0x08};
    std::memcpy(reply.data() + 178, goodInput, 4);
    reply[186] = static_cast<char>(myUni);
    reply[200] = 1;
    std::memcpy(reply.data() + 207, reply.constData() + kIpOffset, 4);
    reply[212] = 0x08;
    reply[213] = static_cast<char>(0xC0);
    reply[224] = 0x08;
    reply[225] = 0x15;
    reply[227] = 0x20;
    ccl = ccl > kCounterWrap ? 0 : ccl + 1;
    return reply;
}

QString TArtNetControl::GetIpById(int32_t id) const { return ValidId(id) ? ArtDevices[size_t(id)].Ip : QString(); }

int32_t TArtNetControl::GetAddress(int32_t id) const { return ValidId(id) ? ArtDevices[size_t(id)].adr : 0; }

QString TArtNetControl::GetInfoById(int32_t id) const {
    if (!ValidId(id)) return QStringLiteral("Invalid ArtnetInfo ID: %1").arg(id);
    const TArtDevice& d = ArtDevices[size_t(id)];
    return d.Name + QStringLiteral(" \u2022 ") + d.Ip + QStringLiteral(" \u2022 ") + QString::number(d.adr);
}
