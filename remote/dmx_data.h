#pragma once
// The DMX scenes of the lights and the ArtDmx packet that carries the one
// matching the current limit state. The options dialog and the scene editor
// change the settings live, so every setting exists as the current value
// plus two backup slots they restore on Cancel. Main thread only.
#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace platform {
class Registry;
}

// The node the packets go to until the user picks one: a private address no
// ordinary home router hands out.
inline const QString kDefaultDmxIp = QStringLiteral("10.254.77.1");

inline constexpr int32_t kDmxChannels = 512;
inline constexpr int32_t kArtDmxSize = 530;

// The states of the send: the scene of a state is taken modulo 16.
inline constexpr int32_t kDmxStateNormal = 0;
inline constexpr int32_t kDmxStateWarn = 1;
inline constexpr int32_t kDmxStateOver = 2;
inline constexpr int32_t kDmxStateDark = 3;
inline constexpr int32_t kDmxStateNoMeasurement = 4;

// Level-source bits of GetDMXShow.
inline constexpr int32_t kDmxShowPeak = 1;
inline constexpr int32_t kDmxShowLeq = 2;
inline constexpr int32_t kDmxShowLeqK = 4;

class TDMXData {
public:
    using Scene = std::array<uint8_t, kDmxChannels>;

    TDMXData();

    // The registry key the caller has opened; nullptr does nothing.
    void SaveToReg(platform::Registry* reg) const;
    void LoadFromReg(const platform::Registry* reg);

    // Slots 0 and 1 are the dialogs' backups, 2 the current settings;
    // any other slot is ignored.
    void BackItUp(int32_t slot);
    void RestoreBackUp(int32_t slot);

    // Mode 16, 17, 18 or 20 (modulo 64), channel 0..511: the low 8 bits of
    // value go into that scene.
    void UpdateVal(int32_t mode, int32_t channel, int32_t value);
    Scene GetData(int32_t mode) const;
    // The packet for a state, with the next sequence number.
    QByteArray GetSendData(int32_t state);
    // The next packet copies its scene again.
    void Reset() { oldMode_ = -1; }

    QString GetIp() const { return current().artNetIp; }
    void SetIp(const QString& ip) { current().artNetIp = ip; }
    int32_t GetSubNode() const { return current().artNetSubNode; }
    void SetSubNode(int32_t subNet);
    int32_t GetNode() const { return current().artNetNode; }
    void SetNode(int32_t net);
    int32_t GetSubUni() const { return current().artNetUni; }
    void SetUniverse(int32_t universe);
    int32_t GetDMXShow() const { return current().dmxShow; }
    void SetDMXShow(bool peak, bool leq, bool leqK);
    bool GetUseIt() const { return current().useDMX; }
    void SetUseIt(bool on) { current().useDMX = on; }

private:
    struct Settings {
        Scene outNormal{};
        Scene outWarn{};
        Scene outOver{};
        Scene outNom{};
        uint16_t artNetSubNode = 0;
        QString artNetIp = kDefaultDmxIp;
        uint8_t artNetUni = 0;
        uint8_t artNetNode = 0;
        bool useDMX = false;
        int32_t dmxShow = kDmxShowPeak | kDmxShowLeq | kDmxShowLeqK;
    };
    static constexpr int32_t kCurrentSlot = 2;

    Settings& current() { return slots_[kCurrentSlot]; }
    const Settings& current() const { return slots_[kCurrentSlot]; }
    const Scene* SceneOfState(int32_t state) const;
    Scene* SceneOfMode(int32_t mode);
    void LoadScene(const platform::Registry& reg, const QString& name, Scene& scene);
    void InitArtDmxPacket();

    std::array<Settings, 3> slots_;
    QByteArray artNetOut_;
    int32_t oldMode_ = -1;
};
