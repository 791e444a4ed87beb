#include "lumen_open/settings.hpp"

#include "windows/unique_handle.hpp"

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
    if (RegOpenKeyExA(root, std::string(key_path).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key.get(), Value_Name, nullptr, &type, nullptr, &size);
    std::string text(size, '\0');
    // The value may grow between the two calls; then the size is asked again.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        if (type != REG_SZ)
            throw WRONG_TYPE("\"Editor\" under " + Root_Name(root) + "\\" + std::string(key_path) + " is no string (REG_SZ)");
        text.resize(size);
        status = RegQueryValueExA(key.get(), Value_Name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
        if (status == ERROR_SUCCESS) return text.substr(0, text.find('\0'));
    }
    return std::nullopt;
}

} // namespace

std::string Environment_Value(const char* name)
{
    const DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
    if (needed == 0) return {};
    std::string value(needed, '\0');
    const DWORD length = GetEnvironmentVariableA(name, value.data(), needed);
    value.resize(length < needed ? length : 0);
    return value;
}

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
    LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, std::string(key_path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE, nullptr, key.put(), nullptr);
    const std::string value(text);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExA(key.get(), Value_Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>(value.size() + 1));
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
