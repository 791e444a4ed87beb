#include "lumen_open/call.hpp"

#include "windows/file_types.hpp"
#include "windows/local_files.hpp"

#include <limits>

namespace Open::Call {

namespace {

constexpr std::uint64_t Largest_Value = std::numeric_limits<std::int32_t>::max();

bool Is_Blank(char character) noexcept { return character == ' ' || character == '\t'; }

std::string_view Without_Trailing_Space(std::string_view text) noexcept
{
    while (!text.empty() && (Is_Blank(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

std::string_view Without_Enclosing_Quotes(std::string_view text) noexcept
{
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
    return text;
}

std::int32_t Number(std::string_view field, const char* what)
{
    if (field.empty()) throw BAD_CALL(std::string("the ") + what + " is missing");
    std::uint64_t value = 0;
    for (char digit : field) {
        if (digit < '0' || digit > '9')
            throw BAD_CALL(std::string("the ") + what + " \"" + std::string(field) + "\" is not a number");
        value = value * 10 + static_cast<unsigned>(digit - '0');
        if (value > Largest_Value) throw BAD_CALL(std::string("the ") + what + " is too large");
    }
    return value == 0 ? 1 : static_cast<std::int32_t>(value);
}

// A quote would end the file's quoting on the editor's command line and let the rest of the
// name pass as further arguments; no Windows file name holds one, nor a control character. Nor
// does one hold "?" "*" "<" ">" "|": editors read the first two as wildcards and would open other
// files, and a command processor the others as redirections. A place is in a file, not a folder.
void Check_File_Name(std::string_view file)
{
    if (file.empty()) throw BAD_CALL("the file name is missing");
    for (char character : file)
        if (character == '"' || static_cast<unsigned char>(character) < 0x20)
            throw BAD_CALL("the file name holds a quote or a control character");
    if (file.find_first_of("?*<>|") != std::string_view::npos)
        throw BAD_CALL("the file name holds one of ? * < > |, which no file name holds");
    if (file.back() == '\\' || file.back() == '/') throw BAD_CALL("the file name ends in a folder separator");
}

bool Is_Number(std::string_view field) noexcept
{
    return !field.empty() && field.find_first_not_of("0123456789") == std::string_view::npos;
}

// The call without trailing line ends and blanks, and without quotes around it all.
std::string_view Bare_Call(std::string_view arguments) noexcept
{
    return Without_Enclosing_Quotes(Without_Trailing_Space(arguments));
}

} // namespace

std::string_view Arguments_Of(std::string_view command_line) noexcept
{
    std::size_t at = 0;
    if (!command_line.empty() && command_line[0] == '"') {
        const std::size_t closing = command_line.find('"', 1);
        at = closing == std::string_view::npos ? command_line.size() : closing + 1;
    }
    while (at < command_line.size() && !Is_Blank(command_line[at])) ++at;
    if (at < command_line.size()) ++at; // the one blank that ends the program name
    return command_line.substr(at);
}

bool Is_Place_Call(std::string_view arguments) noexcept
{
    const std::string_view call = Bare_Call(arguments);
    const std::size_t column_slash = call.rfind('/');
    if (column_slash == std::string_view::npos || column_slash == 0) return false;
    const std::size_t line_slash = call.rfind('/', column_slash - 1);
    return line_slash != std::string_view::npos && Is_Number(call.substr(column_slash + 1)) &&
           Is_Number(call.substr(line_slash + 1, column_slash - line_slash - 1));
}

Place Split_Call(std::string_view arguments)
{
    const std::string_view call = Bare_Call(arguments);
    const std::size_t column_slash = call.rfind('/');
    const std::size_t line_slash = column_slash == 0 || column_slash == std::string_view::npos
                                       ? std::string_view::npos
                                       : call.rfind('/', column_slash - 1);
    if (line_slash == std::string_view::npos) throw BAD_CALL("there is no /LINE/COLUMN at its end");
    Place place;
    place.File = call.substr(0, line_slash);
    Check_File_Name(place.File);
    place.Line = Number(call.substr(line_slash + 1, column_slash - line_slash - 1), "line");
    place.Column = Number(call.substr(column_slash + 1), "column");
    return place;
}

std::string Local_Path(const std::string& file)
{
    const Windows::Local_Files::Decision local = Windows::Local_Files::Canonical(file);
    if (!local.Accepted()) throw NOT_LOCAL(file + " " + local.Refusal + ", so nothing was opened");
    const std::string refusal = Windows::File_Types::Refusal_At(local.Path);
    if (!refusal.empty() && refusal != Windows::File_Types::Not_There)
        throw NOT_LOCAL(local.Path + " " + refusal + ", so nothing was opened");
    return local.Path;
}

} // namespace Open::Call
