#pragma once
// Styling and owner-draw routines for the platform controls the dialogs use
// beside their own painted ones: combo boxes, memos, popup-menu header items,
// the square of a small knob glyph and a key filter for edit fields.
#include <QChar>
#include <QRect>
#include <QString>
#include <QStyledItemDelegate>

class QComboBox;
class QPainter;
class QPlainTextEdit;
class QWidget;

// Font "VERDANA" at Round(-13.33 x scale) pixels, items Round(21 x scale)
// high, drawn by DrawComboItem.
void SetComboStyle(double scale, QComboBox* combo);
// Draws item index of the combo into rect: accent background when selected,
// list background otherwise; the disabled-item colour for a disabled item.
void DrawComboItem(QPainter& painter, const QComboBox* combo, int index, const QRect& rect, bool selected,
                   bool disabled);

// The item delegate SetComboStyle installs.
class TComboItemDelegate : public QStyledItemDelegate {
public:
    TComboItemDelegate(QComboBox* combo, double scale);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QComboBox* combo_;
    int itemHeight_;
};

// List colours and "VERDANA" at Round(-12 x scale) pixels.
void SetMemoStyle(QPlainTextEdit* memo, double scale);
// Replaces all lines by the text in one step.
void SetMemoText(QPlainTextEdit* memo, const QString& text);
// True when the memo exists and holds more than five characters.
bool MemoHasText(const QPlainTextEdit* memo);

// The square of side Round(22 x scale) centred in rect.
QRect KnobRect(const QRect& rect, double scale);

// A popup-menu header item: the caption bold and centred on the system
// highlight colours; the painter's pen, brush and font are restored.
void PaintMenuHeader(const QString& caption, QPainter& painter, const QRect& rect);

// Enter and Escape produce no character in an edit field (windows react to
// them on key release); every other character passes unchanged.
QChar FilterEnterEscape(QChar key);
// Swallows the key presses of Enter and Escape in the field, so they neither
// edit it nor trigger a dialog's default or cancel action; the key releases
// still reach the window.
void InstallEnterEscapeFilter(QWidget* edit);
