#pragma once
// Parts every settings dialog builds the same way: a flat button that runs
// an action, and a tick in a paint box of its own whose click the dialog
// handles.
#include <Qt>

#include <cstdint>
#include <functional>

class QDialog;
class QKeyEvent;
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

// Enter confirms (result 1, after confirm when given) and Escape cancels
// (result 2) from any field, each with its button shown pressed; false for
// every other key, which the dialog handles itself.
bool AnswerEnterOrEscape(QDialog& dialog, const QKeyEvent& event, TPaintBox32* ok, TPaintBox32* cancel,
                         const std::function<void()>& confirm = {});

TPaintBox32* NewFlatButton(QWidget* parent, int32_t textId, std::function<void()> action);
TTickRows* NewClickTick(QWidget* parent, TSelBox* tick, std::function<void()> onClick);
