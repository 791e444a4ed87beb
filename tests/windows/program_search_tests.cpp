// How the platform library finds programs and decides how a found file is opened: the current
// folder is never searched, and no type's own "open" is used.

#include "windows/command_processor.hpp"
#include "windows/file_types.hpp"
#include "windows/program_search.hpp"

#include "tests/test_support.hpp"
#include "tests/viewer/registered_type.hpp"

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

TEST(File_Types, A_Command_Names_Its_Program_Or_The_File_Itself)
{
    namespace Types = Windows::File_Types;
    const std::pair<const char*, const char*> commands[] = {
        {"\"C:\\Program Files\\Ed\\ed.exe\" \"%1\"", "C:\\Program Files\\Ed\\ed.exe"},
        {"C:\\Program Files\\Ed\\ed.EXE %1 %*", "C:\\Program Files\\Ed\\ed.EXE"},
        {"  notepad.exe /e %1", "notepad.exe"},
        {"C:\\Tools\\ed -n %1", "C:\\Tools\\ed"},
        {"\"%1\" %*", ""},
        {"%L", ""},
        {"\"C:\\Ed\\ed.exe %1", ""},
    };
    for (const auto& [command, program] : commands) EXPECT_EQ(Types::Command_Program(command), program) << command;
    for (const char* program : {"C:\\Ed\\ed.exe", "ED.EXE.", "C:\\x.cmd\\ed.exe"})
        EXPECT_TRUE(Types::Is_Editor_Program(program)) << program;
    for (const char* program : {"C:\\Ed\\code.cmd", "ed.exe.py", "C:\\Tools\\ed", "ed.exe:stream", ""})
        EXPECT_FALSE(Types::Is_Editor_Program(program)) << program;
}

// A found file opens with its type's "edit" when that names an .exe, else in the text editor that
// .txt's "edit" names, else notepad.exe: a script is no editor. A folder or a name that is not a
// local file's is refused.
TEST(File_Types, Only_An_Edit_Verb_Naming_An_Exe_Is_Used_Else_The_Text_Editor)
{
    namespace Types = Windows::File_Types;
    using Kind = Types::Opening::Kind;
    Temporary_Folder folder;
    const std::string editor = folder.File("ed.exe");
    for (const char* file : {"ed.exe", "ed.cmd", "a.lumen_edited", "a.lumen_script", "no_type"})
        Test_Support::Write_File(folder.File(file), "MZ");
    CreateDirectoryA(folder.File("sub").c_str(), nullptr);
    const Test_Support::Registered_Type text(".txt", "edit", folder.File("ed.cmd")),
        edited(".lumen_edited", "edit", editor), by_script(".lumen_script", "edit", folder.File("ed.cmd"));
    const std::string notepad = Windows::Program_Search::In_System_Folder("notepad.exe");

    struct Case {
        std::string Name;
        Kind How;
        std::string Detail; // the class, the program or the refusal
    };
    const Case cases[] = {
        {folder.File("a.lumen_edited"), Kind::Edit, "Lumen_Roll.Test.lumen_edited"},
        {folder.File("a.lumen_script"), Kind::Text_Editor, notepad},
        {folder.File("no_type"), Kind::Text_Editor, notepad},
        {folder.File("sub"), Kind::Refused, "is a folder"},
        {"\\\\host\\share\\a.lumen_edited", Kind::Refused, "is on another computer"},
    };
    for (const Case& c : cases) {
        const Types::Opening opening = Types::Opening_Of(c.Name);
        EXPECT_EQ(opening.How, c.How) << c.Name;
        EXPECT_EQ(c.How == Kind::Edit ? opening.Class : c.How == Kind::Refused ? opening.Refusal : opening.Program, c.Detail)
            << c.Name;
        EXPECT_EQ(opening.File, c.How == Kind::Refused ? "" : c.Name);
    }
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
