#pragma once
// The program's diary: one text file named by the registry value "Log" under
// "Software\Quillmark\<product name>" (HKEY_CURRENT_USER first, then HKEY_LOCAL_MACHINE).
// Without that value nothing is written. Every line but the roll-over notices reads
//
//     " 65.5000 (00A4) => Complete"
//
// that is the seconds since local midnight, the writing thread and the message, ended by CR LF.
// The file holds at most "Log Limit" lines (100000 when unset, 0 for no limit); a full file is
// moved to the second file (Second_File_Name) and a fresh one begins.
//
// Logging never disturbs its caller: nothing here throws (except Open_Log, see there), and a
// failure while writing quietly ends logging for the rest of the run.

#include "windows/files_io.hpp"

#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>

namespace Log {

// Opens the log of this program once, at its start: looks up the file under the product name of
// the program's version resource (the module file name without extension when there is none)
// and writes the header lines. Only a failure to find the module holding this code propagates.
void Open_Log(bool flush_each_line);

// Writes one stamped line. Never fails; the caller's last system error is kept. CR, LF and NUL
// in Message are written as \r, \n and \0, so that every record stays one line.
void Put(std::string_view message) noexcept;
// Writes "<Where>: Exception = <the failure's name and message>". Never fails.
void Put_Exception(std::string_view where, const std::exception& failure) noexcept;
// The same for the exception in flight; call it inside a catch block only.
void Put_Exception(std::string_view where) noexcept;

// The roll-over file: "_2" before the last point of Path (anywhere in it), or appended.
std::string Second_File_Name(std::string_view path);

// One stamped line without its CR LF: a blank, the seconds since midnight with four decimals,
// " (", the thread in upper-case hexadecimal (at least four digits), ") => " and the message.
std::string Stamped_Line(std::uint32_t milliseconds_since_midnight, std::uint32_t thread_id,
                         std::string_view message);

// The log's state behind its lock; the program uses one per process (Process_Log), tests may
// make their own. Both operations run entirely on the caller's thread.
class Log_State {
public:
    static constexpr std::uint32_t Default_Limit = 100000;

    Log_State() = default;
    Log_State(const Log_State&) = delete;
    Log_State& operator=(const Log_State&) = delete;

    // Looks up the file for the product Name and creates (empties) it, unless the log is open
    // already; then it only flushes, when Flush asks. Flush also makes every later line flushed.
    // Returns whether this call made the opening attempt, whatever its outcome. The registry
    // module's current root and key are the same afterwards. Never fails.
    bool Start_Log(std::string_view name, bool flush);

    // Writes one stamped line, first moving a full file aside. Never fails: a failure closes
    // the log for good and the line is lost.
    void Write_Line(std::string_view message) noexcept;

    bool Is_Open() const;

    // From now on every line is flushed, and what is buffered is written now (at the end of a
    // run, so that nothing stays in the buffer).
    void Flush_From_Now_On() noexcept;

private:
    void Open_Configured_File(std::string_view name);
    bool Find_Log_Name(const std::string& key);
    void Roll_Over();
    void Write_Record(std::string_view message); // under the lock, with the log open

    mutable std::mutex lock_;
    bool is_open_ = false;
    bool flush_each_line_ = false;
    std::string log_name_;
    std::string second_name_;
    std::uint32_t log_limit_ = 0;
    std::uint32_t record_count_ = 0; // lines in the current file, notices included
    Windows::Files::IO::Handle file_;
};

// The process-wide log that Open_Log opens and Put writes to. It lives until the process ends;
// at exit its buffer is written out.
Log_State& Process_Log();

} // namespace Log
