// Gives a user without a sound card something to measure: when the settings
// choose no input device and ALSA knows no capture card, the simulated sine
// becomes the input. A choice the user made is never touched.
#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>

#include "platform/alsa_wave.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "ui_kit/startup_settings.h"

namespace {

bool InputChosen(const platform::Registry& key) {
    if (key.ReadString(QStringLiteral("WaveInName")).has_value()) return true;
    return key.ReadInteger(QStringLiteral("WaveID")).value_or(-1) != -1;
}

bool HasCaptureCard() {
    const auto devices = platform::AlsaDevices(true);
    return std::any_of(devices.begin(), devices.end(), [](const platform::AlsaDevice& d) {
        return d.pcmName.startsWith(QLatin1String("plughw:"));
    });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    platform::Registry reg;
    if (reg.OpenKeyReadOnly(kSettingsKey) && InputChosen(reg)) return 0;
    if (HasCaptureCard()) return 0;
    if (!reg.OpenKey(kSettingsKey, true) || !reg.WriteString(QStringLiteral("WaveInName"), platform::kSimulatedSineName) ||
        !reg.CloseKey()) {
        QTextStream(stderr) << "veltaro: the input could not be chosen: " << reg.LastError() << "\n";
        return 1;
    }
    out << "No sound card with an input was found: Veltaro measures the simulated sine ("
        << platform::kSimulatedSineName << ").\n";
    return 0;
}
