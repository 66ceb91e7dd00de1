#pragma once
// A main window for tests: it answers the calculation's set-up from public
// settings and does nothing for every notice. Tests derive from it to record
// or change what they need.
#include <QRectF>

#include <QString>

#include <array>
#include <cstdint>

#include "ui_kit/services/main_window_services.h"

namespace test_support {

// The set-up the calculation reads through the main window's getters.
struct CalcSettings {
    double korr[3] = {120.0, 120.0, 120.0};
    int32_t peakSamples = 6000;
    int32_t leqKBlocks = 8;
    int32_t leqBlocks = -8;
    int32_t filter[3] = {1, 1, 2};  // Leq, short-term Leq, peak
    int32_t saveIntervalSec = 10;
    int32_t plannedMinutes = 0;
};

class FakeMainWindow : public MainWindowServices {
public:
    CalcSettings settings;
    MainWindowFields fields;
    int64_t versionId = 0;
    // What the remote outputs read and set: limit states of Leq, short-term
    // Leq and peak, and the status-line slots.
    std::array<int32_t, 3> limitStates{-1, -1, -1};
    std::array<QString, 3> statusSlots;

    MainWindowFields& Fields() override { return fields; }
    double GetKorr(int32_t q) override { return q >= 0 && q <= 2 ? settings.korr[q] : -1.0; }
    int32_t GetPeakSamples() override { return settings.peakSamples; }
    int32_t GetSamplesLeqKurz() override { return settings.leqKBlocks; }
    int32_t GetLeqSamples() override { return settings.leqBlocks; }
    int32_t GetFilter(int32_t q) override { return q >= 0 && q <= 2 ? settings.filter[q] : 4; }
    int32_t GetSaveIntervalSec() override { return settings.saveIntervalSec; }
    int32_t GetMessDauerMin() override { return settings.plannedMinutes; }
    bool GetMessungLaeuft() override { return false; }
    double GetCPeak() override { return 0.0; }
    QString GetTreeBasePath() override { return {}; }
    QString GetUserPath() override { return {}; }
    int64_t getVersionID() override { return versionId; }
    void UpdateIt() override {}
    QWidget* MainForm() override { return nullptr; }
    void DrawSvgIcon(QPainter&, int32_t, const QRectF&) override {}
    void AddEventMessage(const QString&, bool, bool) override {}
    void UpdateVuLayout() override {}
    void DrawVuLabels() override {}
    void StopFindPeak() override {}
    void CloseInfoWindow() override {}
    void InfoAnswer(int32_t) override {}
    void HideRunten() override {}
    void ShowRunten() override {}
    void SetDisplayColors(int32_t, bool) override {}
    void ApplyLanguage(int32_t, bool) override {}
    void StopRecording() override {}
    void DisableIoWatch() override {}
    void SetStatusInfo(int32_t slot, const QString& text) override {
        if (slot >= 0 && slot < 3) statusSlots[static_cast<size_t>(slot)] = text;
    }
    int32_t GetLimitState(int32_t q) override { return q >= 0 && q < 3 ? limitStates[static_cast<size_t>(q)] : -1; }
    void ResetFindPeak() override { ++findPeakResets; }
    std::atomic<int> findPeakResets{0};
};

}  // namespace test_support
