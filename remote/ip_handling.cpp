#include "remote/ip_handling.h"

#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>


namespace {

QString ReadSysfsText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    // sysfs files are a line or two; a longer read would be no sysfs file.
    return QString::fromUtf8(file.read(4096)).trimmed();
}

// The description beside the adapter name: its alias when the user gave
// one, else the driver behind it, else the name itself.
QString AdapterDescription(const QString& folder, const QString& name) {
    const QString alias = ReadSysfsText(folder + QStringLiteral("/ifalias"));
    if (!alias.isEmpty()) return alias;
    const QFileInfo driver(folder + QStringLiteral("/device/driver"));
    if (driver.isSymLink()) return QFileInfo(driver.symLinkTarget()).fileName();
    return name;
}

}  // namespace

int32_t OperStatusNumber(const QString& operstate) {
    static const char* const kNames[] = {"up", "down", "testing", "unknown", "dormant", "notpresent",
                                         "lowerlayerdown"};
    for (int32_t i = 0; i < 7; ++i)
        if (operstate == QLatin1String(kNames[i])) return i + 1;
    return 0;
}

bool IsListedOperStatus(int32_t status) {
    return status == kOperUp || status == kOperUnknown || status == kOperDormant;
}

TIPHelper::TIPHelper(QString sysfsNetRoot) : root_(std::move(sysfsNetRoot)) {}

TnetInfo TIPHelper::AdapterDetails(const QString& name) const {
    const QString folder = root_ + QLatin1Char('/') + name;
    TnetInfo entry;
    entry.info = name + QStringLiteral(": ") + AdapterDescription(folder, name);
    entry.status = OperStatusNumber(ReadSysfsText(folder + QStringLiteral("/operstate")));
    entry.isWifi = QFileInfo::exists(folder + QStringLiteral("/wireless")) ||
                   QFileInfo::exists(folder + QStringLiteral("/phy80211"));
    bool ok = false;
    // Adapters without a link report -1 or nothing at all.
    const qint64 mbit = ReadSysfsText(folder + QStringLiteral("/speed")).toLongLong(&ok);
    entry.speedK = ok && mbit > 0 ? static_cast<uint64_t>(mbit) : 0;
    return entry;
}

bool TIPHelper::SetNetInfo(std::vector<TnetInfo>& list) const {
    list.clear();
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) return false;
    // getifaddrs lists addresses, not adapters: keep the adapters in the
    // order of their first address, and each adapter's addresses together.
    std::vector<QString> order;
    std::vector<std::vector<QString>> addresses;
    for (const ifaddrs* a = all; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) continue;
        const QString name = QString::fromLocal8Bit(a->ifa_name);
        size_t index = 0;
        while (index < order.size() && order[index] != name) ++index;
        if (index == order.size()) {
            order.push_back(name);
            addresses.emplace_back();
        }
        addresses[index].push_back(QString::fromLatin1(text));
    }
    freeifaddrs(all);
    for (size_t i = 0; i < order.size(); ++i) {
        TnetInfo details = AdapterDetails(order[i]);
        if (!IsListedOperStatus(details.status)) continue;
        for (const QString& ip : addresses[i]) {
            TnetInfo entry = details;
            entry.ipV4 = ip;
            list.push_back(entry);
        }
    }
    return true;
}

TIpHandling::TIpHandling() { FillNetList(); }

TIpHandling::TIpHandling(std::vector<TnetInfo> list)
    : netInfoList_(std::move(list)), selected_(netInfoList_.size()) {
    for (size_t i = 0; i < netInfoList_.size(); ++i) selected_[i].store(netInfoList_[i].selected);
}

bool TIpHandling::FillNetList() {
    const bool ok = TIPHelper().SetNetInfo(netInfoList_);
    selected_ = std::vector<std::atomic<bool>>(netInfoList_.size());
    return ok && !netInfoList_.empty();
}

int32_t TIpHandling::GetNumIps() const { return static_cast<int32_t>(netInfoList_.size()); }

bool TIpHandling::Valid(int32_t id) const { return id >= 0 && id < GetNumIps(); }

QString TIpHandling::GetIp(int32_t id) const { return Valid(id) ? netInfoList_[id].ipV4 : QString(); }

QString TIpHandling::GetInfo(int32_t id) const {
    return Valid(id) ? netInfoList_[id].info : QStringLiteral("Invalid Id: %1").arg(id);
}

bool TIpHandling::GetIpState(int32_t id) const { return Valid(id) && selected_[id].load(); }

void TIpHandling::SetIpState(int32_t id, bool flag) {
    if (Valid(id)) selected_[id].store(flag);
}

int32_t TIpHandling::GetNumActive() const {
    int32_t n = 0;
    for (const auto& flag : selected_) n += flag.load() ? 1 : 0;
    return n;
}

bool TIpHandling::IsUseIp() const { return GetNumActive() > 0; }

uint32_t TIpHandling::GetUseState() const {
    uint32_t mask = 0;
    for (size_t i = 0; i < selected_.size(); ++i)
        if (selected_[i].load()) mask |= 1u << (i % 32);
    return mask;
}

void TIpHandling::SetUseState(uint32_t mask) {
    for (size_t i = 0; i < selected_.size(); ++i) selected_[i].store(((mask >> (i % 32)) & 1u) != 0);
}

std::vector<TnetInfo> TIpHandling::Entries() const {
    std::vector<TnetInfo> copy = netInfoList_;
    for (size_t i = 0; i < copy.size(); ++i) copy[i].selected = selected_[i].load();
    return copy;
}
