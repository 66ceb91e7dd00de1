#pragma once
// The choice of the measuring regulation: one of the presets the preset
// handler found, or the user preset, with a summary of its limits below the
// list. A preset file can be imported into the user preset folder; the
// opener applies the choice.
#include <QDialog>
#include <QString>

#include <cstdint>

#include "store/measuring_preset.h"

class QComboBox;
class TPaintBox32;

class TSelectMV : public QDialog {
public:
    explicit TSelectMV(QWidget* owner, double dpi = 0);

    void SetCurrentPresetByName(const QString& name);
    int32_t GetPresetId() const;
    void FillList();
    // The import: a preset file copied into the user preset folder.
    void Import();
    // The lines the summary shows, top to bottom (empty lines included).
    QStringList SummaryLines() const;
    // The age in whole years when the summary warns of it, else 0.
    int32_t AgeWarningYears() const;
    QComboBox* Entries() const { return cbEntries; }
    TPaintBox32* Summary() const { return pbInfo; }
    void ApplyScale(double dpi);

private:
    void PaintSummary(TPaintBox32* box);
    bool CopyInto(const QString& source, const QString& target);
    TVTPreset ChosenPreset() const;

    double mySf = 1.0;
    QComboBox* cbEntries = nullptr;
    TPaintBox32* pbInfo = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbLoad = nullptr;
    TPaintBox32* pbOk = nullptr;
};
