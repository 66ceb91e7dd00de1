#pragma once
// The plain-text command interface the web page polls: one command word in
// the path of a POST, answered from a published snapshot. Commands that act
// do so only by posting notifications (and the one direct reset of the held
// maxima), and only for a client allowed to act.
#include <QString>

#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/window_messages.h"
#include "remote/web_answer.h"
#include "remote/web_snapshot.h"

struct TWebCommandActions {
    // Posts WM_MAIN_NOTIFY with (code, argument) to window.
    std::function<void(platform::WindowHandle window, uintptr_t code, intptr_t argument)> post;
    // Resets the held maxima of the loudest-location search.
    std::function<void()> resetFindPeak;
};

// The command word of a document path: without the leading "/" and without
// a leading "js/" (case ignored).
QString CommandWord(const QString& documentPath);

// The GETSTATUS line: its length in UTF-16 code units, ";", the line.
QString WebStatusLine(const TWebSnapshot& s);

// The answer text of one command ("---" when the command has none). With
// mayAct false the command acts on nothing; what it reads is unchanged.
QString WebCommandText(const QString& documentPath, const TWebSnapshot& s, bool mayAct,
                       const TWebCommandActions& actions);

// The whole answer: the text, compressed as the client accepts, as plain
// text that is never cached.
TWebAnswer WebPostCommand(const QString& documentPath, std::string_view acceptEncoding, const TWebSnapshot& s,
                          bool mayAct, const TWebCommandActions& actions);
