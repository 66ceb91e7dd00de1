#include "remote/art_net_socket.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/net_guard.h"

namespace {

// Above the largest IPv4 datagram, so nothing arrives cut.
constexpr size_t kReceiveBuffer = 65536;

bool SetOption(int fd, int level, int name, int value) {
    return setsockopt(fd, level, name, &value, sizeof value) == 0;
}

QString ErrnoText(const char* what) { return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno))); }

}  // namespace

QString Ipv4Text(in_addr address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

TArtNetSocket::TArtNetSocket(QObject* parent) : QObject(parent) {}

TArtNetSocket::~TArtNetSocket() { Close(); }

bool TArtNetSocket::Open(uint16_t port, QString* why) {
    Close();
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (why) *why = ErrnoText("socket");
        return false;
    }
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!SetOption(fd, SOL_SOCKET, SO_REUSEADDR, 1) || !SetOption(fd, IPPROTO_IP, IP_PKTINFO, 1) ||
        bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        if (why) *why = ErrnoText("bind");
        ::close(fd);
        return false;
    }
    fd_ = fd;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { ReadPending(); });
    return true;
}

void TArtNetSocket::Close() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool TArtNetSocket::SetBroadcast(bool on) { return fd_ >= 0 && SetOption(fd_, SOL_SOCKET, SO_BROADCAST, on ? 1 : 0); }

bool TArtNetSocket::SendThrough(in_addr source, const sockaddr_in& destination, const QByteArray& data) {
    if (fd_ < 0) return false;
    const auto* to = reinterpret_cast<const sockaddr*>(&destination);
    if (!platform::DestinationAllowed(to, sizeof destination)) {
        errno = EACCES;
        return false;
    }
    iovec part{const_cast<char*>(data.constData()), static_cast<size_t>(data.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = const_cast<sockaddr_in*>(&destination);
    message.msg_namelen = sizeof destination;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst = source;
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    return sendmsg(fd_, &message, MSG_NOSIGNAL) == static_cast<ssize_t>(data.size());
}

void TArtNetSocket::ReadPending() {
    QByteArray buffer(kReceiveBuffer, '\0');
    for (;;) {
        if (fd_ < 0) return;
        TArtNetDatagram datagram;
        iovec part{buffer.data(), static_cast<size_t>(buffer.size())};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo)) + 64] = {};
        msghdr message{};
        message.msg_name = &datagram.peer;
        message.msg_namelen = sizeof datagram.peer;
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(fd_, &message, 0);
        if (n < 0) return;  // drained, or an error the next read reports again
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            datagram.local = info.ipi_spec_dst;
        }
        datagram.data = buffer.left(n);
        if (onDatagram) onDatagram(datagram);
    }
}
