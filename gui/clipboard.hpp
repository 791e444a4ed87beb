#pragma once
// Text for other programs on the clipboard. Texts are UTF-8; the 8-bit form (CF_TEXT) is in the
// ANSI code page, a character it lacks as "?".

#include "support/failure.hpp"

#include <windows.h>

#include <string_view>

namespace Gui {

using CLIPBOARD_FAILURE = Failures::Failure<"GUI.CLIPBOARD_FAILURE">;

// Replaces what the clipboard holds by Text; Owner is the window that puts it there (window thread).
// CLIPBOARD_FAILURE, with the step and the system's error, when another program holds the
// clipboard or memory runs out.
void Put_On_Clipboard(HWND owner, std::string_view text);
// The same, and beside it the exact text as CF_UNICODETEXT.
void Put_On_Clipboard_In_Both_Forms(HWND owner, std::string_view text);

} // namespace Gui
