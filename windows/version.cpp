#include "windows/version.hpp"

#include "windows/unicode.hpp"
#include "windows/unsigned.hpp"
#include "windows/windows.hpp"

#include <windows.h>

#include <atomic>
#include <vector>

namespace Windows::Version {

namespace {

constexpr std::uint32_t Default_Translation = 0x040904E4; // U.S. English, code page 1252
constexpr UINT Longest_Value = 1000;

std::atomic<std::uint32_t> Translation{Default_Translation};

// The whole version resource of File, read anew on every call.
std::vector<char> Version_Block(const std::string& file)
{
    const std::wstring wide_file = Unicode::Wide(file);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(wide_file.c_str(), &ignored);
    if (size == 0) throw NO_VERSION_INFO();
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(wide_file.c_str(), 0, size, block.data())) throw NO_VERSION_INFO();
    return block;
}

std::string Sub_Block_Path(std::string_view name)
{
    return "\\StringFileInfo\\" + Unsigned::Hex_Image(Translation.load(std::memory_order_relaxed)) + "\\" +
           std::string(name);
}

} // namespace

const std::string& Module_File()
{
    // Found on first use rather than during static initialisation, whose order across files
    // is not defined. An address in this function is an address in this module's code.
    static const std::string file =
        Module_Path(Module_Containing(reinterpret_cast<std::uintptr_t>(&Module_File)));
    return file;
}

std::string Get_String_Value(std::string_view name)
{
    std::vector<char> block = Version_Block(Module_File());
    const std::wstring path = Unicode::Wide(Sub_Block_Path(name));
    void* value = nullptr;
    UINT length = 0; // characters, with the terminating NUL
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length)) throw NO_VERSION_INFO();
    std::wstring_view text(static_cast<const wchar_t*>(value), length);
    while (!text.empty() && text.back() == L'\0') text.remove_suffix(1);
    if (text.size() > Longest_Value) throw Failures::RANGE_ERROR("version value of more than 1000 characters");
    return Unicode::Utf8(text);
}

std::string Get_Product_Name() { return Get_String_Value("ProductName"); }

std::string Get_Product_Version() { return Get_String_Value("ProductVersion"); }

void Set_Translation(std::uint32_t value) { Translation.store(value, std::memory_order_relaxed); }

} // namespace Windows::Version
