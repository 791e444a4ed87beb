// A real server and a real client on two threads of this process, over real named pipes.

#include "windows/pipe.hpp"

#include "support/log.hpp"
#include "tests/test_support.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <atomic>
#include <cmath>
#include <functional>
#include <future>
#include <string>
#include <thread>

namespace {

namespace Pipe = Windows::Pipe;
using Pipe::Pipe_Handle;
using Pipe::Pipe_Mode;
using Pipe::Seconds;

const Seconds No_Timeout{0.0};
const Seconds Long_Wait{10.0}; // only ever reached when something is broken

// Every test has a pipe name of its own, so a leftover of one never meets the next.
std::string Unique_Name()
{
    static std::atomic<int> serial{0};
    return "Lumen_Pipe_Tests_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial++);
}

// The client may start before the server has created the pipe: it polls, with a bound.
Pipe_Handle Connect_Client(const std::string& name, Pipe_Mode mode = Pipe_Mode::Duplex)
{
    for (int attempt = 0;; ++attempt) {
        try {
            Pipe_Handle client;
            Pipe::Open(client,
                       {.Name = name, .Is_Server = false, .Mode = mode, .Buffer_Size = 1024, .Timeout = No_Timeout});
            return client;
        } catch (const Pipe::NO_SERVER&) {
            if (attempt == 1000) throw;
            Sleep(5);
        }
    }
}

// Runs Client_Work on a client thread connected to Name while the caller opens the server.
class Client_Thread {
public:
    Client_Thread(const std::string& name, std::function<void(Pipe_Handle&)> client_work,
                  Pipe_Mode mode = Pipe_Mode::Duplex)
        : done_(std::async(std::launch::async, [name, client_work, mode] {
              Pipe_Handle client = Connect_Client(name, mode);
              client_work(client);
          }))
    {
    }
    // Rethrows what the client's side raised.
    void Join() { done_.get(); }
    ~Client_Thread()
    {
        if (done_.valid()) done_.wait();
    }

private:
    std::future<void> done_;
};

Pipe_Handle Open_Server(const std::string& name, Pipe_Mode mode = Pipe_Mode::Duplex, std::size_t size = 1024)
{
    Pipe_Handle server;
    Pipe::Open(server, {.Name = name, .Is_Server = true, .Mode = mode, .Buffer_Size = size, .Timeout = Long_Wait});
    return server;
}

std::string Read_Text(const Pipe_Handle& pipe, Seconds timeout)
{
    char buffer[1024];
    const std::size_t count = Pipe::Read(pipe, buffer, timeout);
    return std::string(buffer, count);
}

void Write_Text(const Pipe_Handle& pipe, const std::string& text) { Pipe::Write(pipe, text.data(), text.size()); }

TEST(Pipe_Timeout, Seconds_Become_Whole_Milliseconds_With_Halves_Up)
{
    struct Case {
        double seconds;
        std::uint32_t milliseconds;
    };
    const Case cases[] = {
        {0.0, INFINITE},          {5.0, 5000},          {0.0625, 63},                   // 62.5 ms
        {0.1875, 188},            {0.001, 1},           {1.0 / 16384, 0},               // 0.06 ms
        {4294967.295, 4294967295u}, {1.5 / 16384, 0},   {8.0 / 16384, 0},               // 0.49 ms
        {9.0 / 16384, 1},                                                              // 0.55 ms
    };
    for (const Case& c : cases)
        EXPECT_EQ(Pipe::Timeout_Milliseconds(Seconds{c.seconds}), c.milliseconds) << c.seconds;
    for (double bad : {-1.0 / 16384, -5.0, 4294967.296, 1e12, std::nan("")})
        EXPECT_FAILURE(Pipe::Timeout_Milliseconds(Seconds{bad}), Failures::RANGE_ERROR) << bad;
}

TEST(Pipe_Open, No_Client_Within_The_Timeout_Leaves_The_Variable_Null)
{
    const std::string name = Unique_Name();
    Pipe_Handle server;
    EXPECT_FAILURE(Pipe::Open(server, {.Name = name, .Is_Server = true, .Mode = Pipe_Mode::Duplex, .Buffer_Size = 1024,
                                       .Timeout = Seconds{0.2}}),
                   Pipe::TIMEOUT);
    EXPECT_FALSE(server);
    // The failed Open gave the pipe back: the name can serve a client at once.
    Client_Thread client(name, [](Pipe_Handle& pipe) { Write_Text(pipe, "late"); });
    Pipe_Handle again = Open_Server(name);
    EXPECT_EQ(Read_Text(again, Long_Wait), "late");
    client.Join();
}

TEST(Pipe_Open, Client_Failures_Are_Named)
{
    Pipe_Handle client;
    EXPECT_FAILURE(Pipe::Open(client, {.Name = Unique_Name(), .Is_Server = false, .Mode = Pipe_Mode::Duplex,
                                       .Buffer_Size = 1024, .Timeout = No_Timeout}),
                   Pipe::NO_SERVER);
    EXPECT_FAILURE(Pipe::Open(client, {.Name = Unique_Name(), .Is_Server = false, .Mode = Pipe_Mode::Duplex,
                                       .Buffer_Size = 1024, .Timeout = Seconds{5.0}}),
                   Pipe::NOT_SERVER);
    EXPECT_FAILURE(Pipe::Open(client, {.Name = "", .Is_Server = false, .Mode = Pipe_Mode::Duplex, .Buffer_Size = 1024,
                                       .Timeout = No_Timeout}),
                   Failures::RANGE_ERROR);
    EXPECT_FALSE(client);
}

TEST(Pipe_Open, A_Second_Client_Is_Refused_While_One_Is_Connected)
{
    const std::string name = Unique_Name();
    std::promise<void> second_tried;
    Client_Thread client(name, [&](Pipe_Handle& pipe) {
        second_tried.get_future().wait();
        Write_Text(pipe, "first");
    });
    Pipe_Handle server = Open_Server(name);
    Pipe_Handle second;
    EXPECT_FAILURE(Pipe::Open(second, {.Name = name, .Is_Server = false, .Mode = Pipe_Mode::Duplex, .Buffer_Size = 1024,
                                       .Timeout = No_Timeout}),
                   Pipe::NAME_IN_USE);
    EXPECT_FALSE(second);
    second_tried.set_value();
    EXPECT_EQ(Read_Text(server, Long_Wait), "first"); // the first client is not disturbed
    client.Join();
}

TEST(Pipe_Exchange, Messages_Go_Both_Ways_Whole)
{
    const std::string name = Unique_Name();
    const std::string full(1024, 'f');
    Client_Thread client(name, [&](Pipe_Handle& pipe) {
        for (const std::string& text : {std::string("Results"), std::string(), full}) {
            Write_Text(pipe, text);
            EXPECT_EQ(Read_Text(pipe, No_Timeout), "\x06");
        }
        EXPECT_EQ(Read_Text(pipe, No_Timeout), "bye");
    });
    Pipe_Handle server = Open_Server(name);
    for (const std::string& expected : {std::string("Results"), std::string(), full}) {
        EXPECT_EQ(Read_Text(server, Seconds{5.0}), expected);
        Write_Text(server, "\x06");
    }
    Write_Text(server, "bye");
    client.Join();
}

TEST(Pipe_Exchange, One_Way_Pipes_Carry_Messages_In_Their_Direction)
{
    const std::string inbound = Unique_Name();
    Client_Thread writer(inbound, [](Pipe_Handle& pipe) { Write_Text(pipe, "to server"); }, Pipe_Mode::Inbound);
    Pipe_Handle server_in = Open_Server(inbound, Pipe_Mode::Inbound);
    EXPECT_EQ(Read_Text(server_in, Long_Wait), "to server");
    writer.Join();

    const std::string outbound = Unique_Name();
    Client_Thread reader(outbound, [](Pipe_Handle& pipe) { EXPECT_EQ(Read_Text(pipe, No_Timeout), "to client"); },
                         Pipe_Mode::Outbound);
    Pipe_Handle server_out = Open_Server(outbound, Pipe_Mode::Outbound);
    Write_Text(server_out, "to client");
    reader.Join();
}

TEST(Pipe_Read, A_Message_Longer_Than_The_Buffer_Is_More_Data)
{
    const std::string name = Unique_Name();
    Client_Thread client(name, [](Pipe_Handle& pipe) {
        try {
            Write_Text(pipe, std::string(1025, 'x'));
        } catch (const Failures::Named_Failure&) { // the server may close before the rest is read
        }
    });
    Pipe_Handle server = Open_Server(name);
    char buffer[1024];
    EXPECT_FAILURE(Pipe::Read(server, buffer, Long_Wait), Pipe::MORE_DATA);
    Pipe::Close(server);
    client.Join();
}

TEST(Pipe_Read, The_Client_Closing_During_A_Read_Is_Broken)
{
    const std::string name = Unique_Name();
    Client_Thread client(name, [](Pipe_Handle& pipe) {
        Sleep(100); // usually lets the server's read begin first; either order ends in BROKEN
        Pipe::Close(pipe);
    });
    Pipe_Handle server = Open_Server(name);
    char buffer[1024];
    EXPECT_FAILURE(Pipe::Read(server, buffer, Long_Wait), Pipe::BROKEN);
    client.Join();
}

TEST(Pipe_Read, A_Timed_Out_Read_Leaves_Nothing_Pending)
{
    const std::string name = Unique_Name();
    std::promise<void> timed_out;
    Client_Thread client(name, [&](Pipe_Handle& pipe) {
        timed_out.get_future().wait();
        Write_Text(pipe, "after the time-out");
    });
    Pipe_Handle server = Open_Server(name);
    std::string abandoned(1024, '-');
    EXPECT_FAILURE(Pipe::Read(server, abandoned.data(), Seconds{0.2}), Pipe::TIMEOUT);
    timed_out.set_value();
    // The message goes to the next read, not into the buffer of the one that timed out.
    EXPECT_EQ(Read_Text(server, Long_Wait), "after the time-out");
    EXPECT_EQ(abandoned, std::string(1024, '-'));
    client.Join();
}

// A client that sends and never reads its answers fills the pipe: the server's writes wait for
// room, and give up after the time-out like reads.
TEST(Pipe_Write, A_Client_That_Never_Reads_Makes_The_Server_Write_Time_Out)
{
    const std::string name = Unique_Name();
    std::promise<void> server_done;
    Client_Thread client(name, [&](Pipe_Handle&) { server_done.get_future().wait(); });
    Pipe_Handle server = Open_Server(name);
    int written = 0;
    try {
        for (; written < 100000; ++written) Pipe::Write(server, "\x06", 1, Seconds{0.2});
        ADD_FAILURE() << "every write found room";
    } catch (const Pipe::TIMEOUT&) {
    }
    EXPECT_GE(written, 100) << "the buffer held only " << written << " answers";
    EXPECT_FAILURE(Pipe::Write(server, "\x06", 1, Seconds{1.0}), Pipe::TIMEOUT);
    server_done.set_value();
    client.Join();
}

// The stop event ends every kind of wait at once, and no operation begins once it was seen.
TEST(Pipe_Stop, The_Stop_Event_Ends_Waits_And_Refuses_New_Operations)
{
    Windows::Unique_Handle stop{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    const std::string name = Unique_Name();
    // Waiting for the client. The pause usually lets the wait begin first; either order ends in
    // STOPPED.
    std::thread stopper([&] {
        Sleep(100);
        SetEvent(stop.get());
    });
    Pipe_Handle server;
    const DWORD before = GetTickCount();
    EXPECT_FAILURE(Pipe::Open(server, {.Name = name, .Is_Server = true, .Mode = Pipe_Mode::Duplex, .Buffer_Size = 1024,
                                       .Timeout = Long_Wait, .Stop_Event = stop.get()}),
                   Pipe::STOPPED);
    stopper.join();
    EXPECT_LT(GetTickCount() - before, 2000u);
    EXPECT_FALSE(server);

    // Reading, and after the stop any read or write.
    ResetEvent(stop.get());
    const std::string second = Unique_Name();
    std::promise<void> server_done;
    Client_Thread client(second, [&](Pipe_Handle&) { server_done.get_future().wait(); });
    Pipe::Open(server, {.Name = second, .Is_Server = true, .Mode = Pipe_Mode::Duplex, .Buffer_Size = 1024,
                        .Timeout = Long_Wait, .Stop_Event = stop.get()});
    std::thread read_stopper([&] {
        Sleep(100);
        SetEvent(stop.get());
    });
    char buffer[1024];
    EXPECT_FAILURE(Pipe::Read(server, buffer, Long_Wait), Pipe::STOPPED);
    read_stopper.join();
    EXPECT_FAILURE(Pipe::Read(server, buffer, Long_Wait), Pipe::STOPPED);
    EXPECT_FAILURE(Pipe::Write(server, "\x06", 1, Long_Wait), Pipe::STOPPED);
    server_done.set_value();
    client.Join();
}

// A wait that fails is named by its own error, not by the operation it waited for (997). No
// client comes, so the server's wait for one is where the bad stop event fails.
TEST(Pipe_Errors, A_Failed_Wait_Raises_The_Wait_s_Own_Error)
{
    const HANDLE no_event = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x7FFFFFF0));
    Pipe_Handle server;
    try {
        Pipe::Open(server, {.Name = Unique_Name(), .Is_Server = true, .Mode = Pipe_Mode::Duplex, .Buffer_Size = 1024,
                            .Timeout = Long_Wait, .Stop_Event = no_event});
        ADD_FAILURE() << "a client came";
    } catch (const Pipe::UNKNOWN_ERROR& failure) {
        EXPECT_EQ(failure.Information(), "WINDOWS.PIPE.UNKNOWN_ERROR: " + std::to_string(ERROR_INVALID_HANDLE));
    }
    EXPECT_FALSE(server);
}

TEST(Pipe_Read, Misuse_Is_Named)
{
    const std::string name = Unique_Name();
    std::promise<void> checked;
    Client_Thread client(name, [&](Pipe_Handle& pipe) {
        char buffer[1024];
        EXPECT_FAILURE(Pipe::Read(pipe, buffer, Seconds{1.0}), Pipe::NOT_SERVER);
        checked.set_value();
    });
    Pipe_Handle server = Open_Server(name);
    checked.get_future().wait();
    client.Join();

    Pipe_Handle closed;
    char buffer[1024];
    EXPECT_FAILURE(Pipe::Read(closed, buffer, No_Timeout), Pipe::NO_HANDLE);
    EXPECT_FAILURE(Pipe::Write(closed, buffer, 1), Pipe::NO_HANDLE);
}

TEST(Pipe_Close, Closing_Twice_Or_Closing_Null_Is_Harmless)
{
    const std::string name = Unique_Name();
    Client_Thread client(name, [](Pipe_Handle& pipe) {
        Pipe::Close(pipe);
        Pipe::Close(pipe);
        EXPECT_FALSE(pipe);
    });
    Pipe_Handle server = Open_Server(name);
    client.Join();
    Pipe::Close(server);
    Pipe::Close(server);
    EXPECT_FALSE(server);
    Pipe_Handle never_opened;
    Pipe::Close(never_opened);
    EXPECT_FALSE(never_opened);
}

TEST(Pipe_Errors, An_Unknown_Code_Is_Logged_And_Raised)
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, folder);
    // The log stays open until the process ends, so its file lives in the build folder.
    const std::string log_file = std::string(folder) + "\\pipe_tests.log";
    {
        Test_Support::Temporary_Key key("Pipe_Tests_" + std::to_string(GetCurrentProcessId()));
        key.Set_String("Log", log_file);
        ASSERT_TRUE(Log::Process_Log().Start_Log("Pipe_Tests_" + std::to_string(GetCurrentProcessId()), true));
    }
    ASSERT_TRUE(Log::Process_Log().Is_Open());
    EXPECT_FAILURE(Pipe::Raise_Error(997), Pipe::UNKNOWN_ERROR);
    const std::string text = Test_Support::Read_File(log_file);
    EXPECT_NE(text.find(") => Windows.Pipe - Unknown_Error: 997\r\n"), std::string::npos) << text;
}

} // namespace
