#include "lumen_open/command_template.hpp"

#include "windows/command_processor.hpp"
#include "windows/program_search.hpp"

#include <array>

namespace Open::Templates {

namespace {

bool Is_Blank(char character) noexcept { return character == ' ' || character == '\t'; }

bool Has_Blank(std::string_view text) noexcept { return text.find_first_of(" \t") != std::string_view::npos; }

std::string_view Trimmed(std::string_view text) noexcept
{
    while (!text.empty() && Is_Blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && Is_Blank(text.back())) text.remove_suffix(1);
    return text;
}

// The length of the first word: up to the closing quote, or up to the first blank.
std::size_t First_Word_Length(std::string_view text)
{
    if (text.front() != '"') {
        const std::size_t blank = text.find_first_of(" \t");
        return blank == std::string_view::npos ? text.size() : blank;
    }
    const std::size_t closing = text.find('"', 1);
    if (closing == std::string_view::npos) throw BAD_TEMPLATE("the quote before the program is not closed");
    return closing + 1;
}

struct Placeholder {
    std::string_view Name;
    std::string Value;
};

constexpr std::string_view File_Placeholder = "{file}";

// A quote after a backslash ends a quoted stretch for cmd.exe but not for a program's own
// splitting, so where {file} stands, in quotes or not, would depend on who reads the line.
void Check_Escaped_Quotes(std::string_view arguments)
{
    if (arguments.find("\\\"") != std::string_view::npos)
        throw BAD_TEMPLATE("a quote after a backslash is read differently by cmd.exe and by programs; "
                           "the template cannot hold one");
}

// Through cmd.exe {file} in the user's quotes must be all they hold, "{file}": only then is the
// whole stretch the file name for cmd.exe, for the batch file and for the editor it calls.
void Check_Quoted_Files(std::string_view arguments, File_Quoting quoting)
{
    bool in_quotes = false;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        if (arguments[at] == '"') in_quotes = !in_quotes;
        if (!in_quotes || quoting != File_Quoting::Always || !arguments.substr(at).starts_with(File_Placeholder))
            continue;
        const std::size_t after = at + File_Placeholder.size();
        if (arguments[at - 1] != '"' || after >= arguments.size() || arguments[after] != '"')
            throw BAD_TEMPLATE("for a batch file, {file} in quotes must stand alone in them, as \"{file}\": "
                               "cmd.exe and the batch file would split other text with it by rules of their own");
    }
}

// A relative path ("sub\ed.exe", "\ed.exe", "C:ed.exe") would be read from the current folder,
// which is the searched one when the viewer calls: a program planted there would start.
void Check_Program_Path(const std::string& program)
{
    namespace Search = Windows::Program_Search;
    if (!Search::Is_Bare_Name(program) && !Search::Is_Absolute(program))
        throw BAD_TEMPLATE("the program " + program + " is a relative path, which would be read from the current "
                           "folder (the searched one); name it by its full path or by its bare name");
}

} // namespace

void Check_Quoting(std::string_view arguments, File_Quoting quoting)
{
    Check_Escaped_Quotes(arguments);
    Check_Quoted_Files(arguments, quoting);
}

Template Parse_Template(std::string_view text)
{
    text = Trimmed(text);
    if (text.empty()) throw BAD_TEMPLATE("the template is empty");
    const std::size_t word_length = First_Word_Length(text);
    Template parsed;
    parsed.Program_Word = text.substr(0, word_length);
    parsed.Program = text.front() == '"' ? text.substr(1, word_length - 2) : parsed.Program_Word;
    parsed.Arguments = text.substr(word_length);
    if (parsed.Program.empty()) throw BAD_TEMPLATE("the program is missing");
    if (parsed.Program.find('{') != std::string::npos)
        throw BAD_TEMPLATE("the program (the first word) cannot hold a placeholder");
    Check_Program_Path(parsed.Program);
    if (parsed.Arguments.find("{file}") == std::string::npos)
        throw BAD_TEMPLATE("there is no {file} in the template, so it would open no file");
    const bool batch = Windows::Command_Processor::Is_Batch_File(parsed.Program);
    Check_Quoting(parsed.Arguments, batch ? File_Quoting::Always : File_Quoting::Blanks);
    return parsed;
}

std::string Quoted_File(std::string_view file, File_Quoting quoting)
{
    if (quoting == File_Quoting::Blanks && !Has_Blank(file)) return std::string(file);
    std::size_t trailing_backslashes = 0;
    while (trailing_backslashes < file.size() && file[file.size() - 1 - trailing_backslashes] == '\\')
        ++trailing_backslashes;
    return '"' + std::string(file) + std::string(trailing_backslashes, '\\') + '"';
}

std::string Expand(std::string_view arguments, const Call::Place& place, File_Quoting quoting)
{
    Check_Quoting(arguments, quoting);
    const std::array<Placeholder, 3> placeholders{{{File_Placeholder, place.File},
                                                   {"{line}", std::to_string(place.Line)},
                                                   {"{column}", std::to_string(place.Column)}}};
    std::string expanded;
    bool in_quotes = false;
    for (std::size_t at = 0; at < arguments.size();) {
        const Placeholder* found = nullptr;
        for (const Placeholder& placeholder : placeholders)
            if (arguments.substr(at).starts_with(placeholder.Name)) found = &placeholder;
        if (!found) {
            if (arguments[at] == '"') in_quotes = !in_quotes;
            expanded += arguments[at++];
            continue;
        }
        // In the user's own quotes the file is quoted already.
        const bool quote_file = found->Name == File_Placeholder && !in_quotes;
        expanded += quote_file ? Quoted_File(place.File, quoting) : found->Value;
        at += found->Name.size();
    }
    return expanded;
}

std::string Program_Word(std::string_view program)
{
    return Has_Blank(program) ? '"' + std::string(program) + '"' : std::string(program);
}

} // namespace Open::Templates
