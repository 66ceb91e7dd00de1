#pragma once
// Parts every settings dialog builds the same way: a flat button that runs
// an action, and a tick in a paint box of its own whose click the dialog
// handles.
#include <cstdint>
#include <functional>

class QWidget;
class TPaintBox32;
class TSelBox;
class TTickRows;

TPaintBox32* NewFlatButton(QWidget* parent, int32_t textId, std::function<void()> action);
TTickRows* NewClickTick(QWidget* parent, TSelBox* tick, std::function<void()> onClick);
