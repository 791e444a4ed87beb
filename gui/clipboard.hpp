#pragma once
// Text for other programs: the clipboard in its 8-bit form (CF_TEXT), as the controls show it.

#include "support/failure.hpp"

#include <windows.h>

#include <string_view>

namespace Gui {

using CLIPBOARD_FAILURE = Failures::Failure<"GUI.CLIPBOARD_FAILURE">;

// Replaces what the clipboard holds by Text; Owner is the window that puts it there (window thread).
// CLIPBOARD_FAILURE, with the step and the system's error, when another program holds the
// clipboard or memory runs out.
void Put_On_Clipboard(HWND owner, std::string_view text);
// The same, and beside it the text converted from the ANSI code page as CF_UNICODETEXT, for
// programs that read only that form.
void Put_On_Clipboard_In_Both_Forms(HWND owner, std::string_view text);

} // namespace Gui
