#pragma once
// Finding the program to start from a name that a user, a host or a setting gave. The current
// folder is never searched: it is usually the folder that was searched for places, full of files
// that nobody here wrote, and a program planted there must not be started for a name. A bare
// name is looked for beside the calling program, then in the absolute folders of PATH.

#include "support/failure.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Windows::Program_Search {

// A bare name was found neither beside this program nor in PATH's folders; the message says where
// was looked.
using NOT_FOUND = Failures::Failure<"WINDOWS.PROGRAM_SEARCH.NOT_FOUND">;
// A path that cannot be made absolute.
using BAD_PATH = Failures::Failure<"WINDOWS.PROGRAM_SEARCH.BAD_PATH">;
// The system folder (where cmd.exe and notepad.exe are) cannot be read.
using NO_SYSTEM_FOLDER = Failures::Failure<"WINDOWS.PROGRAM_SEARCH.NO_SYSTEM_FOLDER">;

// A name without any folder part (no "\", "/" or ":"): one that has to be searched for.
bool Is_Bare_Name(std::string_view name) noexcept;

// Whether Path names the same place from any current folder: "C:\x" or "\\server\share\x", not
// "C:x", "\x" or "sub\x", which the system reads from the current folder (the searched one).
bool Is_Absolute(std::string_view path) noexcept;

// Name with ".exe" added when its file name has no extension, as the system starts it.
std::string With_Default_Extension(std::string_view name);

// The folder of this process's executable, without a separator at its end.
std::string Own_Folder();

// The folders of a PATH value that are absolute ("C:\x", "\\server\share\x"), quotes removed,
// in order. Empty entries and relative ones (".", "bin", "\x", "C:x") are left out: they are
// taken from the current folder.
std::vector<std::string> Absolute_Folders(std::string_view path_value);

// The folders a bare name is looked for in: this program's folder, then PATH's absolute ones.
std::vector<std::string> Search_Folders();

// The system folder's File_Name ("C:\Windows\system32\cmd.exe"), whether it is there or not.
std::string In_System_Folder(std::string_view file_name);

// The first Folder\File_Name that is a file (not a folder), or nothing. File_Name is used as given.
std::optional<std::string> Find_In(const std::vector<std::string>& folders, std::string_view file_name);

// The full path of a bare Name (".exe" added without an extension) in the search folders, or
// nothing.
std::optional<std::string> Find(std::string_view name);

// The full path of the program that Program names: a bare name as Find finds it (NOT_FOUND
// otherwise); a name with a folder part made absolute as given, ".exe" added without an
// extension (BAD_PATH when it cannot be). A full path to pass as the application name, so that
// the system does no search of its own.
std::string Locate(std::string_view program);

} // namespace Windows::Program_Search
