#pragma once
// Parts every settings dialog builds the same way: a flat button that runs
// an action, and a tick in a paint box of its own whose click the dialog
// handles.
#include <Qt>

#include <cstdint>
#include <functional>

class QDialog;
class QWidget;
class TPaintBox32;
class TSelBox;
class TTickRows;

// The fixed-size, always-on-top modal frame of the settings dialogs, titled
// by text titleId and painted in the scheme's colours.
inline constexpr Qt::WindowFlags kSettingsDialogFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                                        Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                                        Qt::WindowStaysOnTopHint;
void SetUpSettingsDialog(QDialog& dialog, int32_t titleId);

TPaintBox32* NewFlatButton(QWidget* parent, int32_t textId, std::function<void()> action);
TTickRows* NewClickTick(QWidget* parent, TSelBox* tick, std::function<void()> onClick);
