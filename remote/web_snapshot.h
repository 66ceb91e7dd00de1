#pragma once
// What the web command interface reads, taken on the main thread and
// published whole. Request threads never read the main window's texts or a
// wizard object: a wizard may close and the texts change while a request is
// answered, so each request works on one immutable copy.
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/window_messages.h"

// The calibration wizard as the status line and the calibration commands
// see it.
struct TWebCalWizardPanel {
    bool open = false;
    bool ipEnabled = false;          // its remote control is on
    platform::WindowHandle window = 0;
    double crestFactor = 0.0;
    double level = 0.0;
    int32_t remainingSeconds = 0;    // of the sample run
    int32_t microphoneId = 0;        // 1 measuring, 2 reference, 0 none, +256 verification
    QString warningText;             // the current warning page
};

// The correction wizard as the status line and the correction commands see it.
struct TWebKorWizardPanel {
    bool open = false;
    bool ipEnabled = false;          // remote control allowed
    bool useIP = false;              // its remote-control box is ticked
    platform::WindowHandle window = 0;
    QString webString;
};

// What the status line shows of a calibration while its wizard is closed.
struct TWebCalLogPanel {
    bool exists = false;
    double mean = 0.0;               // of the logged values
    double checkLevelDifference = 0.0;
};

struct TWebSnapshot {
    std::array<QString, 8> feldWert;
    std::array<QString, 8> feldLabel;
    std::array<int32_t, 8> statusWert{};
    std::array<int32_t, 8> statusLabel{};
    std::array<int32_t, 8> statusColor{};
    int32_t statusMessung = 0;
    int32_t statusInfo = 0;
    int32_t kalStatus = 0;
    int32_t blocks = 0;              // of the measurement store
    QString eventName;               // of the default store
    int32_t warnPeak = 0;            // of the default store
    int32_t storedValues = 0;        // of the default store
    platform::WindowHandle mainWindow = 0;
    TWebCalWizardPanel cal;
    TWebKorWizardPanel kor;
    TWebCalLogPanel calLog;
};

// The latest published snapshot. Publishing replaces it; a reader keeps the
// copy it took for as long as it needs it.
class TWebSnapshotBoard {
public:
    void Publish(TWebSnapshot snapshot);
    // Never null: an empty snapshot before the first publication.
    std::shared_ptr<const TWebSnapshot> Current() const;

private:
    mutable std::mutex lock_;
    std::shared_ptr<const TWebSnapshot> current_ = std::make_shared<const TWebSnapshot>();
};
