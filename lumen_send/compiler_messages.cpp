#include "lumen_send/compiler_messages.hpp"

#include "lumen_send/source_files.hpp"
#include "lumen_send/utf8.hpp"
#include "support/paths.hpp"

#include <windows.h>

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_set>

namespace Send::Compiler {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view Blanks = " \t";
constexpr std::size_t Tab_Width = 8;

bool Is_Digit(char character) noexcept { return character >= '0' && character <= '9'; }

bool Contains(std::string_view text, std::string_view part) noexcept { return text.find(part) != std::string_view::npos; }

std::string_view Trim(std::string_view text) noexcept
{
    const std::size_t start = text.find_first_not_of(Blanks);
    if (start == std::string_view::npos) return {};
    return text.substr(start, text.find_last_not_of(Blanks) - start + 1);
}

std::string_view Trim_End(std::string_view text) noexcept
{
    const std::size_t end = text.find_last_not_of(" \t\r");
    return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

// The "12>" (after blanks) that MSBuild puts before the lines of its twelfth project.
std::string_view Without_Node_Prefix(std::string_view line) noexcept
{
    const std::size_t start = std::min(line.find_first_not_of(' '), line.size());
    const std::size_t digits = line.find_first_not_of("0123456789", start);
    if (digits > start && digits != std::string_view::npos && line[digits] == '>') line.remove_prefix(digits + 1);
    return line;
}

// "error", "warning C4996", "fatal error C1083" and the like, then ":" (Microsoft puts a blank
// before it at times).
bool Starts_With_Microsoft_Severity(std::string_view text) noexcept
{
    static constexpr std::array Severities = {"fatal error"sv, "error"sv, "warning"sv, "note"sv, "message"sv,
                                              "Command line error"sv, "Command line warning"sv};
    for (std::string_view severity : Severities) {
        if (!text.starts_with(severity)) continue;
        std::string_view rest = text.substr(severity.size());
        if (rest.starts_with(' ') && rest.size() > 1 && rest[1] != ':') {
            const std::size_t code_end = rest.find_first_of(" :", 1);
            if (code_end == std::string_view::npos || !Is_Digit(rest[code_end - 1])) continue;
            rest.remove_prefix(code_end);
        }
        if (Trim(rest).starts_with(':')) return true;
    }
    return false;
}

// What follows "file:line:column:" in GCC's and Clang's messages: a blank and a severity, or the
// indented context lines of a template instantiation.
bool Starts_With_Gnu_Severity(std::string_view text) noexcept
{
    static constexpr std::array Severities = {" error: "sv, " warning: "sv, " note: "sv, " fatal error: "sv,
                                              " remark: "sv, " sorry, unimplemented: "sv, " internal compiler error: "sv};
    static constexpr std::array Contexts = {"   required from "sv, "   required by "sv, "   recursively required "sv,
                                            "   in 'constexpr' expansion of "sv, "   in requirements "sv};
    for (std::string_view severity : Severities)
        if (text.starts_with(severity)) return true;
    for (std::string_view context : Contexts)
        if (text.starts_with(context) || text == Trim_End(context)) return true;
    return text == "   required from here"sv;
}

// MSBuild names the project at the end of each message it passes on: " [C:\src\app.vcxproj]".
std::string_view Without_Project(std::string_view message) noexcept
{
    if (!message.ends_with(']')) return message;
    const std::size_t open = message.rfind(" [");
    if (open == std::string_view::npos || !Contains(message.substr(open), "proj")) return message;
    return message.substr(0, open);
}

bool Is_Tool_Name(std::string_view name) noexcept
{
    static constexpr std::array Tools = {"ld"sv, "collect2"sv, "cc1"sv, "cc1plus"sv, "gcc"sv, "g++"sv, "cc"sv, "c++"sv,
                                         "clang"sv, "clang++"sv, "make"sv, "gmake"sv, "mingw32-make"sv, "lto-wrapper"sv,
                                         "as"sv, "ld.lld"sv, "lld-link"sv, "ld.bfd"sv, "ld.gold"sv, "ar"sv, "cl"sv,
                                         "link"sv, "LINK"sv, "lib"sv, "CL"sv};
    name = name.substr(name.find_last_of("\\/") + 1);
    if (const std::size_t bracket = name.find('['); bracket != std::string_view::npos) name = name.substr(0, bracket);
    if (name.ends_with(".exe")) name.remove_suffix(4);
    for (std::string_view tool : Tools)
        if (name == tool || (name.ends_with(tool) && name[name.size() - tool.size() - 1] == '-')) return true;
    return false;
}

// "ld: ...", "/usr/bin/ld: ...", "make[2]: ...", "collect2: error: ...", "cl : Command line ...",
// and the commands that make echoes: "g++ -c a.cpp".
bool Is_Tool_Line(std::string_view line) noexcept
{
    const std::size_t blank = line.find(' ');
    if (blank != std::string_view::npos && line.substr(blank).starts_with(" -") && Is_Tool_Name(line.substr(0, blank)))
        return true;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) return false;
    const std::string_view name = Trim(line.substr(0, colon));
    return !Contains(name, " ") && Is_Tool_Name(name);
}

bool Is_Gnu_Part(std::string_view line) noexcept
{
    if (Split_Gutter(line) || Is_Caret_Line(line)) return true;
    if (line.starts_with("In file included from ") || line.starts_with("compilation terminated.")) return true;
    const std::string_view trimmed = Trim(line);
    if (trimmed.starts_with("from ") && line.starts_with("  ") && (trimmed.ends_with(':') || trimmed.ends_with(',')))
        return true;
    if (trimmed.ends_with(':') && (Contains(line, ": In ") || Contains(line, ": At ") || line.starts_with("In ")))
        return true; // "a.cpp: In function 'int main()':", "a.cpp: At global scope:"
    if (!trimmed.empty() && Is_Digit(trimmed[0]) && trimmed.ends_with(" generated.")) return true;
    for (std::string_view severity : {"fatal error: "sv, "error: "sv, "warning: "sv, "note: "sv})
        if (line.starts_with(severity)) return true;
    return Is_Tool_Line(line);
}

// Lines that may look like search hits ("Time Elapsed 00:00:01.84" would be file "Time Elapsed
// 00", line 0) but are compiler output for sure.
bool Is_Unmistakable_Part(std::string_view line) noexcept
{
    line = Without_Node_Prefix(line);
    const std::string_view trimmed = Trim(line);
    static constexpr std::array Starts = {"Build FAILED."sv, "Build succeeded."sv, "Time Elapsed "sv,
                                          "MSBuild version "sv, "Microsoft (R) "sv, "Copyright (C) Microsoft"sv,
                                          "Build started "sv, "Project \""sv, "Done Building Project \""sv,
                                          "Building solution configuration "sv};
    for (std::string_view start : Starts)
        if (trimmed.starts_with(start)) return true;
    return line.starts_with("In file included from ") || Split_Gutter(line).has_value();
}

bool Is_Msbuild_Part(std::string_view line) noexcept
{
    const std::string_view trimmed = Trim(line);
    if (Is_Unmistakable_Part(line)) return true;
    if (trimmed.ends_with(" Warning(s)") || trimmed.ends_with(" Error(s)")) return Is_Digit(trimmed[0]);
    if (trimmed.ends_with(" ->") || Contains(trimmed, " -> ")) return true; // "(ClCompile target) ->"
    // The compiler's command line: "C:\Program Files\...\CL.exe /c ...".
    for (std::string_view exe : {".exe "sv, ".EXE "sv})
        if (const std::size_t end = trimmed.find(exe); end != std::string_view::npos && Is_Tool_Name(trimmed.substr(0, end + 4)))
            return true;
    if (trimmed.ends_with(':') && trimmed.find_first_of(" \t") == std::string_view::npos) return true; // "ClCompile:"
    // The compiler names each source file it starts on, alone on its line.
    static constexpr std::array Sources = {".c"sv, ".cc"sv, ".cpp"sv, ".cxx"sv, ".c++"sv};
    if (trimmed.find_first_of(" \t:") == std::string_view::npos)
        for (std::string_view extension : Sources)
            if (trimmed.ends_with(extension)) return true;
    return false;
}

// The name make runs as: "make", "gmake", "mingw32-make", with a folder, a "[2]" for its depth
// and ".exe"; and ninja, which says the same as make when it runs in a build folder.
bool Is_Make_Name(std::string_view name) noexcept
{
    name = Paths::Last_Component(name);
    name = name.substr(0, name.find('['));
    if (name.ends_with(".exe")) name.remove_suffix(4);
    return name == "make" || name == "gmake" || name.ends_with("-make") || name == "ninja";
}

// GNU make's word that it changed folder: "make[2]: Entering directory '/src/lib'" (make 3.81
// and ninja open the quote with a backtick), "make[2]: Leaving directory '/src/lib'" on its way
// back.
struct Folder_Change {
    bool Entering = false;
    std::string_view Folder;
};

std::optional<Folder_Change> Make_Folder_Change(std::string_view line) noexcept
{
    const std::size_t colon = line.find(": ");
    if (colon == std::string_view::npos || !Is_Make_Name(line.substr(0, colon))) return std::nullopt;
    std::string_view rest = line.substr(colon + 2);
    const bool entering = rest.starts_with("Entering directory ");
    if (!entering && !rest.starts_with("Leaving directory ")) return std::nullopt;
    rest.remove_prefix(rest.find(' ', rest.find(' ') + 1) + 1);
    if (rest.size() < 3 || (rest.front() != '\'' && rest.front() != '`') || rest.back() != '\'') return std::nullopt;
    return Folder_Change{entering, rest.substr(1, rest.size() - 2)};
}

bool Is_Absolute_Name(std::string_view name) noexcept
{
    return (!name.empty() && Paths::Is_Separator(name[0])) || (name.size() >= 2 && name[1] == ':');
}

// A relative Name taken against Folder, with Windows' separators, "." and ".." taken out as the
// system takes them out (by the text, never climbing above the root): "C:/src/lib" and
// "../include/x.h" give "C:\src\include\x.h". Against a relative folder, a ".." that climbs out
// of it stays: "build" and "../../a.c" give "..\a.c".
std::string Joined_Path(std::string_view folder, std::string_view name)
{
    std::size_t root_length = folder.size() >= 2 && folder[1] == ':' ? 2 : 0;
    while (root_length < folder.size() && Paths::Is_Separator(folder[root_length])) ++root_length;
    std::string joined(folder.substr(0, root_length));
    std::replace(joined.begin(), joined.end(), '/', '\\');
    std::vector<std::string_view> parts;
    for (std::string_view path : {folder.substr(root_length), name}) {
        for (std::size_t start = 0; start <= path.size();) {
            const std::size_t end = std::min(path.find_first_of("\\/", start), path.size());
            const std::string_view part = path.substr(start, end - start);
            const bool climbs = part == "..";
            if (climbs && !parts.empty() && parts.back() != "..") parts.pop_back();
            else if (!part.empty() && part != "." && !(climbs && root_length > 0)) parts.push_back(part);
            start = end + 1;
        }
    }
    for (std::size_t part = 0; part < parts.size(); ++part) {
        if (part > 0) joined += '\\';
        joined += parts[part];
    }
    return joined;
}

// Display width of a character as GCC counts it: East Asian wide and full-width characters take
// 2, combining marks and zero-width characters nothing.
std::size_t Display_Width(char32_t code_point) noexcept
{
    struct Range {
        char32_t First, Last;
    };
    static constexpr Range Zero[] = {{0x0300, 0x036F}, {0x200B, 0x200F}, {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}};
    static constexpr Range Wide[] = {{0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
                                     {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
                                     {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
                                     {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD}};
    for (const Range& range : Zero)
        if (code_point >= range.First && code_point <= range.Last) return 0;
    for (const Range& range : Wide)
        if (code_point >= range.First && code_point <= range.Last) return 2;
    return 1;
}

// How far a character moves the count, starting at Position (from 0).
std::size_t Advance(const Utf8::Character& character, std::size_t position, Column_Unit unit) noexcept
{
    switch (unit) {
    case Column_Unit::Bytes: return character.Length;
    case Column_Unit::Characters: return 1;
    case Column_Unit::Display: break;
    }
    if (character.Code_Point == U'\t') return Tab_Width - position % Tab_Width;
    return Display_Width(character.Code_Point);
}

// The length of the longest start of Text that fits in Room bytes and ends between characters.
std::size_t Cut_Point(std::string_view text, std::size_t room, unsigned code_page) noexcept
{
    if (text.size() <= room) return text.size();
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t length = 1;
        if (code_page == CP_UTF8) length = Utf8::Character_At(text, at).Length;
        else if (IsDBCSLeadByteEx(code_page, static_cast<BYTE>(text[at])) && at + 1 < text.size()) length = 2;
        if (at + length > room) break;
        at += length;
    }
    return at;
}

// The source line of a message: what the compiler echoed and what the file holds.
struct Source_Text {
    std::string_view Text;
    bool Is_Utf8 = false;
    bool Is_Echo = false;
};

std::string Without_Blanks(std::string_view text)
{
    std::string kept;
    for (char character : text)
        if (character != ' ' && character != '\t') kept += character;
    return kept;
}

// The lines after a message that belong to it, and what they tell.
struct Following {
    std::size_t Count = 0;
    std::optional<std::string_view> Echo;
    std::optional<Column_Unit> Unit; // the echo's form tells which compiler spoke
    // Where the caret under an echo without a gutter stands, in display columns of the echo. The
    // echo has its tabs expanded, so a column that counts the file's bytes does not fit it.
    std::optional<std::int32_t> Caret;
};

class Reader {
public:
    Reader(std::string_view input, const Places::Parse_Options& options) : options_(options)
    {
        code_page_ = options.Code_Page ? options.Code_Page : GetACP();
        Split_Lines(input);
        Guess_Unit();
    }

    Reading Read()
    {
        for (std::size_t at = 0; at < lines_.size();) at += Read_Line(at);
        return std::move(reading_);
    }

private:
    void Split_Lines(std::string_view input)
    {
        while (!input.empty()) {
            const std::size_t end = input.find('\n');
            std::string_view line = input.substr(0, end);
            if (line.ends_with('\r')) line.remove_suffix(1);
            lines_.push_back(line);
            input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
        }
    }

    // Messages without an echo count their columns as the rest of the output shows: GCC echoes
    // with line numbers, Clang sums up "N errors generated.". GCC is the default.
    void Guess_Unit()
    {
        bool gcc = false;
        bool clang = false;
        for (std::string_view line : lines_) {
            if (const auto gutter = Split_Gutter(line); gutter && gutter->Number > 0) gcc = true;
            if (!line.empty() && Is_Digit(line[0]) && line.ends_with(" generated.")) clang = true;
        }
        default_unit_ = clang && !gcc ? Column_Unit::Bytes : Column_Unit::Display;
    }

    // Reads the line at At and those that belong to it; returns how many it took.
    std::size_t Read_Line(std::size_t at)
    {
        const std::string_view line = lines_[at];
        if (line.empty()) return 1;
        if (options_.Input_Encoding == Places::Encoding::Utf_8 && Utf8::Kind_Of(line) == Utf8::Kind::Invalid) {
            Skip(at, "not valid UTF-8", false);
            return 1;
        }
        if (const std::optional<Folder_Change> change = Make_Folder_Change(line)) {
            Follow_Make(*change);
            ++reading_.Compiler_Lines;
            return 1;
        }
        if (std::optional<Diagnostic> diagnostic = Parse_Diagnostic(line)) {
            diagnostic->File = Resolved(diagnostic->File);
            const Following following = Lines_After(at, *diagnostic);
            reading_.Compiler_Lines += following.Count;
            Add_Diagnostic(at, *diagnostic, following);
            return 1 + following.Count;
        }
        Read_Other(at, line);
        return 1;
    }

    // With make -j the jobs' lines interleave: a folder left is the innermost one of that name,
    // whichever was entered after it.
    void Follow_Make(const Folder_Change& change)
    {
        if (change.Entering) {
            make_folders_.emplace_back(change.Folder);
            return;
        }
        const auto left = std::find(make_folders_.rbegin(), make_folders_.rend(), change.Folder);
        if (left != make_folders_.rend()) make_folders_.erase(std::next(left).base());
    }

    std::string Resolved(const std::string& name) const
    {
        if (make_folders_.empty() || Is_Absolute_Name(name)) return name;
        return Joined_Path(make_folders_.back(), name);
    }

    // A search hit, read as it always was, unless it is compiler output that only looks like one.
    void Read_Other(std::size_t at, std::string_view line)
    {
        if (Is_Unmistakable_Part(line)) {
            ++reading_.Compiler_Lines;
            return;
        }
        bool is_place = false;
        try {
            Places::Split_Line(line, options_);
            is_place = true;
            reading_.Places.Add(Places::Parse_Line(line, options_));
        } catch (const Places::BAD_LINE& refused) {
            if (Is_Compiler_Part(line)) ++reading_.Compiler_Lines;
            else Skip(at, refused.Message(), is_place);
        }
    }

    Following Lines_After(std::size_t at, const Diagnostic& diagnostic) const
    {
        Following following;
        bool after_caret = false;
        for (std::size_t next = at + 1; next < lines_.size(); ++next) {
            const std::string_view line = lines_[next];
            if (Parse_Diagnostic(line)) break;
            if (const auto gutter = Split_Gutter(line)) {
                if (gutter->Number == diagnostic.Line && !following.Echo) following.Echo = gutter->Text;
                following.Unit = Column_Unit::Display;
            } else if (Is_Caret_Line(line)) {
                after_caret = true;
            } else if (!following.Echo && next + 1 < lines_.size() && Is_Caret_Line(lines_[next + 1])) {
                following.Echo = line; // Clang's echo, and Microsoft's with /diagnostics:caret
                if (!diagnostic.Microsoft) following.Unit = Column_Unit::Bytes;
                if (const std::size_t caret = lines_[next + 1].find('^'); caret != std::string_view::npos)
                    following.Caret = static_cast<std::int32_t>(caret + 1);
            } else if (line.empty() || !(line[0] == ' ' || line[0] == '\t') || !(after_caret || diagnostic.Microsoft)) {
                break; // only fix-it hints (after a caret) and Microsoft's continuations are indented
            } else if (Is_Compiler_Part(line) || Starts_With_Microsoft_Severity(Trim(line))) {
                break;
            }
            following.Count = next - at;
        }
        return following;
    }

    // The file's line when the file is there and agrees with the echo (if any), else the echo.
    std::optional<Source_Text> Source_Of(const Diagnostic& diagnostic, const Following& following)
    {
        const std::optional<Source_Files::Source_Line> on_disk = files_.Line(diagnostic.File, diagnostic.Line);
        if (on_disk && (!following.Echo || Without_Blanks(*following.Echo) == Without_Blanks(on_disk->Text)))
            return Source_Text{on_disk->Text, on_disk->Is_Utf8, false};
        if (following.Echo)
            return Source_Text{*following.Echo, Utf8::Kind_Of(*following.Echo) == Utf8::Kind::Utf8, true};
        return std::nullopt;
    }

    void Add_Diagnostic(std::size_t at, const Diagnostic& diagnostic, const Following& following)
    {
        try {
            Places::Place place;
            place.File = Places::Viewer_File_Name(diagnostic.File, options_);
            place.Line = diagnostic.Line;
            if (place.File.size() > Places::Message_Limit) throw Places::BAD_LINE("file name longer than 1024 bytes");
            const Composed composed = Entry_Text(diagnostic, following);
            place.Text = composed.Text;
            place.Column = composed.Column;
            if (place.Text.empty()) throw Places::BAD_LINE("empty text (the viewer cannot take an empty entry)");
            const std::string key = place.File + '\n' + std::to_string(place.Line) + ':' + std::to_string(place.Column) + '\n' + place.Text;
            if (!sent_.insert(key).second) {
                ++reading_.Repeated_Messages;
                return;
            }
            reading_.Places.Add(place);
        } catch (const Places::BAD_LINE& refused) {
            Skip(at, refused.Message(), true);
        }
    }

    Composed Entry_Text(const Diagnostic& diagnostic, const Following& following)
    {
        const bool message_is_utf8 = Utf8::Kind_Of(diagnostic.Message) == Utf8::Kind::Utf8;
        const std::string message = Places::Viewer_Text(diagnostic.Message, 1, message_is_utf8, options_).Text;
        const std::optional<Source_Text> source = Source_Of(diagnostic, following);
        if (!source) return Compose("", 1, message, code_page_);
        const std::string_view text = Trim_End(source->Text);
        Column_Unit unit = diagnostic.Microsoft ? Column_Unit::Characters : following.Unit.value_or(default_unit_);
        std::int32_t column = diagnostic.Column;
        if (source->Is_Echo && following.Caret) {
            unit = Column_Unit::Display;
            column = *following.Caret;
        }
        const std::size_t byte = Byte_Of_Column(text, column, unit, source->Is_Utf8);
        const Utf8::Converted shown = Places::Viewer_Text(text, byte + 1, source->Is_Utf8, options_);
        return Compose(shown.Text, shown.Column, message, code_page_);
    }

    void Skip(std::size_t at, std::string reason, bool is_place)
    {
        reading_.Skipped.push_back(Skipped_Line{at + 1, std::move(reason), is_place});
    }

    const Places::Parse_Options& options_;
    unsigned code_page_ = 0;
    std::vector<std::string_view> lines_;
    Column_Unit default_unit_ = Column_Unit::Display;
    Source_Files::Source_Files files_;
    std::unordered_set<std::string> sent_;
    std::vector<std::string> make_folders_; // entered and not yet left, the innermost last
    Reading reading_;
};

} // namespace

std::optional<Diagnostic> Parse_Diagnostic(std::string_view line)
{
    const std::string_view trimmed = Trim(Without_Node_Prefix(line));
    if (trimmed.empty()) return std::nullopt;
    Places::Place place;
    try {
        place = Places::Split_Line(trimmed, {});
    } catch (const Places::BAD_LINE&) {
        return std::nullopt;
    }
    const bool recognised = place.Parenthesised ? Starts_With_Microsoft_Severity(place.Text)
                                                : Starts_With_Gnu_Severity(place.Text);
    if (!recognised) return std::nullopt;
    const std::string_view message = Trim(place.Parenthesised ? Without_Project(place.Text) : std::string_view(place.Text));
    return Diagnostic{.File = std::move(place.File),
                      .Line = place.Line,
                      .Column = place.Has_Column ? place.Column : 1,
                      .Message = std::string(message),
                      .Microsoft = place.Parenthesised};
}

// The gutter is blanks, then a line number, "+++" (a line that a fix-it adds) or nothing, then
// " |" (just "|" after nothing).
std::optional<Gutter_Line> Split_Gutter(std::string_view line) noexcept
{
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) return std::nullopt;
    Gutter_Line gutter;
    std::size_t bar = start;
    if (line[start] != '|') {
        std::size_t end = start + 3;
        if (!line.substr(start).starts_with("+++")) {
            end = std::min(line.find_first_not_of("0123456789", start), line.size());
            if (end == start || end - start > 9) return std::nullopt;
            for (std::size_t digit = start; digit < end; ++digit) gutter.Number = gutter.Number * 10 + (line[digit] - '0');
        }
        if (!line.substr(end).starts_with(" |")) return std::nullopt;
        bar = end + 1;
    }
    std::string_view rest = line.substr(bar + 1);
    if (rest.starts_with(' ') || rest.starts_with('+')) rest.remove_prefix(1);
    gutter.Text = rest;
    return gutter;
}

bool Is_Caret_Line(std::string_view line) noexcept
{
    return line.find_first_not_of(" \t^~") == std::string_view::npos && line.find_first_of("^~") != std::string_view::npos;
}

bool Is_Compiler_Part(std::string_view line) noexcept
{
    line = Without_Node_Prefix(line);
    return Is_Gnu_Part(line) || Is_Msbuild_Part(line);
}

std::size_t Byte_Of_Column(std::string_view source, std::int32_t column, Column_Unit unit, bool is_utf8) noexcept
{
    const std::size_t wanted = column > 0 ? static_cast<std::size_t>(column) - 1 : 0;
    std::size_t position = 0;
    for (std::size_t at = 0; at < source.size();) {
        Utf8::Character character = is_utf8 ? Utf8::Character_At(source, at)
                                            : Utf8::Character{1, static_cast<unsigned char>(source[at])};
        const std::size_t next = position + Advance(character, position, unit);
        if (next > position && wanted < next) return at; // a zero-width character goes with the one before
        position = next;
        at += character.Length;
    }
    return source.size();
}

Composed Compose(std::string_view source, std::size_t column, std::string_view message, unsigned code_page,
                 std::size_t limit)
{
    if (code_page == 0) code_page = GetACP();
    column = std::min(column, source.size() + 1);
    if (source.empty() || column > limit) {
        const std::size_t cut = Cut_Point(message, limit, code_page);
        return Composed{std::string(message.substr(0, cut)), 1};
    }
    constexpr std::string_view Ellipsis = "...";
    // The source line gives way only down to its column, and only when the message would get
    // less than a quarter of the room.
    const std::size_t message_share = std::min(message.size(), limit / 4);
    std::size_t source_room = source.size();
    if (source.size() + Separator.size() + message_share > limit)
        source_room = std::max(column, limit > Separator.size() + message_share ? limit - Separator.size() - message_share : 0);
    std::string text(source.substr(0, Cut_Point(source, std::min(source_room, limit), code_page)));
    if (text.size() + Separator.size() >= limit) return Composed{text, static_cast<std::int32_t>(column)};
    const std::size_t room = limit - text.size() - Separator.size();
    text += Separator;
    if (message.size() <= room) {
        text += message;
    } else {
        text += message.substr(0, Cut_Point(message, room > Ellipsis.size() ? room - Ellipsis.size() : 0, code_page));
        if (room >= Ellipsis.size()) text += Ellipsis;
    }
    return Composed{std::move(text), static_cast<std::int32_t>(column)};
}

Reading Read_Places(std::string_view input, const Places::Parse_Options& options)
{
    if (input.starts_with("\xFF\xFE") || input.starts_with("\xFE\xFF"))
        throw Places::UNSUPPORTED_ENCODING("the input is UTF-16 text; lumen_send reads 8-bit text");
    // A byte-order mark says UTF-8 (the viewer's Save writes one); the mark itself is no text.
    if (!input.starts_with("\xEF\xBB\xBF")) return Reader(input, options).Read();
    Places::Parse_Options marked = options;
    if (marked.Input_Encoding == Places::Encoding::Auto) marked.Input_Encoding = Places::Encoding::Utf_8;
    return Reader(input.substr(3), marked).Read();
}

} // namespace Send::Compiler
