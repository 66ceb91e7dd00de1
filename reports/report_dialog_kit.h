#pragma once
// Small pieces the report dialogs share: the hover look of a paint box that
// shows one select box, and the layout scale of a dialog.
class QWidget;
class TPaintBox32;

// Tag 1 while the pointer is over the box, 0 otherwise; each change repaints.
void WireSelectBoxHover(TPaintBox32* box);
// Pixels per inch / 96 of dpi, or of the owner (the widget itself without one) when dpi is 0.
double DialogScale(double dpi, const QWidget* owner, const QWidget* self);
// An edit field (line edit, time picker) in the palette's list colours and
// VERDANA at Round(-12 x scale) pixels.
void SetEditStyle(QWidget* edit, double scale);
