#pragma once
// How the settings dialogs are shown modally. A test replaces the modal loop
// of one dialog class with a runner that drives the prepared dialog and
// answers its result; an empty runner restores the loop.
#include <functional>

template <class Dialog>
struct TModalRunner {
    inline static std::function<int(Dialog&)> runner;
};

template <class Dialog>
int RunModal(Dialog& dialog) {
    const auto& runner = TModalRunner<Dialog>::runner;
    return runner ? runner(dialog) : dialog.exec();
}

template <class Dialog>
void SetModalRunner(std::function<int(Dialog&)> runner) {
    TModalRunner<Dialog>::runner = std::move(runner);
}
