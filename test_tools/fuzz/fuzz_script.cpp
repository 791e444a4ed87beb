#include "test_tools/fuzz/fuzz_script.hpp"

#include <array>
#include <cstdio>
#include <string_view>
#include <utility>

namespace Bench::Fuzz {

std::uint64_t Random::Next() noexcept
{
    std::uint64_t mixed = (state_ += 0x9E3779B97F4A7C15ull);
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ull;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBull;
    return mixed ^ (mixed >> 31);
}

std::uint64_t Random::Below(std::uint64_t limit) noexcept { return limit == 0 ? 0 : Next() % limit; }

bool Random::Chance(double probability) noexcept
{
    return static_cast<double>(Next() >> 11) * 0x1.0p-53 < probability;
}

namespace {

constexpr std::string_view Pipe_Name = "Lumen_Roll_V1.1";

// What one run leans on: how often it breaks the grammar, how much it sends.
struct Profile {
    double Malformed = 0.0;
    std::size_t Groups = 0;
    std::size_t Most_Entries = 0;
    double Special_Texts = 0.3;
    std::string Name;
};

Profile Choose_Profile(Random& random)
{
    Profile profile;
    constexpr std::array<double, 4> malformed_rates{0.0, 0.003, 0.02, 0.1};
    const std::uint64_t pick = random.Below(100);
    profile.Malformed = malformed_rates[pick < 40 ? 0 : pick < 65 ? 1 : pick < 85 ? 2 : 3];
    const std::uint64_t size = random.Below(100);
    if (size < 80) {
        profile.Groups = random.Between(0, 6);
        profile.Most_Entries = random.Chance(0.1) ? 40 : random.Between(0, 12);
    } else if (size < 95) {
        profile.Groups = random.Between(7, 30);
        profile.Most_Entries = random.Between(0, 6);
    } else {
        profile.Groups = random.Between(100, 250);
        profile.Most_Entries = 2;
    }
    char name[96];
    std::snprintf(name, sizeof name, "%zu groups of up to %zu entries, malformed %.3f", profile.Groups,
                  profile.Most_Entries, profile.Malformed);
    profile.Name = name;
    return profile;
}

std::string Value_Bytes(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    std::string bytes(4, '\0');
    for (int index = 0; index < 4; ++index) bytes[index] = static_cast<char>((bits >> (8 * index)) & 0xFF);
    return bytes;
}

// Builds the messages state by state, asking the model what the viewer must answer.
class Generator {
public:
    Generator(Random& random, const Profile& profile) : random_(random), profile_(profile), groups_left_(profile.Groups)
    {
    }

    std::vector<Step> Run()
    {
        while (!model_.Has_Ended()) {
            auto [bytes, what] = Next_Message();
            const Reaction reaction = model_.Message(bytes);
            steps_.push_back({Step_Kind::Message, std::move(bytes), std::move(what), reaction});
        }
        return std::move(steps_);
    }

private:
    using Message = std::pair<std::string, std::string>;

    Message Next_Message()
    {
        const bool malformed = random_.Chance(profile_.Malformed);
        switch (model_.State()) {
        case Protocol_State::Title: return malformed ? Oversized("title") : Title();
        case Protocol_State::File_Or_End:
            if (groups_left_ == 0) return {"", "end"};
            --groups_left_;
            return malformed ? Oversized("file name") : File_Name();
        case Protocol_State::Flag:
            entries_left_ = random_.Below(profile_.Most_Entries + 1);
            return malformed ? Wrong_Size("flag", 1) : Flag();
        case Protocol_State::Text_Or_Group_End:
            if (entries_left_ == 0) return {"", "group end"};
            --entries_left_;
            return malformed ? Oversized("entry text") : Entry_Text();
        case Protocol_State::Line: return malformed ? Bad_Value("line") : Line();
        case Protocol_State::Column: return malformed ? Bad_Column() : Column();
        case Protocol_State::Ended: break;
        }
        return {"", "nothing"};
    }

    char Plain_Character() { return static_cast<char>(random_.Between(0x20, 0x7E)); }

    // NUL, the marker byte itself, tabs, line ends and letters beyond ASCII.
    char Special_Character()
    {
        constexpr std::string_view specials{"\0\x95\t\xE9\xFC \r\n", 8};
        return specials[random_.Below(specials.size())];
    }

    std::string Text(std::size_t length)
    {
        const bool special = random_.Chance(profile_.Special_Texts);
        std::string text;
        for (std::size_t index = 0; index < length; ++index)
            text += special && random_.Chance(0.15) ? Special_Character() : Plain_Character();
        if (random_.Chance(0.1)) text.insert(0, random_.Between(1, 3), ' ');
        if (random_.Chance(0.1)) text.append(random_.Between(1, 3), ' ');
        return text.substr(0, Message_Limit);
    }

    Message Oversized(const std::string& what) { return {std::string(Message_Limit + 1, 'x'), what + " of 1025 bytes"}; }

    // The log writes a title's line ends and NULs out as \r, \n and \0; the caption stops at a NUL.
    Message Title()
    {
        const std::uint64_t kind = random_.Below(100);
        if (kind < 10) return {"", "empty title"};
        if (kind < 13) return {std::string(Message_Limit, 'T'), "title of 1024 bytes"};
        return {Text(random_.Between(1, 60)), "title"};
    }

    Message File_Name()
    {
        const std::uint64_t kind = random_.Below(100);
        std::string name;
        if (kind < 10 && !files_.empty()) name = files_[random_.Below(files_.size())];
        else if (kind < 12) name = std::string(Message_Limit, 'f');
        else if (kind < 70) name = Sortable_Name();
        else if (kind < 90) name = Path_Name();
        else name = Text(random_.Between(1, 30));
        if (name.empty()) name = "a";
        files_.push_back(name);
        return {name, "file name"};
    }

    // Lower-case letters and digits: names whose order every collation agrees on.
    std::string Sortable_Name()
    {
        constexpr std::string_view characters = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::string name;
        for (std::uint64_t count = random_.Between(1, 12); count > 0; --count)
            name += characters[random_.Below(characters.size())];
        return name;
    }

    std::string Path_Name()
    {
        constexpr std::array<std::string_view, 6> parts{"Src", "lib", "Test_Data", "a b", "x.adb", "README.txt"};
        std::string name;
        for (std::uint64_t count = random_.Between(1, 3); count > 0; --count) {
            if (!name.empty()) name += random_.Chance(0.5) ? '\\' : '/';
            name += parts[random_.Below(parts.size())];
        }
        return name;
    }

    Message Flag()
    {
        const std::uint64_t kind = random_.Below(100);
        const char flag = kind < 40 ? 0 : kind < 80 ? 1 : static_cast<char>(random_.Below(256));
        return {std::string(1, flag), "flag"};
    }

    // A message of any size but the right one (empty included, and too long for the buffer).
    Message Wrong_Size(const std::string& what, std::size_t right)
    {
        constexpr std::array<std::size_t, 9> sizes{0, 1, 2, 3, 5, 8, 100, 1024, 1025};
        std::size_t size = right;
        while (size == right) size = sizes[random_.Below(sizes.size())];
        return {std::string(size, '\x01'), what + " of " + std::to_string(size) + " bytes"};
    }

    Message Entry_Text()
    {
        const std::uint64_t kind = random_.Below(100);
        if (kind < 3) return {Text(Message_Limit), "entry text of 1024 bytes"};
        return {Text(random_.Between(1, 120)), "entry text"};
    }

    Message Line()
    {
        const std::uint64_t kind = random_.Below(100);
        const std::int32_t line = kind < 80   ? static_cast<std::int32_t>(random_.Between(1, 5000))
                                  : kind < 85 ? 0
                                  : kind < 90 ? 0x7FFFFFFF
                                              : static_cast<std::int32_t>(random_.Below(0x80000000ull));
        return {Value_Bytes(line), "line " + std::to_string(line)};
    }

    // -1 down to -2^31.
    std::int32_t Negative() { return static_cast<std::int32_t>(-static_cast<std::int64_t>(random_.Between(1, 0x80000000ull))); }

    Message Bad_Value(const std::string& what)
    {
        if (random_.Chance(0.5)) return Wrong_Size(what, 4);
        const std::int32_t value = Negative();
        return {Value_Bytes(value), what + " " + std::to_string(value)};
    }

    Message Column()
    {
        const auto last = static_cast<std::int32_t>(model_.Pending_Text_Length() + 1);
        const std::uint64_t kind = random_.Below(100);
        const std::int32_t column = kind < 20 ? 1 : kind < 40 ? last : static_cast<std::int32_t>(random_.Between(1, last));
        return {Value_Bytes(column), "column " + std::to_string(column)};
    }

    Message Bad_Column()
    {
        const auto last = static_cast<std::int32_t>(model_.Pending_Text_Length() + 1);
        const std::uint64_t kind = random_.Below(4);
        if (kind == 0) return Bad_Value("column");
        const std::int32_t column = kind == 1 ? 0 : kind == 2 ? last + 1 : 0x7FFFFFFF;
        return {Value_Bytes(column), "bad column " + std::to_string(column)};
    }

    Random& random_;
    const Profile& profile_;
    Viewer_Model model_;
    std::vector<Step> steps_;
    std::size_t groups_left_;
    std::size_t entries_left_ = 0;
    std::vector<std::string> files_;
};

void Refuse_Command_Line(Run_Script& script, Random& random)
{
    struct Case {
        std::vector<std::string> Arguments;
        const char* Reason;
    };
    const std::array<Case, 5> cases{{{{}, "Pipe name missing"},
                                     {{"lumen_roll_v1.1"}, "Invalid Pipe Name"},
                                     {{std::string(Pipe_Name) + "x"}, "Invalid Pipe Name"},
                                     {{std::string(Pipe_Name.substr(0, 14))}, "Invalid Pipe Name"},
                                     {{std::string(Pipe_Name), "editor.exe", "third"}, "Too many parameters"}}};
    const Case& chosen = cases[random.Below(cases.size())];
    script.Arguments = chosen.Arguments;
    script.Connects = false;
    script.Steps.clear();
    Viewer_Model model;
    model.Refused(chosen.Reason);
    script.Expected = model.Expected();
    script.Profile = "bad command line";
}

} // namespace

Run_Script Make_Script(std::uint64_t seed, std::uint64_t run, const Script_Options& options)
{
    const bool batches = options.Protocol == Protocols::Batches || (options.Protocol == Protocols::Both && run % 2 == 1);
    if (batches) return Make_Batch_Script(seed, run, options);
    Random random(seed * 0x100000001B3ull ^ (run + 1) * 0x9E3779B97F4A7C15ull);
    Run_Script script;
    const Profile profile = Choose_Profile(random);
    script.Profile = profile.Name;
    script.Arguments = {std::string(Pipe_Name)};
    Generator generator(random, profile);
    script.Steps = generator.Run();
    Viewer_Model model;
    for (const Step& step : script.Steps) model.Message(step.Bytes);
    script.Expected = model.Expected();

    if (random.Chance(options.Bad_Command_Chance)) {
        Refuse_Command_Line(script, random);
    } else if (random.Chance(options.Stall_Chance)) {
        if (random.Chance(0.05)) { // no host at all: the wait for the connection times out
            script.Connects = false;
            script.Steps.clear();
            Viewer_Model lonely;
            lonely.No_Client();
            script.Expected = lonely.Expected();
            script.Profile = "no host connects";
        } else {
            Cut<Viewer_Model>(script, random.Below(script.Steps.size()), Step_Kind::Stall);
            script.Profile += ", stall";
        }
    } else if (random.Chance(options.Close_Chance)) {
        Cut<Viewer_Model>(script, random.Below(script.Steps.size()), Step_Kind::Close);
        script.Profile += ", early close";
    }
    Maybe_Pause(script, random, options);
    return script;
}

void Maybe_Pause(Run_Script& script, Random& random, const Script_Options& options)
{
    if (script.Steps.empty() || !random.Chance(options.Pause_Chance)) return;
    const auto before = static_cast<std::ptrdiff_t>(random.Below(script.Steps.size()));
    script.Steps.insert(script.Steps.begin() + before, {Step_Kind::Pause, "", "pause of 4 s", Reaction::Acknowledgement});
    script.Profile += ", pause";
}

std::string Printable(std::string_view bytes, std::size_t limit)
{
    std::string text;
    for (std::size_t index = 0; index < bytes.size() && index < limit; ++index) {
        const auto byte = static_cast<unsigned char>(bytes[index]);
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
        text += byte >= 0x20 && byte < 0x7F && byte != '\\' ? std::string(1, static_cast<char>(byte)) : escaped;
    }
    if (bytes.size() > limit) text += "...";
    return text;
}

std::string Ending_Kind(const Run_Script& script)
{
    const Outcome& expected = script.Expected;
    const std::string& last = expected.Last_Message;
    if (expected.Window_Stays_Open && last == "Complete") return expected.Timeout_Logged ? "Timeout, Complete" : "Complete";
    if (expected.Window_Stays_Open) return last; // a refused batch
    const auto detail = last.find(" = ");
    return detail == std::string::npos ? last : "!!! " + last.substr(detail + 3);
}

std::string Describe(const Run_Script& script)
{
    std::string text = "  viewer arguments:";
    for (const std::string& argument : script.Arguments) text += " \"" + argument + "\"";
    if (!script.Connects) text += " (no host connects)";
    text += "\n";
    for (std::size_t index = 0; index < script.Steps.size(); ++index) {
        const Step& step = script.Steps[index];
        text += "  " + std::to_string(index) + ": " + step.What;
        if (step.Kind == Step_Kind::Message)
            text += " [" + std::to_string(step.Bytes.size()) + "] \"" + Printable(step.Bytes) + "\" -> " +
                    Reaction_Name(step.Expected);
        text += "\n";
    }
    return text;
}

} // namespace Bench::Fuzz
