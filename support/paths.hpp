#pragma once
// How Windows reads the parts of a file name, as plain text rules: separators, the names that
// open a device in every folder, and the bytes that no file name holds. Every program that takes
// a name from outside (a host, a compiler, a saved list) asks these before anything is opened.

#include <string_view>

namespace Paths {

// "\" and "/": the system takes either between the parts of a name.
bool Is_Separator(char character) noexcept;

// The part of Name after its last separator (all of it without one).
std::string_view Last_Component(std::string_view name) noexcept;

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0 to COM9 and LPT0 to LPT9 (also with the superscript
// digits ¹ ² ³ of code page 1252), in any case, alone or followed by blanks, an extension or a
// colon: "COM1:", "nul.txt", "con .c". Each of these opens a device whatever folder it is in.
bool Is_Device_Name(std::string_view component) noexcept;
// Whether any part of Name, between separators (and after a drive's colon), is a device name.
bool Names_A_Device(std::string_view name) noexcept;

// NUL and the other bytes below a blank: the system stops a name at a NUL, and no file name holds
// the others, so a name with one is not the name it appears to be.
bool Has_Control_Character(std::string_view name) noexcept;

// Whether Name starts with two separators in any spelling ("\\host", "//host", "\\?\", "\\.\",
// "//./"), or with the object-manager prefix "\??\": network names and the system's own name
// spaces, never a plain file on a drive.
bool Starts_Outside_Drives(std::string_view name) noexcept;

} // namespace Paths
