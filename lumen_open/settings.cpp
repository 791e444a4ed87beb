#include "lumen_open/settings.hpp"

#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"
#include "windows/windows.hpp"

#include <windows.h>

#include <optional>

namespace Open::Settings {

namespace {

std::string Root_Name(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// The value's text, or nothing when the key or the value is missing. Registry calls return their
// status; it is never read back from GetLastError.
std::optional<std::string> Registry_Text(HKEY root, std::string_view key_path)
{
    Windows::Unique_Key key;
    if (RegOpenKeyExW(root, Windows::Unicode::Wide(key_path).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    const std::wstring value_name = Windows::Unicode::Wide(Value_Name);
    DWORD type = 0;
    DWORD size = 0; // bytes
    LONG status = RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &type, nullptr, &size);
    std::wstring text;
    // The value may grow between the two calls; then the size is asked again.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        if (type != REG_SZ)
            throw WRONG_TYPE("\"Editor\" under " + Root_Name(root) + "\\" + std::string(key_path) + " is no string (REG_SZ)");
        text.resize(size / sizeof(wchar_t) + 1);
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                                  &size);
        if (status == ERROR_SUCCESS) {
            text.resize(size / sizeof(wchar_t));
            return Windows::Unicode::Utf8(text.substr(0, text.find(L'\0')));
        }
    }
    return std::nullopt;
}

} // namespace

std::string Environment_Value(const char* name) { return Windows::Environment_Variable(name); }

Setting In_Force(std::string_view key)
{
    if (std::string text = Environment_Value(Variable); !text.empty()) return {text, Source::Environment};
    if (std::optional<std::string> text = Registry_Text(HKEY_CURRENT_USER, key); text && !text->empty())
        return {*text, Source::Current_User};
    if (std::optional<std::string> text = Registry_Text(HKEY_LOCAL_MACHINE, key); text && !text->empty())
        return {*text, Source::Local_Machine};
    return {};
}

void Store(std::string_view text, std::string_view key_path)
{
    Windows::Unique_Key key;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, Windows::Unicode::Wide(key_path).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.put(), nullptr);
    const std::wstring value = Windows::Unicode::Wide(text);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExW(key.get(), Windows::Unicode::Wide(Value_Name).c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        throw CANNOT_STORE("cannot write \"Editor\" under HKEY_CURRENT_USER\\" + std::string(key_path) +
                           " (system error " + std::to_string(status) + ")");
}

std::string Source_Image(Source from, std::string_view key)
{
    switch (from) {
    case Source::Environment: return std::string("the environment variable ") + Variable;
    case Source::Current_User: return "\"Editor\" under HKEY_CURRENT_USER\\" + std::string(key);
    case Source::Local_Machine: return "\"Editor\" under HKEY_LOCAL_MACHINE\\" + std::string(key);
    case Source::Nowhere: break;
    }
    return "nowhere";
}

} // namespace Open::Settings
