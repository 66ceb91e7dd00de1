#pragma once
// The remarks editor: one multi-line edit for the report's remarks. Modeless;
// it reports Apply and Cancel (also the close box and Escape) as posted
// notifications and stays open until the receiver releases it.
#include <QString>
#include <QWidget>

#include "ui_kit/services/report_services.h"

class QPlainTextEdit;
class TPaintBox32;

class THinweiseForm : public QWidget, public THinweise {
public:
    explicit THinweiseForm(QWidget* owner, double dpi = 0);

    void SetTheHints(const QString& text) override;
    QString GetTheHints() const override;
    void SetMessageInfo(platform::WindowHandle window, int32_t cancelCode, int32_t okCode) override;
    bool IsChanged() const override { return changed_; }
    void ShowAt(const QPoint& topLeft) override;
    void BringToFront() override;
    QSize Size() const override { return frameGeometry().size(); }
    void Hide() override { hide(); }

    QPlainTextEdit* Memo() const { return mHinweise; }
    void ClickApply() { Post(mco); }
    void ClickCancel() { Post(mcc); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Post(int32_t code);
    void ArrangeControls();

    platform::WindowHandle mh = 0;
    int32_t mi = 0;
    int32_t mcc = 0;
    int32_t mco = 0;
    bool changed_ = false;
    double mySf = 1.0;
    QPlainTextEdit* mHinweise = nullptr;
    QWidget* Panel1 = nullptr;
    TPaintBox32* pbCancel = nullptr;
    TPaintBox32* pbOk = nullptr;
};
