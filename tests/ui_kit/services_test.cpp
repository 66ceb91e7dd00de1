#include "ui_kit/services/calibration_services.h"
#include "ui_kit/services/main_window_services.h"
#include "ui_kit/services/sftp_services.h"
#include "ui_kit/services/time_server_services.h"
#include "ui_kit/services/web_services.h"
#include "ui_kit/services/report_services.h"
#include "support/fake_services.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <thread>

namespace {

using test_support::FakeCalibration;
using test_support::FakeRemote;
using test_support::FakeReports;

// Fakes that answer fixed values and log the calls that change something.
class FakeMainWindow : public MainWindowServices {
public:
    MainWindowFields fields;
    QStringList calls;

    MainWindowFields& Fields() override { return fields; }
    double GetKorr(int32_t quantity) override { return quantity >= 0 && quantity <= 2 ? 0.5 * quantity : -1; }
    int32_t GetPeakSamples() override { return 2; }
    int32_t GetSamplesLeqKurz() override { return 80; }
    int32_t GetLeqSamples() override { return -14400; }
    int32_t GetFilter(int32_t quantity) override { return quantity == 2 ? 2 : quantity < 2 ? 1 : 4; }
    int32_t GetSaveIntervalSec() override { return 10; }
    int32_t GetMessDauerMin() override { return 0; }
    bool GetMessungLaeuft() override { return fields.statusMessung.load() == 2; }
    double GetCPeak() override { return 0.25; }
    QString GetTreeBasePath() override { return QStringLiteral("/tmp"); }
    QString GetUserPath() override { return fields.userPfad; }
    int64_t getVersionID() override { return (int64_t{2026} << 32) | 1; }
    void UpdateIt() override { calls << QStringLiteral("UpdateIt"); }
    QWidget* MainForm() override { return nullptr; }
    void DrawSvgIcon(QPainter&, int32_t, const QRectF&) override {}
    void AddEventMessage(const QString& text, bool tray, bool box) override {
        calls << QStringLiteral("AddEventMessage %1 %2 %3").arg(text).arg(tray).arg(box);
    }
    void UpdateVuLayout() override { calls << QStringLiteral("UpdateVuLayout"); }
    void DrawVuLabels() override { calls << QStringLiteral("DrawVuLabels"); }
    void StopFindPeak() override { fields.isFindPeak = false; }
    void CloseInfoWindow() override { calls << QStringLiteral("CloseInfoWindow"); }
    void InfoAnswer(int32_t code) override { calls << QStringLiteral("InfoAnswer %1").arg(code); }
    void HideRunten() override {}
    void ShowRunten() override {}
    void SetDisplayColors(int32_t, bool) override {}
    void ApplyLanguage(int32_t lang, bool) override { calls << QStringLiteral("ApplyLanguage %1").arg(lang); }
    void StopRecording() override { fields.hRec = nullptr; }
    void DisableIoWatch() override { calls << QStringLiteral("DisableIoWatch"); }
    void SetStatusInfo(int32_t slot, const QString& text) override {
        calls << QStringLiteral("SetStatusInfo %1 %2").arg(slot).arg(text);
    }
    int32_t GetLimitState(int32_t) override { return -1; }
    void ResetFindPeak() override { calls << QStringLiteral("ResetFindPeak"); }
};

class FakeCsvSettings : public TcsvExportSettings {
public:
    bool leq = false, leqK = false, peak = false;
    void PresetColumns(bool l, bool k, bool p, const QString&, const QString&, const QString&) override {
        leq = l;
        leqK = k;
        peak = p;
    }
    int ShowModal() override { return 1; }
    QString getFile() const override { return QStringLiteral("/tmp/values.csv"); }
    QChar getSep() const override { return QLatin1Char(';'); }
    QChar getDezi() const override { return QLatin1Char(','); }
    bool GetUseHeader() const override { return true; }
    bool GetELeq() const override { return leq; }
    bool GetELeqK() const override { return leqK; }
    bool GetEPeak() const override { return peak; }
};

class ServicesTest : public ::testing::Test {
protected:
    void TearDown() override {
        RegisterMainWindowServices(nullptr);
        RegisterCalibrationServices(nullptr);
        RegisterReportServices(nullptr);
        RegisterWebServices(nullptr);
        RegisterTimeServerServices(nullptr);
        RegisterSftpServices(nullptr);
    }
};

}  // namespace

TEST_F(ServicesTest, NothingIsRegisteredBeforeTheOwnersStart) {
    EXPECT_EQ(mainWindowServices(), nullptr);
    EXPECT_EQ(calibrationServices(), nullptr);
    EXPECT_EQ(reportServices(), nullptr);
    EXPECT_EQ(webServices(), nullptr);
    EXPECT_EQ(timeServerServices(), nullptr);
    EXPECT_EQ(sftpServices(), nullptr);
}

TEST_F(ServicesTest, RegisteredFakesAreReachedThroughTheAccessors) {
    FakeMainWindow main;
    FakeCalibration calibration;
    FakeReports reports;
    reports.csvSettings = [] { return std::make_unique<FakeCsvSettings>(); };
    FakeRemote remote;
    RegisterMainWindowServices(&main);
    RegisterCalibrationServices(&calibration);
    RegisterReportServices(&reports);
    RegisterWebServices(&remote);

    MainWindowServices* mw = mainWindowServices();
    ASSERT_EQ(mw, &main);
    EXPECT_EQ(mw->GetKorr(2), 1.0);
    EXPECT_EQ(mw->GetKorr(3), -1);
    EXPECT_EQ(mw->GetFilter(7), 4);
    mw->AddEventMessage(QStringLiteral("Error starting out device"), true, true);
    mw->Fields().isFindPeak = true;
    mw->StopFindPeak();
    EXPECT_FALSE(main.fields.isFindPeak.load());
    EXPECT_EQ(main.calls, QStringList{QStringLiteral("AddEventMessage Error starting out device 1 1")});

    calibrationServices()->InVolInvalid();
    calibrationServices()->CheckCalStatus();
    EXPECT_EQ(calibration.inVolInvalid, 1);
    EXPECT_EQ(calibration.calStatusChecks, 1);
    EXPECT_EQ(calibrationServices()->CorrectionWizardWindow(), 0u);

    std::unique_ptr<TcsvExportSettings> csv = reportServices()->NewCsvExportSettings(nullptr);
    csv->PresetColumns(true, false, true, QStringLiteral("LAeq"), QStringLiteral("LAeq10s"),
                       QStringLiteral("LCpeak"));
    ASSERT_EQ(csv->ShowModal(), 1);
    EXPECT_EQ(csv->getSep(), QLatin1Char(';'));
    EXPECT_TRUE(csv->GetELeq());
    EXPECT_FALSE(csv->GetELeqK());

    webServices()->StartWebServer();
    EXPECT_TRUE(webServices()->WebServerActive());
    EXPECT_TRUE(webServices()->webiSessionStart(QStringLiteral("127.0.0.1"), QStringLiteral("a")));
    EXPECT_TRUE(webServices()->webiSessionStart(QStringLiteral("127.0.0.1"), QStringLiteral("b")));
    EXPECT_FALSE(webServices()->webiSessionStart(QStringLiteral("127.0.0.1"), QStringLiteral("c")));
    webServices()->webiSessionEnd(QStringLiteral("a"));
    EXPECT_EQ(remote.sessions, QStringList{QStringLiteral("b")});
}

TEST_F(ServicesTest, ConcurrentWorkerReadsTheSearchFlagsThroughTheRegistration) {
    FakeMainWindow main;
    RegisterMainWindowServices(&main);
    main.fields.useRefForLLF = true;

    std::atomic<bool> sawSearchOn{false};
    std::thread calculation([&sawSearchOn] {
        MainWindowServices* mw = mainWindowServices();
        if (mw == nullptr) {
            return;
        }
        while (!mw->Fields().isFindPeak.load()) {
            std::this_thread::yield();
        }
        sawSearchOn = mw->Fields().useRefForLLF.load() && mw->GetPeakSamples() == 2;
    });
    main.fields.isFindPeak = true;
    calculation.join();
    EXPECT_TRUE(sawSearchOn.load());
}
