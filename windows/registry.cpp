#include "windows/registry.hpp"

#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <vector>

namespace Windows::Registry {

namespace {

// Everything but write-DAC and take-ownership: DELETE, READ_CONTROL, KEY_QUERY_VALUE,
// KEY_SET_VALUE, KEY_CREATE_SUB_KEY, KEY_ENUMERATE_SUB_KEYS, KEY_NOTIFY.
constexpr REGSAM Key_Access = 0x3001F;
constexpr REGSAM Read_Only_Access = KEY_READ;
constexpr DWORD String_Buffer_Size = 250;

// The process-wide position. An empty Opened_Key means the root itself is the current key, so
// the predefined roots are never closed.
HKEY Current_Root = HKEY_CURRENT_USER;
Unique_Key Opened_Key;

HKEY Current_Key() noexcept { return Opened_Key ? Opened_Key.get() : Current_Root; }

// Closes the previous key; the root becomes current when Key is empty.
void Make_Current(Unique_Key key) noexcept { Opened_Key = std::move(key); }

// Names and paths are UTF-8; the system takes them in UTF-16.
std::wstring Nul_Terminated(std::string_view text) { return Unicode::Wide(text); }

// Opens with full access, or read-only when full access is refused.
template <typename Open_Function, typename Character>
Unique_Key Open_Under_Root(Open_Function open, const std::basic_string<Character>& path)
{
    Unique_Key key;
    LONG result = open(Current_Root, path.c_str(), 0, Key_Access, key.put());
    if (result == ERROR_ACCESS_DENIED) result = open(Current_Root, path.c_str(), 0, Read_Only_Access, key.put());
    if (result != ERROR_SUCCESS) throw KEY_NOT_FOUND();
    return key;
}

// The kernel's name of Key, e.g. \REGISTRY\USER\S-1-5-21-...\Software\Quillmark.
using Query_Key_Function = NTSTATUS(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);

Query_Key_Function Query_Key()
{
    // NtQueryKey is not in every import library, so it is looked up in ntdll itself.
    static const auto function = reinterpret_cast<Query_Key_Function>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryKey"));
    if (function == nullptr) throw KEY_NOT_FOUND();
    return function;
}

std::wstring Kernel_Name(HKEY key)
{
    constexpr int Key_Name_Information = 3;
    constexpr NTSTATUS Buffer_Too_Small = static_cast<NTSTATUS>(0xC0000023);
    constexpr NTSTATUS Success = 0;
    constexpr ULONG Length_Field = sizeof(ULONG);
    const Query_Key_Function query = Query_Key();
    ULONG needed = 0;
    if (query(key, Key_Name_Information, nullptr, 0, &needed) != Buffer_Too_Small) throw KEY_NOT_FOUND();
    if (needed <= Length_Field) throw KEY_NOT_FOUND();
    // A 32-bit byte count followed by the characters; ULONG elements keep the count aligned.
    std::vector<ULONG> buffer((needed + sizeof(ULONG) - 1) / sizeof(ULONG));
    ULONG returned = 0;
    const ULONG size = static_cast<ULONG>(buffer.size() * sizeof(ULONG));
    if (query(key, Key_Name_Information, buffer.data(), size, &returned) != Success) throw KEY_NOT_FOUND();
    const ULONG name_bytes = buffer[0];
    if (name_bytes == 0 || name_bytes > size - Length_Field) throw KEY_NOT_FOUND();
    const auto* name = reinterpret_cast<const wchar_t*>(buffer.data() + 1);
    return std::wstring(name, name_bytes / sizeof(wchar_t));
}

// Skips \REGISTRY\USER\<user>\ or \REGISTRY\MACHINE\ by counting backslashes: the letters of
// the prefix are not compared, since systems differ in their case.
std::wstring Path_After_Root(const std::wstring& kernel_name)
{
    constexpr int Machine_Prefix_Separators = 3;
    constexpr int User_Prefix_Separators = 4;
    int separators = Current_Root == HKEY_LOCAL_MACHINE ? Machine_Prefix_Separators : User_Prefix_Separators;
    for (std::size_t index = 0; index < kernel_name.size(); ++index) {
        if (kernel_name[index] == L'\\' && --separators == 0) return kernel_name.substr(index + 1);
    }
    throw KEY_NOT_FOUND();
}

} // namespace

void Set_Root(Registry_Root root)
{
    Current_Root = root == Registry_Root::Local_Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    Make_Current(Unique_Key());
}

bool Root_Is_Local_Machine() { return Current_Root == HKEY_LOCAL_MACHINE; }

void Create_Key(std::string_view sub_key)
{
    const std::wstring path = Nul_Terminated(sub_key);
    wchar_t empty_class[] = L"";
    Unique_Key key;
    const LONG result = RegCreateKeyExW(Current_Root, path.c_str(), 0, empty_class, REG_OPTION_NON_VOLATILE, Key_Access,
                                        nullptr, key.put(), nullptr);
    if (result != ERROR_SUCCESS) throw KEY_CREATION_FAILURE();
    Make_Current(std::move(key));
}

void Open_Key(std::string_view sub_key)
{
    if (sub_key.empty()) return Make_Current(Unique_Key());
    Make_Current(Open_Under_Root(RegOpenKeyExW, Nul_Terminated(sub_key)));
}

void Open_Key(std::wstring_view sub_key)
{
    if (sub_key.empty()) return Make_Current(Unique_Key());
    Make_Current(Open_Under_Root(RegOpenKeyExW, std::wstring(sub_key)));
}

std::wstring Current_Key_Path()
{
    if (!Opened_Key) return {};
    return Path_After_Root(Kernel_Name(Opened_Key.get()));
}

void Set_Dword_Value(std::string_view name, std::uint32_t value)
{
    const std::wstring value_name = Nul_Terminated(name);
    const DWORD data = value;
    const LONG result = RegSetValueExW(Current_Key(), value_name.c_str(), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&data), sizeof data);
    if (result != ERROR_SUCCESS) throw ENTRY_CREATION_FAILURE();
}

std::uint32_t Dword_Value(std::string_view name)
{
    const std::wstring value_name = Nul_Terminated(name);
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    // A value of any type longer than 4 bytes answers ERROR_MORE_DATA: not found as a number.
    const LONG result =
        RegQueryValueExW(Current_Key(), value_name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (result != ERROR_SUCCESS) throw ENTRY_NOT_FOUND();
    if (type != REG_DWORD) throw WRONG_TYPE();
    return data;
}

std::string String_Value(std::string_view name)
{
    const std::wstring value_name = Nul_Terminated(name);
    DWORD type = 0;
    wchar_t data[String_Buffer_Size];
    DWORD size = sizeof data; // bytes
    const LONG result =
        RegQueryValueExW(Current_Key(), value_name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    if (result == ERROR_MORE_DATA) throw OVERFLOW();
    if (result != ERROR_SUCCESS) throw ENTRY_NOT_FOUND();
    if (type != REG_SZ) throw WRONG_TYPE();
    // The stored size counts the terminating NUL, when the writer stored one.
    std::wstring_view text(data, size / sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
    return Unicode::Utf8(text);
}

} // namespace Windows::Registry
