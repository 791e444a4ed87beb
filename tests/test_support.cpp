#include "tests/test_support.hpp"

#include "support/log.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <optional>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace Test_Support {

namespace {

void Remove_Tree(const std::string& path)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Remove_Tree(full);
            else DeleteFileA(full.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

} // namespace

Temporary_Folder::Temporary_Folder()
{
    static std::atomic<unsigned> serial{0};
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    path_ = std::string(base) + "lumen_test_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(serial++);
    Remove_Tree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

Temporary_Folder::~Temporary_Folder() { Remove_Tree(path_); }

std::string Read_File(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void Write_File(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

bool File_Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {

HKEY Root_Of(bool local_machine) { return local_machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

} // namespace

bool Log_Process_To(const std::string& file)
{
    const std::string product = "Lumen_Roll_Tests_" + std::to_string(GetCurrentProcessId());
    Temporary_Key key(product);
    key.Set_String("Log", file);
    return Log::Process_Log().Start_Log(product, true);
}

Temporary_Key::Temporary_Key(const std::string& name, bool local_machine)
    : path_("Software\\Quillmark\\" + name), local_machine_(local_machine)
{
    RegDeleteTreeA(Root_Of(local_machine_), path_.c_str());
    Windows::Unique_Key key;
    RegCreateKeyExA(Root_Of(local_machine_), path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
}

Temporary_Key::~Temporary_Key() { RegDeleteTreeA(Root_Of(local_machine_), path_.c_str()); }

void Temporary_Key::Set_String(const std::string& value_name, const std::string& value)
{
    RegSetKeyValueA(Root_Of(local_machine_), path_.c_str(), value_name.c_str(), REG_SZ, value.c_str(),
                    static_cast<DWORD>(value.size() + 1));
}

Scoped_Variable::Scoped_Variable(const char* name, const char* value) : name_(name)
{
    if (const DWORD needed = GetEnvironmentVariableA(name, nullptr, 0)) {
        old_.emplace(needed, '\0');
        old_->resize(GetEnvironmentVariableA(name, old_->data(), needed));
    }
    SetEnvironmentVariableA(name, value);
}

Scoped_Variable::~Scoped_Variable() { SetEnvironmentVariableA(name_, old_ ? old_->c_str() : nullptr); }

Scoped_Folder::Scoped_Folder(const std::string& folder)
{
    char previous[MAX_PATH] = {};
    previous_ = std::string(previous, GetCurrentDirectoryA(MAX_PATH, previous));
    SetCurrentDirectoryA(folder.c_str());
}

Scoped_Folder::~Scoped_Folder() { SetCurrentDirectoryA(previous_.c_str()); }

void Temporary_Key::Set_Dword(const std::string& value_name, std::uint32_t value)
{
    RegSetKeyValueA(Root_Of(local_machine_), path_.c_str(), value_name.c_str(), REG_DWORD, &value, sizeof value);
}

namespace {

// A name for a file in /tmp (Z:\tmp inside Wine) that no other run of any test program uses.
std::string Unique_Marker_Name()
{
    static std::atomic<unsigned> counter{0};
    return "lumen-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + ".status";
}

// The first line of the file once it exists, within Bound; nothing otherwise.
std::optional<std::string> Wait_For_Status(const std::string& path, std::chrono::milliseconds bound)
{
    const auto end = std::chrono::steady_clock::now() + bound;
    while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (std::chrono::steady_clock::now() >= end) return std::nullopt;
        Sleep(20);
    }
    std::string status = Read_File(path);
    DeleteFileA(path.c_str());
    return status.substr(0, status.find('\n'));
}

} // namespace

// start.exe returns as soon as it has started a Linux program, so the program runs under
// /bin/sh, which writes the exit status to a file of its own when the program has finished
// (renamed into place, so that it is never read half written).
std::optional<std::uint32_t> Run_Program(const std::string& program, const std::string& arguments,
                                         std::chrono::milliseconds bound)
{
    std::string line = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &started))
        return std::nullopt;
    const Windows::Unique_Process_Information child(started);
    DWORD code = 0;
    if (WaitForSingleObject(child.Process.get(), static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(child.Process.get(), &code))
        return std::nullopt;
    return code;
}

bool Run_Unix(const std::string& command_line, std::chrono::milliseconds bound)
{
    const std::string name = Unique_Marker_Name();
    const std::string script = command_line + "; echo $? >/tmp/" + name + ".part && mv /tmp/" + name + ".part /tmp/" + name;
    char system_folder[MAX_PATH];
    GetSystemDirectoryA(system_folder, MAX_PATH);
    const std::string program = std::string(system_folder) + "\\start.exe";
    std::string line = "start.exe /unix /bin/sh -c \"" + script + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information{};
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &information))
        return false;
    Windows::Unique_Process_Information process(information);
    return Wait_For_Status("Z:\\tmp\\" + name, bound) == "0";
}

namespace {

constexpr const char* Xdotool = "/usr/bin/xdotool ";

std::string Move_To(int x, int y) { return "mousemove " + std::to_string(x) + " " + std::to_string(y) + " "; }

} // namespace

bool Double_Click(int x, int y) { return Run_Unix(Xdotool + Move_To(x, y) + "click --repeat 2 --delay 80 1"); }
bool Press_Left_Button(int x, int y) { return Run_Unix(Xdotool + Move_To(x, y) + "mousedown 1"); }
bool Release_Left_Button() { return Run_Unix(std::string(Xdotool) + "mouseup 1"); }
bool Drag(int x, int y, int to_x, int to_y)
{
    return Run_Unix(Xdotool + Move_To(x, y) + "mousedown 1 sleep 0.1 " + Move_To(to_x, to_y) + "sleep 0.1 mouseup 1");
}
bool Click(int x, int y, int button) { return Run_Unix(Xdotool + Move_To(x, y) + "click " + std::to_string(button)); }
bool Press_Keys(const std::string& keys) { return Run_Unix(std::string(Xdotool) + "key --delay 80 " + keys); }

// The text goes through the shell in single quotes, which keep every character of the set as it is
// (and start.exe's command line leaves a backslash that no quote follows alone).
bool Type_Text(const std::string& text)
{
    const std::string allowed = " -._:\\/";
    std::string quoted;
    for (const char character : text) {
        if (!std::isalnum(static_cast<unsigned char>(character)) && allowed.find(character) == std::string::npos)
            return false;
        quoted += character;
    }
    return Run_Unix(std::string(Xdotool) + "type --delay 60 '" + quoted + "'");
}

} // namespace Test_Support
