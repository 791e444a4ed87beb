#pragma once
// Names (UTF-8) from outside (a host, a compiler's #line, a saved list) made into the one full path that
// is then checked, read and opened: only files on this computer's drives, never a network name, a
// device, the system's name spaces, or a name that the system reads as another file than the one
// it spells ("x.bat\." is x.bat, "x.bat " too).

#include <windows.h>

#include <string>
#include <string_view>

namespace Windows::Local_Files {

// The full path of a local file, or why the name is refused (Path is then empty).
struct Decision {
    std::string Path;
    // Says what is wrong, to follow the name: "is on another computer", "names a device", ...
    std::string Refusal;
    bool Accepted() const noexcept { return Refusal.empty(); }
};

// Name made absolute against the current folder (GetFullPathName) and checked: no control byte,
// no network or name-space spelling, no device in any part, no wildcard, quote or redirection
// character, no colon beyond the drive's (a stream, or an address), the result on a drive
// ("C:\..."), and its last part the same as Name's last part.
Decision Canonical(std::string_view name);

// Whether an open file's final path (links and junctions followed) is on a local drive; a
// repository's link may point at a share.
bool Is_On_Local_Drive(HANDLE file);

} // namespace Windows::Local_Files
