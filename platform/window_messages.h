#pragma once
// Window messages: how worker threads, callbacks and dialogs tell a window
// that something happened without touching it. A window registers a handler
// and gets a handle; anyone may post (message, wParam, lParam) to the handle,
// and the handler runs later on the GUI thread, in the order in which each
// posting thread posted.
//
// Posts travel as Qt posted events to one dispatcher that outlives every
// window. A post whose window was unregistered before it arrived is dropped.
// A handler that throws is reported on stderr; the exception goes no further.
#include <QtGlobal>

#include <cstdint>
#include <functional>

namespace platform {

using WindowHandle = quintptr;  // 0 = no window
constexpr uint32_t WM_APP = 0x8000;

using MessageHandler = std::function<void(uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

// GUI thread only, with a QCoreApplication in place (std::logic_error
// otherwise); an empty handler is refused with std::invalid_argument.
// Handles are never used twice.
WindowHandle RegisterWindow(MessageHandler handler);
// Any thread. Posts still on their way to the window are dropped. Unknown
// handles are ignored, so unregistering twice is harmless.
void UnregisterWindow(WindowHandle h);
bool IsWindow(WindowHandle h);

// Any thread. False when h is not a registered window or no application is
// running to deliver the message.
bool PostMessage(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam);
// GUI thread only (std::logic_error otherwise): runs the handler at once.
// Does nothing for an unknown handle.
void SendMessage(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam);

}  // namespace platform
