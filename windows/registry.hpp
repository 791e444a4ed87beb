#pragma once
// The program's one way into the registry: a process-wide current root (HKEY_CURRENT_USER or
// HKEY_LOCAL_MACHINE) and one current key under it. Opening or creating a key makes it current
// and closes the previous one; value operations act on the current key. Nothing here is locked:
// the users take turns (the log saves and restores the position around its own work).

#include "support/failure.hpp"

// MinGW's <math.h> defines OVERFLOW; include it first so a later include cannot bring it back.
#include <math.h>
#undef OVERFLOW

#include <cstdint>
#include <string>
#include <string_view>

namespace Windows::Registry {

using KEY_CREATION_FAILURE = Failures::Failure<"WINDOWS.REGISTRY.KEY_CREATION_FAILURE">;
using KEY_NOT_FOUND = Failures::Failure<"WINDOWS.REGISTRY.KEY_NOT_FOUND">;
using ENTRY_CREATION_FAILURE = Failures::Failure<"WINDOWS.REGISTRY.ENTRY_CREATION_FAILURE">;
using ENTRY_NOT_FOUND = Failures::Failure<"WINDOWS.REGISTRY.ENTRY_NOT_FOUND">;
using WRONG_TYPE = Failures::Failure<"WINDOWS.REGISTRY.WRONG_TYPE">;
using OVERFLOW = Failures::Failure<"WINDOWS.REGISTRY.OVERFLOW">;

enum class Registry_Root { Current_User, Local_Machine };

// Selects the root and makes the root itself the current key.
void Set_Root(Registry_Root root);
bool Root_Is_Local_Machine();

// Paths, names and string values are UTF-8.
// Sub-key paths are relative to the root, levels separated by "\", no leading backslash.
// Creates (or opens an existing) key under the root and makes it current.
void Create_Key(std::string_view sub_key);
// Opens a key under the root, read-only when write access is refused, and makes it current.
// The empty path makes the root current. A failure leaves the current key as it was.
void Open_Key(std::string_view sub_key);
void Open_Key(std::wstring_view sub_key);

// The current key's path relative to the root, with the letter case the system stores;
// empty when the root itself is current. Open_Key of it reopens the same key.
std::wstring Current_Key_Path();

// Writes a REG_DWORD, replacing a value of any type.
void Set_Dword_Value(std::string_view name, std::uint32_t value);
std::uint32_t Dword_Value(std::string_view name);
// A REG_SZ of at most 249 characters; a longer one raises OVERFLOW.
std::string String_Value(std::string_view name);

} // namespace Windows::Registry
