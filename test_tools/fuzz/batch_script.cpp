// The fuzz host's runs of the batch protocol: a random index cut into batches of random sizes, now
// and then one batch broken (cut short, an unknown record, a record out of its place, UTF-8 cut
// off or overlong, a NUL, a text or batch over its limit, values out of range), each batch's
// answer and the run's end worked out by Batch_Model.

#include "test_tools/fuzz/batch_model.hpp"
#include "test_tools/fuzz/fuzz_script.hpp"

#include <array>
#include <cstdio>
#include <string_view>
#include <utility>

namespace Bench::Fuzz {

namespace {

namespace Wire = Batch_Wire;

struct Batch_Profile {
    double Malformed = 0.0; // per batch
    std::size_t Groups = 0;
    std::size_t Most_Entries = 0;
    std::size_t Largest_Batch = 0; // each batch is cut at a random size up to this
    std::string Name;
};

Batch_Profile Choose_Batch_Profile(Random& random)
{
    Batch_Profile profile;
    constexpr std::array<double, 4> malformed_rates{0.0, 0.02, 0.1, 0.3};
    const std::uint64_t pick = random.Below(100);
    profile.Malformed = malformed_rates[pick < 35 ? 0 : pick < 60 ? 1 : pick < 85 ? 2 : 3];
    const std::uint64_t size = random.Below(100);
    profile.Groups = size < 70 ? random.Between(0, 8) : size < 95 ? random.Between(9, 60) : random.Between(300, 600);
    profile.Most_Entries = size < 95 ? random.Between(0, 30) : 8;
    constexpr std::array<std::size_t, 4> largest_batches{1, 400, 8000, Batch_Wire::Batch_Limit};
    profile.Largest_Batch = largest_batches[random.Below(largest_batches.size())];
    char name[128];
    std::snprintf(name, sizeof name, "batches of up to %zu bytes: %zu groups of up to %zu entries, malformed %.2f",
                  profile.Largest_Batch, profile.Groups, profile.Most_Entries, profile.Malformed);
    profile.Name = name;
    return profile;
}

struct Record {
    std::string Bytes;
    std::string What;
};

class Batch_Generator {
public:
    Batch_Generator(Random& random, const Batch_Profile& profile) : random_(random), profile_(profile) {}

    std::vector<Step> Run()
    {
        const std::vector<Record> records = Records();
        std::size_t next = 0;
        while (!model_.Has_Ended()) {
            auto [bytes, what] = Next_Batch(records, next);
            const Reaction reaction = model_.Message(bytes);
            steps_.push_back({Step_Kind::Message, std::move(bytes), std::move(what), reaction});
        }
        return std::move(steps_);
    }

private:
    // ---- the index ----

    // ASCII mostly; letters of the code page and beyond it, the bullet that the window's code page
    // turns into its marker byte, characters beyond U+FFFF, tabs and line ends.
    std::string Character()
    {
        constexpr std::array<std::string_view, 9> specials{"\xC3\xA9", "\xC4\x81", "\xE6\x97\xA5", "\xE2\x80\xA2",
                                                           "\xF0\x9F\x98\x80", "\t", "\r", "\n", " "};
        if (random_.Chance(0.85)) return std::string(1, static_cast<char>(random_.Between(0x20, 0x7E)));
        return std::string(specials[random_.Below(specials.size())]);
    }

    std::string Text(std::size_t characters)
    {
        std::string text;
        while (characters-- > 0) text += Character();
        return text;
    }

    std::string File_Name()
    {
        constexpr std::string_view letters = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::string name;
        for (std::uint64_t count = random_.Between(1, 12); count > 0; --count) name += letters[random_.Below(letters.size())];
        if (random_.Chance(0.2)) name = "caf\xC3\xA9\\" + name + (random_.Chance(0.5) ? "\xE6\x97\xA5" : ".txt");
        return name;
    }

    Record Entry()
    {
        const std::string text = random_.Chance(0.02) ? std::string(1024, 'e') : Text(random_.Between(1, 100));
        const std::uint64_t last = Code_Points(text) + 1;
        const std::uint64_t kind = random_.Below(100);
        const auto column = static_cast<std::uint32_t>(kind < 20 ? 1 : kind < 40 ? last : random_.Between(1, last));
        const auto line = static_cast<std::uint32_t>(random_.Chance(0.05) ? Wire::Largest_Line : random_.Between(0, 5000));
        return {Wire::Entry_Record(line, column, text), "entry"};
    }

    std::vector<Record> Records()
    {
        std::vector<Record> records;
        const std::uint64_t kind = random_.Below(100);
        records.push_back({Wire::Title_Record(kind < 10 ? "" : Text(random_.Between(1, 60))), "title"});
        for (std::size_t group = 0; group < profile_.Groups; ++group) {
            const char flag = static_cast<char>(random_.Chance(0.4) ? 0 : random_.Chance(0.8) ? 1 : random_.Below(256));
            records.push_back({Wire::File_Record(flag, File_Name()), "file"});
            for (std::uint64_t entry = random_.Below(profile_.Most_Entries + 1); entry > 0; --entry)
                records.push_back(Entry());
            records.push_back({Wire::Group_End_Record(), "group end"});
        }
        records.push_back({Wire::End_Record(), "end"});
        return records;
    }

    // ---- batches ----

    // At least one record goes into a batch, whatever its size.
    std::size_t Target_Size() { return random_.Between(1, profile_.Largest_Batch); }

    std::pair<std::string, std::string> Next_Batch(const std::vector<Record>& records, std::size_t& next)
    {
        std::string batch;
        std::size_t count = 0;
        const std::size_t target = Target_Size();
        while (next < records.size() && (count == 0 || batch.size() + records[next].Bytes.size() <= target)) {
            batch += records[next++].Bytes;
            ++count;
        }
        if (count == 0) batch = Wire::End_Record(); // a broken batch took the end away
        std::string what = "batch of " + std::to_string(count) + " records";
        if (random_.Chance(profile_.Malformed)) what += ", " + Break(batch);
        return {batch, what};
    }

    // Breaks Batch one way or another; what was done, for reports.
    std::string Break(std::string& batch)
    {
        switch (random_.Below(12)) {
        case 0: {
            const std::size_t cut = random_.Between(1, std::min<std::size_t>(batch.size(), 12));
            batch.resize(batch.size() - cut);
            return "cut " + std::to_string(cut) + " bytes short";
        }
        case 1: batch += static_cast<char>(std::array<unsigned char, 5>{0, 6, 7, 0x41, 0xFF}[random_.Below(5)]); return "unknown record";
        case 2: {
            constexpr std::array<std::string_view, 6> bad{"\xE2\x82", "\xC0\xAF", "\xED\xA0\x80", "\x80", "\xFF", "\xF4\x90\x80\x80"};
            batch += Wire::Entry_Record(1, 1, "ab" + std::string(bad[random_.Below(bad.size())]));
            return "UTF-8 not well-formed";
        }
        case 3: batch += Wire::File_Record(1, std::string("nul\0.txt", 8)); return "NUL in a name";
        case 4: batch += Wire::Entry_Record(1, 1, std::string("a\0b", 3)); return "NUL in a text";
        case 5: {
            const std::array<std::string, 5> misplaced{Wire::Title_Record("again"), Wire::File_Record(1, "z"),
                                                       Wire::Entry_Record(1, 1, "x"), Wire::Group_End_Record(),
                                                       Wire::End_Record()};
            batch += misplaced[random_.Below(misplaced.size())];
            return "a record perhaps out of its place";
        }
        case 6: batch.resize(Wire::Batch_Limit + 1, 'x'); return "65537 bytes";
        case 7: batch.clear(); return "empty";
        case 8: batch += Wire::Entry_Record(1, 1, std::string(Wire::Text_Limit + 1, 't')); return "text of 4097 bytes";
        case 9: batch += Wire::Entry_Record(0x80000000u + static_cast<std::uint32_t>(random_.Below(1000)), 1, "x"); return "line over 2^31 - 1";
        case 10: batch += Wire::Entry_Record(1, random_.Chance(0.5) ? 0 : 3, "x"); return "column out of range";
        default: batch += random_.Chance(0.5) ? Wire::File_Record(1, "") : Wire::Entry_Record(1, 1, ""); return "empty name or text";
        }
    }

    Random& random_;
    const Batch_Profile& profile_;
    Batch_Model model_;
    std::vector<Step> steps_;
};

void Refuse_Batch_Name(Run_Script& script, Random& random)
{
    const std::string prefix(Wire::Pipe_Name_Prefix);
    const std::array<std::string, 4> names{prefix + "short", prefix + "has blank", "lumen_roll_v2.0_abcdefgh",
                                           prefix + std::string(65, 'n')};
    script.Arguments = {names[random.Below(names.size())]};
    script.Connects = false;
    script.Steps.clear();
    Viewer_Model model;
    model.Refused("Invalid Pipe Name");
    script.Expected = model.Expected();
    script.Profile = "bad batch pipe name";
}

} // namespace

Run_Script Make_Batch_Script(std::uint64_t seed, std::uint64_t run, const Script_Options& options)
{
    Random random(seed * 0x100000001B3ull ^ (run + 1) * 0x9E3779B97F4A7C15ull);
    Run_Script script;
    const Batch_Profile profile = Choose_Batch_Profile(random);
    script.Profile = profile.Name;
    script.Pipe_Name = std::string(Wire::Pipe_Name_Prefix) + "fuzz-" + std::to_string(seed) + "-" + std::to_string(run);
    script.Arguments = {script.Pipe_Name};
    Batch_Generator generator(random, profile);
    script.Steps = generator.Run();
    Batch_Model model;
    for (const Step& step : script.Steps) model.Message(step.Bytes);
    script.Expected = model.Expected();

    if (random.Chance(options.Bad_Command_Chance)) {
        Refuse_Batch_Name(script, random);
    } else if (random.Chance(options.Stall_Chance)) {
        Cut<Batch_Model>(script, random.Below(script.Steps.size()), Step_Kind::Stall);
        script.Profile += ", stall";
    } else if (random.Chance(options.Close_Chance)) {
        Cut<Batch_Model>(script, random.Below(script.Steps.size()), Step_Kind::Close);
        script.Profile += ", early close";
    }
    Maybe_Pause(script, random, options);
    return script;
}

} // namespace Bench::Fuzz
