#include "ui_kit/notifications.h"

#include "platform/threads.h"
#include "ui_kit/shared_state.h"

bool PostMainNotify(uintptr_t code, intptr_t argument) {
    if (!mainReady.load()) return false;
    return PostMainNotifyAlways(code, argument);
}

bool PostMainNotifyAlways(uintptr_t code, intptr_t argument) {
    return platform::PostMessage(mainWnd.load(), WM_MAIN_NOTIFY, code, argument);
}

void InstallThreadFailureNotification() {
    platform::TThread::SetFailureHandler([](int32_t failureCode, const std::string&) {
        PostMainNotify(kNotifyThreadFailure, failureCode);
    });
}
