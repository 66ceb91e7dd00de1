#pragma once
// One running instance per user. The first start takes a per-user lock file
// and listens on a local socket beside it; a later start finds the lock held
// and asks the running instance over that socket to raise its window.
//
// The lock is an advisory file lock, which the kernel drops when its holder
// dies, so a socket left behind by a killed instance is simply taken over,
// and two racing starts cannot both win. Both files live in
// $XDG_RUNTIME_DIR, or, where that is not set, in a folder of the user's own
// under the temporary folder.
#include <QString>

#include <functional>

namespace platform {

enum class InstanceGuard { First, AlreadyRunning, Failed };

// Takes the per-user guard for name for the rest of the process. On Failed,
// *why (when given) says why in a sentence for the user; the caller must then
// not run unguarded. First needs a QCoreApplication on the calling thread,
// whose event loop answers the raise requests of later starts.
InstanceGuard AcquireInstanceGuard(const QString& name, QString* why);

// Asks the running instance to raise its window; true when it answered
// within timeoutMs. Also waits for an instance that holds the guard but is
// not listening yet.
bool AskRunningInstanceToRaise(const QString& name, int timeoutMs);

// GUI thread: called when another start asked this instance to raise its
// window. An empty handler ignores the requests (they are still answered).
void SetRaiseRequestHandler(std::function<void()> handler);

}  // namespace platform
