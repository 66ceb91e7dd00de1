#include "settings/menu_header.h"

#include <QMenu>
#include <QPainter>
#include <QWidget>
#include <QWidgetAction>

#include "ui_kit/control_styles.h"

namespace {

class THeaderItem : public QWidget {
public:
    explicit THeaderItem(const QString& caption) : caption_(caption) {
        setMinimumHeight(fontMetrics().height() + 8);
        setMinimumWidth(fontMetrics().horizontalAdvance(caption_) + 24);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        PaintMenuHeader(caption_, painter, rect());
    }

private:
    QString caption_;
};

}  // namespace

QWidgetAction* AddMenuHeader(QMenu* menu, const QString& caption) {
    auto* action = new QWidgetAction(menu);
    action->setDefaultWidget(new THeaderItem(caption));
    action->setText(caption);
    action->setEnabled(false);
    menu->addAction(action);
    return action;
}
