#include "lumen_send/places.hpp"

#include "lumen_send/utf8.hpp"
#include "support/paths.hpp"

#include <windows.h>

#include <algorithm>
#include <limits>
#include <optional>

namespace Send::Places {

namespace {

constexpr std::uint64_t Largest_Value = std::numeric_limits<std::int32_t>::max();

bool Is_Digit(char character) noexcept { return character >= '0' && character <= '9'; }

bool Is_Letter(char character) noexcept
{
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z');
}

bool All_Digits(std::string_view field) noexcept
{
    for (char character : field)
        if (!Is_Digit(character)) return false;
    return !field.empty();
}

// "C:\...", "C:/..." and the drive-relative "C:x.c": the colon after a drive letter does not end
// the file name. Only a digit after it makes the letter a file name of its own ("C:12:text"), as
// a line number has to follow the file name.
std::size_t File_Name_Start_Of_Search(std::string_view line) noexcept
{
    const bool has_drive = line.size() >= 3 && Is_Letter(line[0]) && line[1] == ':' && !Is_Digit(line[2]);
    return has_drive ? 2 : 0;
}

// A positive decimal number of at most 2^31 - 1; What names it in the reason ("line number").
std::int32_t Positive_Number(std::string_view field, const std::string& what)
{
    if (field.empty()) throw BAD_LINE(what + " missing");
    if (field[0] == '-' && All_Digits(field.substr(1))) throw BAD_LINE(what + " is negative");
    if (!All_Digits(field)) throw BAD_LINE(what + " is not a number");
    std::uint64_t value = 0;
    for (char digit : field) {
        value = value * 10 + static_cast<unsigned>(digit - '0');
        if (value > Largest_Value) throw BAD_LINE(what + " is too large");
    }
    if (value == 0) throw BAD_LINE(what + " is 0");
    return static_cast<std::int32_t>(value);
}

// The text starts either with "column:" or, without a column field, right after the line number.
void Split_Column(std::string_view rest, const Parse_Options& options, Place& place)
{
    if (!options.No_Columns) {
        const std::size_t colon = rest.find(':');
        if (colon != std::string_view::npos && All_Digits(rest.substr(0, colon))) {
            place.Column = Positive_Number(rest.substr(0, colon), "column");
            place.Has_Column = true;
            rest.remove_prefix(colon + 1);
        }
    }
    place.Text = std::string(rest);
}

constexpr std::string_view Ellipsis = "...";

// A text over the viewer's limit becomes the part of it around the marked character, "..." where
// it was cut, the column on the same character: a minified file's hit keeps its place. Where the
// column lies near an end, the window reaches that end; elsewhere the column sits in its middle.
// Cuts fall between characters of Code_Page.
void Cut_Around_Column(Place& place, unsigned code_page)
{
    const std::string& text = place.Text;
    const std::size_t marked = static_cast<std::size_t>(place.Column) - 1; // up to the text's length
    const std::size_t half = Message_Limit / 2 - Ellipsis.size();
    const std::size_t window_start =
        marked < half ? 0 : std::min(marked - half, text.size() - (Message_Limit - Ellipsis.size()));
    // Rounded up to a character start: a character is at most 4 bytes long.
    const std::size_t start =
        window_start == 0 ? 0 : Utf8::Character_Start(text, window_start + Ellipsis.size(), code_page);
    const std::size_t lead = start == 0 ? 0 : Ellipsis.size();
    std::size_t end = text.size();
    if (end - start > Message_Limit - lead)
        end = Utf8::Character_Start(text, start + Message_Limit - lead - Ellipsis.size(), code_page);
    std::string cut = lead ? std::string(Ellipsis) : std::string();
    cut.append(text, start, end - start);
    if (end < text.size()) cut += Ellipsis;
    place.Column = static_cast<std::int32_t>(marked - start + lead + 1);
    place.Text = std::move(cut);
    place.Cut = true;
}

void Check_Text(Place& place, const Parse_Options& options)
{
    if (place.Text.empty()) throw BAD_LINE("empty text (the viewer cannot take an empty entry)");
    const std::size_t end_column = place.Text.size() + 1;
    if (static_cast<std::size_t>(place.Column) > end_column) {
        if (!options.Clamp_Columns)
            throw BAD_LINE("column " + std::to_string(place.Column) + " is beyond the end of the text (" +
                           std::to_string(place.Text.size()) + " bytes)");
        place.Column = static_cast<std::int32_t>(end_column);
    }
    if (place.Text.size() > Message_Limit) Cut_Around_Column(place, options.Code_Page);
}

// Three octal digits at the start of Digits, as one byte.
std::optional<char> Octal_Byte(std::string_view digits) noexcept
{
    if (digits.size() < 3) return std::nullopt;
    unsigned value = 0;
    for (char digit : digits.substr(0, 3)) {
        if (digit < '0' || digit > '7') return std::nullopt;
        value = value * 8 + static_cast<unsigned>(digit - '0');
    }
    if (value > 0xFF) return std::nullopt;
    return static_cast<char>(value);
}

// The byte that C's one-letter escape Letter stands for, or nothing.
std::optional<char> Escaped(char letter) noexcept
{
    static constexpr std::string_view Letters = "abfnrtv\\\"";
    static constexpr std::string_view Bytes = "\a\b\f\n\r\t\v\\\"";
    const std::size_t found = Letters.find(letter);
    if (found == std::string_view::npos) return std::nullopt;
    return Bytes[found];
}

struct Quoted_Name {
    std::string Name;
    std::size_t Colon = 0; // where the colon after the closing quote is
};

// git puts a name that holds a quote, a backslash or a control byte in C's quotes, and by
// default (core.quotepath) one with bytes beyond ASCII too: "caf\303\251.txt". \ooo is a byte in
// octal, \" \\ \t \n and the other one-letter escapes are C's. Nothing when Line does not start
// with such a name and a colon; no Windows name holds a quote, so no other name starts so.
std::optional<Quoted_Name> Git_Quoted_Name(std::string_view line)
{
    if (!line.starts_with('"')) return std::nullopt;
    std::string name;
    for (std::size_t at = 1; at < line.size(); ++at) {
        if (line[at] == '"') {
            if (at + 1 == line.size() || line[at + 1] != ':') return std::nullopt;
            return Quoted_Name{std::move(name), at + 1};
        }
        if (line[at] != '\\') {
            name += line[at];
        } else if (const std::optional<char> byte = Octal_Byte(line.substr(at + 1))) {
            name += *byte;
            at += 3;
        } else if (const std::optional<char> escaped = Escaped(at + 1 < line.size() ? line[at + 1] : '\0')) {
            name += *escaped;
            at += 1;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// "(digits)" or "(digits,digits)" at Open, then blanks up to Colon, which no digit follows.
std::optional<Place> Compiler_Position(std::string_view line, std::size_t open, std::size_t colon)
{
    const std::size_t close = line.find(')', open);
    if (close == std::string_view::npos || close > colon) return std::nullopt;
    if (line.find_first_not_of(" \t", close + 1) != colon) return std::nullopt;
    if (colon + 1 < line.size() && Is_Digit(line[colon + 1])) return std::nullopt;
    const std::string_view numbers = line.substr(open + 1, close - open - 1);
    const std::size_t comma = numbers.find(',');
    const std::string_view line_field = numbers.substr(0, comma);
    const std::string_view column_field = comma == std::string_view::npos ? "1" : numbers.substr(comma + 1);
    if (!All_Digits(line_field) || !All_Digits(column_field)) return std::nullopt;
    Place place;
    place.File = line.substr(0, open);
    place.Line = Positive_Number(line_field, "line number");
    place.Column = Positive_Number(column_field, "column");
    place.Has_Column = comma != std::string_view::npos;
    place.Parenthesised = true;
    const std::size_t text_start = line.find_first_not_of(" \t", colon + 1);
    place.Text = text_start == std::string_view::npos ? std::string_view() : line.substr(text_start);
    return place;
}

// The file name is what comes before the first "(line)" or "(line,column)" that fits.
std::optional<Place> Split_Compiler_Form(std::string_view line)
{
    const std::size_t colon = line.find(':', File_Name_Start_Of_Search(line));
    if (colon == std::string_view::npos) return std::nullopt;
    for (std::size_t open = line.find('(', 1); open < colon; open = line.find('(', open + 1))
        if (std::optional<Place> place = Compiler_Position(line, open, colon)) return place;
    return std::nullopt;
}

// Rest is what follows the file name's colon: "line:column:text" or "line:text".
Place Split_After_Name(std::string file, std::string_view rest, const Parse_Options& options)
{
    Place place;
    place.File = std::move(file);
    if (place.File.empty()) throw BAD_LINE("file name missing");
    const std::size_t line_end = rest.find(':');
    place.Line = Positive_Number(rest.substr(0, line_end), "line number");
    if (line_end == std::string_view::npos) throw BAD_LINE("no text after the line number");
    Split_Column(rest.substr(line_end + 1), options, place);
    return place;
}

Place Split_Colon_Form(std::string_view line, const Parse_Options& options)
{
    if (std::optional<Quoted_Name> quoted = Git_Quoted_Name(line))
        return Split_After_Name(std::move(quoted->Name), line.substr(quoted->Colon + 1), options);
    const std::size_t file_end = line.find(':', File_Name_Start_Of_Search(line));
    if (file_end == std::string_view::npos) throw BAD_LINE("no line number");
    return Split_After_Name(std::string(line.substr(0, file_end)), line.substr(file_end + 1), options);
}

} // namespace

Place Split_Line(std::string_view line, const Parse_Options& options)
{
    std::optional<Place> compiler_form = line.starts_with('"') ? std::nullopt : Split_Compiler_Form(line);
    return compiler_form ? std::move(*compiler_form) : Split_Colon_Form(line, options);
}

bool Viewer_Takes_Utf8(const Parse_Options& options) noexcept
{
    return (options.Code_Page == 0 ? GetACP() : options.Code_Page) == CP_UTF8;
}

std::string Viewer_File_Name(std::string_view name, const Parse_Options& options)
{
    if (Paths::Has_Control_Character(name)) throw BAD_LINE("file name holds a control character");
    const bool is_utf8 = options.Input_Encoding != Encoding::Ansi && Utf8::Kind_Of(name) == Utf8::Kind::Utf8;
    if (Viewer_Takes_Utf8(options)) return is_utf8 ? std::string(name) : Utf8::From_Code_Page(name, 1).Text;
    if (!is_utf8) return std::string(name);
    Utf8::Converted converted = Utf8::To_Code_Page(name, 1, options.Code_Page);
    if (!converted.Lossless)
        throw BAD_LINE("the file name has characters that the ANSI code page lacks, and the viewer's 8-bit file "
                       "names cannot reach that file");
    return std::move(converted.Text);
}

Utf8::Converted Viewer_Text(std::string_view text, std::size_t column, bool is_utf8, const Parse_Options& options)
{
    is_utf8 = is_utf8 && options.Input_Encoding != Encoding::Ansi;
    if (Viewer_Takes_Utf8(options))
        return is_utf8 ? Utf8::Converted{std::string(text), column, true} : Utf8::From_Code_Page(text, column);
    if (!is_utf8) return Utf8::Converted{std::string(text), column, true};
    return Utf8::To_Code_Page(text, column, options.Code_Page);
}

Place Parse_Line(std::string_view line, const Parse_Options& options)
{
    if (options.Input_Encoding == Encoding::Utf_8 && Utf8::Kind_Of(line) == Utf8::Kind::Invalid)
        throw BAD_LINE("not valid UTF-8");
    Place place = Split_Line(line, options);
    place.File = Viewer_File_Name(place.File, options);
    const bool text_is_utf8 = Utf8::Kind_Of(place.Text) == Utf8::Kind::Utf8;
    Utf8::Converted text = Viewer_Text(place.Text, static_cast<std::size_t>(place.Column), text_is_utf8, options);
    place.Text = std::move(text.Text);
    place.Column = static_cast<std::int32_t>(std::min<std::size_t>(text.Column, Largest_Value));
    if (place.File.size() > Message_Limit) throw BAD_LINE("file name longer than 1024 bytes");
    Check_Text(place, options);
    return place;
}

void Index::Add(const Place& place)
{
    auto [found, is_new] = group_of_file_.try_emplace(place.File, groups_.size());
    if (is_new) groups_.push_back(Group{place.File, {}});
    groups_[found->second].Entries.push_back(Entry{place.Text, place.Line, place.Column});
    ++entry_count_;
    if (place.Cut) ++cut_count_;
}

} // namespace Send::Places
