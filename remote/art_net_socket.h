#pragma once
// The UDP socket of the Art-Net output, read on the main thread. Linux hands
// broadcasts only to a socket bound to the wildcard address, so one socket
// on 0.0.0.0 stands for the bindings on every local address: the local
// address a datagram arrived on is taken from its IP_PKTINFO, and a send
// "through a binding" names that address as the source of the datagram.
#include <QByteArray>
#include <QObject>
#include <QString>

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;

// A datagram as it arrived: its bytes, the sender and the local address.
struct TArtNetDatagram {
    QByteArray data;
    sockaddr_in peer{};
    in_addr local{};
};

class TArtNetSocket : public QObject {
public:
    explicit TArtNetSocket(QObject* parent = nullptr);
    ~TArtNetSocket() override;

    // Binds 0.0.0.0:port with address reuse and starts reading; false with
    // the reason in why when the socket cannot be made or bound.
    bool Open(uint16_t port, QString* why = nullptr);
    void Close();
    bool Active() const { return fd_ >= 0; }

    bool SetBroadcast(bool on);
    // Sends from the local address source to destination, through the
    // network guard; false when refused or failed.
    bool SendThrough(in_addr source, const sockaddr_in& destination, const QByteArray& data);

    // Every datagram read; errors while reading are dropped.
    std::function<void(const TArtNetDatagram&)> onDatagram;

private:
    void ReadPending();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// Dotted decimal of an IPv4 address in network order.
QString Ipv4Text(in_addr address);
