#include "remote/dmx_data.h"

#include <QHostAddress>

#include <algorithm>
#include <cstring>

#include "platform/registry.h"

namespace {

const QString kRegNormal = QStringLiteral("DMX Normal");
const QString kRegWarn = QStringLiteral("DMX Warn");
const QString kRegOver = QStringLiteral("DMX Over");
const QString kRegNoMeasurement = QStringLiteral("DMX No Measurement");
const QString kRegSubNode = QStringLiteral("DMX_SUBNODE");
const QString kRegIp = QStringLiteral("DMX_IP");
const QString kRegShow = QStringLiteral("DMX_SHOW");
const QString kRegUniverse = QStringLiteral("DMX_UNI");
const QString kRegNode = QStringLiteral("DMX_NODE");
const QString kRegUse = QStringLiteral("DMX_USE");

constexpr int32_t kDefaultShow = kDmxShowPeak | kDmxShowLeq | kDmxShowLeqK;
constexpr int32_t kSetupBits = 0xF0;
constexpr int kSequenceOffset = 12;
constexpr int kSubUniOffset = 14;
constexpr int kNetOffset = 15;
constexpr int kDataOffset = 18;

QByteArray SceneBytes(const TDMXData::Scene& scene) {
    return QByteArray(reinterpret_cast<const char*>(scene.data()), static_cast<qsizetype>(scene.size()));
}

bool IsIpv4Address(const QString& text) {
    QHostAddress address;
    return address.setAddress(text) && address.protocol() == QHostAddress::IPv4Protocol;
}

}  // namespace

TDMXData::TDMXData() { InitArtDmxPacket(); }

void TDMXData::SaveToReg(platform::Registry* reg) const {
    if (reg == nullptr) return;
    const Settings& s = current();
    reg->WriteBinaryData(kRegNormal, SceneBytes(s.outNormal));
    reg->WriteBinaryData(kRegWarn, SceneBytes(s.outWarn));
    reg->WriteBinaryData(kRegOver, SceneBytes(s.outOver));
    reg->WriteBinaryData(kRegNoMeasurement, SceneBytes(s.outNom));
    reg->WriteInteger(kRegSubNode, s.artNetSubNode);
    reg->WriteString(kRegIp, s.artNetIp);
    reg->WriteInteger(kRegShow, s.dmxShow);
    reg->WriteInteger(kRegUniverse, s.artNetUni);
    reg->WriteInteger(kRegNode, s.artNetNode);
    reg->WriteBool(kRegUse, s.useDMX);
}

// A stored scene of another length is not ours to guess at: the scene stays.
void TDMXData::LoadScene(const platform::Registry& reg, const QString& name, Scene& scene) {
    const std::optional<QByteArray> bytes = reg.ReadBinaryData(name);
    if (!bytes || bytes->size() != kDmxChannels) return;
    std::memcpy(scene.data(), bytes->constData(), scene.size());
}

// Values the program never writes (a sub-net beyond 16 bits, negative
// level-source bits, an address that is no IPv4 address) count as missing.
void TDMXData::LoadFromReg(const platform::Registry* reg) {
    if (reg == nullptr) return;
    Settings& s = current();
    LoadScene(*reg, kRegNormal, s.outNormal);
    LoadScene(*reg, kRegWarn, s.outWarn);
    LoadScene(*reg, kRegOver, s.outOver);
    LoadScene(*reg, kRegNoMeasurement, s.outNom);
    const std::optional<int32_t> subNet = reg->ReadInteger(kRegSubNode);
    s.artNetSubNode = subNet && *subNet >= 0 && *subNet <= 0xFFFF ? static_cast<uint16_t>(*subNet) : 0;
    const std::optional<QString> ip = reg->ReadString(kRegIp);
    s.artNetIp = ip && IsIpv4Address(*ip) ? *ip : kDefaultDmxIp;
    const std::optional<int32_t> show = reg->ReadInteger(kRegShow);
    s.dmxShow = show && *show >= 0 ? *show : kDefaultShow;
    s.artNetUni = static_cast<uint8_t>(reg->ReadInteger(kRegUniverse).value_or(0) & 0xFF);
    s.artNetNode = static_cast<uint8_t>(reg->ReadInteger(kRegNode).value_or(0) & 0x7F);
    s.useDMX = reg->ReadBool(kRegUse).value_or(false);
    InitArtDmxPacket();
}

void TDMXData::BackItUp(int32_t slot) {
    if (slot < 0 || slot > kCurrentSlot) return;
    slots_[slot] = current();
}

void TDMXData::RestoreBackUp(int32_t slot) {
    if (slot < 0 || slot > kCurrentSlot) return;
    const bool addressChanged = slots_[slot].artNetSubNode != current().artNetSubNode ||
                                slots_[slot].artNetUni != current().artNetUni ||
                                slots_[slot].artNetNode != current().artNetNode;
    current() = slots_[slot];
    if (addressChanged) InitArtDmxPacket();
}

TDMXData::Scene* TDMXData::SceneOfMode(int32_t mode) {
    switch (mode) {
    case 16: return &current().outNormal;
    case 17: return &current().outWarn;
    case 18: return &current().outOver;
    case 20: return &current().outNom;
    default: return nullptr;
    }
}

void TDMXData::UpdateVal(int32_t mode, int32_t channel, int32_t value) {
    Scene* scene = SceneOfMode(((mode % 64) + 64) % 64);
    if (scene == nullptr || channel < 0 || channel >= kDmxChannels) return;
    (*scene)[static_cast<size_t>(channel)] = static_cast<uint8_t>(value & 0xFF);
}

TDMXData::Scene TDMXData::GetData(int32_t mode) const {
    if (mode < 0) return current().outNormal;
    switch (mode) {
    case 0: case 16: return current().outNormal;
    case 1: case 17: return current().outWarn;
    case 2: case 18: return current().outOver;
    case 4: case 20: return current().outNom;
    default: return Scene{};
    }
}

// The scene a state shows; nullptr for dark.
const TDMXData::Scene* TDMXData::SceneOfState(int32_t state) const {
    switch (state) {
    case kDmxStateNormal: return &current().outNormal;
    case kDmxStateWarn: return &current().outWarn;
    case kDmxStateOver: return &current().outOver;
    case kDmxStateNoMeasurement: return &current().outNom;
    default: return nullptr;
    }
}

QByteArray TDMXData::GetSendData(int32_t state) {
    // Setup modes copy afresh every time, so that live edits reach the lights.
    if ((state & kSetupBits) != 0 || state != oldMode_) {
        uint8_t* data = reinterpret_cast<uint8_t*>(artNetOut_.data()) + kDataOffset;
        const Scene* scene = SceneOfState(state % 16);
        if (scene != nullptr)
            std::copy(scene->begin(), scene->end(), data);
        else
            std::fill_n(data, kDmxChannels, uint8_t{0});
    }
    const uint8_t sequence = static_cast<uint8_t>(artNetOut_[kSequenceOffset]);
    artNetOut_[kSequenceOffset] = static_cast<char>(sequence == 255 ? 1 : sequence + 1);
    oldMode_ = state;
    return artNetOut_;
}

void TDMXData::SetSubNode(int32_t subNet) {
    current().artNetSubNode = static_cast<uint16_t>(subNet);
    InitArtDmxPacket();
}

void TDMXData::SetNode(int32_t net) {
    current().artNetNode = static_cast<uint8_t>(net & 0x7F);
    InitArtDmxPacket();
}

void TDMXData::SetUniverse(int32_t universe) {
    current().artNetUni = static_cast<uint8_t>(universe & 0xFF);
    InitArtDmxPacket();
}

void TDMXData::SetDMXShow(bool peak, bool leq, bool leqK) {
    current().dmxShow = (peak ? kDmxShowPeak : 0) | (leq ? kDmxShowLeq : 0) | (leqK ? kDmxShowLeqK : 0);
}

// The rebuild clears the data area; forgetting the last state makes the next
// packet copy its scene again, so the lights do not stay dark.
void TDMXData::InitArtDmxPacket() {
    artNetOut_ = QByteArray(kArtDmxSize, '\0');
    std::memcpy(artNetOut_.data(), "Art-Net", 8);
    artNetOut_[8] = 0x00;
    artNetOut_[9] = 0x50;
    artNetOut_[10] = 0;
    artNetOut_[11] = 14;
    artNetOut_[13] = 1;
    artNetOut_[kSubUniOffset] = static_cast<char>((current().artNetSubNode * 16 | current().artNetUni) & 0xFF);
    artNetOut_[kNetOffset] = static_cast<char>(current().artNetNode);
    artNetOut_[16] = 2;
    artNetOut_[17] = 0;
    Reset();
}
