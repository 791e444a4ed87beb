#include "windows/windows.hpp"

#include "support/text.hpp"
#include "tests/test_support.hpp"
#include "tests/windows/platform_test_support.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::string_literals;
using Platform_Test_Support::Open_Handle_Count;
using Platform_Test_Support::Own_Path;
using Test_Support::File_Exists;
using Test_Support::Read_File;

// Modules

std::uintptr_t Address_Of(const void* pointer) { return reinterpret_cast<std::uintptr_t>(pointer); }

TEST(Modules, Main_Module_Is_This_Program)
{
    const Windows::Module_Entry main = Windows::Main_Module();
    EXPECT_EQ(main.Module_Handle, GetModuleHandleA(nullptr));
    EXPECT_EQ(Windows::Module_Path(main), Own_Path());
    EXPECT_EQ(Windows::Module_Name(main), "system_tests");
    EXPECT_EQ(main.Base_Address, Address_Of(GetModuleHandleA(nullptr)));
    EXPECT_FALSE(Windows::Is_Dll(GetModuleHandleA(nullptr)));
    EXPECT_TRUE(Windows::Is_Dll(GetModuleHandleA("kernel32.dll")));
    EXPECT_EQ(Windows::Main_Module(GetCurrentProcessId()).Module_Handle, main.Module_Handle);
    EXPECT_FAILURE(Windows::Main_Module(0xFFFFFFF0u), Windows::NO_MODULE_INFORMATION);
}

TEST(Modules, Module_Containing_Covers_Base_To_One_Before_The_End)
{
    const auto kernel32 = reinterpret_cast<std::uintptr_t>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep"));
    const Windows::Module_Entry library = Windows::Module_Containing(kernel32);
    EXPECT_EQ(library.Module_Handle, GetModuleHandleA("kernel32.dll"));
    EXPECT_EQ(Text::To_Lower(library.Name), "kernel32.dll");

    const Windows::Module_Entry main = Windows::Module_Containing(reinterpret_cast<std::uintptr_t>(&Own_Path));
    EXPECT_EQ(main.Module_Handle, GetModuleHandleA(nullptr));
    EXPECT_EQ(Windows::Module_Containing(main.Base_Address).Module_Handle, main.Module_Handle);
    EXPECT_EQ(Windows::Module_Containing(main.Base_Address + main.Size - 1).Module_Handle, main.Module_Handle);
    // One past the end belongs to another module or to none.
    try {
        EXPECT_NE(Windows::Module_Containing(main.Base_Address + main.Size).Module_Handle, main.Module_Handle);
    } catch (const Windows::NO_MODULE_INFORMATION&) {
    }
    EXPECT_FAILURE(Windows::Module_Containing(16), Windows::NO_MODULE_INFORMATION);
}

TEST(Modules, Module_Name_Drops_Only_The_Last_Extension)
{
    struct Case {
        const char* name;
        const char* expected;
    };
    for (const Case& test : {Case{"lumen_roll.exe", "lumen_roll"}, Case{"a.tar.gz", "a.tar"}, Case{"trace", "trace"},
                             Case{".profile", ""}, Case{"name.", "name"}, Case{"", ""}}) {
        Windows::Module_Entry entry;
        entry.Name = test.name;
        entry.Path = std::string("C:\\data.dir\\") + test.name;
        EXPECT_EQ(Windows::Module_Name(entry), test.expected) << test.name;
        EXPECT_EQ(Windows::Module_Path(entry), entry.Path);
    }
}

// Time, threads, the system

TEST(System, Date_Time_Image_Joins_Date_And_Time_With_One_Blank)
{
    SYSTEMTIME time{};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 8;
    time.wHour = 16;
    time.wMinute = 56;
    time.wSecond = 8;
    const std::string image = Windows::Date_Time_Image(time);
    const std::size_t blank = image.find(' ');
    ASSERT_NE(blank, std::string::npos);
    EXPECT_NE(image.substr(0, blank).find("2026"), std::string::npos) << image;
    EXPECT_NE(image.substr(blank + 1).find("56:08"), std::string::npos) << image;

    SYSTEMTIME impossible{};
    impossible.wYear = 2026;
    impossible.wMonth = 13;
    impossible.wDay = 40;
    impossible.wHour = 25;
    EXPECT_EQ(Windows::Date_Time_Image(impossible), " ");
}

TEST(System, Thread_Identifiers_Differ_Between_Threads)
{
    EXPECT_EQ(Windows::Current_Thread_Id(), GetCurrentThreadId());
    std::uint32_t other = 0;
    std::thread([&other] { other = Windows::Current_Thread_Id(); }).join();
    EXPECT_NE(other, Windows::Current_Thread_Id());
}

TEST(System, An_Interactive_NT_Process)
{
    EXPECT_TRUE(Windows::Is_NT_4_Or_Later());
    EXPECT_FALSE(Windows::Is_Service()) << "the tests run in an interactive logon";
}

// Processes

// What a probe reported: its command line, its folder and its environment, one per line.
struct Probe_Report {
    std::string command;
    std::string folder;
    std::vector<std::string> environment;

    bool Has_Variable(const std::string& entry) const
    {
        for (const std::string& line : environment)
            if (line == entry) return true;
        return false;
    }
};

class Processes : public testing::Test {
protected:
    Test_Support::Temporary_Folder folder;
    std::vector<std::string> probes;

    // A running program cannot be deleted: wait (with a bound) for the children to end, so that
    // the temporary folder goes away with them.
    void TearDown() override
    {
        for (const std::string& probe : probes) {
            for (int attempt = 0; attempt < 200 && !DeleteFileA(probe.c_str()); ++attempt)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    // A copy of the probe at Path (relative to the temporary folder).
    std::string Probe_At(const std::string& path)
    {
        const std::string own = Own_Path();
        const std::string probe = own.substr(0, own.rfind('\\')) + "\\process_probe.exe";
        const std::string target = folder.File(path);
        CreateDirectoryA(target.substr(0, target.rfind('\\')).c_str(), nullptr);
        EXPECT_TRUE(CopyFileA(probe.c_str(), target.c_str(), FALSE)) << probe;
        probes.push_back(target);
        return target;
    }

    // Waits (with a bound) for the probe at Path to report.
    static Probe_Report Report_Of(const std::string& probe)
    {
        const std::string report = probe + ".out";
        for (int attempt = 0; attempt < 200 && !File_Exists(report); ++attempt)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        Probe_Report result;
        std::istringstream lines(Read_File(report));
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("command=", 0) == 0) result.command = line.substr(8);
            else if (line.rfind("folder=", 0) == 0) result.folder = line.substr(7);
            else result.environment.push_back(line);
        }
        return result;
    }
};

TEST_F(Processes, Arguments_Follow_The_Program_After_One_Blank)
{
    const std::string probe = Probe_At("probe.exe");
    Windows::Create_Process({.Program = probe, .Arguments = "a b"});
    const Probe_Report report = Report_Of(probe);
    EXPECT_EQ(report.command, probe + " a b");
    EXPECT_TRUE(report.Has_Variable("PATH=" + std::string(getenv("PATH")))) << "the environment is inherited";
}

TEST_F(Processes, Program_With_Blanks_Is_Quoted_So_No_Other_Program_Starts)
{
    // Unquoted, "...\Ed Dir\probe.exe a b" would start "...\Ed.exe".
    const std::string decoy = Probe_At("Ed.exe");
    const std::string probe = Probe_At("Ed Dir\\probe.exe");
    Windows::Create_Process({.Program = probe, .Arguments = "file.adb/12/3"});
    EXPECT_EQ(Report_Of(probe).command, '"' + probe + "\" file.adb/12/3");
    EXPECT_FALSE(File_Exists(decoy + ".out"));

    // A program already in quotes is taken as it is; arguments are never touched.
    DeleteFileA((probe + ".out").c_str());
    Windows::Create_Process({.Program = '"' + probe + '"', .Arguments = "\"quoted arg\"  two"});
    EXPECT_EQ(Report_Of(probe).command, '"' + probe + "\" \"quoted arg\"  two");
    EXPECT_FALSE(File_Exists(decoy + ".out"));
}

// The viewer's current folder is the searched one: a program of the editor's name planted
// there must not start when the editor's full path is known.
TEST_F(Processes, A_Given_Application_Runs_And_No_Namesake_In_The_Current_Folder)
{
    const std::string planted = Probe_At("repository\\probe.exe");
    const std::string editor = Probe_At("tools\\probe.exe");
    char previous[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, previous);
    SetCurrentDirectoryA(folder.File("repository").c_str());
    Windows::Create_Process({.Program = "probe", .Arguments = "a.c/1/2", .Application = editor});
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(Report_Of(editor).command, "probe a.c/1/2");
    EXPECT_FALSE(File_Exists(planted + ".out"));
}

TEST_F(Processes, Without_Arguments_The_Program_Is_The_Application_Name)
{
    const std::string decoy = Probe_At("Ed.exe");
    const std::string probe = Probe_At("Ed Dir\\probe.exe");
    Windows::Create_Process({.Program = probe, .Arguments = ""});
    const Probe_Report report = Report_Of(probe);
    EXPECT_NE(report.command.find(probe), std::string::npos) << report.command;
    EXPECT_FALSE(File_Exists(decoy + ".out"));
}

TEST_F(Processes, Environment_And_Folder_Are_Passed_When_Given)
{
    const std::string probe = Probe_At("probe.exe");
    CreateDirectoryA(folder.File("work").c_str(), nullptr);
    Windows::Create_Process({.Program = probe, .Arguments = "x", .Environment = "A=1\0LUMEN_SECOND=two words"s,
                             .Directory = folder.File("work")});
    const Probe_Report report = Report_Of(probe);
    EXPECT_TRUE(report.Has_Variable("A=1"));
    EXPECT_TRUE(report.Has_Variable("LUMEN_SECOND=two words"));
    EXPECT_FALSE(report.Has_Variable("PATH=" + std::string(getenv("PATH")))) << "nothing of ours is inherited";
    EXPECT_EQ(report.folder, folder.File("work"));
}

TEST_F(Processes, A_Given_Standard_Handle_Reaches_The_Child)
{
    const std::string probe = Probe_At("probe.exe");
    const std::string output = folder.File("output.txt");
    {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        Windows::Unique_File file(CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        Windows::Create_Process({.Program = probe, .Arguments = "x", .Standard_Output = file.get()});
        Report_Of(probe);
    }
    EXPECT_EQ(Read_File(output), "probe output");
}

TEST_F(Processes, A_Missing_Program_Fails_And_Leaves_No_Handle)
{
    const std::string probe = Probe_At("probe.exe");
    // The first start opens handles of its own for good.
    Windows::Create_Process({.Program = probe, .Arguments = "warm up"});
    Report_Of(probe);
    const ULONG before = Open_Handle_Count();
    ASSERT_GT(before, 0u) << "the system did not tell this process's handles";
    EXPECT_FAILURE(Windows::Create_Process({.Program = folder.File("missing.exe"), .Arguments = "a"}),
                   Windows::PROCESS_CREATION_FAILURE);
    EXPECT_FAILURE(Windows::Create_Process({.Program = folder.File("missing.exe"), .Arguments = ""}),
                   Windows::PROCESS_CREATION_FAILURE);
    EXPECT_EQ(Open_Handle_Count(), before);

    DeleteFileA((probe + ".out").c_str());
    Windows::Create_Process({.Program = probe, .Arguments = "again"});
    Report_Of(probe);
    EXPECT_EQ(Open_Handle_Count(), before) << "the child's process and thread handles are closed";
}

} // namespace
