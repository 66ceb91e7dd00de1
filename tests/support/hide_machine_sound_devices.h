#pragma once
// Keeps the machine's own sound devices out of a test: ALSA reads an empty
// configuration, so only the simulated devices are listed.
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace test_support {

inline bool HideMachineSoundDevices() {
    static QTemporaryDir alsaDir;
    QFile conf(alsaDir.filePath(QStringLiteral("asound.conf")));
    if (!conf.open(QIODevice::WriteOnly)) return false;
    conf.close();
    setenv("ALSA_CONFIG_PATH", qPrintable(conf.fileName()), 1);
    return true;
}

}  // namespace test_support
