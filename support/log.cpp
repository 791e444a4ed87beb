#include "support/log.hpp"

#include "support/failure.hpp"
#include "support/text.hpp"
#include "support/utf8.hpp"
#include "windows/unicode.hpp"
#include "windows/files.hpp"
#include "windows/registry.hpp"
#include "windows/unsigned.hpp"
#include "windows/version.hpp"
#include "windows/windows.hpp"

#include <cstdlib>
#include <limits>
#include <typeinfo>
#include <utility>

namespace Log {

namespace {

namespace Files = Windows::Files;
namespace Registry = Windows::Registry;
using Windows::Files::IO::Handle;

constexpr std::uint64_t Ticks_Per_Second = 16384; // the clock's resolution is 2^-14 s
constexpr std::uint32_t Milliseconds_Per_Second = 1000;
constexpr std::uint32_t Seconds_Per_Minute = 60;
constexpr std::uint32_t Minutes_Per_Hour = 60;
constexpr std::size_t Decimals = 4; // of the seconds in a stamp
constexpr std::uint64_t Ten_Thousandths_Per_Second = 10000;
// The two notices at the top of a file that took over from a full one count as its records.
constexpr std::uint32_t Roll_Over_Notice_Lines = 2;

// Runs Work and swallows whatever it throws: the log must never disturb the program it serves.
// Returns whether Work finished.
template <typename Work>
bool Quietly(Work&& work) noexcept
{
    try {
        std::forward<Work>(work)();
        return true;
    } catch (...) {
        return false;
    }
}

std::string Key_Of(std::string_view name) { return "Software\\Quillmark\\" + std::string(name); }

// The seconds with exactly four decimals, rounded, taken from the clock's 2^-14 s ticks.
std::string Seconds_Image(std::uint32_t milliseconds)
{
    const std::uint64_t ticks =
        (std::uint64_t{milliseconds} * Ticks_Per_Second + Milliseconds_Per_Second / 2) / Milliseconds_Per_Second;
    const std::uint64_t ten_thousandths =
        (ticks * Ten_Thousandths_Per_Second + Ticks_Per_Second / 2) / Ticks_Per_Second;
    std::string fraction = std::to_string(ten_thousandths % Ten_Thousandths_Per_Second);
    fraction.insert(0, Decimals - fraction.size(), '0');
    return std::to_string(ten_thousandths / Ten_Thousandths_Per_Second) + "." + fraction;
}

// Four digits at least; identifiers above FFFF are written in full rather than cut.
std::string Thread_Image(std::uint32_t thread_id)
{
    if (thread_id <= std::numeric_limits<std::uint16_t>::max())
        return Unsigned::Hex_Image(static_cast<std::uint16_t>(thread_id));
    std::string image = Unsigned::Hex_Image(thread_id);
    return image.substr(image.find_first_not_of('0'));
}

std::uint32_t Milliseconds_Since_Midnight(const SYSTEMTIME& time)
{
    const std::uint32_t minutes = time.wHour * Minutes_Per_Hour + time.wMinute;
    const std::uint32_t seconds = minutes * Seconds_Per_Minute + time.wSecond;
    return seconds * Milliseconds_Per_Second + time.wMilliseconds;
}

// The programs' texts are UTF-8; the log stays 8-bit, in the ANSI code page, a character it lacks
// written as "?". A message that is not UTF-8 is already 8-bit text and is written as it is.
std::string Log_Text(std::string_view message)
{
    if (!Utf8::Is_Valid(message, Utf8::Ending::Whole)) return std::string(message);
    return Windows::Unicode::Ansi_From_Utf8(message);
}

// A title or a file name from the host may hold line ends: written as they are, they would end
// the record early and make the rest look like a record of its own.
std::string One_Line(std::string_view message)
{
    std::string line;
    line.reserve(message.size());
    for (const char character : message) {
        switch (character) {
        case '\r': line += "\\r"; break;
        case '\n': line += "\\n"; break;
        case '\0': line += "\\0"; break;
        default: line += character; break;
        }
    }
    return line;
}

Handle Create_Log_File(const std::string& name)
{
    return Handle::Create(name, {.New_Only = false, .Share_Read = true});
}

std::uint32_t Configured_Limit()
{
    try {
        return Registry::Dword_Value("Log Limit");
    } catch (const std::exception&) {
        return Log_State::Default_Limit;
    }
}

// The registry module's position, put back after the log's own look-up.
struct Registry_Position {
    bool Local_Machine;
    std::wstring Key_Path;

    static Registry_Position Current() { return {Registry::Root_Is_Local_Machine(), Registry::Current_Key_Path()}; }
    void Restore() const
    {
        Registry::Set_Root(Local_Machine ? Registry::Registry_Root::Local_Machine : Registry::Registry_Root::Current_User);
        Registry::Open_Key(std::wstring_view(Key_Path));
    }
};

std::string Failure_Name(const std::exception& failure)
{
    if (auto named = dynamic_cast<const Failures::Named_Failure*>(&failure)) return named->Name();
    return typeid(failure).name();
}

// The text of Put_Exception, falling back to less when building the full one fails.
std::string Exception_Message(std::string_view where, const std::exception& failure) noexcept
{
    std::string message; // stays empty when even the shortest text cannot be built
    if (Quietly([&] { message = std::string(where) + ": Exception = " + Failures::Description(failure); }))
        return message;
    if (Quietly([&] { message = std::string(where) + ": Exception = " + Failure_Name(failure); })) return message;
    Quietly([&] { message = std::string(where) + ": Unknown Exception"; });
    return message;
}

void Write_Header(Log_State& log, const std::string& name, bool with_version, const Windows::Module_Entry& own)
{
    if (with_version) {
        try {
            log.Write_Line(name + " version " + Windows::Version::Get_Product_Version());
        } catch (const Windows::Version::NO_VERSION_INFO&) {
        }
    }
    log.Write_Line("Log created " + Windows::Date_Time_Image(Windows::Local_Time()));
    if (Windows::Is_Dll(own.Module_Handle)) log.Write_Line("DLL Loaded at 0x" + Unsigned::Address_Image(own.Base_Address));
}

} // namespace

std::string Second_File_Name(std::string_view path)
{
    std::string second(path);
    const std::size_t point = Text::Character_Position('.', path, 0, Text::Direction::Backward);
    if (point == 0) return second + "_2";
    second.insert(point - 1, "_2");
    return second;
}

std::string Stamped_Line(std::uint32_t milliseconds_since_midnight, std::uint32_t thread_id, std::string_view message)
{
    std::string line(1, ' ');
    line += Seconds_Image(milliseconds_since_midnight);
    line += " (";
    line += Thread_Image(thread_id);
    line += ") => ";
    line += message;
    return line;
}

bool Log_State::Start_Log(std::string_view name, bool flush)
{
    std::lock_guard guard(lock_);
    if (flush) flush_each_line_ = true;
    if (is_open_) {
        if (flush) Quietly([&] { file_.Flush(); });
        return false;
    }
    Quietly([&] {
        const Registry_Position saved = Registry_Position::Current();
        Quietly([&] { Open_Configured_File(name); });
        saved.Restore();
    });
    return true;
}

// HKEY_CURRENT_USER first, then HKEY_LOCAL_MACHINE; the key that names the file stays current.
bool Log_State::Find_Log_Name(const std::string& key)
{
    for (auto root : {Registry::Registry_Root::Current_User, Registry::Registry_Root::Local_Machine}) {
        try {
            Registry::Set_Root(root);
            Registry::Open_Key(key);
            log_name_ = Registry::String_Value("Log");
            return true;
        } catch (const std::exception&) {
        }
    }
    return false;
}

void Log_State::Open_Configured_File(std::string_view name)
{
    if (!Find_Log_Name(Key_Of(name))) return;
    try {
        file_ = Create_Log_File(log_name_);
        is_open_ = true;
    } catch (const std::exception&) {
        is_open_ = false; // nothing will be written, but a stale second file still goes
    }
    record_count_ = 0;
    log_limit_ = Configured_Limit();
    if (log_limit_ == 0) return; // an old second file stays
    second_name_ = Second_File_Name(log_name_);
    Files::Delete_File(second_name_);
}

void Log_State::Roll_Over()
{
    file_.Close();
    Files::Move_File(log_name_, second_name_);
    file_ = Create_Log_File(log_name_);
    // People and scripts read these two lines; their wording stays as it is.
    file_.Put_Line("The log file reached it's maximum size of " + std::to_string(log_limit_) + " records");
    file_.Put_Line("These records are now stored in the file " + second_name_);
    record_count_ = Roll_Over_Notice_Lines;
}

void Log_State::Write_Line(std::string_view message) noexcept
{
    Quietly([&] {
        std::lock_guard guard(lock_);
        if (!is_open_) return;
        // A failed line is lost, and so is the rest of the run's.
        if (!Quietly([&] { Write_Record(message); })) is_open_ = false;
    });
}

void Log_State::Write_Record(std::string_view message)
{
    if (log_limit_ != 0 && record_count_ >= log_limit_) Roll_Over();
    const SYSTEMTIME now = Windows::Local_Time();
    file_.Put_Line(Stamped_Line(Milliseconds_Since_Midnight(now), Windows::Current_Thread_Id(), One_Line(Log_Text(message))));
    if (flush_each_line_) file_.Flush();
    ++record_count_;
}

bool Log_State::Is_Open() const
{
    std::lock_guard guard(lock_);
    return is_open_;
}

void Log_State::Flush_From_Now_On() noexcept
{
    Quietly([&] {
        std::lock_guard guard(lock_);
        flush_each_line_ = true;
        if (is_open_) file_.Flush();
    });
}

Log_State& Process_Log()
{
    // Never destroyed: another thread may still log while the process ends.
    static Log_State& state = [] () -> Log_State& {
        Log_State& created = *new Log_State;
        std::atexit([] { Process_Log().Flush_From_Now_On(); });
        return created;
    }();
    return state;
}

void Open_Log(bool flush_each_line)
{
    const Windows::Module_Entry own = Windows::Module_Containing(reinterpret_cast<std::uintptr_t>(&Open_Log));
    Quietly([&] {
        std::string name;
        bool with_version = true;
        try {
            name = Windows::Version::Get_Product_Name();
        } catch (const Windows::Version::NO_VERSION_INFO&) {
            name = Windows::Module_Name(own);
            with_version = false;
        }
        Log_State& log = Process_Log();
        if (log.Start_Log(name, flush_each_line)) Write_Header(log, name, with_version, own);
    });
}

void Put(std::string_view message) noexcept
{
    const DWORD caller_error = GetLastError();
    Quietly([&] { Process_Log().Write_Line(message); });
    SetLastError(caller_error);
}

void Put_Exception(std::string_view where, const std::exception& failure) noexcept
{
    const std::string message = Exception_Message(where, failure);
    if (!message.empty()) Put(message);
}

void Put_Exception(std::string_view where) noexcept
{
    try {
        throw;
    } catch (const std::exception& failure) {
        Put_Exception(where, failure);
    } catch (...) {
        Quietly([&] { Put(std::string(where) + ": Unknown Exception"); });
    }
}

} // namespace Log
