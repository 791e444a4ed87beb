// lumen_open and lumen_send's side of it. The split of the viewer's call, templates, presets and
// settings run in this process; then the programs run as child processes, with a stand-in
// editor that writes down the raw command line it was given, and the real viewer is
// double-clicked with the real mouse.

#include "tests/viewer/registered_type.hpp"
#include "tests/viewer/viewer_clicks.hpp"
#include "test_tools/harness/viewer_harness.hpp"
#include "tests/test_support.hpp"
#include "lumen_open/call.hpp"
#include "lumen_open/editor_start.hpp"
#include "lumen_open/presets.hpp"
#include "lumen_open/settings.hpp"
#include "lumen_open/command_template.hpp"
#include "tests/programs/named_file.hpp"
#include "windows/unicode.hpp"

#include <windows.h>

#include <functional>
#include <optional>

namespace {

[[maybe_unused]] const bool viewer_chosen = (Viewer_Harness::Use_Viewer_Program(LUMEN_ROLL_EXE), true);

using namespace Open;
using namespace std::chrono_literals;
using Test_Support::Scoped_Variable;
using Test_Support::Temporary_Folder;
using Viewer_Harness::Wait_Until;
using Viewer_Harness::Windows_Path;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// ---- The viewer's call --------------------------------------------------------------------------

TEST(Call, Splits_Line_And_Column_Off_The_Right_End_Of_The_Raw_Command_Line)
{
    EXPECT_EQ(Call::Arguments_Of("\"C:\\Lumen Roll\\lumen_open.exe\" my dir\\a b.txt/7/3"), "my dir\\a b.txt/7/3");
    EXPECT_EQ(Call::Arguments_Of("lumen_open.exe  lead.txt/1/2"), " lead.txt/1/2"); // the file's own blank
    EXPECT_EQ(Call::Arguments_Of("lumen_open.exe"), "");
    struct Case {
        const char* arguments;
        const char* file;
        std::int32_t line;
        std::int32_t column;
    };
    const Case cases[] = {
        {"my dir\\a b.txt/7/3", "my dir\\a b.txt", 7, 3},
        {"src/lib/a.c/1/20", "src/lib/a.c", 1, 20},
        {"C:\\x\\a.c/007/0", "C:\\x\\a.c", 7, 1}, // 0: no particular column
        {"\"a b.txt/2/4\"", "a b.txt", 2, 4},      // typed in a shell, in quotes
        {"a.txt/2147483647/1 \r\n", "a.txt", 2147483647, 1},
        {"  lead.txt/1/1", "  lead.txt", 1, 1},
        {"--set notepad {file}/3/1", "--set notepad {file}", 3, 1},
    };
    for (const Case& c : cases) {
        const Call::Place place = Call::Split_Call(c.arguments);
        EXPECT_EQ(place.File, c.file) << c.arguments;
        EXPECT_EQ(place.Line, c.line) << c.arguments;
        EXPECT_EQ(place.Column, c.column) << c.arguments;
    }
    const std::pair<const char*, const char*> refused[] = {
        {"", "there is no /LINE/COLUMN"},
        {"a.txt/12", "there is no /LINE/COLUMN"},
        {"/12/5", "the file name is missing"},
        {"a.txt//5", "the line is missing"},
        {"a.txt/12/", "the column is missing"},
        {"a.txt/x/5", "the line \"x\" is not a number"},
        {"a.txt/12/5x", "the column \"5x\" is not a number"},
        {"a.txt/-1/5", "the line \"-1\" is not a number"},
        {"a.txt/2147483648/1", "the line is too large"},
        {"a\" --run \"b.txt/1/1", "the file name holds a quote"},
        {"C:\\x\\*.c/1/1", "the file name holds one of ? * < > |"},
        {"[ab]?.txt/1/1", "the file name holds one of ? * < > |"},
        {"a|b<c>.txt/1/1", "the file name holds one of ? * < > |"},
        {"C:\\x\\/1/1", "the file name ends in a folder separator"},
    };
    Test_Support::Expect_Refused<Call::BAD_CALL>([](const char* arguments) { Call::Split_Call(arguments); }, refused);
    // Whatever ends in /LINE/COLUMN is a place, never an option.
    const std::pair<const char*, bool> calls[] = {
        {"--set notepad {file}/3/1", true}, {"-h x.c/0/0", true},         {"\"--show/1/1\"\r\n", true},
        {"--set ed {file}/{line}", false},  {"--help", false},            {"a.txt/12", false},
        {"a.txt/x/5", false},               {"--set \"a/1/2 {file}\"", false}, {"/1/2", true},
    };
    for (const auto& [arguments, is_place] : calls) EXPECT_EQ(Call::Is_Place_Call(arguments), is_place) << arguments;
}

// ---- Templates --------------------------------------------------------------------------------

TEST(Templates, Expand_Every_Placeholder_And_Quote_The_File_Where_Needed)
{
    using enum Templates::File_Quoting;
    const Call::Place spaced{"C:\\w\\my dir\\a b.txt", 7, 3};
    EXPECT_EQ(Templates::Expand(" --goto {file}:{line}:{column}", spaced, Blanks), " --goto \"C:\\w\\my dir\\a b.txt\":7:3");
    EXPECT_EQ(Templates::Expand(" -n{line}{line} {col} {{column}} {file", spaced, Blanks), " -n77 {col} {3} {file");
    EXPECT_EQ(Templates::Expand("{file}", {"C:\\w\\a&b.txt", 1, 1}, Always), "\"C:\\w\\a&b.txt\"");
    EXPECT_EQ(Templates::Quoted_File("C:\\w\\a\tb.txt", Blanks), "\"C:\\w\\a\tb.txt\"");
    EXPECT_EQ(Templates::Quoted_File("C:\\my dir\\", Blanks), "\"C:\\my dir\\\\\""); // the quote stays a quote

    EXPECT_EQ(Templates::Parse_Template("C:\\Tools\\ed.exe --goto {file}").Program, "C:\\Tools\\ed.exe");
    const Templates::Template quoted = Templates::Parse_Template("  \"C:\\Program Files\\Ed\\ed.exe\" {file}  ");
    EXPECT_EQ(quoted.Program, "C:\\Program Files\\Ed\\ed.exe");
    EXPECT_EQ(quoted.Arguments, " {file}");
    // A relative program would be read from the current folder, the searched one.
    for (const char* bad : {"", "  ", "ed.exe --line {line}", "\"C:\\Ed\\ed.exe {file}", "{file}.exe {file}", "\"\" {file}",
                            "sub\\ed.exe {file}", ".\\ed.exe {file}", "\\ed.exe {file}", "C:ed.exe {file}"})
        EXPECT_FAILURE(Templates::Parse_Template(bad), Templates::BAD_TEMPLATE) << bad;
}

// {file} in the user's own quotes is quoted once; through cmd.exe only a stretch that is "{file}"
// alone can be kept safe, and a quote after a backslash nowhere.
TEST(Templates, Quote_The_File_Once_And_Refuse_What_Cannot_Be_Made_Safe)
{
    using enum Templates::File_Quoting;
    struct Case {
        const char* arguments;
        Templates::File_Quoting quoting;
        const char* expanded;
    };
    const Call::Place place{"C:\\my dir\\a&b.txt", 9, 2};
    const Case cases[] = {
        {" -g \"{file}\" {line}", Blanks, " -g \"C:\\my dir\\a&b.txt\" 9"},
        {" -g {file} {line}", Blanks, " -g \"C:\\my dir\\a&b.txt\" 9"},
        {" \"--file={file}\" \"+{line}\"", Blanks, " \"--file=C:\\my dir\\a&b.txt\" \"+9\""},
        {" \"{file}\" {file}:{line}", Always, " \"C:\\my dir\\a&b.txt\" \"C:\\my dir\\a&b.txt\":9"},
        {" \"+{line}\" {file}", Always, " \"+9\" \"C:\\my dir\\a&b.txt\""},
    };
    for (const Case& c : cases) EXPECT_EQ(Templates::Expand(c.arguments, place, c.quoting), c.expanded) << c.arguments;

    const std::pair<const char*, const char*> refused[] = {
        {"C:\\Ed\\ed.cmd \"--file={file}\"", "for a batch file, {file} in quotes must stand alone"},
        {"ed.bat \"{file} \"", "for a batch file, {file} in quotes must stand alone"},
        {"ed.exe -e \"open \\\"{file}\\\"\"", "a quote after a backslash"},
    };
    Test_Support::Expect_Refused<Templates::BAD_TEMPLATE>([](const char* text) { Templates::Parse_Template(text); }, refused);
    EXPECT_FAILURE(Templates::Expand(" \"x{file}\"", place, Always), Templates::BAD_TEMPLATE);
}

// ---- Presets ----------------------------------------------------------------------------------

void Make_File(const std::string& path, const std::string& bytes = "")
{
    for (std::size_t separator = path.find('\\', 3); separator != std::string::npos; separator = path.find('\\', separator + 1))
        CreateDirectoryA(path.substr(0, separator).c_str(), nullptr);
    Test_Support::Write_File(path, bytes);
}

TEST(Presets, Are_Found_On_The_Search_Path_Then_In_Their_Install_Folders)
{
    Temporary_Folder folder;
    const std::string on_path = folder.File("on path");
    const std::string programs = folder.File("programs");
    Make_File(on_path + "\\notepad++.exe");
    Make_File(on_path + "\\code.cmd");
    Make_File(programs + "\\Vim\\vim90\\gvim.exe");
    Make_File(programs + "\\Vim\\vim91\\gvim.exe");
    CreateDirectoryA((programs + "\\Vim\\vim92").c_str(), nullptr); // a newer folder without gvim
    Scoped_Variable path("PATH", on_path.c_str()), program_files("ProgramFiles", programs.c_str()),
        program_files_64("ProgramW6432", programs.c_str()), program_files_32("ProgramFiles(x86)", nullptr),
        local("LOCALAPPDATA", nullptr);
    const Call::Place place{"C:\\w\\a&b.txt", 12, 5};

    const Editor::Command notepad = Editor::Command_For("Notepad++", place);
    EXPECT_EQ(notepad.Line, "\"" + on_path + "\\notepad++.exe\" -n12 -c5 C:\\w\\a&b.txt");
    // A batch file runs through cmd.exe, where "&" would end the command: the file is quoted.
    const Editor::Command code = Editor::Command_For("code", place);
    EXPECT_EQ(Editor::Process_Start_Of(code).Line,
              "cmd.exe /d /s /v:off /c \"\"" + on_path + "\\code.cmd\" --goto \"C:\\w\\a&b.txt\":12:5\"");
    EXPECT_FAILURE(Editor::Command_For("code", {"C:\\w\\%PATH%.txt", 1, 1}), Editor::START_FAILURE);
    EXPECT_EQ(Editor::Command_For("gvim", place).Line,
              programs + "\\Vim\\vim91\\gvim.exe --literal \"+call cursor(12,5)\" C:\\w\\a&b.txt");
    try {
        Editor::Command_For("sublime", place);
        ADD_FAILURE() << "sublime was found";
    } catch (const Presets::PRESET_NOT_FOUND& failure) {
        EXPECT_TRUE(Contains(failure.Message(), "\"sublime\" found none of subl.exe, sublime_text.exe")) << failure.Message();
        EXPECT_TRUE(Contains(failure.Message(), "\n    " + programs + "\\Sublime Text 3\\subl.exe")) << failure.Message();
    }
}

// ---- Settings ---------------------------------------------------------------------------------

TEST(Settings, The_Environment_Comes_First_Then_The_User_Then_The_Machine)
{
    Test_Support::Temporary_Key user("Lumen_Open_Test");
    Test_Support::Temporary_Key machine("Lumen_Open_Test", true);
    struct Case {
        const char* environment;
        const char* user;
        const char* machine;
        std::string text;
        Settings::Source from;
    };
    const Case cases[] = {
        {"code", "gvim", "emacs", "code", Settings::Source::Environment},
        {"", "gvim", "emacs", "gvim", Settings::Source::Current_User}, // empty counts as not set
        {nullptr, "", "emacs", "emacs", Settings::Source::Local_Machine},
        {nullptr, nullptr, nullptr, "", Settings::Source::Nowhere},
    };
    for (const Case& c : cases) {
        Scoped_Variable environment(Settings::Variable, c.environment);
        RegDeleteKeyValueA(HKEY_CURRENT_USER, user.Path().c_str(), "Editor");
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, machine.Path().c_str(), "Editor");
        if (c.user) user.Set_String("Editor", c.user);
        if (c.machine) machine.Set_String("Editor", c.machine);
        const Settings::Setting setting = Settings::In_Force(user.Path());
        EXPECT_EQ(setting.Text, c.text) << c.text;
        EXPECT_EQ(setting.From, c.from) << c.text;
    }
    Scoped_Variable no_environment(Settings::Variable, nullptr);
    user.Set_Dword("Editor", 1);
    EXPECT_FAILURE(Settings::In_Force(user.Path()), Settings::WRONG_TYPE);
}

// ---- The programs -------------------------------------------------------------------------------

struct Outcome {
    DWORD Exit_Code = 0xFFFFFFFF;
    std::string Output;
};

Windows::Unique_File Inheritable_File(const std::string& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return Windows::Unique_File{CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr)};
}

// Runs Program (a path from the build) with Arguments, Input as its standard input and its
// output in a file, and waits for its end; While_Running runs meanwhile.
Outcome Run_Program(const char* program_path, const std::string& arguments, const std::string& input = "",
            const std::function<void()>& while_running = {})
{
    const Temporary_Folder io;
    Test_Support::Write_File(io.File("in.txt"), input);
    Windows::Unique_File in = Inheritable_File(io.File("in.txt"), GENERIC_READ, OPEN_EXISTING);
    Windows::Unique_File out = Inheritable_File(io.File("out.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.get();
    startup.hStdOutput = startup.hStdError = out.get();
    const std::string program = Windows_Path(program_path);
    // The arguments are UTF-8, and may hold names beyond the ANSI code page.
    std::wstring line = Windows::Unicode::Wide("\"" + program + "\" " + arguments);
    PROCESS_INFORMATION started{};
    Outcome outcome;
    if (!CreateProcessW(Windows::Unicode::Wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &started)) {
        ADD_FAILURE() << "cannot start " << program << ": " << GetLastError();
        return outcome;
    }
    const Windows::Unique_Process_Information child(started);
    if (while_running) while_running();
    if (WaitForSingleObject(child.Process.get(), 30000) != WAIT_OBJECT_0) {
        TerminateProcess(child.Process.get(), 99);
        ADD_FAILURE() << program << " did not end";
    }
    GetExitCodeProcess(child.Process.get(), &outcome.Exit_Code);
    out.reset();
    outcome.Output = Test_Support::Read_File(io.File("out.txt"));
    return outcome;
}

BOOL CALLBACK Add_Text(HWND child, LPARAM texts)
{
    char text[2048] = {};
    GetWindowTextA(child, text, sizeof text);
    *reinterpret_cast<std::string*>(texts) += std::string(text) + "\n";
    return TRUE;
}

// The texts of lumen_open's message box, read and then answered with OK; empty when no box
// appeared.
std::string Answer_Message_Box()
{
    HWND box = nullptr;
    if (!Wait_Until([&] { return (box = FindWindowA("#32770", "lumen_open")) != nullptr; }, 10s)) return {};
    std::string texts;
    EnumChildWindows(box, Add_Text, reinterpret_cast<LPARAM>(&texts));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return texts;
}

// Each test runs in a fresh current folder, with the viewer's registry key (where --set writes)
// saved and put back, no editor setting in the environment, and a stand-in editor at hand in a
// folder with a blank.
class Open_Program : public ::testing::Test {
protected:
    Open_Program()
    {
        GetCurrentDirectoryA(MAX_PATH, previous_folder_);
        SetCurrentDirectoryA(folder_.Path().c_str());
        Make_File(editor_);
        CopyFileA(Windows_Path(STUB_EXE).c_str(), editor_.c_str(), FALSE);
    }
    ~Open_Program() override { SetCurrentDirectoryA(previous_folder_); }

    std::string Editor_Output() const { return Test_Support::Read_File(editor_output_); }
    bool Wait_For_Editor() const
    {
        return Wait_Until([&] { return Contains(Editor_Output(), "\n"); }, 10s);
    }

    Temporary_Folder folder_;
    char previous_folder_[MAX_PATH] = {};
    Viewer_Harness::Viewer_Settings viewer_key_{folder_.File("viewer.log")};
    Scoped_Variable no_setting_{Settings::Variable, nullptr};
    const std::string editor_ = folder_.File("with blank\\editor.exe");
    const std::string editor_output_ = folder_.File("editor_output.txt");
    Scoped_Variable editor_output_variable_{"LUMEN_OPEN_STUB_OUTPUT", editor_output_.c_str()};
};

TEST_F(Open_Program, Set_Stores_For_The_User_And_Show_Tells_What_Runs_And_Why)
{
    const Outcome set = Run_Program(LUMEN_OPEN_EXE, "--set \"" + editor_ + "\" --goto {file}:{line}:{column}");
    EXPECT_EQ(set.Exit_Code, 0u) << set.Output;
    const std::string stored = "\"" + editor_ + "\" --goto {file}:{line}:{column}";
    EXPECT_EQ(Settings::In_Force().Text, stored);
    const Outcome show = Run_Program(LUMEN_OPEN_EXE, "--show");
    EXPECT_EQ(show.Exit_Code, 0u);
    EXPECT_TRUE(Contains(show.Output, "Setting:  " + stored + "\r\n")) << show.Output;
    EXPECT_TRUE(Contains(show.Output, "From:     \"Editor\" under HKEY_CURRENT_USER\\Software\\Quillmark\\Lumen_Roll\r\n"));
    EXPECT_TRUE(Contains(show.Output, "\"" + editor_ + "\" --goto " + folder_.File("example.txt") + ":12:5\r\n"))
        << show.Output;

    EXPECT_EQ(Run_Program(LUMEN_OPEN_EXE, "--set ed.exe --line {line}").Exit_Code, 1u); // no {file}: refused
    const Outcome relative = Run_Program(LUMEN_OPEN_EXE, "--set sub\\ed.exe {file}");
    EXPECT_EQ(relative.Exit_Code, 1u);
    EXPECT_TRUE(Contains(relative.Output, "sub\\ed.exe is a relative path")) << relative.Output;
    EXPECT_EQ(Settings::In_Force().Text, stored);
    Scoped_Variable environment(Settings::Variable, "notepad4");
    const Outcome overridden = Run_Program(LUMEN_OPEN_EXE, "--show");
    EXPECT_EQ(overridden.Exit_Code, 2u) << "notepad4 is not installed here";
    EXPECT_TRUE(Contains(overridden.Output, "From:     the environment variable LUMEN_ROLL_EDITOR")) << overridden.Output;
    EXPECT_TRUE(Contains(overridden.Output, "nothing: OPEN.PRESET_NOT_FOUND")) << overridden.Output;
}

TEST_F(Open_Program, A_Batch_File_Editor_Gets_The_File_Whole_Through_Cmd)
{
    const std::string on_path = folder_.File("on path");
    Make_File(on_path + "\\code.cmd", "@\"" + editor_ + "\" %*\r\n");
    Scoped_Variable path("PATH", on_path.c_str()), setting(Settings::Variable, "code");
    const Outcome outcome = Run_Program(LUMEN_OPEN_EXE, "a&b.txt/7/3");
    EXPECT_EQ(outcome.Exit_Code, 0u);
    ASSERT_TRUE(Wait_For_Editor()) << "the editor was not started";
    EXPECT_EQ(Editor_Output(), "\"" + editor_ + "\" --goto \"" + folder_.File("a&b.txt") + "\":7:3\n");
}

TEST_F(Open_Program, Failures_Show_What_Arrived_And_Where_Was_Looked_And_Start_Nothing)
{
    Scoped_Variable setting(Settings::Variable, ("\"" + editor_ + "\" {file}").c_str());
    std::string box;
    const Outcome malformed = Run_Program(LUMEN_OPEN_EXE, "my dir\\a b.txt/12", "", [&] { box = Answer_Message_Box(); });
    EXPECT_EQ(malformed.Exit_Code, 1u);
    EXPECT_TRUE(Contains(box, "\n    my dir\\a b.txt/12\n")) << box;
    EXPECT_TRUE(Contains(box, "expects FILE/LINE/COLUMN")) << box;
    EXPECT_TRUE(Contains(box, "(OPEN.BAD_CALL)")) << box;

    // (Wine sets a new process's ProgramFiles itself, so the real install folders are searched.)
    Scoped_Variable gvim(Settings::Variable, "gvim"), path("PATH", folder_.Path().c_str());
    const Outcome missing = Run_Program(LUMEN_OPEN_EXE, "a.txt/1/1", "", [&] { box = Answer_Message_Box(); });
    EXPECT_EQ(missing.Exit_Code, 2u);
    EXPECT_TRUE(Contains(box, "\"gvim\" found none of gvim.exe")) << box;
    EXPECT_TRUE(Contains(box, "\\Vim\\vim*\\gvim.exe\n")) << box;
    EXPECT_FALSE(Test_Support::File_Exists(editor_output_)) << Editor_Output();
}

// Without a setting no found file runs, whatever interpreter its type names: a script opens in the
// text editor (the one .txt's "edit" names), a batch file with its type's "edit". A name that is
// not there, or not a file on this computer's drives, is not opened (with an editor set neither),
// and a message box says why.
TEST_F(Open_Program, Without_A_Setting_No_Found_File_Runs)
{
    const std::string interpreter = folder_.File("interpreter.exe");
    const std::string ran_output = folder_.File("ran_output.txt");
    CopyFileA(Windows_Path(PLANTED_EXE).c_str(), interpreter.c_str(), FALSE);
    CopyFileA(Windows_Path(PLANTED_EXE).c_str(), folder_.File("notes.exe").c_str(), FALSE);
    Scoped_Variable ran_variable("LUMEN_EDITOR_STUB_OUTPUT", ran_output.c_str());
    const std::string marker = folder_.File("ran.txt");
    Test_Support::Write_File(folder_.File("setup.bat"), "@echo ran>\"" + marker + "\"\r\n");
    Test_Support::Write_File(folder_.File("setup.py"), "print(1)\r\n");
    const Test_Support::Registered_Type python(".py", "open", interpreter), text(".txt", "edit", editor_),
        batch(".bat", "edit", editor_);

    EXPECT_EQ(Run_Program(LUMEN_OPEN_EXE, "setup.py/3/4").Exit_Code, 0u);
    ASSERT_TRUE(Wait_For_Editor()) << "the text editor was not started";
    EXPECT_EQ(Editor_Output(), "\"" + editor_ + "\" \"" + folder_.File("setup.py") + "\"\n");
    DeleteFileA(editor_output_.c_str());
    EXPECT_EQ(Run_Program(LUMEN_OPEN_EXE, "setup.bat/2/1").Exit_Code, 0u);
    ASSERT_TRUE(Wait_For_Editor()) << "the batch file was not opened for editing";
    EXPECT_TRUE(Editor_Output().starts_with("\"" + editor_ + "\" \"" + folder_.File("setup.bat") + "\""))
        << Editor_Output();

    struct Refusal {
        const char* Call;
        const char* Setting;
        std::string Text;
    };
    const std::string editor_setting = "\"" + editor_ + "\" {file}";
    const Refusal refusals[] = {
        {"notes/1/1", nullptr, folder_.File("notes") + " is not there"},
        {"\\\\host\\share\\x.c/1/1", editor_setting.c_str(), "\\\\host\\share\\x.c is on another computer"},
        {"sub\\COM1.txt/1/1", editor_setting.c_str(), "sub\\COM1.txt names a device"},
    };
    for (const Refusal& refusal : refusals) {
        Scoped_Variable setting(Settings::Variable, refusal.Setting);
        DeleteFileA(editor_output_.c_str());
        std::string box;
        const Outcome refused = Run_Program(LUMEN_OPEN_EXE, refusal.Call, "", [&] { box = Answer_Message_Box(); });
        EXPECT_EQ(refused.Exit_Code, 2u) << refusal.Call;
        EXPECT_TRUE(Contains(box, refusal.Text)) << box;
        EXPECT_FALSE(Test_Support::File_Exists(editor_output_)) << Editor_Output();
    }
    EXPECT_FALSE(Test_Support::File_Exists(ran_output)) << "the interpreter or notes.exe ran";
    EXPECT_FALSE(Test_Support::File_Exists(marker)) << "the batch file ran";
}

// The place's line holds "\xE6\x97\xA5" and U+1F600 before its character 4: Code counts UTF-16
// code units (the emoji is two), gVim bytes of its UTF-8 (three and four), the others characters.
// The file's name, beyond the ANSI code page, reaches each editor whole.
TEST_F(Open_Program, Each_Preset_Gets_The_Column_In_Its_Editors_Unit_And_The_Name_Whole)
{
    const Test_Support::Named_File file(folder_.File("\xE6\x97\xA5\xE6\x9C\xAC.txt"),
                                        "line one\r\na\xE6\x97\xA5\xF0\x9F\x98\x80"
                                        "b\r\n");
    const std::string on_path = folder_.File("on path");
    Scoped_Variable path("PATH", on_path.c_str());
    const std::pair<const char*, std::int32_t> columns[] = {{"code", 5}, {"notepad++", 4}, {"sublime", 4},
                                                            {"gvim", 9}, {"emacs", 4},     {"notepad4", 4}};
    for (const auto& [name, column] : columns) {
        const Presets::Program& program = Presets::Find(name)->Programs.front();
        const std::string editor = on_path + "\\" + std::string(program.File_Name);
        Make_File(editor);
        CopyFileA(Windows_Path(STUB_EXE).c_str(), editor.c_str(), FALSE);
        DeleteFileA(editor_output_.c_str());
        Scoped_Variable setting(Settings::Variable, name);
        EXPECT_EQ(Run_Program(LUMEN_OPEN_EXE, file.Path() + "/2/4").Exit_Code, 0u) << name;
        ASSERT_TRUE(Wait_For_Editor()) << name;
        const Call::Place place{file.Path(), 2, column};
        EXPECT_EQ(Editor_Output(), Templates::Program_Word(editor) + " " +
                                       Templates::Expand(program.Arguments, place, Templates::File_Quoting::Blanks) +
                                       "\n");
    }
}

// A setting whose editor is under a name beyond the ANSI code page is stored, read back and
// started; a template's {column} stays characters.
TEST_F(Open_Program, A_Setting_Beyond_The_Code_Page_Round_Trips_And_Starts_Its_Editor)
{
    const Test_Support::Named_File editor(folder_.File("\xE7\xB7\xA8\xE9\x9B\x86 \xC3\xA9\\editor.exe"),
                                          Test_Support::Read_File(Windows_Path(STUB_EXE)));
    const Test_Support::Named_File file(folder_.File("\xE6\x97\xA5\xE6\x9C\xAC.txt"), "a\xF0\x9F\x98\x80"
                                                                                      "b\n");
    const std::string stored = "\"" + editor.Path() + "\" {file}:{line}:{column}";
    EXPECT_EQ(Run_Program(LUMEN_OPEN_EXE, "--set \"" + editor.Path() + "\" {file}:{line}:{column}").Exit_Code, 0u);
    EXPECT_EQ(Settings::In_Force().Text, stored);
    EXPECT_EQ(Run_Program(LUMEN_OPEN_EXE, file.Path() + "/1/3").Exit_Code, 0u);
    ASSERT_TRUE(Wait_For_Editor());
    EXPECT_EQ(Editor_Output(), "\"" + editor.Path() + "\" " + file.Path() + ":1:3\n");
}

// A file found by a search may be named like an option; it opens as the file it is, and no
// setting changes. Blanks at its start are the name's.
TEST_F(Open_Program, A_Name_Like_An_Option_Opens_Its_Own_File)
{
    Scoped_Variable setting(Settings::Variable, ("\"" + editor_ + "\" {file} {line}").c_str());
    const std::pair<const char*, const char*> calls[] = {
        {"--set notepad {file}/3/1", "\"--set notepad {file}\" 3"},
        {"-h x.c/5/1", "\"-h x.c\" 5"},
        {" lead.txt/4/1", "\" lead.txt\" 4"},
    };
    for (const auto& [call, opened] : calls) {
        DeleteFileA(editor_output_.c_str());
        const Outcome outcome = Run_Program(LUMEN_OPEN_EXE, call);
        EXPECT_EQ(outcome.Exit_Code, 0u) << call << outcome.Output;
        ASSERT_TRUE(Wait_For_Editor()) << call;
        const std::string expected = std::string(opened).insert(1, folder_.Path() + "\\");
        EXPECT_EQ(Editor_Output(), "\"" + editor_ + "\" " + expected + "\n") << call;
    }
    Scoped_Variable no_environment(Settings::Variable, nullptr);
    EXPECT_EQ(Settings::In_Force().From, Settings::Source::Nowhere) << Settings::In_Force().Text;
}

// The current folder is the searched one: an editor's namesake planted there is never started,
// not for a preset, not for a template's bare program, not with "." on PATH.
TEST_F(Open_Program, A_Program_Planted_In_The_Current_Folder_Is_Never_Started)
{
    const std::string on_path = folder_.File("on path");
    const std::string planted_output = folder_.File("planted_output.txt");
    Scoped_Variable planted_variable("LUMEN_EDITOR_STUB_OUTPUT", planted_output.c_str());
    Scoped_Variable path("PATH", (".;;" + on_path).c_str());
    for (const char* program : {"notepad++.exe", "lumen_ed.exe"}) {
        Make_File(on_path + "\\" + program);
        CopyFileA(Windows_Path(STUB_EXE).c_str(), (on_path + "\\" + program).c_str(), FALSE);
        CopyFileA(Windows_Path(PLANTED_EXE).c_str(), folder_.File(program).c_str(), FALSE);
    }
    const std::pair<const char*, std::string> settings[] = {
        {"notepad++", "\"" + on_path + "\\notepad++.exe\" -n7 -c3 " + folder_.File("a.txt") + "\n"},
        {"lumen_ed {file}", "\"" + on_path + "\\lumen_ed.exe\" " + folder_.File("a.txt") + "\n"},
    };
    for (const auto& [text, started] : settings) {
        DeleteFileA(editor_output_.c_str());
        Scoped_Variable setting(Settings::Variable, text);
        EXPECT_EQ(Run_Program(LUMEN_OPEN_EXE, "a.txt/7/3").Exit_Code, 0u) << text;
        ASSERT_TRUE(Wait_For_Editor()) << text;
        EXPECT_EQ(Editor_Output(), started);
        EXPECT_FALSE(Test_Support::File_Exists(planted_output)) << text << ": the planted program ran";
    }
}

// A template that quotes {file} itself gets it quoted once; through cmd.exe, "&" in a name stays
// text and "!" is not expanded even where the user switched delayed expansion on (Wine's cmd.exe
// does not read that setting; Windows' does); a template cmd.exe cannot take safely is refused
// by --set.
TEST_F(Open_Program, A_Template_Quoting_Its_File_Gets_It_Once_Also_Through_Cmd)
{
    Scoped_Variable quoted(Settings::Variable, ("\"" + editor_ + "\" -g \"{file}\" {line}").c_str());
    EXPECT_EQ(Run_Program(LUMEN_OPEN_EXE, "my dir\\a b.txt/9/1").Exit_Code, 0u);
    ASSERT_TRUE(Wait_For_Editor());
    EXPECT_EQ(Editor_Output(), "\"" + editor_ + "\" -g \"" + folder_.File("my dir\\a b.txt") + "\" 9\n");

    const std::string batch = folder_.File("on path\\ed.cmd");
    Make_File(batch, "@\"" + editor_ + "\" %*\r\n");
    const std::string marker = folder_.File("calc ran.txt");
    Test_Support::Write_File(folder_.File("calc.bat"), "@echo ran>\"" + marker + "\"\r\n");
    HKEY processor = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Command Processor", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &processor, nullptr);
    const DWORD on = 1;
    RegSetValueExA(processor, "DelayedExpansion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    Scoped_Variable through_cmd(Settings::Variable, ("\"" + batch + "\" \"{file}\" {line}").c_str());
    for (const char* name : {"a&calc&.txt", "a!USERNAME!b.txt"}) {
        DeleteFileA(editor_output_.c_str());
        EXPECT_EQ(Run_Program(LUMEN_OPEN_EXE, std::string(name) + "/7/3").Exit_Code, 0u) << name;
        ASSERT_TRUE(Wait_For_Editor()) << name;
        EXPECT_EQ(Editor_Output(), "\"" + editor_ + "\" \"" + folder_.File(name) + "\" 7\n") << name;
    }
    RegDeleteValueA(processor, "DelayedExpansion");
    RegCloseKey(processor);
    EXPECT_FALSE(Test_Support::File_Exists(marker)) << "calc.bat ran";

    const Outcome refused = Run_Program(LUMEN_OPEN_EXE, "--set \"\\\"" + batch + "\\\" \\\"--file={file}\\\"\"");
    EXPECT_EQ(refused.Exit_Code, 1u);
    EXPECT_TRUE(Contains(refused.Output, "{file} in quotes must stand alone")) << refused.Output;
}

TEST_F(Open_Program, A_Double_Click_In_The_Viewer_Starts_The_Editor_At_The_Place)
{
    const std::string command = "\"" + editor_ + "\" --at {line},{column} {file} again={line}";
    Scoped_Variable setting(Settings::Variable, command.c_str());
    Viewer_Harness::Viewer_Process viewer({"Lumen_Roll_V1.1", Windows_Path(LUMEN_OPEN_EXE)});
    Viewer_Harness::Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Places", "title");
    host.Group("my dir\\a b.txt", 1, {{"x := y;", 12, 6}});
    EXPECT_EQ(host.Send_Text(""), Viewer_Harness::Answer::Closed);
    const HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    const Viewer_Harness::Remote_Tree tree(viewer, tree_window);
    ASSERT_TRUE(tree.Wait_For_Count(2));
    ASSERT_TRUE(Viewer_Clicks::Double_Click_Item(viewer, tree, tree.Read().at(0).Children.at(0).Item));
    ASSERT_TRUE(Wait_For_Editor()) << "the editor was not started";
    EXPECT_EQ(Editor_Output(), "\"" + editor_ + "\" --at 12,6 \"" + folder_.File("my dir\\a b.txt") + "\" again=12\n");
}

// ---- lumen_send's side ---------------------------------------------------------------------------

TEST_F(Open_Program, Lumen_Send_Open_With_Makes_Lumen_Open_The_Viewers_Editor)
{
    const std::string record = folder_.File("record.txt");
    Scoped_Variable record_variable("LUMEN_FAKE_VIEWER_RECORD", record.c_str());
    // The stand-in viewer serves the message-by-message protocol only.
    const Outcome sent = Run_Program(
        LUMEN_SEND_EXE, "--viewer \"" + Windows_Path(FAKE_VIEWER_EXE) + "\" --protocol 1.1 --open-with notepad++", "a.c:1:x\n");
    EXPECT_EQ(sent.Exit_Code, 0u) << sent.Output;
    ASSERT_TRUE(Wait_Until([&] { return Test_Support::File_Exists(record); }, 10s));
    const std::string send_path = Windows_Path(LUMEN_SEND_EXE);
    const std::string opener = send_path.substr(0, send_path.rfind('\\')) + "\\lumen_open.exe";
    EXPECT_TRUE(Test_Support::Read_File(record).starts_with("15:Lumen_Roll_V1.1\n" + std::to_string(opener.size()) + ":" +
                                                            opener + "\n9:notepad++\n"))
        << Test_Support::Read_File(record);
}

// A capture of lumen_send's output, as "| tail" makes one, ends with lumen_send although the
// viewer it started stays open: the viewer has not inherited the pipe.
TEST_F(Open_Program, A_Pipeline_With_Lumen_Send_Ends_When_Lumen_Send_Does)
{
    Test_Support::Write_File(folder_.File("places.txt"), "a.c:1:x\n");
    const std::string title = "Pipeline " + std::to_string(GetCurrentProcessId());
    const bool ended = Test_Support::Run_Unix("/usr/lib/wine/wine64 " + std::string(LUMEN_SEND_EXE) + " --viewer '" +
                                                  Windows_Path(LUMEN_ROLL_EXE) + "' -t '" + title + "' '" +
                                                  folder_.File("places.txt") + "' | cat >/dev/null",
                                              30s);
    HWND window = nullptr;
    Wait_Until([&] { return (window = FindWindowA(nullptr, title.c_str())) != nullptr; }, 10s);
    ASSERT_NE(window, nullptr) << "the viewer did not show the places";
    DWORD viewer_id = 0;
    GetWindowThreadProcessId(window, &viewer_id);
    const Windows::Unique_Handle viewer{OpenProcess(SYNCHRONIZE, FALSE, viewer_id)};
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(viewer.get(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(ended) << "the pipeline waited for the viewer";
}

} // namespace
