#include "windows/windows.hpp"

#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

namespace Windows {

namespace {

constexpr LCID User_Default_Locale = 0x0400;
constexpr int Format_Buffer_Size = 50;
constexpr DWORD NT_4_Major_Version = 4;

// The first Count - 1 characters of a format call's buffer; a failed call (count 0) gives none.
std::string Formatted_Part(const char* buffer, int count)
{
    count = std::min(count, Format_Buffer_Size + 1);
    return count > 0 ? std::string(buffer, count - 1) : std::string();
}

Module_Entry To_Module_Entry(const MODULEENTRY32W& system_entry)
{
    Module_Entry entry;
    entry.Base_Address = reinterpret_cast<std::uintptr_t>(system_entry.modBaseAddr);
    entry.Size = system_entry.modBaseSize;
    entry.Module_Handle = system_entry.hModule;
    entry.Name = Unicode::Utf8(system_entry.szModule);
    entry.Path = Unicode::Utf8(system_entry.szExePath);
    return entry;
}

Unique_File Module_Snapshot(std::uint32_t process_id)
{
    Unique_File snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, process_id));
    if (!snapshot) throw NO_MODULE_INFORMATION();
    return snapshot;
}

MODULEENTRY32W Empty_System_Entry()
{
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    return entry;
}

bool Holds(const MODULEENTRY32W& entry, std::uintptr_t address)
{
    const auto base = reinterpret_cast<std::uintptr_t>(entry.modBaseAddr);
    return address >= base && address - base < entry.modBaseSize;
}

bool Is_Blank(char character) { return character == ' ' || character == '\t'; }

// The program as the first word of a command line: quoted when it holds a blank, so that the
// system cannot take "C:\Program" of "C:\Program Files\Ed\ed.exe" for the program.
std::string Program_Word(std::string_view program)
{
    const bool needs_quotes = std::any_of(program.begin(), program.end(), Is_Blank) && program.front() != '"';
    return needs_quotes ? '"' + std::string(program) + '"' : std::string(program);
}

// The system's UTF-16 of UTF-8 Text, with a NUL after it.
std::wstring Wide_With_Nul(std::string_view text)
{
    std::wstring wide = Unicode::Wide(text);
    wide.push_back(L'\0');
    return wide;
}

wchar_t* Optional_Text(std::wstring& text) { return text.empty() ? nullptr : text.data(); }

struct Standard_Handles {
    bool Used = false;
    HANDLE Input = nullptr;
    HANDLE Output = nullptr;
    HANDLE Error = nullptr;
};

// Any given handle makes the child take all three; the missing ones are ours.
Standard_Handles Child_Standard_Handles(HANDLE input, HANDLE output, HANDLE error)
{
    Standard_Handles handles;
    handles.Used = input != nullptr || output != nullptr || error != nullptr;
    if (!handles.Used) return handles;
    handles.Input = input != nullptr ? input : GetStdHandle(STD_INPUT_HANDLE);
    handles.Output = output != nullptr ? output : GetStdHandle(STD_OUTPUT_HANDLE);
    handles.Error = error != nullptr ? error : GetStdHandle(STD_ERROR_HANDLE);
    return handles;
}

STARTUPINFOW Startup_Information(const Standard_Handles& handles)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!handles.Used) return startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles.Input;
    startup.hStdOutput = handles.Output;
    startup.hStdError = handles.Error;
    return startup;
}

// Memory the system allocated for the caller with LocalAlloc.
template <typename Pointer>
struct Local_Memory_Traits {
    using Value = Pointer*;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value value) noexcept { LocalFree(value); }
};
template <typename Pointer>
using Unique_Local_Memory = Unique_Resource<Local_Memory_Traits<Pointer>>;

struct Sid_Traits {
    using Value = PSID;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value value) noexcept { FreeSid(value); }
};
using Unique_Sid = Unique_Resource<Sid_Traits>;

// A well-known SID of the NT authority with one sub-authority (the other seven slots stay 0).
Unique_Sid Nt_Authority_Sid(DWORD sub_authority)
{
    constexpr BYTE One_Sub_Authority = 1;
    SID_IDENTIFIER_AUTHORITY nt_authority = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&nt_authority, One_Sub_Authority, sub_authority, 0, 0, 0, 0, 0, 0, 0, &sid))
        return Unique_Sid();
    return Unique_Sid(sid);
}

// The token's groups, in a buffer aligned for TOKEN_GROUPS; empty when they cannot be read.
std::vector<std::uintptr_t> Token_Groups(HANDLE token)
{
    DWORD needed = 0;
    if (GetTokenInformation(token, TokenGroups, nullptr, 0, &needed) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    // Room for one more group than asked for, as the groups list may grow in between.
    const std::size_t bytes = needed + sizeof(SID_AND_ATTRIBUTES);
    std::vector<std::uintptr_t> buffer((bytes + sizeof(std::uintptr_t) - 1) / sizeof(std::uintptr_t));
    const auto size = static_cast<DWORD>(buffer.size() * sizeof(std::uintptr_t));
    if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &needed)) return {};
    return buffer;
}

// The first of the two groups decides; a token with neither counts as a service.
bool Groups_Say_Service(const TOKEN_GROUPS& groups, PSID interactive, PSID service)
{
    for (DWORD index = 0; index < groups.GroupCount; ++index) {
        if (EqualSid(groups.Groups[index].Sid, interactive)) return false;
        if (EqualSid(groups.Groups[index].Sid, service)) return true;
    }
    return true;
}

} // namespace

bool Is_NT_4_Or_Later()
{
    OSVERSIONINFOA information{};
    information.dwOSVersionInfoSize = sizeof information;
    if (!GetVersionExA(&information)) return false;
    return information.dwPlatformId == VER_PLATFORM_WIN32_NT && information.dwMajorVersion >= NT_4_Major_Version;
}

SYSTEMTIME Local_Time()
{
    SYSTEMTIME time;
    GetLocalTime(&time);
    return time;
}

std::string Date_Time_Image(SYSTEMTIME time)
{
    char date[Format_Buffer_Size];
    char clock[Format_Buffer_Size];
    const int date_count = GetDateFormatA(User_Default_Locale, 0, &time, nullptr, date, Format_Buffer_Size);
    const int time_count = GetTimeFormatA(User_Default_Locale, 0, &time, nullptr, clock, Format_Buffer_Size);
    return Formatted_Part(date, date_count) + ' ' + Formatted_Part(clock, time_count);
}

std::uint32_t Current_Thread_Id() { return GetCurrentThreadId(); }

Module_Entry Main_Module(std::uint32_t process_id)
{
    const Unique_File snapshot = Module_Snapshot(process_id);
    MODULEENTRY32W entry = Empty_System_Entry();
    if (!Module32FirstW(snapshot.get(), &entry)) throw NO_MODULE_INFORMATION();
    return To_Module_Entry(entry);
}

Module_Entry Module_Containing(std::uintptr_t address)
{
    const Unique_File snapshot = Module_Snapshot(0);
    MODULEENTRY32W entry = Empty_System_Entry();
    for (BOOL found = Module32FirstW(snapshot.get(), &entry); found; found = Module32NextW(snapshot.get(), &entry)) {
        if (Holds(entry, address)) return To_Module_Entry(entry);
    }
    throw NO_MODULE_INFORMATION();
}

bool Is_Dll(HMODULE module_handle) { return module_handle != Main_Module(0).Module_Handle; }

std::string Module_Name(const Module_Entry& entry)
{
    const std::size_t point = entry.Name.rfind('.');
    return point == std::string::npos ? entry.Name : entry.Name.substr(0, point);
}

std::string Module_Path(const Module_Entry& entry) { return entry.Path; }

void Create_Process(const Process_Options& options)
{
    const std::string_view program = options.Program;
    const std::string_view arguments = options.Arguments;
    std::wstring application = !options.Application.empty() ? Wide_With_Nul(options.Application)
                               : arguments.empty()          ? Wide_With_Nul(program)
                                                            : std::wstring();
    std::wstring command_line =
        arguments.empty() ? std::wstring() : Wide_With_Nul(Program_Word(program) + ' ' + std::string(arguments));
    // The caller separates the entries with NUL characters; the block ends with two more.
    const std::string_view environment = options.Environment;
    std::wstring environment_block = environment.empty() ? std::wstring() : Wide_With_Nul(environment) + L'\0';
    std::wstring folder = options.Directory.empty() ? std::wstring() : Wide_With_Nul(options.Directory);

    const Standard_Handles handles =
        Child_Standard_Handles(options.Standard_Input, options.Standard_Output, options.Standard_Error);
    STARTUPINFOW startup = Startup_Information(handles);
    PROCESS_INFORMATION started{};
    const DWORD flags = (options.Detached ? DETACHED_PROCESS : 0) | CREATE_UNICODE_ENVIRONMENT;
    if (!CreateProcessW(Optional_Text(application), Optional_Text(command_line), nullptr, nullptr,
                        handles.Used ? TRUE : FALSE, flags, Optional_Text(environment_block), Optional_Text(folder),
                        &startup, &started))
        throw PROCESS_CREATION_FAILURE();
    // The child runs on its own; we keep nothing of it.
    Unique_Process_Information child(started);
    child.Process.reset();
    child.Thread.reset();
}

std::vector<std::string> Program_Arguments()
{
    int count = 0;
    const Unique_Local_Memory<wchar_t*> split{CommandLineToArgvW(GetCommandLineW(), &count)};
    if (!split) return {};
    std::vector<std::string> arguments;
    for (int index = 1; index < count; ++index) arguments.push_back(Unicode::Utf8(split.get()[index]));
    return arguments;
}

std::string Raw_Command_Line() { return Unicode::Utf8(GetCommandLineW()); }

std::string Environment_Variable(const char* name)
{
    const std::wstring wide_name = Unicode::Wide(name);
    const DWORD needed = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
    if (needed == 0) return {};
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(), needed);
    value.resize(length < needed ? length : 0); // the value grew in between: none rather than a cut one
    return Unicode::Utf8(value);
}

bool Is_Service()
{
    Unique_Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return false;
    const std::vector<std::uintptr_t> buffer = Token_Groups(token.get());
    if (buffer.empty()) return false;
    const Unique_Sid interactive = Nt_Authority_Sid(SECURITY_INTERACTIVE_RID);
    const Unique_Sid service = Nt_Authority_Sid(SECURITY_SERVICE_RID);
    if (!interactive || !service) return false;
    return Groups_Say_Service(*reinterpret_cast<const TOKEN_GROUPS*>(buffer.data()), interactive.get(), service.get());
}

} // namespace Windows
