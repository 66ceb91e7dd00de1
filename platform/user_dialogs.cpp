#include "platform/user_dialogs.h"

#include <atomic>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace platform {

namespace {

void WriteUnanswered(const char* kind, const char* answer, const QString& what) {
    const QByteArray line = QStringLiteral("Veltaro: no dialog service, %1 %2: %3\n")
                                .arg(QLatin1String(kind), QLatin1String(answer), what)
                                .toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

// Stands in while no GUI is registered, so that a question asked during
// start-up, shut-down or in a headless run is refused instead of lost.
class UnattendedDialogs final : public UserDialogs {
public:
    int ShowMessage(const MessageRequest& request) override {
        WriteUnanswered("message box", "closed", request.header + QStringLiteral(" | ") + request.text);
        return kMessageClosed;
    }
    void ShowInfo(const InfoRequest& request) override {
        WriteUnanswered("information popup", "not shown", request.header + QStringLiteral(" | ") + request.info);
    }
    PasswordAnswer AskPassword(const PasswordRequest& request) override {
        WriteUnanswered("password prompt", "cancelled", request.name);
        return PasswordAnswer{kPasswordCancel, QString()};
    }
    SaveFileAnswer AskSaveFile(const SaveFileRequest& request) override {
        WriteUnanswered("save-file prompt", "cancelled", request.title);
        return SaveFileAnswer{};
    }
    SaveFileAnswer AskOpenFile(const OpenFileRequest& request) override {
        WriteUnanswered("open-file prompt", "cancelled", request.title);
        return SaveFileAnswer{};
    }
};

UnattendedDialogs unattended;
std::atomic<UserDialogs*> registered{nullptr};

bool IsMessageResult(int result) {
    return result == kMessageClosed || result == kMessageLeft || result == kMessageRight ||
           result == kMessageCentre;
}

}  // namespace

UserDialogs* userDialogs() {
    UserDialogs* dialogs = registered.load(std::memory_order_acquire);
    return dialogs != nullptr ? dialogs : &unattended;
}

void SetUserDialogs(UserDialogs* dialogs) { registered.store(dialogs, std::memory_order_release); }

void ScriptedDialogs::ScriptMessage(int result) {
    if (!IsMessageResult(result)) {
        throw std::invalid_argument("a message box answers 1, 2, 4 or 8, not " + std::to_string(result));
    }
    std::lock_guard<std::mutex> guard(lock_);
    messageAnswers_.push_back(result);
}

void ScriptedDialogs::ScriptPassword(const QString& password) {
    std::lock_guard<std::mutex> guard(lock_);
    passwordAnswers_.push_back(PasswordAnswer{kPasswordOk, password});
}

void ScriptedDialogs::ScriptPasswordCancel() {
    std::lock_guard<std::mutex> guard(lock_);
    passwordAnswers_.push_back(PasswordAnswer{kPasswordCancel, QString()});
}

void ScriptedDialogs::ScriptSaveFile(const QString& path) {
    std::lock_guard<std::mutex> guard(lock_);
    saveFileAnswers_.push_back(SaveFileAnswer{true, path});
}

void ScriptedDialogs::ScriptSaveFileCancel() {
    std::lock_guard<std::mutex> guard(lock_);
    saveFileAnswers_.push_back(SaveFileAnswer{});
}

int ScriptedDialogs::ShowMessage(const MessageRequest& request) {
    std::lock_guard<std::mutex> guard(lock_);
    messages_.push_back(request);
    if (messageAnswers_.empty()) {
        ++unscripted_;
        return kMessageClosed;
    }
    const int answer = messageAnswers_.front();
    messageAnswers_.pop_front();
    return answer;
}

void ScriptedDialogs::ShowInfo(const InfoRequest& request) {
    std::lock_guard<std::mutex> guard(lock_);
    infos_.push_back(request);
}

PasswordAnswer ScriptedDialogs::AskPassword(const PasswordRequest& request) {
    std::lock_guard<std::mutex> guard(lock_);
    passwords_.push_back(request);
    if (passwordAnswers_.empty()) {
        ++unscripted_;
        return PasswordAnswer{kPasswordCancel, QString()};
    }
    PasswordAnswer answer = passwordAnswers_.front();
    passwordAnswers_.pop_front();
    return answer;
}

SaveFileAnswer ScriptedDialogs::AskSaveFile(const SaveFileRequest& request) {
    std::lock_guard<std::mutex> guard(lock_);
    saveFiles_.push_back(request);
    if (saveFileAnswers_.empty()) {
        ++unscripted_;
        return SaveFileAnswer{};
    }
    SaveFileAnswer answer = saveFileAnswers_.front();
    saveFileAnswers_.pop_front();
    return answer;
}

SaveFileAnswer ScriptedDialogs::AskOpenFile(const OpenFileRequest& request) {
    std::lock_guard<std::mutex> guard(lock_);
    openFiles_.push_back(request);
    if (openFileAnswers_.empty()) {
        ++unscripted_;
        return SaveFileAnswer{};
    }
    SaveFileAnswer answer = openFileAnswers_.front();
    openFileAnswers_.pop_front();
    return answer;
}

void ScriptedDialogs::ScriptOpenFile(const QString& path) {
    std::lock_guard<std::mutex> guard(lock_);
    openFileAnswers_.push_back(SaveFileAnswer{true, path});
}

void ScriptedDialogs::ScriptOpenFileCancel() {
    std::lock_guard<std::mutex> guard(lock_);
    openFileAnswers_.push_back(SaveFileAnswer{});
}

std::vector<OpenFileRequest> ScriptedDialogs::openFileRequests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return openFiles_;
}

std::vector<MessageRequest> ScriptedDialogs::messages() const {
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

std::vector<InfoRequest> ScriptedDialogs::infos() const {
    std::lock_guard<std::mutex> guard(lock_);
    return infos_;
}

std::vector<PasswordRequest> ScriptedDialogs::passwordRequests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return passwords_;
}

std::vector<SaveFileRequest> ScriptedDialogs::saveFileRequests() const {
    std::lock_guard<std::mutex> guard(lock_);
    return saveFiles_;
}

int ScriptedDialogs::unscriptedCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return unscripted_;
}

int ScriptedDialogs::pendingCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<int>(messageAnswers_.size() + passwordAnswers_.size() + saveFileAnswers_.size() +
                            openFileAnswers_.size());
}

}  // namespace platform
