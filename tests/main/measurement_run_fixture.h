#pragma once
// The whole program measuring the simulated sine, with fakes for the
// subsystems around the main window: a preset whose Leq runs in one-minute
// blocks and ends without dialog, a fixed file name and one-second records.
#include <algorithm>
#include <cmath>
#include <optional>

#include "audio/vu_meter_thread.h"
#include "measuring_window_fixture.h"
#include "platform/registry.h"
#include "platform/simulated_audio.h"
#include "store/measurement_store.h"
#include "store/measuring_preset.h"
#include "store/preset_handler.h"
#include "ui_kit/notifications.h"
#include "ui_kit/shared_state.h"

namespace test_support {

inline constexpr double kSecond = 1.0 / 86400.0;

class MeasurementRunConcurrent : public MeasuringWindowConcurrent {
protected:
    // The program with the sine, a fixed file name, one-second records and
    // a preset whose Leq runs in one-minute blocks and ends without dialog.
    void StartProgram(double sineLevelDb = -20.0) {
        WriteSettings([sineLevelDb](Registry& reg) {
            reg.WriteString("WaveInName", platform::kSimulatedSineName);
        });
        WriteSettings([sineLevelDb](Registry& reg) { reg.WriteFloat("SineLevel", sineLevelDb); },
                      platform::kSimulatedAudioKey);
        Start();
        window->Settings().doFileName = true;
        window->Settings().doAutoFileName = false;
        window->Settings().sRecFileName = Target();
        window->Settings().tsEnd = false;
        defaultDaten.load()->SetDrawInterval(1);
        defaultDaten.load()->SetKorrArt(0);
        TVTPreset preset = presetHandler.load()->GetPreset(kDinPresetId);
        preset.messungen[kPresetEntryLeq].Dauer = 60;
        preset.endDirect = true;
        preset.offCheck = false;
        UsePreset(preset);
    }
    void UsePreset(const TVTPreset& preset) { presetHandler.load()->SetPreset(kCurrentPresetId, preset); }
    TVTPreset Preset() const { return presetHandler.load()->GetPreset(kCurrentPresetId); }
    QString Target() const { return dir.filePath("Messung_Test.vtm"); }

    // The start-up restarts the input once with the stored assignment, which
    // clears the meter; its levels count from a few meter ticks after that.
    bool HearsTheTone() {
        return ProcessUntil([this] {
            const auto assigned = std::find(seen.begin(), seen.end(), uintptr_t{kNotifyInputAssign});
            if (assigned == seen.end() || std::count(assigned, seen.end(), uintptr_t{kNotifyVuRefresh}) < 3) {
                return false;
            }
            double p1 = 0, p2 = 0, r1 = 0, r2 = 0;
            if (TVuThread* vu = window->Workers().VuThread()) vu->getLevels(p1, p2, r1, r2);
            return r1 > 0.01;
        });
    }
    void StartRun() {
        ASSERT_TRUE(HearsTheTone());
        window->aMessungStartenExecute();
        ASSERT_TRUE(window->GetMessungLaeuft());
    }
    bool StoredAtLeast(int32_t values) {
        return ProcessUntil([values] { return messDaten.load()->GetWerteAnzahl() >= values; }, 30000);
    }
    std::optional<int32_t> Marker() {
        Registry reg;
        if (!reg.OpenKeyReadOnly(kSettingsKey)) return std::nullopt;
        return reg.ReadInteger("Messung");
    }
    std::optional<bool> Running() { return ReadBool("Laeuft"); }
    static QStringList MessagesOf(const TDaten& store) {
        QStringList texts;
        for (int32_t i = 0; i < store.GetSmsCount(); ++i) texts << store.GetSms(i).meldung;
        return texts;
    }
    bool Messages(const QString& part) const {
        const TDaten* run = messDaten.load();
        for (int32_t i = 0; i < run->GetSmsCount(); ++i) {
            if (run->GetSms(i).meldung.contains(part)) return true;
        }
        return false;
    }
    int CountSeen(uintptr_t code, size_t from) const {
        return static_cast<int>(std::count(seen.begin() + static_cast<std::ptrdiff_t>(from), seen.end(), code));
    }
};

}  // namespace test_support
