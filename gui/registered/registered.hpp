#pragma once
// The main window comes back where the user left it. Every setting is a 32-bit REG_DWORD under
// "Software\<company>\<application>\<subkey>" of HKEY_CURRENT_USER, or of HKEY_LOCAL_MACHINE when
// the process runs as a service. A missing setting is created with its default on first read;
// a machine-wide value serves as the default for every user who has none of their own.
//
// The application calls Open_Registered_Main_Window once, instead of Gui::Open_Main_Window; the
// window's placement (and the widths of registered list-view columns) are written back when the
// window closes in its normal placement.
//
// The registry module's position is process-wide and unlocked; this module uses it on the main
// thread at start-up and on the framework's termination thread at shutdown, never both at once.

#include "support/failure.hpp"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace Gui::Registered {

// Settings_Path before Set_Application.
using NO_APPLICATION = Failures::Failure<"GUI.REGISTERED.NO_APPLICATION">;

enum class Company { Tessaline, Quillmark };

// True when settings live under HKEY_LOCAL_MACHINE: the process runs as a service. Decided once,
// at start-up.
bool Use_Machine_Root();

// "Tessaline" or "Quillmark", as the word appears in the key path.
std::string Company_Name(Company company);

// Records the company and the application, then selects (and so creates) the application's key.
void Set_Application(Company company, const std::string& application);

// "Software\" + company + "\" + application + "\" + Subkey; with an empty Subkey the path ends in
// the backslash after the application. NO_APPLICATION before Set_Application.
std::string Settings_Path(const std::string& subkey);

// Creates (when missing) and opens the key of Subkey; it becomes the registry's current key.
// Never fails: when the key can be neither created nor opened, the settings that follow take the
// machine-wide values or their defaults, and nothing is written.
void Select_Settings_Key(const std::string& subkey) noexcept;

// The setting from the current settings key; else the machine-wide value (for an interactive
// user); else Default, which is then written. A failure to write the default propagates.
std::int32_t Read_Setting(const std::string& name, std::int32_t default_value);

// A REG_DWORD in the current settings key; Windows::Registry::ENTRY_CREATION_FAILURE propagates.
void Write_Setting(const std::string& name, std::int32_t value);

struct Registered_Window_Options {
    Registered::Company Company = Registered::Company::Quillmark;
    std::string Application;
    std::string Version;
    std::function<void()> Termination; // runs at shutdown, after the state is saved
    // Stored with the placement on the first run; a width or height of 0 means the system's own.
    std::int32_t Default_Width = 0;
    std::int32_t Default_Height = 0;
    std::int32_t Default_X = CW_USEDEFAULT;
    std::int32_t Default_Y = CW_USEDEFAULT;
    std::string Icon;
    bool Topmost = false;
};

// Opens the main window titled Application + " " + Version with the stored placement ("X-Position",
// "Y-Position", "Width", "Height" under the "Metrics" subkey, created with the defaults on the
// first run); returns when Gui::Open_Main_Window returns. When a visible window of the same class
// (another run's) sits at the stored place, the window opens a caption's height down and right of
// it, and further while that place is taken too. A stored negative width or height is a
// RANGE_ERROR before anything is opened.
void Open_Registered_Main_Window(Registered_Window_Options options);

// A setting of the window beside its placement (the size of a pane, whether it shows), kept as a
// REG_DWORD under "Metrics" like the placement: read, and created with its default on the first
// run, by Read_Window_Setting; written back with the placement when the window closes, from what
// Current returns then (on the termination thread: it must not wait for the window thread).
struct Window_Setting {
    std::string Name;
    std::int32_t Default = 0;
    std::function<std::int32_t()> Current;
};
// After Open_Registered_Main_Window, before the window closes; returns the stored value.
std::int32_t Read_Window_Setting(Window_Setting setting);

// The close hook handed to Gui::Open_Main_Window; runs on the framework's termination thread.
// Unless the window is minimized or maximized, or never existed, writes its placement, the window
// settings and the registered list-view column widths. The application's termination routine runs in every case,
// also after a failed write; the failure is then raised again.
void Save_Window_State();

} // namespace Gui::Registered
