#pragma once
// The editors lumen_open knows by name, each with its programs and the arguments that its own
// documentation gives for opening a file at a line and column. A preset's program is looked up
// beside lumen_open and in PATH's folders first, then in the editor's usual install folders.

#include "support/failure.hpp"
#include "lumen_open/columns.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Open::Presets {

// None of the preset's programs is installed where it was looked for; the message lists where.
using PRESET_NOT_FOUND = Failures::Failure<"OPEN.PRESET_NOT_FOUND">;

struct Program {
    std::string_view File_Name; // as on disk, e.g. "Code.exe"
    std::string_view Arguments; // a template's arguments, without the program
};

enum class Root { Program_Files, Local_App_Data };

// An install place: a path under a root, ending with one of the preset's program file names. A
// folder named "vim*" matches every folder that starts so; the last one in name order is taken
// (the newest version, as installers name them).
struct Install_Place {
    Root Under;
    std::string_view Path;
};

struct Preset {
    std::string_view Name;
    std::vector<Program> Programs; // in order of preference
    std::vector<Install_Place> Places;
    Columns::Unit Column_Counts; // what the editor's column counts, as its documentation says
};

const std::vector<Preset>& All();

// The preset of that name (letter case aside), or null.
const Preset* Find(std::string_view name);

struct Found {
    std::string Path;
    std::string_view Arguments;
};

// The first of the preset's programs beside lumen_open or in PATH's absolute folders (never the
// current folder), else in its install places.
Found Locate(const Preset& preset);

} // namespace Open::Presets
