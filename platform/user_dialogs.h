#pragma once
// The program's ways of asking the user: its own modal message box, the
// non-modal information popup, the password prompt and the save-file prompt. Code deep inside file
// loading or device handling reaches them through this service, so the GUI
// can implement it with real windows while tests script the answers and never
// block on a modal window.
#include <QPoint>
#include <QString>

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

class QWidget;

namespace platform {

// Results of the message box: which control ended it.
inline constexpr int kMessageClosed = 1;  // close icon or the system close command
inline constexpr int kMessageLeft = 2;
inline constexpr int kMessageRight = 4;
inline constexpr int kMessageCentre = 8;

// Modal results of the password prompt.
inline constexpr int kPasswordOk = 1;
inline constexpr int kPasswordCancel = 2;

// One message box. The texts are already in the current language; a caption
// shorter than two characters leaves its button out. The ids are what the
// caller looked the texts up with, kept so that a scripted answer can be
// checked against the text that was asked; they are absent when the caller
// passed finished texts.
struct MessageRequest {
    QString text;
    QString header;
    QString leftCaption;
    QString centreCaption;
    QString rightCaption;
    std::optional<int32_t> textId;
    std::optional<int32_t> headerId;
    int32_t leftCaptionId = 0;   // 0 or below: no id
    int32_t centreCaptionId = 0;
    int32_t rightCaptionId = 0;
    QWidget* owner = nullptr;    // nullptr: centred over the main window or the screen
};

// The information popup. Its buttons, close icon and time-out post an answer
// code to the main window; the popup itself never answers the caller.
struct InfoRequest {
    int32_t x = -1;              // below 0: centred horizontally
    int32_t y = -1;              // above the work area: centred vertically
    QString info;
    QString header;
    int32_t timeoutMs = 0;       // 0 or below: no time-out
    QString leftCaption;         // empty: no left button
    int32_t leftAnswer = -1;     // negative: the button answers nothing
    QString rightCaption;
    int32_t rightAnswer = -1;
    int32_t restAnswer = 0;      // kept with the popup; no control answers with it
    int32_t maxWidth = 0;        // below the minimum width: a share of the screen
    int32_t place = 0;           // 0 left/top edge on x/y, 1 centred on it, 2 right/bottom edge on it
};

// The password prompt. In file mode name is the path of the enciphered file
// (shown only when that file exists); in upload mode it is the host.
struct PasswordRequest {
    bool fileMode = true;
    QString name;
    std::optional<QPoint> topLeft;  // absent: the prompt places itself
    QWidget* owner = nullptr;
};

// The save-file prompt: which file a measurement or a rebuilt report is
// written to. The filter is "Caption|*.ext" as the program writes it.
struct SaveFileRequest {
    QString title;
    QString filter;
    QString defaultExtension;  // without the dot; added when the chosen name has none
    QString startFolder;
    QString fileName;          // pre-filled name; may be empty
    bool overwritePrompt = false;
    QWidget* owner = nullptr;
};

struct SaveFileAnswer {
    bool confirmed = false;
    QString path;  // the full path chosen; empty when cancelled

    bool ok() const { return confirmed; }
};

// The open-file prompt: which existing file to read. The filter is
// "Caption|*.ext" as the program writes it.
struct OpenFileRequest {
    QString title;
    QString filter;
    QString startFolder;
    QString fileName;       // pre-selected file; may be empty
    bool mustExist = true;  // false also takes a typed name of a file not there (yet)
    QWidget* owner = nullptr;
};

struct PasswordAnswer {
    int modalResult = kPasswordCancel;  // kPasswordOk or kPasswordCancel
    QString password;                   // the text as typed; empty on Cancel

    bool ok() const { return modalResult == kPasswordOk; }
};

class UserDialogs {
public:
    virtual ~UserDialogs() = default;

    // Shows the message box modally and answers kMessageLeft, kMessageCentre,
    // kMessageRight or kMessageClosed.
    virtual int ShowMessage(const MessageRequest& request) = 0;

    // Shows (or replaces) the information popup and returns at once.
    virtual void ShowInfo(const InfoRequest& request) = 0;

    // Asks for one password modally.
    virtual PasswordAnswer AskPassword(const PasswordRequest& request) = 0;

    // Asks for the name of a file to write, modally.
    virtual SaveFileAnswer AskSaveFile(const SaveFileRequest& request) = 0;

    // Asks for the name of an existing file to read, modally.
    virtual SaveFileAnswer AskOpenFile(const OpenFileRequest& request) = 0;
};

// The registered implementation. Before the GUI registered one (and after
// SetUserDialogs(nullptr)) it is a stand-in that answers every message box
// with kMessageClosed and every prompt with Cancel and writes the request to
// stderr: nothing blocks and nothing pretends that the user agreed. Never
// returns nullptr.
UserDialogs* userDialogs();
void SetUserDialogs(UserDialogs* dialogs);

// An implementation for tests: answers from scripted queues and records every
// request. A request that finds its queue empty is answered as closed or
// cancelled and counted as unscripted, so a test sees it instead of hanging.
// Safe to call from any thread.
class ScriptedDialogs : public UserDialogs {
public:
    // Queues the answer of the next message box; throws std::invalid_argument
    // for anything other than the four message results.
    void ScriptMessage(int result);
    // Queues OK with this password.
    void ScriptPassword(const QString& password);
    // Queues a cancelled prompt.
    void ScriptPasswordCancel();
    // Queues the next save-file prompt's answer: this path, or cancelled.
    void ScriptSaveFile(const QString& path);
    void ScriptSaveFileCancel();
    // Queues the next open-file prompt's answer: this path, or cancelled.
    void ScriptOpenFile(const QString& path);
    void ScriptOpenFileCancel();

    int ShowMessage(const MessageRequest& request) override;
    void ShowInfo(const InfoRequest& request) override;
    PasswordAnswer AskPassword(const PasswordRequest& request) override;
    SaveFileAnswer AskSaveFile(const SaveFileRequest& request) override;
    SaveFileAnswer AskOpenFile(const OpenFileRequest& request) override;

    std::vector<MessageRequest> messages() const;
    std::vector<InfoRequest> infos() const;
    std::vector<PasswordRequest> passwordRequests() const;
    std::vector<SaveFileRequest> saveFileRequests() const;
    std::vector<OpenFileRequest> openFileRequests() const;

    // Requests that found no scripted answer (message boxes and prompts).
    int unscriptedCount() const;
    // Scripted answers that no request has taken yet.
    int pendingCount() const;

private:
    mutable std::mutex lock_;
    std::deque<int> messageAnswers_;
    std::deque<PasswordAnswer> passwordAnswers_;
    std::deque<SaveFileAnswer> saveFileAnswers_;
    std::deque<SaveFileAnswer> openFileAnswers_;
    std::vector<MessageRequest> messages_;
    std::vector<InfoRequest> infos_;
    std::vector<PasswordRequest> passwords_;
    std::vector<SaveFileRequest> saveFiles_;
    std::vector<OpenFileRequest> openFiles_;
    int unscripted_ = 0;
};

}  // namespace platform
