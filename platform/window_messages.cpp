#include "platform/window_messages.h"

#include "platform/tsan_annotations.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>


namespace platform {

namespace {

class MessageEvent : public QEvent {
public:
    MessageEvent(WindowHandle target, uint32_t msg, uintptr_t wParam, intptr_t lParam)
        : QEvent(Type()), target(target), msg(msg), wParam(wParam), lParam(lParam) {}

    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    const WindowHandle target;
    const uint32_t msg;
    const uintptr_t wParam;
    const intptr_t lParam;
};

class Dispatcher;

using SharedHandler = std::shared_ptr<const MessageHandler>;

struct Registry {
    std::mutex mutex;
    std::unordered_map<WindowHandle, SharedHandler> windows;
    WindowHandle lastHandle = 0;
    Dispatcher* dispatcher = nullptr;
};

Registry& Windows() {
    // Never destroyed: the application, and with it the dispatcher, may be
    // torn down after static objects are gone.
    static Registry* registry = new Registry;
    return *registry;
}

SharedHandler FindHandler(WindowHandle h) {
    Registry& registry = Windows();
    std::lock_guard lock(registry.mutex);
    const auto it = registry.windows.find(h);
    return it == registry.windows.end() ? nullptr : it->second;
}

void Invoke(const MessageHandler& handler, WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    try {
        handler(msg, wParam, lParam);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Veltaro: window %llu failed on message 0x%X (wParam %llu, lParam %lld): %s\n",
                     static_cast<unsigned long long>(h), msg, static_cast<unsigned long long>(wParam),
                     static_cast<long long>(lParam), e.what());
    } catch (...) {
        std::fprintf(stderr, "Veltaro: window %llu failed on message 0x%X (wParam %llu, lParam %lld)\n",
                     static_cast<unsigned long long>(h), msg, static_cast<unsigned long long>(wParam),
                     static_cast<long long>(lParam));
    }
}

// Lives as long as the application; every window's posts go through it, so
// a window that goes away leaves no receiver behind that a post could hit.
class Dispatcher : public QObject {
public:
    explicit Dispatcher(QObject* application) : QObject(application) {}

    ~Dispatcher() override {
        Registry& registry = Windows();
        std::lock_guard lock(registry.mutex);
        if (registry.dispatcher == this) {
            registry.dispatcher = nullptr;
        }
        // QObject's destructor then discards the posts not yet delivered.
    }

protected:
    bool event(QEvent* e) override {
        TakenOver(e);  // Qt's event queue hands the event over under a lock of its own
        if (e->type() != MessageEvent::Type()) {
            return QObject::event(e);
        }
        const auto* message = static_cast<MessageEvent*>(e);
        if (const SharedHandler handler = FindHandler(message->target)) {
            Invoke(*handler, message->target, message->msg, message->wParam, message->lParam);
        }
        return true;
    }
};

void RequireGuiThread(const char* what) {
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        throw std::logic_error(std::string(what) + " must be called on the GUI thread of a running QCoreApplication");
    }
}

}  // namespace

WindowHandle RegisterWindow(MessageHandler handler) {
    if (!handler) {
        throw std::invalid_argument("RegisterWindow needs a message handler");
    }
    RequireGuiThread("RegisterWindow");
    Registry& registry = Windows();
    std::lock_guard lock(registry.mutex);
    if (!registry.dispatcher) {
        registry.dispatcher = new Dispatcher(QCoreApplication::instance());
    }
    const WindowHandle h = ++registry.lastHandle;
    registry.windows.emplace(h, std::make_shared<const MessageHandler>(std::move(handler)));
    return h;
}

void UnregisterWindow(WindowHandle h) {
    Registry& registry = Windows();
    std::lock_guard lock(registry.mutex);
    registry.windows.erase(h);
}

bool IsWindow(WindowHandle h) {
    return FindHandler(h) != nullptr;
}

bool PostMessage(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    Registry& registry = Windows();
    std::lock_guard lock(registry.mutex);
    if (!registry.dispatcher || !registry.windows.contains(h)) {
        return false;
    }
    // Posted under the lock so that the dispatcher cannot be destroyed in between.
    auto* event = new MessageEvent(h, msg, wParam, lParam);
    HandedOver(event);
    QCoreApplication::postEvent(registry.dispatcher, event);
    return true;
}

void SendMessage(WindowHandle h, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    RequireGuiThread("SendMessage");
    if (const SharedHandler handler = FindHandler(h)) {
        Invoke(*handler, h, msg, wParam, lParam);
    }
}

}  // namespace platform
