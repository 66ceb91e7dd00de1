#pragma once
// Fakes of the neighbouring subsystems' services for tests: each answers
// what the test set and counts or logs the calls that change something.
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

#include "ui_kit/services/calibration_services.h"
#include "ui_kit/services/midi_services.h"
#include "ui_kit/services/sftp_services.h"
#include "ui_kit/services/time_server_services.h"
#include "ui_kit/services/web_services.h"
#include "ui_kit/services/report_naming_services.h"
#include "ui_kit/services/report_services.h"
#include "ui_kit/shared_state.h"

namespace test_support {

class FakeCalibration : public CalibrationServices {
public:
    int inVolInvalid = 0;
    int calStatusChecks = 0;
    // The calculator offsets ApplyCalibration sets.
    std::array<double, 3> offsets{120.0, 120.0, 120.0};
    int applied = 0;
    // What the correction wizard does (set the default store's correction kind).
    std::function<void()> korrekturAction;
    int korrekturRuns = 0;
    int32_t startInfoAnswer = 2;
    int32_t headroomAnswer = 0;
    int startInfos = 0;
    int headroomChecks = 0;
    int calibrations = 0;
    int32_t lastFileCheck = -1;

    void InVolInvalid() override { ++inVolInvalid; }
    void CheckCalStatus() override { ++calStatusChecks; }
    platform::WindowHandle CorrectionWizardWindow() override { return 0; }
    void ApplyCalibration() override {
        ++applied;
        for (int i = 0; i < 3; ++i) appliedCalOffset[i].store(offsets[i]);
    }
    void DoKorrektur() override {
        ++korrekturRuns;
        if (korrekturAction) korrekturAction();
    }
    int32_t ShowStartInfo(platform::TDateTime, int32_t fileCheck) override {
        ++startInfos;
        lastFileCheck = fileCheck;
        return startInfoAnswer;
    }
    int32_t CheckHeadroom() override {
        ++headroomChecks;
        return headroomAnswer;
    }
    void RunCalibration() override { ++calibrations; }
};

class FakeEndOfMeasurement : public TEndOfMeasurement {
public:
    explicit FakeEndOfMeasurement(QString password, int* shown) : password_(std::move(password)), shown_(shown) {}
    void SetForceKal(bool force) override { forceKal = force; }
    void SetKalDone(platform::TDateTime, double) override {}
    QString GetPW() const override { return password_; }
    void Show() override { ++*shown_; }
    void Hide() override {}
    QRect FrameGeometry() const override { return QRect(100, 100, 300, 200); }
    bool forceKal = false;

private:
    QString password_;
    int* shown_;
};

class FakeHints : public THinweise {
public:
    explicit FakeHints(QString* text) : text_(text) {}
    void SetTheHints(const QString& text) override { *text_ = text; }
    QString GetTheHints() const override { return *text_; }
    void SetMessageInfo(platform::WindowHandle, int32_t, int32_t) override { changed = false; }
    bool IsChanged() const override { return changed; }
    void ShowAt(const QPoint&) override {}
    void BringToFront() override {}
    QSize Size() const override { return QSize(200, 100); }
    void Hide() override {}
    bool changed = false;

private:
    QString* text_;
};

class FakeReports : public ReportServices, public ReportNaming {
public:
    // Answers of the end-of-measurement dialogs this fake creates.
    QString endPassword;
    int endDialogsShown = 0;
    QString hintsText;
    QString autoName;  // the builder's name; empty: none
    int runningNumber = 0;
    std::function<std::unique_ptr<TcsvExportSettings>()> csvSettings;

    std::unique_ptr<TcsvExportSettings> NewCsvExportSettings(QWidget*) override {
        return csvSettings ? csvSettings() : nullptr;
    }
    std::unique_ptr<TEndOfMeasurement> NewEndOfMeasurement(QWidget*) override {
        return std::make_unique<FakeEndOfMeasurement>(endPassword, &endDialogsShown);
    }
    std::unique_ptr<THinweise> NewHintsEditor(QWidget*) override { return std::make_unique<FakeHints>(&hintsText); }
    QString CreateSaveName(platform::TDateTime) override { return autoName; }
    void IncRunningNumber() override { ++runningNumber; }
    QString SymbolicPath(const QString& path) override { return path; }
};

// The web server, time server and SFTP upload in one fake.
class FakeRemote : public WebServices, public TimeServerServices, public SftpServices {
public:
    QStringList sessions;
    bool active = false;
    platform::TDateTime serverTime = 0.0;  // 0: the server does not answer
    QString host = QStringLiteral("time.example");
    QStringList uploads;
    bool autoTransfer = false;

    void StartWebServer() override { active = true; }
    void StopWebServer() override { active = false; }
    bool WebServerActive() override { return active; }
    bool webiSessionStart(const QString&, const QString& id) override {
        if (sessions.size() >= 2) return false;
        sessions << id;
        return true;
    }
    void webiSessionEnd(const QString& id) override { sessions.removeAll(id); }
    platform::TDateTime TimeServerTime() override { return serverTime; }
    QString TimeServerHost() override { return host; }
    bool UploadBySFTP(const QString& file) override {
        uploads << file;
        return true;
    }
    bool AutoTransferOn() override { return autoTransfer; }
};

// Logs what the main window sends to MIDI, one line per call ("peak 2", "cc 3 94").
class FakeMidi : public MidiServices {
public:
    QStringList sent;
    void SendPeakStatus(int32_t state) override { sent << QStringLiteral("peak %1").arg(state); }
    void SendLeqStatus(int32_t state) override { sent << QStringLiteral("leq %1").arg(state); }
    void SendLeqKStatus(int32_t state) override { sent << QStringLiteral("leqk %1").arg(state); }
    void SendCC(int32_t slot, int32_t level) override { sent << QStringLiteral("cc %1 %2").arg(slot).arg(level); }
    bool SendStatusInfo(int32_t status) override {
        sent << QStringLiteral("status %1").arg(status);
        return true;
    }
    // The drive's calls, apart from what the window sends itself.
    QStringList driven;
    void ResetMidiOutputs() override { driven << QStringLiteral("reset"); }
    void SendMidiLevels() override { driven << QStringLiteral("levels"); }
    void UpdateMidiCCEnable() override { driven << QStringLiteral("cc enable"); }
};

}  // namespace test_support
