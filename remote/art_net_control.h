#pragma once
// The Art-Net packets of the light output apart from ArtDmx: the ArtPoll we
// broadcast, the ArtPollReply of other nodes (collected into a list of their
// DMX output ports) and our own ArtPollReply. Every read of a received
// datagram is bounded by its length. Main thread only.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

inline constexpr uint16_t kArtNetPort = 6454;
inline constexpr int32_t kOpPoll = 0x2000;
inline constexpr int32_t kOpPollReply = 0x2100;
inline constexpr int32_t kOpDmx = 0x5000;
inline constexpr int32_t kArtPollSize = 14;
inline constexpr int32_t kArtPollReplySize = 239;

// Our codes in the ArtPollReply: the Art-Net "unknown" OEM code and the
// first ESTA code of the range kept for prototypes.
inline constexpr uint16_t kArtNetOemCode = 0x00FF;
inline constexpr uint16_t kArtNetEstaCode = 0x7FF0;

// One DMX output port of a node that answered our poll.
struct TArtDevice {
    QString Name;
    QString ShortName;
    QString Ip;
    uint16_t adr = 0;  // net x 256 + sub-net x 16, OR the port's SwOut byte
    bool selected = false;
};

class TArtNetControl {
public:
    // Zeros the buffer and writes the header with the OpCode; false when the
    // buffer is shorter than the header.
    static bool InitHeader(QByteArray& packet, int32_t opCode);
    static QByteArray GetPoll();
    // The OpCode of a datagram; -1 when it is too short to have one.
    static int32_t GetCommand(const QByteArray& datagram);

    // Lists the output ports of a received ArtPollReply; a datagram cut
    // short keeps the ports read before the cut.
    void CheckOpPollReply(const QByteArray& datagram);
    int32_t AddDevice(const TArtDevice& device);
    int32_t GetIdByAdr(int32_t address) const;
    // Our ArtPollReply; every call advances the report counter.
    QByteArray AnswerToPoll(const QString& myIp, int32_t myUni, int32_t mySub, int32_t myNet, int32_t myStatusId,
                            const QString& myStatus);

    int32_t GetNumDevices() const { return static_cast<int32_t>(ArtDevices.size()); }
    QString GetIpById(int32_t id) const;
    int32_t GetAddress(int32_t id) const;
    QString GetInfoById(int32_t id) const;

private:
    bool ValidId(int32_t id) const { return id >= 0 && id < GetNumDevices(); }

    int32_t ccl = 0;
    std::vector<TArtDevice> ArtDevices;
};
