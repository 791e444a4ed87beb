#include "lumen_send/options.hpp"

#include "lumen_open/command_template.hpp"
#include "lumen_open/presets.hpp"
#include "lumen_send/places.hpp"

#include <cstdlib>
#include <string_view>
#include <utility>

namespace Send::Options {

const char* const Help_Text =
    "Usage: lumen_send [options] [FILE | -]\n"
    "\n"
    "Sends places in files to a Lumen_Roll viewer, which shows them as a tree, one node per\n"
    "file. FILE (or standard input for \"-\" or no FILE) holds one place a line:\n"
    "    file:line:column:text     as printed by grep -n --column, rg --vimgrep, compilers\n"
    "    file:line:text            the column is then 1\n"
    "    file(line,column): text   as Microsoft's compiler, MSBuild and many Windows tools print\n"
    "    file(line): text\n"
    "and compiler messages (GCC, Clang, Microsoft's compiler, MSBuild) with the lines that\n"
    "belong to them: each message is shown on its source line, marked where the compiler\n"
    "points, the line taken from the compiler's echo or from the file itself:\n"
    "    g++ -c a.cpp 2>&1 | lumen_send --viewer lumen_roll.exe -\n"
    "Relative names in messages are taken against the folder that make says it entered\n"
    "(\"make[1]: Entering directory ...\"), else against the current folder. A message repeated\n"
    "(a macro's error at each expansion) is shown once; standard error tells how many were.\n"
    "Source files are read only on local drives, each once, and at most 256 MiB of them held at\n"
    "a time (the least recently used go first).\n"
    "A drive letter (C:\\src\\a.c:12:5:text) belongs to the file name; git's quoted names\n"
    "(\"caf\\303\\251.txt\":1:1:text) are read as the names they stand for. Lines that cannot be\n"
    "sent (no line number, a line or column of 0, an empty text, a column beyond the end of the\n"
    "text, a file name with a control character, with --protocol 1.1 one the ANSI code page\n"
    "cannot hold) are reported on standard error with their line number and skipped; more than\n"
    "10 lines that are no place at all are only counted (--verbose lists them). A text over 1024\n"
    "bytes is cut to the part around its column, \"...\" at each cut. A CR before the line end is\n"
    "dropped. Input that starts with UTF-8's byte-order mark (the viewer's Save) is UTF-8.\n"
    "A viewer started with --viewer gets UTF-8, 8-bit lines converted from the ANSI code page;\n"
    "with --protocol 1.1 it gets ANSI text, a UTF-8 line converted and a character the ANSI code\n"
    "page lacks shown as \"?\". Either way a column (counted in UTF-8 bytes, as rg and git grep\n"
    "count) stays on the same character.\n"
    "\n"
    "Options:\n"
    "  -t, --title TEXT      window caption (default: FILE, or \"lumen_send\" for standard input)\n"
    "  --collapsed           leave the file nodes collapsed (default: expanded)\n"
    "  --viewer EXE          start the viewer EXE first, then connect to it\n"
    "  --editor PATH         with --viewer: the editor the viewer opens places with, started as\n"
    "                        PATH file/line/column (default: the lumen_open.exe beside\n"
    "                        lumen_send.exe, which starts the editor that lumen_open --set stored)\n"
    "  --open-with EDITOR    with --viewer: open places in EDITOR for this run, a lumen_open preset\n"
    "                        (code, notepad++, sublime, gvim, emacs, notepad4) or command template\n"
    "                        (\"C:\\Tools\\ed.exe --goto {file}:{line}:{column}\"), checked at once as\n"
    "                        lumen_open --set checks it; the viewer's editor is then lumen_open\n"
    "  --encoding auto|utf-8|ansi\n"
    "                        how lines are read (default auto): auto takes a line that is\n"
    "                        UTF-8 as UTF-8 and any other as ANSI text; utf-8 skips a line that\n"
    "                        is not UTF-8; ansi takes every line as ANSI text\n"
    "  --no-columns          the input has no column field (grep -n output): all after the\n"
    "                        line number is the text\n"
    "  --clamp-columns       send a column beyond the end of its text as the text's end\n"
    "                        instead of skipping the line (messages of other tools that give\n"
    "                        the column of a source line)\n"
    "  --timeout SECONDS     how long to wait for the viewer's pipe and for each of its\n"
    "                        answers (default 10)\n"
    "  --wait SECONDS        with --viewer and --protocol 1.1: how long to wait while another\n"
    "                        transfer holds the viewer's pipe (default 600; 0 does not wait)\n"
    "  --protocol 1.1|2.0    2.0 (the default with --viewer) sends many places per message on a\n"
    "                        pipe of this run's own, so that runs at once need not take turns;\n"
    "                        1.1 sends one message at a time on the one pipe Lumen_Roll_V1.1\n"
    "                        (the default without --viewer, and for viewers of older versions)\n"
    "  --verbose             report every line that is not read, however many\n"
    "  --stats               print counts (also of compiler lines, of lines not read and of\n"
    "                        repeated compiler messages and of lines cut), the time from\n"
    "                        first to final message, how long the viewer took to answer\n"
    "                        (10th, 50th, 90th and 99th percentile), the protocol, the bytes\n"
    "                        sent and the batches\n"
    "  -h, --help            show this text\n"
    "\n"
    "Without --viewer, a viewer must already be waiting: lumen_roll.exe Lumen_Roll_V1.1 [EDITOR].\n"
    "Exit status: 0 sent (skipped lines included), 1 bad command line or unreadable input,\n"
    "2 the viewer could not be started or reached, or the transfer failed.\n";

namespace {

constexpr double Longest_Timeout = 3600.0;
constexpr double Longest_Wait = 86400.0;

// Walks the arguments; an option's value is either glued on ("--title=x") or the next argument.
class Argument_Reader {
public:
    explicit Argument_Reader(const std::vector<std::string>& arguments) : arguments_(arguments) {}

    bool At_End() const noexcept { return next_ >= arguments_.size(); }

    // The next argument; as an option, split into its name and a glued-on value.
    std::string_view Take_Name(bool as_option)
    {
        std::string_view argument = arguments_[next_++];
        has_glued_value_ = false;
        const std::size_t equals = argument.find('=');
        if (as_option && argument.starts_with("--") && equals != std::string_view::npos) {
            has_glued_value_ = true;
            glued_value_ = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
        }
        return argument;
    }

    std::string Take_Value(std::string_view name)
    {
        if (std::exchange(has_glued_value_, false)) return std::string(glued_value_);
        if (At_End()) throw USAGE_ERROR(std::string(name) + " needs a value");
        return arguments_[next_++];
    }

    // A flag option must not carry a glued-on value.
    void No_Value(std::string_view name) const
    {
        if (has_glued_value_) throw USAGE_ERROR(std::string(name) + " takes no value");
    }

private:
    const std::vector<std::string>& arguments_;
    std::size_t next_ = 0;
    bool has_glued_value_ = false;
    std::string_view glued_value_;
};

// A number of seconds above 0 (or from 0 where Zero_Allowed) and at most Longest.
double Seconds_Of(const std::string& text, bool zero_allowed, double longest, const char* complaint)
{
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    const bool above_lowest = zero_allowed ? seconds >= 0.0 : seconds > 0.0;
    if (text.empty() || *end != '\0' || !(above_lowest && seconds <= longest)) throw USAGE_ERROR(complaint);
    return seconds;
}

Places::Encoding Encoding_Of(const std::string& text)
{
    if (text == "auto") return Places::Encoding::Auto;
    if (text == "utf-8") return Places::Encoding::Utf_8;
    if (text == "ansi") return Places::Encoding::Ansi;
    throw USAGE_ERROR("--encoding takes auto, utf-8 or ansi");
}

std::string Preset_Names()
{
    std::string names;
    for (const Open::Presets::Preset& preset : Open::Presets::All())
        names += (names.empty() ? "" : ", ") + std::string(preset.Name);
    return names;
}

// lumen_open would refuse the setting only at the first double-click, in a message box; here it
// is judged by lumen_open's own rules before anything starts. A single word is meant as a preset.
void Check_Open_With(const std::string& setting)
{
    if (setting.empty()) throw USAGE_ERROR("--open-with needs a preset or a command template");
    if (Open::Presets::Find(setting)) return;
    if (setting.find_first_of(" \t{") == std::string::npos)
        throw USAGE_ERROR("--open-with: unknown preset `" + setting + "`; presets: " + Preset_Names());
    try {
        Open::Templates::Parse_Template(setting);
    } catch (const Open::Templates::BAD_TEMPLATE& failure) {
        throw USAGE_ERROR("--open-with: \"" + setting + "\" is neither a preset nor a usable template: " +
                          failure.Information());
    }
}

void Set_Input(Settings& settings, bool& input_given, std::string_view argument)
{
    if (input_given) throw USAGE_ERROR("more than one input file");
    settings.Input = argument;
    input_given = true;
}

// Returns false for an argument that is no option (the input file).
bool Take_Option(Argument_Reader& reader, std::string_view name, Settings& settings, bool& title_given)
{
    if (name == "-t" || name == "--title") {
        settings.Title = reader.Take_Value(name);
        title_given = true;
    } else if (name == "--viewer") {
        settings.Viewer = reader.Take_Value(name);
    } else if (name == "--editor") {
        settings.Editor = reader.Take_Value(name);
    } else if (name == "--open-with") {
        settings.Open_With = reader.Take_Value(name);
        Check_Open_With(settings.Open_With);
    } else if (name == "--encoding") {
        settings.Input_Encoding = Encoding_Of(reader.Take_Value(name));
    } else if (name == "--timeout") {
        settings.Timeout_Seconds = Seconds_Of(reader.Take_Value(name), false, Longest_Timeout,
                                             "--timeout needs a number of seconds above 0 and at most 3600");
    } else if (name == "--protocol") {
        settings.Protocol = reader.Take_Value(name);
        if (settings.Protocol != "1.1" && settings.Protocol != "2.0") throw USAGE_ERROR("--protocol takes 1.1 or 2.0");
    } else if (name == "--wait") {
        settings.Wait_Seconds =
            Seconds_Of(reader.Take_Value(name), true, Longest_Wait, "--wait needs a number of seconds from 0 to 86400");
    } else {
        reader.No_Value(name);
        if (name == "-h" || name == "--help") settings.Help = true;
        else if (name == "--collapsed") settings.Expand = false;
        else if (name == "--no-columns") settings.No_Columns = true;
        else if (name == "--clamp-columns") settings.Clamp_Columns = true;
        else if (name == "--stats") settings.Statistics = true;
        else if (name == "--verbose") settings.Verbose = true;
        else if (name.starts_with("-") && name != "-") throw USAGE_ERROR("unknown option " + std::string(name));
        else return false;
    }
    return true;
}

void Check(const Settings& settings)
{
    if (!settings.Editor.empty() && settings.Viewer.empty()) throw USAGE_ERROR("--editor needs --viewer");
    if (!settings.Open_With.empty() && settings.Viewer.empty()) throw USAGE_ERROR("--open-with needs --viewer");
    if (!settings.Open_With.empty() && !settings.Editor.empty())
        throw USAGE_ERROR("--open-with and --editor both name the viewer's editor; give one");
    if (settings.Title.size() > Places::Message_Limit) throw USAGE_ERROR("the title is longer than 1024 bytes");
    if (settings.Protocol == "2.0" && settings.Viewer.empty())
        throw USAGE_ERROR("--protocol 2.0 needs --viewer: only the viewer a run starts has a pipe of the run's own");
}

} // namespace

Settings Parse(const std::vector<std::string>& arguments)
{
    Settings settings;
    bool title_given = false;
    bool input_given = false;
    bool options_ended = false;
    Argument_Reader reader(arguments);
    while (!reader.At_End()) {
        const std::string_view name = reader.Take_Name(!options_ended);
        if (!options_ended && name == "--") options_ended = true;
        else if (options_ended || !Take_Option(reader, name, settings, title_given))
            Set_Input(settings, input_given, name);
    }
    if (!title_given) settings.Title = settings.Input == "-" ? "lumen_send" : settings.Input;
    Check(settings);
    return settings;
}

} // namespace Send::Options
