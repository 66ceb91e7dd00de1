#include "remote/web_snapshot.h"

void TWebSnapshotBoard::Publish(TWebSnapshot snapshot) {
    auto next = std::make_shared<const TWebSnapshot>(std::move(snapshot));
    std::lock_guard guard(lock_);
    current_.swap(next);
}

std::shared_ptr<const TWebSnapshot> TWebSnapshotBoard::Current() const {
    std::lock_guard guard(lock_);
    return current_;
}
