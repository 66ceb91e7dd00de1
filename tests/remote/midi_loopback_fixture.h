#pragma once
// A MIDI object on the in-process loopback device, with a window that
// collects what the object posts. The loopback offers the input "Desk" and
// the output "Desk"; tests feed the input and read what reached the output.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <functional>
#include <memory>
#include <vector>

#include "platform/midi_loopback.h"
#include "platform/window_messages.h"
#include "remote/vt_midi.h"
#include "support/process_until.h"
#include "ui_kit/gui_test_app.h"
#include "ui_kit/notifications.h"

namespace midi_test {

inline const QString kDesk = QStringLiteral("Desk");

struct Posted {
    uintptr_t kind;
    intptr_t data;
    bool operator==(const Posted&) const = default;
};

inline QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int v : values) bytes.append(static_cast<char>(v));
    return bytes;
}

using test_support::ProcessUntil;

inline intptr_t Packed(int status, int first, int second) { return status | (first << 8) | (second << 16); }

class MidiLoopbackFixture : public ::testing::Test {
protected:
    void SetUp() override {
        gui_test::App();
        platform::UseMidiSystem(&loopback);
        window = platform::RegisterWindow([this](uint32_t msg, uintptr_t kind, intptr_t data) {
            if (msg == WM_MIDI_INPUT) posted.push_back({kind, data});
        });
        midi = std::make_unique<TVtMidi>();
        midi->SetMessageHandle(window);
        midi->SetMidiInName(kDesk);
        midi->SetMidiOutName(kDesk);
    }

    void TearDown() override {
        midi.reset();
        platform::UnregisterWindow(window);
        platform::UseMidiSystem(nullptr);
    }

    // Feeds one message and delivers what the object posted for it.
    std::vector<Posted> FeedAndCollect(const QByteArray& bytes) {
        posted.clear();
        loopback.Feed(kDesk, bytes);
        QCoreApplication::processEvents();
        return posted;
    }

    void OpenOutput() {
        midi->StartMidiOut();
        ASSERT_TRUE(midi->OutIsOpen());
        loopback.ClearSent();
    }

    platform::MidiLoopback loopback{{kDesk}, {kDesk}};
    platform::WindowHandle window = 0;
    std::vector<Posted> posted;
    std::unique_ptr<TVtMidi> midi;
};

}  // namespace midi_test
