#pragma once
// The two dialogs a measurement start passes: TiKal shows what is about to be
// measured (event and location, preset and limits, target file, calibration
// state) and TiLevel warns that a monitored peak limit lies above what the
// calibrated input can measure. Both are filled through setters by the main
// window, shown modally once and answer with their modal result.
#include <QDialog>
#include <QRect>
#include <QString>

#include <cstdint>

class QPlainTextEdit;
class QWidget;
class TPaintBox32;

// Answers of TiKal.
inline constexpr int32_t kKalCancel = 1;
inline constexpr int32_t kKalStart = 2;
inline constexpr int32_t kKalCalibrate = 3;
inline constexpr int32_t kKalOptions = 4;
inline constexpr int32_t kKalDataEntry = 5;
// Answers of TiLevel.
inline constexpr int32_t kLevelCancel = 1;
inline constexpr int32_t kLevelCalibrate = 2;
inline constexpr int32_t kLevelStartAnyway = 3;

class TiKal : public QDialog {
public:
    explicit TiKal(QWidget* owner);

    void SetFileStatus(int32_t fileCheckResult);
    void SetFileName(const QString& fn);
    void AddLocText(const QString& line);
    void AddModeText(const QString& line);
    void AddErrorText(const QString& line);
    void ClearLines();
    // True (and repainted) only when the mode changed.
    bool SetWarnMode(int32_t newWarnMode);
    void SetDoItText(const QString& theLabel);
    void SetCalibrateVisible(bool visible);
    void UpdateDisplay();

    // The answer a left click at height y of the drawing area gives; 0 none.
    int32_t AnswerAt(int y) const;

    QString LocText() const { return locS_; }
    QString ModeText() const { return modS_; }
    QString ErrorText() const { return es_; }
    QString DiskLine() const { return ds_; }
    QString DoItText() const { return doItText_; }
    int32_t WarnMode() const { return warnMode_; }
    TPaintBox32* pbMain() const { return pbMain_; }
    TPaintBox32* pbCancel() const { return pbCancel_; }
    TPaintBox32* pbSonst() const { return pbSonst_; }
    TPaintBox32* pbDoIt() const { return pbDoIt_; }

protected:
    void reject() override { done(kKalCancel); }

private:
    void Layout();
    void Paint(TPaintBox32* box);
    QString ShownFileName() const;

    QString dateiName_;
    QString doItText_ = QStringLiteral("Text");
    bool fileIsOk_ = false;
    int32_t fCheckResult_ = 1;
    int32_t warnMode_ = -1;
    double mySf_ = 1.0;
    int32_t mySpace_ = 16;
    QString locS_, modS_, es_, ds_;
    QRect rLoc_, rMode_, rFile_, rError_, dInfoR_;
    TPaintBox32* pbMain_ = nullptr;
    QWidget* pButtons_ = nullptr;
    TPaintBox32* pbCancel_ = nullptr;
    TPaintBox32* pbSonst_ = nullptr;
    TPaintBox32* pbDoIt_ = nullptr;
};

class TiLevel : public QDialog {
public:
    explicit TiLevel(QWidget* owner);

    void SetHeader(const QString& headerText);
    void SetText(const QString& anzeige);
    void SetLimitText(const QString& text);
    QString GetLimitText() const;

    QString Header() const { return headerText_; }
    QString Text() const { return infoText_; }
    QPlainTextEdit* mLimit() const { return mLimit_; }
    TPaintBox32* pbAbbruch() const { return pbAbbruch_; }
    TPaintBox32* pbCal() const { return pbCal_; }
    TPaintBox32* pbTrotzdem() const { return pbTrotzdem_; }

protected:
    void reject() override { done(kLevelCancel); }

private:
    void Layout();
    void Paint(TPaintBox32* box);

    QString headerText_;
    QString infoText_;
    double mySf_ = 1.0;
    int32_t mySpace_ = 16;
    TPaintBox32* pbText_ = nullptr;
    QWidget* panel_ = nullptr;
    QPlainTextEdit* mLimit_ = nullptr;
    TPaintBox32* pbAbbruch_ = nullptr;
    TPaintBox32* pbCal_ = nullptr;
    TPaintBox32* pbTrotzdem_ = nullptr;
};
