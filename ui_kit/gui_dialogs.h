#pragma once
// The dialog service of the running program: message boxes are the own
// message box, information popups the information window. The password
// prompt belongs to the reports subsystem, which hands it in with
// SetPasswordPrompt; until it does, a prompt is refused with Cancel and a
// line on stderr, so nothing pretends that the user typed a password.
//
// The message box and the prompt are modal and run on the GUI thread only: a
// request from another thread is refused (closed / Cancel, with a line on
// stderr), because blocking a worker on the GUI thread could deadlock a stop
// that waits for that worker. An information popup from another thread is
// queued to the GUI thread, since it returns at once anyway.
#include <functional>

#include "platform/user_dialogs.h"

class GuiDialogs : public platform::UserDialogs {
public:
    using PasswordPrompt = std::function<platform::PasswordAnswer(const platform::PasswordRequest&)>;

    int ShowMessage(const platform::MessageRequest& request) override;
    void ShowInfo(const platform::InfoRequest& request) override;
    platform::PasswordAnswer AskPassword(const platform::PasswordRequest& request) override;
    platform::SaveFileAnswer AskSaveFile(const platform::SaveFileRequest& request) override;
    platform::SaveFileAnswer AskOpenFile(const platform::OpenFileRequest& request) override;

    // GUI thread. An empty prompt removes it.
    void SetPasswordPrompt(PasswordPrompt prompt);
    bool HasPasswordPrompt() const { return static_cast<bool>(prompt_); }

private:
    PasswordPrompt prompt_;
};
