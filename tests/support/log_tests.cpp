// The log on real files and the real registry. Each test configures a product name of its own
// under "Software\Quillmark\" and opens a fresh Log_State on it; only the header test goes
// through Open_Log and the process-wide log, which opens once per process.

#include "support/log.hpp"

#include "support/failure.hpp"
#include "tests/test_support.hpp"
#include "windows/registry.hpp"

#include <windows.h>

#include <atomic>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Log::Log_State;
namespace Registry = Windows::Registry;

const std::regex Stamped_Form(R"( (\d+)\.(\d{4}) \(([0-9A-F]{4,})\) => (.*))");

std::string Unique_Product()
{
    static std::atomic<int> serial{0};
    return "Lumen_Roll_Log_Tests_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial++);
}

// The file's lines; every line must end with CR LF.
std::vector<std::string> Lines_Of(const std::string& path)
{
    const std::string text = Test_Support::Read_File(path);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF in " << path;
    return lines;
}

// Stamped lines become "=> " and their message; the unstamped notices stay as they are.
std::vector<std::string> Shape_Of(const std::string& path)
{
    std::vector<std::string> shape;
    for (const std::string& line : Lines_Of(path)) {
        std::smatch parts;
        shape.push_back(std::regex_match(line, parts, Stamped_Form) ? "=> " + parts[4].str() : line);
    }
    return shape;
}

std::vector<std::string> Notices(std::uint32_t limit, const std::string& second_file)
{
    return {"The log file reached it's maximum size of " + std::to_string(limit) + " records",
            "These records are now stored in the file " + second_file};
}

std::vector<std::string> Joined(std::vector<std::string> first, const std::vector<std::string>& rest)
{
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

class Log_Test : public ::testing::Test {
protected:
    const std::string name = Unique_Product();
    Test_Support::Temporary_Folder folder;
    const std::string log_file = folder.File("view.log");
    const std::string second_file = folder.File("view_2.log");
    Test_Support::Temporary_Key user_key{name};

    void Configure(std::uint32_t limit)
    {
        user_key.Set_String("Log", log_file);
        user_key.Set_Dword("Log Limit", limit);
    }
};

TEST(Log_Names, The_Second_File_Gets_2_Before_The_Last_Point)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\logs\\view.log", "C:\\logs\\view_2.log"}, {"C:\\data.dir\\log", "C:\\data_2.dir\\log"},
        {"trace", "trace_2"},                         {"a.b.c", "a.b_2.c"},
        {".log", "_2.log"},                           {"x.", "x_2."},
        {"", "_2"},
    };
    for (const auto& [path, second] : cases) EXPECT_EQ(Log::Second_File_Name(path), second) << path;
}

TEST(Log_Lines, The_Stamp_Holds_Seconds_Since_Midnight_And_The_Thread)
{
    struct Case {
        std::uint32_t milliseconds;
        std::uint32_t thread;
        const char* line;
    };
    const Case cases[] = {
        {65500, 0xA4, " 65.5000 (00A4) => Complete"},
        {3250, 1, " 3.2500 (0001) => Complete"},
        {0, 0xFFFF, " 0.0000 (FFFF) => Complete"},
        {1, 0x10000, " 0.0010 (10000) => Complete"},
        {86399999, 0xABCDEF01, " 86399.9990 (ABCDEF01) => Complete"},
    };
    for (const Case& c : cases) EXPECT_EQ(Log::Stamped_Line(c.milliseconds, c.thread, "Complete"), c.line);
    EXPECT_EQ(Log::Stamped_Line(0, 0, ""), " 0.0000 (0000) => ");
}

TEST_F(Log_Test, Without_A_Log_Value_Nothing_Is_Written)
{
    user_key.Set_Dword("Log Limit", 3); // a key of its own, but no "Log"
    for (const std::string& product : {name, name + "_without_key"}) {
        Log_State log;
        EXPECT_TRUE(log.Start_Log(product, true));
        EXPECT_FALSE(log.Is_Open());
        log.Write_Line("lost");
        EXPECT_TRUE(log.Start_Log(product, true)); // a closed log tries again
    }
}

TEST_F(Log_Test, The_Registry_Position_Is_The_Same_Afterwards)
{
    Configure(0);
    for (auto root : {Registry::Registry_Root::Current_User, Registry::Registry_Root::Local_Machine}) {
        Registry::Set_Root(root);
        Registry::Open_Key("Software");
        const std::wstring path = Registry::Current_Key_Path();
        Log_State log;
        log.Start_Log(name, false);
        EXPECT_TRUE(log.Is_Open());
        EXPECT_EQ(Registry::Root_Is_Local_Machine(), root == Registry::Registry_Root::Local_Machine);
        EXPECT_EQ(Registry::Current_Key_Path(), path);
    }
    Registry::Set_Root(Registry::Registry_Root::Current_User);
}

TEST_F(Log_Test, Only_Machine_Configuration_Is_Used_With_Its_Own_Limit)
{
    user_key.Set_Dword("Log Limit", 7); // not the key that names the file
    Test_Support::Temporary_Key machine_key(name, true);
    machine_key.Set_String("Log", log_file);
    machine_key.Set_Dword("Log Limit", 3);
    {
        Log_State log;
        log.Start_Log(name, true);
        for (const char* message : {"a", "b", "c", "d"}) log.Write_Line(message);
    }
    EXPECT_EQ(Shape_Of(log_file), Joined(Notices(3, second_file), {"=> d"}));
    EXPECT_EQ(Shape_Of(second_file), (std::vector<std::string>{"=> a", "=> b", "=> c"}));
}

TEST_F(Log_Test, Opening_Empties_The_Log_And_Removes_An_Old_Second_File)
{
    Configure(3);
    Test_Support::Write_File(log_file, "earlier run\r\n");
    Test_Support::Write_File(second_file, "run before that\r\n");
    Log_State log;
    EXPECT_TRUE(log.Start_Log(name, false));
    EXPECT_EQ(Test_Support::Read_File(log_file), "");
    EXPECT_FALSE(Test_Support::File_Exists(second_file));
}

TEST_F(Log_Test, A_Full_File_Moves_To_The_Second_File)
{
    struct Case {
        std::uint32_t limit;
        std::vector<std::string> log, second; // after the writes a, b, c, d, e
    };
    const std::vector<std::string> notices_1 = Notices(1, second_file), notices_2 = Notices(2, second_file),
                                   notices_3 = Notices(3, second_file);
    const Case cases[] = {
        {3, Joined(notices_3, {"=> e"}), Joined(notices_3, {"=> d"})},
        {2, Joined(notices_2, {"=> e"}), Joined(notices_2, {"=> d"})},
        {1, Joined(notices_1, {"=> e"}), Joined(notices_1, {"=> d"})},
        {5, {"=> a", "=> b", "=> c", "=> d", "=> e"}, {}},
    };
    for (const Case& c : cases) {
        Configure(c.limit);
        {
            Log_State log;
            log.Start_Log(name, true);
            for (const char* message : {"a", "b", "c", "d", "e"}) log.Write_Line(message);
        }
        EXPECT_EQ(Shape_Of(log_file), c.log) << "limit " << c.limit;
        EXPECT_EQ(Test_Support::File_Exists(second_file), !c.second.empty()) << "limit " << c.limit;
        if (!c.second.empty()) {
            EXPECT_EQ(Shape_Of(second_file), c.second) << "limit " << c.limit;
        }
    }
}

TEST_F(Log_Test, Without_A_Limit_The_File_Grows_And_An_Old_Second_File_Stays)
{
    Configure(0);
    Test_Support::Write_File(second_file, "run before\r\n");
    {
        Log_State log;
        log.Start_Log(name, false);
        for (int line = 0; line < 1000; ++line) log.Write_Line(std::to_string(line));
    }
    const std::vector<std::string> shape = Shape_Of(log_file);
    ASSERT_EQ(shape.size(), 1000u);
    EXPECT_EQ(shape.back(), "=> 999");
    EXPECT_EQ(Test_Support::Read_File(second_file), "run before\r\n");
}

TEST_F(Log_Test, An_Unreadable_Limit_Means_100000_Lines)
{
    user_key.Set_String("Log", log_file);
    user_key.Set_String("Log Limit", "3"); // the wrong type
    {
        Log_State log;
        log.Start_Log(name, false);
        for (int line = 0; line <= 100000; ++line) log.Write_Line("x");
    }
    EXPECT_EQ(Lines_Of(second_file).size(), 100000u);
    EXPECT_EQ(Shape_Of(log_file), Joined(Notices(100000, second_file), {"=> x"}));
}

TEST_F(Log_Test, Flushing_Is_Asked_For_By_A_Later_Start)
{
    Configure(0);
    Log_State log;
    EXPECT_TRUE(log.Start_Log(name, false));
    log.Write_Line("buffered");
    EXPECT_EQ(Test_Support::Read_File(log_file), ""); // less than one 500-byte buffer
    EXPECT_FALSE(log.Start_Log(name, true));         // open already: only flushes
    EXPECT_EQ(Shape_Of(log_file), std::vector<std::string>{"=> buffered"});
    log.Write_Line("flushed");
    EXPECT_EQ(Shape_Of(log_file), (std::vector<std::string>{"=> buffered", "=> flushed"}));
}

TEST_F(Log_Test, Threads_Writing_At_Once_Never_Mix_Their_Lines)
{
    constexpr int Threads = 8, Lines_Each = 40;
    constexpr std::uint32_t Limit = 100; // 320 lines: files of 100, 98, 98 and 24 lines after the notices
    Configure(Limit);
    std::vector<std::uint32_t> thread_ids(Threads);
    {
        Log_State log;
        log.Start_Log(name, false);
        std::vector<std::thread> writers;
        for (int t = 0; t < Threads; ++t)
            writers.emplace_back([&, t] {
                thread_ids[t] = GetCurrentThreadId();
                for (int i = 0; i < Lines_Each; ++i) log.Write_Line("thread " + std::to_string(t) + " line " + std::to_string(i));
            });
        for (std::thread& writer : writers) writer.join();
    }
    std::vector<std::string> second = Lines_Of(second_file), last = Lines_Of(log_file);
    ASSERT_EQ(second.size(), Limit);
    ASSERT_EQ(last.size(), 2u + 24u);
    const std::vector<std::string> notices = Notices(Limit, second_file);
    for (const auto* file : {&second, &last}) EXPECT_EQ(std::vector<std::string>(file->begin(), file->begin() + 2), notices);

    // Both files together hold the last 122 lines written, so each thread's lines there are the
    // unbroken end of its own sequence.
    std::map<int, std::vector<int>> seen;
    const std::regex message_form(R"(thread (\d+) line (\d+))");
    for (const auto* file : {&second, &last}) {
        for (auto line = file->begin() + 2; line != file->end(); ++line) {
            std::smatch stamp, message;
            ASSERT_TRUE(std::regex_match(*line, stamp, Stamped_Form)) << *line;
            const std::string text = stamp[4].str();
            ASSERT_TRUE(std::regex_match(text, message, message_form)) << *line;
            const int t = std::stoi(message[1].str());
            EXPECT_EQ(std::stoul(stamp[3].str(), nullptr, 16), thread_ids.at(t)) << *line;
            seen[t].push_back(std::stoi(message[2].str()));
        }
    }
    std::size_t total = 0;
    for (const auto& [t, numbers] : seen) {
        for (std::size_t k = 0; k < numbers.size(); ++k)
            EXPECT_EQ(numbers[k], Lines_Each - int(numbers.size()) + int(k)) << "thread " << t;
        total += numbers.size();
    }
    EXPECT_EQ(total, 98u + 24u);
}

// Open_Log runs once per process, so the process-wide log is tested here only.
TEST(Log_Open, The_Program_Log_Starts_With_Its_Header_Lines)
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, folder);
    const std::string log_file = std::string(folder) + "\\log_tests.log"; // stays open until the end
    {
        Test_Support::Temporary_Key key("Lumen_Roll_Log_Tests"); // our own version resource's name
        key.Set_String("Log", log_file);
        Log::Open_Log(true);
        Log::Open_Log(true); // opened already: no second header
    }
    SetLastError(1234);
    Log::Put("after the header");
    EXPECT_EQ(GetLastError(), 1234u);
    Log::Put_Exception("!!! Exception", Failures::RANGE_ERROR("negative value"));
    Log::Put_Exception("!!! Exception", std::runtime_error("plain"));
    try {
        throw 42;
    } catch (...) {
        Log::Put_Exception("!!! Exception");
    }

    const std::vector<std::string> shape = Shape_Of(log_file);
    ASSERT_EQ(shape.size(), 6u);
    EXPECT_EQ(shape[0], "=> Lumen_Roll_Log_Tests version 9.8");
    EXPECT_EQ(shape[1].rfind("=> Log created ", 0), 0u) << shape[1];
    EXPECT_NE(shape[1].find(' ', 15), std::string::npos) << "date, blank, time: " << shape[1];
    EXPECT_EQ(shape[2], "=> after the header");
    EXPECT_EQ(shape[3], "=> !!! Exception: Exception = RANGE_ERROR: negative value");
    EXPECT_EQ(shape[4].rfind("=> !!! Exception: Exception = ", 0), 0u) << shape[4];
    EXPECT_NE(shape[4].find(": plain"), std::string::npos) << shape[4];
    EXPECT_EQ(shape[5], "=> !!! Exception: Unknown Exception");
}

} // namespace
