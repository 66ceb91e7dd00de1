#include "ui_kit/control_styles.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QPainter>
#include <QPlainTextEdit>

#include "ui_kit/paint_box.h"
#include "ui_kit/palette.h"

namespace {

QFont VerdanaAt(int32_t height) {
    TFont32 font;
    font.height = height;
    return font.ToQFont();
}

class EnterEscapeFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) {
                event->accept();
                return event->type() == QEvent::KeyPress;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void SetComboStyle(double scale, QComboBox* combo) {
    if (combo == nullptr) return;
    combo->setFont(VerdanaAt(RoundI(-13.333333333333332 * scale)));
    combo->setItemDelegate(new TComboItemDelegate(combo, scale));
}

void DrawComboItem(QPainter& painter, const QComboBox* combo, int index, const QRect& rect, bool selected,
                   bool disabled) {
    if (combo == nullptr) return;
    painter.save();
    painter.fillRect(rect, QColorOf(selected ? WinColor(clAccent32) : clList));
    painter.setPen(QColorOf(disabled ? clListTextOff : clListText));
    painter.setFont(combo->font());
    const QFontMetrics fm(combo->font());
    const int x = rect.x() + RoundI(rect.width() * 0.02);
    const int y = RoundI(rect.y() + (rect.height() - fm.height()) * 0.5);
    painter.drawText(QPoint(x, y + fm.ascent()), combo->itemText(index));
    painter.restore();
}

TComboItemDelegate::TComboItemDelegate(QComboBox* combo, double scale)
    : QStyledItemDelegate(combo), combo_(combo), itemHeight_(RoundI(21 * scale)) {}

void TComboItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    const bool disabled = !(index.flags() & Qt::ItemIsEnabled);
    DrawComboItem(*painter, combo_, index.row(), option.rect, selected, disabled);
}

QSize TComboItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), itemHeight_);
}

void SetMemoStyle(QPlainTextEdit* memo, double scale) {
    if (memo == nullptr) return;
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, QColorOf(clList));
    palette.setColor(QPalette::Text, QColorOf(clListText));
    memo->setPalette(palette);
    memo->setFont(VerdanaAt(RoundI(-12 * scale)));
}

void SetMemoText(QPlainTextEdit* memo, const QString& text) {
    if (memo == nullptr) return;
    memo->setPlainText(text);
}

bool MemoHasText(const QPlainTextEdit* memo) { return memo != nullptr && memo->toPlainText().size() > 5; }

QRect KnobRect(const QRect& rect, double scale) {
    const int32_t k = RoundI(22 * scale);
    const int32_t left = RoundI(rect.x() + (rect.width() - k) * 0.5);
    const int32_t top = RoundI(rect.y() + (rect.height() - k) * 0.5);
    return QRect(left, top, k, k);
}

void PaintMenuHeader(const QString& caption, QPainter& painter, const QRect& rect) {
    painter.save();
    painter.fillRect(rect, QColorOf(clHighlight));
    painter.setPen(QColorOf(clHighlightText));
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, caption);
    painter.restore();
}

QChar FilterEnterEscape(QChar key) {
    if (key.unicode() == 13 || key.unicode() == 27) return QChar(0);
    return key;
}

void InstallEnterEscapeFilter(QWidget* edit) {
    if (edit == nullptr) return;
    edit->installEventFilter(new EnterEscapeFilter(edit));
}
