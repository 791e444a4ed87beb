#pragma once
// The top of the platform library: starting other programs, the service test, local time and
// its text, the calling thread, and which loaded module holds an address.

#include "support/failure.hpp"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Windows {

using PROCESS_CREATION_FAILURE = Failures::Failure<"WINDOWS.PROCESS_CREATION_FAILURE">;
using NO_MODULE_INFORMATION = Failures::Failure<"WINDOWS.NO_MODULE_INFORMATION">;

// One module of a process, copied out of a module snapshot.
struct Module_Entry {
    std::uintptr_t Base_Address = 0;
    std::uint32_t Size = 0; // bytes
    HMODULE Module_Handle = nullptr;
    std::string Name; // file name with extension, UTF-8
    std::string Path; // full path of the module file, UTF-8
};

// True on the NT platform from version 4 on; false also when the version cannot be read.
bool Is_NT_4_Or_Later();

SYSTEMTIME Local_Time();
// The locale's short date, one blank, the locale's time; a part that cannot be formatted is
// left out, the blank never is.
std::string Date_Time_Image(SYSTEMTIME time);

std::uint32_t Current_Thread_Id();

// The executable of the process (0 = this process).
Module_Entry Main_Module(std::uint32_t process_id = 0);
// The module of this process whose image holds Address.
Module_Entry Module_Containing(std::uintptr_t address);
// True when Module_Handle is not the executable of this process (code running inside a library).
bool Is_Dll(HMODULE module_handle);
// The module's file name without its last extension ("a.tar.gz" gives "a.tar").
std::string Module_Name(const Module_Entry& entry);
std::string Module_Path(const Module_Entry& entry);

// The program Create_Process starts, written in the call with each field named; every text is UTF-8. Program and
// Arguments have no default, so -Wmissing-field-initializers reports a call that leaves one out.
// The texts are only read during the call.
// - Arguments empty: Program is the application name. Otherwise the command line is Program,
//   one blank and Arguments, and the system takes the program from the start of the command
//   line; a Program with blanks is put in quotes there (unless it already starts with one) so
//   that "C:\Program Files\Ed\ed.exe" never starts "C:\Program.exe". Arguments are passed as given.
// - Application: the full path of the program to run. The system then runs exactly that file and
//   searches for nothing (it would look in the current folder first); Program stays the first
//   word of the command line, as the program sees it. Empty: the system finds Program itself.
// - Environment: name=value entries separated by NUL characters; empty inherits ours.
// - Directory: the child's working folder; empty inherits ours.
// - Any non-null standard handle makes the child use (and inherit) the three standard handles;
//   the null ones among them are replaced by ours.
// - Detached: the child gets no console.
struct Process_Options {
    std::string_view Program;
    std::string_view Arguments;
    std::string_view Application = {};
    std::string_view Environment = {};
    std::string_view Directory = {};
    HANDLE Standard_Input = nullptr;
    HANDLE Standard_Output = nullptr;
    HANDLE Standard_Error = nullptr;
    bool Detached = false;
};

// Starts the program and returns at once; no handle to the child stays open.
void Create_Process(const Process_Options& options);

// This process's arguments after the program's own name, in UTF-8: its UTF-16 command line split
// by the system's rules, so that names beyond the ANSI code page arrive whole.
std::vector<std::string> Program_Arguments();

// The text (UTF-8) of this process's command line, as it was given.
std::string Raw_Command_Line();

// The value (UTF-8) of this process's environment variable Name; empty when it is not set.
std::string Environment_Variable(const char* name);

// True when the process token says "service" before it says "interactive", or says neither.
bool Is_Service();

} // namespace Windows
