#include "windows/file_types.hpp"

#include "support/paths.hpp"
#include "support/text.hpp"
#include "windows/files.hpp"
#include "windows/local_files.hpp"
#include "windows/program_search.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"
#include "windows/windows.hpp"

#include <windows.h>

#include <algorithm>
#include <optional>

namespace Windows::File_Types {

namespace {

// Only against ".exe": no byte of a UTF-8 character beyond ASCII folds to an ASCII letter.
bool Same_Letters(std::string_view left, std::string_view right) noexcept { return Text::Equal(left, right, false); }

bool Is_Blank(char character) noexcept { return character == ' ' || character == '\t'; }

// ".bat" of "setup.bat"; empty without a point. Points and blanks at the name's end are dropped,
// as the system drops them.
std::string_view Extension(std::string_view file) noexcept
{
    std::string_view name = Paths::Last_Component(file);
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    const std::size_t point = name.rfind('.');
    return point == std::string_view::npos ? std::string_view() : name.substr(point);
}

// Where an unquoted program ends: after the first ".exe" that a blank or the end follows, so that
// "C:\Program Files\Ed\ed.exe %1" names the whole path; else at the first blank.
std::size_t Unquoted_Program_End(std::string_view command) noexcept
{
    constexpr std::string_view Exe = ".exe";
    for (std::size_t at = 0; at + Exe.size() <= command.size(); ++at) {
        const std::size_t end = at + Exe.size();
        if (Same_Letters(command.substr(at, Exe.size()), Exe) && (end == command.size() || Is_Blank(command[end])))
            return end;
    }
    std::size_t end = 0;
    while (end < command.size() && !Is_Blank(command[end])) ++end;
    return end;
}

// A value of HKEY_CLASSES_ROOT, environment variables expanded (.txt's command is often
// "%SystemRoot%\system32\NOTEPAD.EXE %1"); nothing when it is missing or no string.
std::optional<std::string> Classes_Value(const std::string& key)
{
    const std::wstring wide_key = Unicode::Wide(key);
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t)); // bytes
        const LSTATUS status =
            RegGetValueW(HKEY_CLASSES_ROOT, wide_key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(), &size);
        if (status == ERROR_SUCCESS) return Unicode::Utf8(value.c_str()); // up to its NUL
        if (status != ERROR_MORE_DATA) return std::nullopt;
        value.resize(std::max<std::size_t>(size / sizeof(wchar_t) + 1, value.size() * 2));
    }
}

// The class that the extension's key names (its default value), else the extension itself.
std::string Class_Of(std::string_view extension)
{
    const std::string key(extension);
    const std::optional<std::string> name = Classes_Value(key);
    return name && !name->empty() ? *name : key;
}

std::optional<std::string> Verb_Command(const std::string& file_class, std::string_view verb)
{
    return Classes_Value(file_class + "\\shell\\" + std::string(verb) + "\\command");
}

// The full path of the .exe that a type's command names, or nothing: a bare name is looked for
// as any program (never in the current folder), a relative path is not taken at all.
std::optional<std::string> Editor_Of(const std::optional<std::string>& command)
{
    if (!command) return std::nullopt;
    const std::string program = Command_Program(*command);
    if (program.empty() || !Is_Editor_Program(program)) return std::nullopt;
    if (Program_Search::Is_Bare_Name(program)) return Program_Search::Find(program);
    if (Program_Search::Is_Absolute(program) && Files::Is_File(program)) return program;
    return std::nullopt;
}

// The class whose "edit" verb shows Path's type, or nothing.
std::optional<std::string> Edit_Class(const std::string& path)
{
    const std::string_view extension = Extension(path);
    if (extension.empty()) return std::nullopt;
    std::string file_class = Class_Of(extension);
    if (!Editor_Of(Verb_Command(file_class, "edit"))) return std::nullopt;
    return file_class;
}

Opening Refused(std::string refusal) { return {.How = Opening::Kind::Refused, .Refusal = std::move(refusal)}; }

} // namespace

std::string Refusal_At(const std::string& path)
{
    // Backup semantics let a folder open too, so that it is told apart from a missing file.
    const Unique_File file{CreateFileW(Unicode::Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return std::string(Not_There);
        return "cannot be opened (system error " + std::to_string(error) + ")";
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file.get(), &information)) {
        const DWORD error = GetLastError();
        return "cannot be read (system error " + std::to_string(error) + ")";
    }
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "is a folder";
    if (!Local_Files::Is_On_Local_Drive(file.get())) return "leads off this computer's drives";
    return {};
}

std::string Command_Program(std::string_view command)
{
    while (!command.empty() && Is_Blank(command.front())) command.remove_prefix(1);
    std::string_view program;
    if (command.starts_with('"')) {
        const std::size_t closing = command.find('"', 1);
        if (closing == std::string_view::npos) return {};
        program = command.substr(1, closing - 1);
    } else {
        program = command.substr(0, Unquoted_Program_End(command));
    }
    // What is left of a "%" after expansion is a placeholder for the file: "%1", "%L".
    if (program.starts_with('%')) return {};
    return std::string(program);
}

bool Is_Editor_Program(std::string_view program) { return Same_Letters(Extension(program), ".exe"); }

std::string Text_Editor()
{
    const std::string text_class = Class_Of(".txt");
    if (std::optional<std::string> editor = Editor_Of(Verb_Command(text_class, "edit"))) return *editor;
    if (std::optional<std::string> editor = Editor_Of(Verb_Command(text_class, "open"))) return *editor;
    return Program_Search::In_System_Folder("notepad.exe");
}

Opening Opening_Of(std::string_view name)
{
    const Local_Files::Decision local = Local_Files::Canonical(name);
    if (!local.Accepted()) return Refused(local.Refusal);
    if (std::string refusal = Refusal_At(local.Path); !refusal.empty()) return Refused(std::move(refusal));
    if (std::optional<std::string> file_class = Edit_Class(local.Path))
        return {.How = Opening::Kind::Edit, .File = local.Path, .Class = std::move(*file_class)};
    return {.How = Opening::Kind::Text_Editor, .File = local.Path, .Program = Text_Editor()};
}

void Start_Text_Editor(const Opening& opening)
{
    // The canonical path holds no quote and does not end in a backslash: quoted, it is one argument.
    Create_Process({.Program = opening.Program, .Arguments = '"' + opening.File + '"', .Application = opening.Program});
}

} // namespace Windows::File_Types
