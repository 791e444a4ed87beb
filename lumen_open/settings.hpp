#pragma once
// Which editor lumen_open starts: the first that is set of the environment variable
// LUMEN_ROLL_EDITOR, the REG_SZ value "Editor" under Software\Quillmark\Lumen_Roll in
// HKEY_CURRENT_USER, the same in HKEY_LOCAL_MACHINE. An empty value counts as not set.

#include "support/failure.hpp"

#include <string>
#include <string_view>

namespace Open::Settings {

// The "Editor" value is there but is no REG_SZ.
using WRONG_TYPE = Failures::Failure<"OPEN.SETTING_WRONG_TYPE">;
using CANNOT_STORE = Failures::Failure<"OPEN.CANNOT_STORE">;

inline constexpr const char* Variable = "LUMEN_ROLL_EDITOR";
inline constexpr std::string_view Viewer_Key = "Software\\Quillmark\\Lumen_Roll";
inline constexpr const char* Value_Name = "Editor";

enum class Source { Environment, Current_User, Local_Machine, Nowhere };

struct Setting {
    std::string Text;
    Source From = Source::Nowhere;
};

// Key is relative to both roots; the tests give a key of their own.
Setting In_Force(std::string_view key = Viewer_Key);

// Writes Text as the "Editor" value under HKEY_CURRENT_USER\Key, creating the key if need be.
void Store(std::string_view text, std::string_view key = Viewer_Key);

// Where a setting came from, for people: "the environment variable LUMEN_ROLL_EDITOR".
std::string Source_Image(Source from, std::string_view key = Viewer_Key);

// The variable's value; empty when it is not set.
std::string Environment_Value(const char* name);

} // namespace Open::Settings
