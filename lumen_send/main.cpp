// lumen_send: reads places in files (file:line:column:text) and sends them to a Lumen_Roll viewer
// over its pipe. See Send::Options::Help_Text for the command line.

#include "support/failure.hpp"
#include "lumen_send/batch_transfer.hpp"
#include "lumen_send/client_pipe.hpp"
#include "lumen_send/compiler_messages.hpp"
#include "lumen_send/input.hpp"
#include "lumen_send/options.hpp"
#include "lumen_send/places.hpp"
#include "lumen_send/transfer.hpp"
#include "lumen_send/viewer_start.hpp"
#include "lumen_send/watch.hpp"
#include "windows/pipe.hpp"
#include "windows/unicode.hpp"
#include "windows/windows.hpp"

#include <windows.h>
// The system headers define NO_DATA as a number; here it is the pipe's failure.
#undef NO_DATA

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace {

enum Exit_Status : int { Sent = 0, Bad_Request = 1, Not_Sent = 2 };

// The messages hold names and texts in UTF-8; standard error carries the ANSI code page's text, as
// the other programs of a console or a script expect.
void Complain(const std::string& message)
{
    std::fprintf(stderr, "lumen_send: %s\n", Windows::Unicode::Ansi_From_Utf8(message).c_str());
    std::fflush(stderr);
}

// Up to this many lines that are no place are listed one by one; more only make noise, and are
// counted. Places that cannot be sent are always listed: the user would look for them.
constexpr std::size_t Listed_Lines = 10;

void Report_Skipped(const Send::Compiler::Reading& reading, const Send::Options::Settings& settings)
{
    const std::string source = settings.Input == "-" ? "<stdin>" : settings.Input;
    std::size_t not_places = 0;
    for (const auto& skipped : reading.Skipped) not_places += skipped.Is_Place ? 0 : 1;
    const bool list_all = settings.Verbose || not_places <= Listed_Lines;
    for (const auto& skipped : reading.Skipped)
        if (list_all || skipped.Is_Place)
            Complain(source + ":" + std::to_string(skipped.Number) + ": skipped: " + skipped.Reason);
    const std::size_t count = reading.Skipped.size();
    if (count == 0) return;
    std::string summary = std::to_string(count) + (count == 1 ? " line skipped" : " lines skipped");
    if (!list_all) summary += " (" + std::to_string(not_places) + " of them no place; --verbose lists them)";
    Complain(summary);
}

// Repeats are common (a macro's error at each expansion, MSBuild's summary); a count that is
// smaller than the compiler's own should not come as a surprise.
void Report_Repeated(const Send::Compiler::Reading& reading)
{
    const std::size_t count = reading.Repeated_Messages;
    if (count > 0)
        Complain(std::to_string(count) + (count == 1 ? " repeated compiler message" : " repeated compiler messages") +
                 " left out (each is shown once)");
}

void Report_Cut(const Send::Places::Index& index)
{
    const std::size_t count = index.Cut_Count();
    if (count == 0) return;
    Complain(std::to_string(count) + (count == 1 ? " line" : " lines") +
             " longer than 1024 bytes cut to the part around the place (\"...\" marks a cut)");
}

std::chrono::milliseconds Milliseconds_Of(double seconds)
{
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0 + 0.5));
}

std::chrono::milliseconds Timeout_Of(const Send::Options::Settings& settings)
{
    return Milliseconds_Of(settings.Timeout_Seconds);
}

std::string Seconds_Image(double seconds)
{
    char image[32];
    std::snprintf(image, sizeof image, "%g", seconds);
    return image;
}

bool Is_There(const std::string& path)
{
    return GetFileAttributesW(Windows::Unicode::Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Without --editor, the viewer's editor is the lumen_open beside lumen_send, so that the editor
// stored with lumen_open --set opens the places; with --open-with, lumen_open finds the setting
// in the environment the viewer hands down to it. Without lumen_open, the viewer opens the file
// through its file type.
std::string Viewer_Editor(const Send::Options::Settings& settings)
{
    if (!settings.Editor.empty()) return settings.Editor;
    const std::string opener = Send::Viewer::Beside_This_Program("lumen_open.exe");
    if (settings.Open_With.empty()) return Is_There(opener) ? opener : std::string();
    if (!Is_There(opener))
        throw Send::Viewer::START_FAILURE("--open-with needs lumen_open.exe beside lumen_send.exe, and there is no " + opener);
    if (!SetEnvironmentVariableW(L"LUMEN_ROLL_EDITOR", Windows::Unicode::Wide(settings.Open_With).c_str())) {
        const DWORD error = GetLastError();
        throw Send::Viewer::START_FAILURE("cannot set LUMEN_ROLL_EDITOR (system error " + std::to_string(error) + ")");
    }
    return opener;
}

// Starts the viewer when asked to, once it is this run's turn (a pipe of the run's own needs none),
// and opens its pipe; false (after saying why) when that fails.
bool Reach_Viewer(const Send::Options::Settings& settings, std::string_view pipe_name,
                  std::optional<Send::Viewer::Turn>& turn, Windows::Unique_Process_Information& viewer,
                  Send::Client_Pipe::Pipe& pipe)
{
    try {
        if (!settings.Viewer.empty()) {
            if (pipe_name == Send::Viewer::Pipe_Name)
                turn.emplace(Milliseconds_Of(settings.Wait_Seconds), [] { Complain("waiting for another transfer to finish"); });
            viewer = Send::Viewer::Start(settings.Viewer, Viewer_Editor(settings), pipe_name);
        }
        Send::Viewer::Connect(pipe, Timeout_Of(settings), viewer.Process.get(), pipe_name);
        return true;
    } catch (const Send::Viewer::STILL_BUSY& failure) {
        Complain("gave up after waiting " + Seconds_Image(settings.Wait_Seconds) + " s for " + failure.Message() +
                 " to finish with the viewer's pipe \\\\.\\pipe\\" + std::string(Send::Viewer::Pipe_Name) +
                 " (--wait sets how long)");
    } catch (const Windows::Pipe::NO_SERVER&) {
        Complain("no viewer is waiting on \\\\.\\pipe\\" + std::string(Send::Viewer::Pipe_Name) +
                 " (start one first, or name it with --viewer)");
    } catch (const Windows::Pipe::NAME_IN_USE&) {
        Complain("the viewer's pipe is busy with another host");
    } catch (...) {
        Complain(Failures::Current_Description());
    }
    return false;
}

std::string Progress_Image(const Send::Transfer::Statistics& progress, const Send::Places::Index& index)
{
    return "after " + std::to_string(progress.Entries) + " of " + std::to_string(index.Entry_Count()) + " entries";
}

// A viewer that keeps the pipe open without answering holds the client's read for ever; the only
// way out of that read is to end the process.
[[noreturn]] void Give_Up_On_Silent_Viewer(double seconds)
{
    Complain("the viewer did not answer within " + Seconds_Image(seconds) + " s; giving up");
    ExitProcess(Not_Sent);
}

// The pipe failures that mean the viewer's end has gone: closed (BROKEN), being closed (NO_DATA)
// or disconnected (NO_SERVER).
bool Is_Viewer_Gone() noexcept
{
    try {
        throw;
    } catch (const Windows::Pipe::BROKEN&) {
        return true;
    } catch (const Windows::Pipe::NO_DATA&) {
        return true;
    } catch (const Windows::Pipe::NO_SERVER&) {
        return true;
    } catch (...) {
        return false;
    }
}

// Sender: Send::Transfer::Sender or Send::Batch_Transfer::Batch_Sender.
template <typename Sender>
bool Send_To_Viewer(const Send::Options::Settings& settings, std::string_view title,
                    const Send::Client_Pipe::Pipe& pipe, const Send::Places::Index& index,
                    Send::Transfer::Statistics& statistics)
{
    Send::Watch::Silence_Watch watch(Timeout_Of(settings), [&] { Give_Up_On_Silent_Viewer(settings.Timeout_Seconds); });
    Sender sender(pipe, &watch);
    try {
        sender.Send_Index(title, index, settings.Expand);
        statistics = sender.Progress();
        return true;
    } catch (...) {
        const std::string progress = Progress_Image(sender.Progress(), index);
        if (Is_Viewer_Gone()) Complain("the viewer closed the pipe " + progress);
        else Complain("the transfer failed " + progress + ": " + Failures::Current_Description());
    }
    return false;
}

void Print_Statistics(const Send::Transfer::Statistics& statistics, const Send::Compiler::Reading& reading,
                      const Send::Options::Settings& settings)
{
    const double per_message_ms =
        statistics.Messages ? statistics.Seconds * 1000.0 / static_cast<double>(statistics.Messages) : 0.0;
    // Scripts read the fields by position: new ones go at the end.
    std::printf("lumen_send: groups=%zu entries=%zu messages=%llu seconds=%.6f per_message_ms=%.4f "
                "compiler_lines=%zu skipped_lines=%zu %s repeated_messages=%zu cut_lines=%zu protocol=%s bytes=%llu "
                "batches=%llu\n",
                statistics.Groups, statistics.Entries, static_cast<unsigned long long>(statistics.Messages),
                statistics.Seconds, per_message_ms, reading.Compiler_Lines, reading.Skipped.size(),
                Send::Transfer::Round_Trip_Figures(statistics.Answers).c_str(), reading.Repeated_Messages,
                reading.Places.Cut_Count(), Send::Options::Uses_Batches(settings) ? "2.0" : "1.1",
                static_cast<unsigned long long>(statistics.Bytes), static_cast<unsigned long long>(statistics.Batches));
    std::fflush(stdout);
}

int Run(const std::vector<std::string>& arguments)
{
    Send::Options::Settings settings;
    try {
        settings = Send::Options::Parse(arguments);
    } catch (const Send::Options::USAGE_ERROR& failure) {
        Complain(failure.Message() + " (see lumen_send --help)");
        return Bad_Request;
    }
    if (settings.Help) {
        std::fputs(Send::Options::Help_Text, stdout);
        return Sent;
    }
    // The batch protocol carries UTF-8, the message-by-message one the ANSI code page's text.
    const bool batches = Send::Options::Uses_Batches(settings);
    Send::Compiler::Reading reading;
    try {
        reading = Send::Compiler::Read_Places(Send::Input::Read_All(settings.Input),
                                              {.Clamp_Columns = settings.Clamp_Columns,
                                               .No_Columns = settings.No_Columns,
                                               .Input_Encoding = settings.Input_Encoding,
                                               .Code_Page = batches ? CP_UTF8 : 0u});
    } catch (const Send::Input::CANNOT_READ& failure) {
        Complain(failure.Message());
        return Bad_Request;
    } catch (const Send::Places::UNSUPPORTED_ENCODING& failure) {
        Complain(failure.Message());
        return Bad_Request;
    }
    Report_Skipped(reading, settings);
    Report_Repeated(reading);
    Report_Cut(reading.Places);

    std::optional<Send::Viewer::Turn> turn; // held until the transfer has ended
    Windows::Unique_Process_Information viewer;
    Send::Client_Pipe::Pipe pipe;
    const std::string pipe_name = batches ? Send::Batch_Transfer::Run_Pipe_Name() : std::string(Send::Viewer::Pipe_Name);
    if (!Reach_Viewer(settings, pipe_name, turn, viewer, pipe)) return Not_Sent;
    Send::Transfer::Statistics statistics;
    const bool sent =
        batches ? Send_To_Viewer<Send::Batch_Transfer::Batch_Sender>(settings, settings.Title, pipe, reading.Places,
                                                                     statistics)
                : Send_To_Viewer<Send::Transfer::Sender>(settings, Windows::Unicode::Ansi_From_Utf8(settings.Title),
                                                         pipe, reading.Places, statistics);
    if (!sent) return Not_Sent;
    pipe.Close();
    turn.reset();
    if (settings.Statistics) Print_Statistics(statistics, reading, settings);
    return Sent;
}

} // namespace

int main()
{
    try {
        return Run(Windows::Program_Arguments());
    } catch (...) {
        Complain(Failures::Current_Description());
        return Not_Sent;
    }
}
