#pragma once
// The last window of a measurement: the closing verification, the remarks and
// the file password. It decides only when finishing is allowed; everything
// else it asks of the main window with posted notifications (294 with 5 for
// the remarks, 296 for the verification, 295 to finish). Modeless; it never
// closes itself, the main window hides and releases it after 295.
#include <QString>
#include <QWidget>

#include "ui_kit/select_box.h"
#include "ui_kit/services/report_services.h"

class QLabel;
class QLineEdit;
class QTimer;
class TPaintBox32;

class TEndOfMeasurementForm : public QWidget, public TEndOfMeasurement {
public:
    // dpi 0: the owner's (or the screen's) density.
    explicit TEndOfMeasurementForm(QWidget* owner, double dpi = 0);

    void SetForceKal(bool force) override;
    void SetKalDone(platform::TDateTime time, double difference) override;
    QString GetPW() const override;
    void Show() override;
    void Hide() override;
    QRect FrameGeometry() const override { return frameGeometry(); }

    // Whether finishing is allowed now (the Done button is shown).
    bool DoneVisible() const;
    // The close step of Done and of the window's close box.
    void TryFinish();
    void ClickSkip();
    void ClickShowPassword();
    void ClickVerification();
    void ClickHints();
    // The text of the verification box; empty when it is hidden.
    QString VerificationText() const;
    bool PasswordShown() const;
    QLineEdit* PasswordEdit() const { return edPW; }
    QLineEdit* RepeatEdit() const { return edPW2; }
    QTimer* ShowTimer() const { return tPWShow; }
    const TSelBox& SkipBox() const { return CheckNoCal; }
    bool ShortPasswordHintShown() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ApplyCaptions();
    void ArrangeControls();
    void EvaluateFinishRule();
    void SetPasswordVisible(bool visible);
    bool VerificationRequiredAndOpen() const;
    void PaintHeading(TPaintBox32* box);
    void PaintSymbol(TPaintBox32* box);
    void PaintVerification(TPaintBox32* box);

    bool noForceKal = true;
    bool calDone = false;
    bool calIgnore = true;
    platform::TDateTime cnt = 0.0;
    double cnd = 0.0;
    double mySf = 1.0;
    TSelBox CshowPW;
    TSelBox CheckNoCal;

    TPaintBox32* pbTopInfo = nullptr;
    TPaintBox32* pbSymbol = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* edPW = nullptr;
    TPaintBox32* pbShowPW = nullptr;
    QLineEdit* edPW2 = nullptr;
    QLabel* labelPW2 = nullptr;
    QLabel* lShortPW = nullptr;
    TPaintBox32* pbLine = nullptr;
    TPaintBox32* pbInfo = nullptr;
    TPaintBox32* pbNoCal = nullptr;
    TPaintBox32* pbHints = nullptr;
    TPaintBox32* pbKal = nullptr;
    TPaintBox32* pbDone = nullptr;
    QTimer* tPWShow = nullptr;
};
