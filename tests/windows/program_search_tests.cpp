// How the platform library finds programs and decides what the shell may open: the current
// folder is never searched, and a file whose type runs is not opened as a program.

#include "windows/command_processor.hpp"
#include "windows/file_types.hpp"
#include "windows/program_search.hpp"

#include "tests/test_support.hpp"
#include "test_tools/harness/viewer_harness.hpp"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace {

namespace Search = Windows::Program_Search;
using Test_Support::Temporary_Folder;

using Test_Support::Scoped_Folder;
using Test_Support::Scoped_Variable;

TEST(Program_Search, Path_Gives_Only_Its_Absolute_Folders)
{
    struct Case {
        const char* path;
        std::vector<std::string> folders;
    };
    const Case cases[] = {
        {"C:\\a;D:/b/;\\\\server\\share\\c", {"C:\\a", "D:/b", "\\\\server\\share\\c"}},
        {";;.;bin;..\\x;\\rooted;C:relative;C:\\a", {"C:\\a"}}, // each of the others is read from the current folder
        {"\"C:\\Program Files\\Ed\";C:\\", {"C:\\Program Files\\Ed", "C:\\"}},
        {"", {}},
        {"\\\\;//", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Search::Absolute_Folders(c.path), c.folders) << c.path;
}

TEST(Program_Search, A_Bare_Name_Is_Found_Beside_The_Program_Or_On_Path_Never_In_The_Current_Folder)
{
    Temporary_Folder folder;
    const std::string current = folder.File("searched repository");
    const std::string on_path = folder.File("tools");
    CreateDirectoryA(current.c_str(), nullptr);
    CreateDirectoryA(on_path.c_str(), nullptr);
    for (const std::string& planted : {current + "\\lumen_planted.exe", current + "\\lumen_only_here.exe",
                                       current + "\\bin\\lumen_planted.exe", on_path + "\\lumen_planted.exe"}) {
        CreateDirectoryA(planted.substr(0, planted.rfind('\\')).c_str(), nullptr);
        Test_Support::Write_File(planted, "MZ");
    }
    CreateDirectoryA((on_path + "\\lumen_folder.exe").c_str(), nullptr); // a folder is no program
    Scoped_Folder in_repository(current);
    Scoped_Variable path("PATH", (".;;bin;" + on_path).c_str());

    EXPECT_EQ(Search::Find("lumen_planted"), on_path + "\\lumen_planted.exe");
    EXPECT_EQ(Search::Find("lumen_planted.exe"), on_path + "\\lumen_planted.exe");
    EXPECT_EQ(Search::Find("lumen_only_here"), std::nullopt);
    EXPECT_EQ(Search::Find("lumen_folder"), std::nullopt);
    char own[MAX_PATH];
    const std::string own_path(own, GetModuleFileNameA(nullptr, own, MAX_PATH));
    EXPECT_EQ(Search::Find(own_path.substr(own_path.rfind('\\') + 1)), own_path) << "beside the calling program";

    EXPECT_EQ(Search::Locate("lumen_planted"), on_path + "\\lumen_planted.exe");
    EXPECT_EQ(Search::Locate(".\\lumen_only_here"), current + "\\lumen_only_here.exe") << "a path is taken as given";
    try {
        Search::Locate("lumen_only_here");
        ADD_FAILURE() << "the current folder was searched";
    } catch (const Search::NOT_FOUND& failure) {
        EXPECT_NE(failure.Message().find("\n    " + on_path), std::string::npos) << failure.Message();
    }
}

TEST(File_Types, A_Type_That_Runs_Is_Edited_Or_Not_Opened)
{
    Scoped_Variable path_extensions("PATHEXT", ".COM;.EXE;.LUMEN_RUNS");
    const std::pair<const char*, bool> cases[] = {
        {"C:\\r\\notes.txt", false},  {"notes", false},           {"C:\\r\\setup.bat", true},
        {"SETUP.BAT", true},          {"setup.bat.", true},       {"setup.cmd . .", true},
        {"x.lumen_runs", true},       {"tool.JS", true},          {"a.lnk", true},
        {"report.hta", true},         {"C:\\r\\bat\\a.c", false}, {"C:\\r\\x.bat\\a.c", false},
        {"a.txt:evil.bat", true},     {"calculator:", true},      {"C:notes.txt", false},
    };
    for (const auto& [file, runs] : cases) EXPECT_EQ(Windows::File_Types::Runs_As_Program(file), runs) << file;

    using Kind = Windows::File_Types::Shell_Opening::Kind;
    Viewer_Harness::Shell_Association editable(".lumen_runs", "C:\\Tools\\ed.exe", "edit");
    Temporary_Folder folder;
    Test_Support::Write_File(folder.File("a.txt"), "x");
    EXPECT_EQ(Windows::File_Types::Opening_Of(folder.File("a.txt")).How, Kind::Open);
    EXPECT_EQ(Windows::File_Types::Opening_Of(folder.File("notes")).How, Kind::Missing) << "notes.exe may be there";
    EXPECT_EQ(Windows::File_Types::Opening_Of(folder.Path()).How, Kind::Missing) << "a folder";
    const Windows::File_Types::Shell_Opening edited = Windows::File_Types::Opening_Of("C:\\r\\a.LUMEN_RUNS");
    EXPECT_EQ(edited.How, Kind::Edit);
    EXPECT_EQ(edited.Class, "Lumen_Roll.Test_Document");
    EXPECT_EQ(Windows::File_Types::Opening_Of("a.vbe").How, Kind::Never) << "no class, no verb";
}

TEST(Command_Processor, Quotes_What_Cmd_Leaves_Alone_And_Refuses_The_Rest)
{
    namespace Command = Windows::Command_Processor;
    EXPECT_EQ(Command::Quoted("C:\\r\\a&calc&!USERNAME!^(x).txt"), "\"C:\\r\\a&calc&!USERNAME!^(x).txt\"");
    const std::pair<const char*, const char*> refused[] = {
        {"C:\\r\\%PATH%.txt", "C:\\r\\%PATH%.txt holds a \"%\""},
        {"C:\\r\\a\".txt", "C:\\r\\a\".txt holds a double quote"},
        {"C:\\r\\a\r\ncalc.txt", "the text holds a control character"},
    };
    Test_Support::Expect_Refused<Command::UNSAFE_TEXT>([](const char* text) { Command::Quoted(text); }, refused);
    EXPECT_EQ(Command::Arguments("\"C:\\e d\\ed.cmd\" \"a b\""), "/d /s /v:off /c \"\"C:\\e d\\ed.cmd\" \"a b\"\"");
    EXPECT_TRUE(Command::Is_Batch_File("C:\\x\\CODE.CMD"));
    EXPECT_FALSE(Command::Is_Batch_File("C:\\x.cmd\\code.exe"));
}

} // namespace
