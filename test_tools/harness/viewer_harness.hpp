#pragma once
// What the end-to-end tests of the viewer need from outside it: its registry settings, the
// program started as a child process, the host's end of the pipe, its window and tree read
// across the process boundary, and its log read back after it ended. Everything here talks to
// the system directly, never through the code under test, and every wait is bounded.

#include <windows.h>
#include <commctrl.h>

#include "windows/unique_handle.hpp"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Viewer_Harness {

using Milliseconds = std::chrono::milliseconds;

// Windows form of a path that the build gives in Unix form ("/work/x" becomes "Z:\work\x").
std::string Windows_Path(std::string_view path);

// The viewer's own registry key, "Software\Quillmark\Lumen_Roll" under HKEY_CURRENT_USER. The
// whole key tree is saved at construction and put back as it was at destruction, so the test
// may set the log and a fixed window placement.
class Viewer_Settings {
public:
    explicit Viewer_Settings(const std::string& log_path);
    ~Viewer_Settings();
    Viewer_Settings(const Viewer_Settings&) = delete;
    Viewer_Settings& operator=(const Viewer_Settings&) = delete;

    struct Saved_Value {
        std::string Key; // relative to the viewer's key, "" for the key itself
        std::string Name;
        DWORD Type = REG_NONE;
        std::string Data;
    };

private:
    bool existed_ = false;
    std::vector<std::string> saved_keys_;
    std::vector<Saved_Value> saved_values_;
};

// A document type of the test's own: files ending in Extension open, through the shell, with
// "Program" "<file>" and the parameters, for Verb ("open" unless told). Registered under
// HKEY_LOCAL_MACHINE\Software\Classes, which is where this system's shell looks it up, and
// removed at destruction.
class Shell_Association {
public:
    Shell_Association(const std::string& extension, const std::string& program, const std::string& verb = "open");
    ~Shell_Association();
    Shell_Association(const Shell_Association&) = delete;
    Shell_Association& operator=(const Shell_Association&) = delete;

private:
    std::string extension_key_;
    std::string class_key_;
};

// The log as the viewer left it: the message of every stamped line, in order, and the lines
// that do not have the " 12.3456 (00A4) => " stamp.
struct Viewer_Log {
    std::vector<std::string> Messages;
    std::vector<std::string> Unstamped;

    bool Contains(std::string_view message) const;
    // Whether some message starts with Prefix.
    bool Contains_Prefix(std::string_view prefix) const;
    // Position of the first message equal to Message, or -1.
    int Position(std::string_view message) const;
};
Viewer_Log Read_Log(const std::string& path);

// The viewer that Viewer_Process starts, in Unix or Windows form; by default the program that the
// environment variable LUMEN_ROLL_EXE names.
void Use_Viewer_Program(const std::string& path);

// One run of the viewer, started with Arguments after the program name (unquoted, joined by
// blanks). The destructor makes sure that the process has ended: it closes the window, waits,
// and kills the process only as a last resort.
class Viewer_Process {
public:
    explicit Viewer_Process(const std::vector<std::string>& arguments);
    // A viewer that another program started (lumen_send), taken over by its process id.
    struct Started_Elsewhere {};
    Viewer_Process(Started_Elsewhere, DWORD process_id);
    ~Viewer_Process();
    Viewer_Process(const Viewer_Process&) = delete;
    Viewer_Process& operator=(const Viewer_Process&) = delete;

    DWORD Id() const { return process_.Process_Id; }
    HANDLE Handle() const { return process_.Process.get(); }

    // Whether the process ended within Bound.
    bool Wait_For_End(Milliseconds bound) const;
    bool Has_Ended() const { return Wait_For_End(Milliseconds{0}); }
    // The exit code once ended (STILL_ACTIVE before).
    DWORD Exit_Code() const;

    // The main window: the visible top-level window of the process that holds the tree view.
    // Null when it did not appear within Bound.
    HWND Main_Window(Milliseconds bound = Milliseconds{10000}) const;
    HWND Tree_Window(Milliseconds bound = Milliseconds{10000}) const;
    std::string Caption() const;
    std::string Caption_Utf8() const;

    // The text of the status line at the window's bottom; "" without one.
    std::string Status_Text() const;
    std::string Status_Text_Utf8() const;
    // The window of the viewer's window thread that has the keyboard focus.
    HWND Focus() const;

    // Asks the window to close, as the close box does, and waits for the process to end.
    bool Close_Window(Milliseconds bound = Milliseconds{10000}) const;

private:
    Windows::Unique_Process_Information process_;
};

// What came back from the viewer after a message.
enum class Answer {
    Acknowledgement, // one message of the single byte 0x06
    Other_Bytes,     // some other message
    Closed,          // the viewer closed its end (or ended) without answering
    Silence,         // nothing within the bound, the pipe still open
};
const char* Answer_Name(Answer answer);

// A value message: the 32-bit value, lowest byte first.
std::string Value_Bytes(std::int32_t value);

// The host's end of the pipe "\\.\pipe\Lumen_Roll_V1.1" (or of another name, for the batch
// protocol), opened as a client in message mode. Writes are one message each; every answer is
// awaited with a bound.
class Host {
public:
    // Retries until the viewer has created its pipe; gives up when Viewer ended or after Bound
    // (Is_Connected then tells).
    explicit Host(const Viewer_Process& viewer, Milliseconds bound = Milliseconds{10000},
                  std::string_view pipe_name = "Lumen_Roll_V1.1");
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool Is_Connected() const { return static_cast<bool>(pipe_); }
    HANDLE Handle() const { return pipe_.get(); }

    // One message and the answer to it.
    Answer Send_Text(std::string_view text);
    Answer Send_Value(std::int32_t value);
    Answer Send_Flag(std::uint8_t flag);
    Answer Send_Bytes(std::string_view bytes);

    // The same, raising std::runtime_error (naming Description) unless the viewer acknowledged.
    void Text(std::string_view text, std::string_view description = "text");
    void Value(std::int32_t value, std::string_view description = "value");
    void Flag(std::uint8_t flag, std::string_view description = "flag");

    // A whole acknowledged group: file name, flag, entries (text, line, column), group end.
    struct Entry {
        std::string Text;
        std::int32_t Line;
        std::int32_t Column;
    };
    void Group(std::string_view file, std::uint8_t flag, const std::vector<Entry>& entries);
    void Entry_Message(const Entry& entry);

    // Writes one message without awaiting an answer; false when the write failed.
    bool Write_Message(std::string_view bytes);
    // Waits at most Bound for one answer.
    Answer Await_Answer(Milliseconds bound = Milliseconds{10000});

    // Closes the host's end early.
    void Close() { pipe_.reset(); }

private:
    Windows::Unique_File pipe_;
};

// A tree item as read from the viewer's tree view.
struct Tree_Node {
    HTREEITEM Item = nullptr;
    std::string Text; // in the ANSI code page, "?" for what it lacks
    std::string Utf8; // exactly
    bool Expanded = false;
    LPARAM Data = 0;
    std::vector<Tree_Node> Children;
};

// The viewer's tree view read from outside: the item structures and texts pass through memory
// allocated inside the viewer's process, since the tree view reads and writes them there.
class Remote_Tree {
public:
    Remote_Tree(const Viewer_Process& viewer, HWND tree);
    // A viewer that another program started: Process needs PROCESS_VM_OPERATION, PROCESS_VM_READ
    // and PROCESS_VM_WRITE.
    Remote_Tree(HANDLE process, HWND tree);
    ~Remote_Tree();
    Remote_Tree(const Remote_Tree&) = delete;
    Remote_Tree& operator=(const Remote_Tree&) = delete;

    // The top-level items with all their children, in the tree's order.
    std::vector<Tree_Node> Read() const;
    // Number of items at all levels.
    std::size_t Count() const;
    // Polls until Count() reaches Count; false after Bound.
    bool Wait_For_Count(std::size_t count, Milliseconds bound = Milliseconds{10000}) const;

    // TVM_GETNEXTITEM as the viewer's tree answers it (TVGN_CARET, TVGN_FIRSTVISIBLE, ...).
    HTREEITEM Item(WPARAM relation, HTREEITEM from = nullptr) const { return Next(from, relation); }

    // The item's text rectangle in screen coordinates, or nothing when it is not visible.
    std::optional<RECT> Screen_Rectangle(HTREEITEM item) const;

private:
    Tree_Node Read_Item(HTREEITEM item) const;
    HTREEITEM Next(HTREEITEM item, WPARAM relation) const;

    HANDLE process_;
    HWND tree_;
    void* remote_ = nullptr; // one page in the viewer: the item structure, then the text
};

// Polls Condition every 20 ms until it holds or Bound has passed; returns its last value.
template <typename Condition>
bool Wait_Until(Condition condition, Milliseconds bound)
{
    const auto end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        Sleep(20);
    }
}

} // namespace Viewer_Harness
