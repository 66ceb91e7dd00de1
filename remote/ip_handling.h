#pragma once
// The local IPv4 addresses the web server may listen on, each with the user's
// use flag. The list is read from the system once, when the program starts;
// adapters that come or go later are seen at the next start. Only the use
// flags change afterwards, so worker threads may read the list without a lock.
#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

// One local interface address.
struct TnetInfo {
    QString ipV4;          // dotted IPv4
    QString info;          // adapter name ": " description
    bool selected = false; // the web server binds to this address
    bool isWifi = false;
    int32_t port = 0;
    int32_t status = 0;    // operational status: 1 up, 4 unknown, 5 dormant
    uint64_t speedK = 0;   // link speed in Mbit/s
};

// Operational status numbers of the adapters that get entries.
inline constexpr int32_t kOperUp = 1;
inline constexpr int32_t kOperUnknown = 4;
inline constexpr int32_t kOperDormant = 5;

// The status number of a Linux operstate text ("up", "unknown", "dormant",
// "down", ...); 0 for a text the kernel does not use.
int32_t OperStatusNumber(const QString& operstate);
// Whether adapters of this status number get entries.
bool IsListedOperStatus(int32_t status);

// Fills address lists from getifaddrs and the adapters' sysfs folders.
class TIPHelper {
public:
    // sysfsNetRoot: the folder holding one folder per adapter (tests give
    // their own).
    explicit TIPHelper(QString sysfsNetRoot = QStringLiteral("/sys/class/net"));
    // Clears list and appends one entry per IPv4 address of every adapter in
    // an accepted state; false when the system call failed.
    bool SetNetInfo(std::vector<TnetInfo>& list) const;
    // The entry details the adapter's sysfs folder gives (status, Wi-Fi,
    // speed, description); ipV4 is left empty.
    TnetInfo AdapterDetails(const QString& name) const;

private:
    QString root_;
};

class TIpHandling {
public:
    // Reads the system's addresses.
    TIpHandling();
    // Takes a ready list (tests, and machines whose list comes from elsewhere).
    explicit TIpHandling(std::vector<TnetInfo> list);
    TIpHandling(const TIpHandling&) = delete;
    TIpHandling& operator=(const TIpHandling&) = delete;

    bool FillNetList();
    int32_t GetNumIps() const;
    QString GetIp(int32_t id) const;
    QString GetInfo(int32_t id) const;
    bool GetIpState(int32_t id) const;
    void SetIpState(int32_t id, bool flag);
    int32_t GetNumActive() const;
    bool IsUseIp() const;
    // Bit (i mod 32) for every selected entry i.
    uint32_t GetUseState() const;
    void SetUseState(uint32_t mask);
    // A copy of the entries (flags as they are now).
    std::vector<TnetInfo> Entries() const;

private:
    bool Valid(int32_t id) const;

    std::vector<TnetInfo> netInfoList_;
    // The flags live apart from the entries: they are the only part that
    // changes, and threads other than the main thread read them.
    std::vector<std::atomic<bool>> selected_;
};
