#include "test_tools/harness/viewer_harness.hpp"

#include "test_tools/harness/viewer_window.hpp"
#include "windows/unicode.hpp"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>

namespace Viewer_Harness {

namespace {

constexpr const char* Viewer_Key = "Software\\Quillmark\\Lumen_Roll";
constexpr char Acknowledgement_Byte = 0x06;

// ---- registry ------------------------------------------------------------------------------

std::string Sub_Path(const std::string& key, const std::string& name)
{
    return key.empty() ? name : key + "\\" + name;
}

std::string Full_Key(const std::string& relative) { return Sub_Path(Viewer_Key, relative); }

// Adds Relative, its values and (recursively) its subkeys to the snapshot.
void Save_Key(const std::string& relative, std::vector<std::string>& keys,
              std::vector<Viewer_Settings::Saved_Value>& values)
{
    Windows::Unique_Key key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, Full_Key(relative).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    keys.push_back(relative);
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD name_size = sizeof name;
        DWORD type = 0;
        std::string data(4096, '\0');
        DWORD data_size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key.get(), index, name, &name_size, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &data_size) != ERROR_SUCCESS)
            break;
        data.resize(data_size);
        values.push_back({relative, name, type, data});
    }
    std::vector<std::string> subkeys;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD name_size = sizeof name;
        if (RegEnumKeyExA(key.get(), index, name, &name_size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    for (const std::string& subkey : subkeys) Save_Key(Sub_Path(relative, subkey), keys, values);
}

void Set_Value(const std::string& relative, const std::string& name, DWORD type, const void* data, DWORD size)
{
    RegSetKeyValueA(HKEY_CURRENT_USER, Full_Key(relative).c_str(), name.c_str(), type, data, size);
}

void Set_Dword(const std::string& relative, const std::string& name, DWORD value)
{
    Set_Value(relative, name, REG_DWORD, &value, sizeof value);
}

// ---- processes and windows -----------------------------------------------------------------

std::string& Viewer_Program_Setting()
{
    static std::string program = [] {
        const char* from_environment = std::getenv("LUMEN_ROLL_EXE");
        return std::string(from_environment ? from_environment : "");
    }();
    return program;
}

std::string Read_Whole_File(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Command_Line(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string line = "\"" + program + "\"";
    for (const std::string& argument : arguments) line += " " + argument;
    return line;
}

// ---- pipe ------------------------------------------------------------------------------------

// Waits for an overlapped operation; cancels it when Bound passes. Returns the system's error
// (0 for success) and the bytes transferred.
DWORD Finish_Overlapped(HANDLE pipe, OVERLAPPED& overlapped, BOOL started, Milliseconds bound, DWORD& bytes)
{
    DWORD error = started ? ERROR_SUCCESS : GetLastError();
    if (!started && error != ERROR_IO_PENDING) return error;
    if (!started && WaitForSingleObject(overlapped.hEvent, static_cast<DWORD>(bound.count())) != WAIT_OBJECT_0) {
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &bytes, TRUE);
        return WAIT_TIMEOUT;
    }
    if (!GetOverlappedResult(pipe, &overlapped, &bytes, TRUE)) return GetLastError();
    return ERROR_SUCCESS;
}

} // namespace

std::string Value_Bytes(std::int32_t value)
{
    auto bits = static_cast<std::uint32_t>(value);
    std::string bytes(4, '\0');
    for (int index = 0; index < 4; ++index) bytes[index] = static_cast<char>(bits >> (8 * index) & 0xFF);
    return bytes;
}

std::string Windows_Path(std::string_view path)
{
    std::string result(path);
    for (char& character : result)
        if (character == '/') character = '\\';
    if (!path.empty() && path.front() == '/') result = "Z:" + result;
    return result;
}

// ---- Viewer_Settings -------------------------------------------------------------------------

Viewer_Settings::Viewer_Settings(const std::string& log_path)
{
    Save_Key("", saved_keys_, saved_values_);
    existed_ = !saved_keys_.empty();
    RegDeleteTreeA(HKEY_CURRENT_USER, Viewer_Key);
    Set_Value("", "Log", REG_SZ, log_path.c_str(), static_cast<DWORD>(log_path.size() + 1));
    // A fixed placement on the screen, so that items can be clicked at known places.
    Set_Dword("Metrics", "X-Position", 40);
    Set_Dword("Metrics", "Y-Position", 40);
    Set_Dword("Metrics", "Width", 640);
    Set_Dword("Metrics", "Height", 480);
}

Viewer_Settings::~Viewer_Settings()
{
    RegDeleteTreeA(HKEY_CURRENT_USER, Viewer_Key);
    if (!existed_) return;
    for (const std::string& relative : saved_keys_) {
        Windows::Unique_Key key;
        RegCreateKeyExA(HKEY_CURRENT_USER, Full_Key(relative).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), nullptr);
    }
    for (const Saved_Value& value : saved_values_)
        Set_Value(value.Key, value.Name, value.Type, value.Data.data(), static_cast<DWORD>(value.Data.size()));
}

// ---- Shell_Association -----------------------------------------------------------------------

Shell_Association::Shell_Association(const std::string& extension, const std::string& program, const std::string& verb)
    : extension_key_("Software\\Classes\\" + extension), class_key_("Software\\Classes\\Lumen_Roll.Test_Document")
{
    const std::string class_name = "Lumen_Roll.Test_Document";
    const std::string command = "\"" + program + "\" \"%1\" %*";
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, extension_key_.c_str(), nullptr, REG_SZ, class_name.c_str(),
                    static_cast<DWORD>(class_name.size() + 1));
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, (class_key_ + "\\shell\\" + verb + "\\command").c_str(), nullptr, REG_SZ,
                    command.c_str(), static_cast<DWORD>(command.size() + 1));
}

Shell_Association::~Shell_Association()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, extension_key_.c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, class_key_.c_str());
}

// ---- Viewer_Log ------------------------------------------------------------------------------

bool Viewer_Log::Contains(std::string_view message) const { return Position(message) >= 0; }

bool Viewer_Log::Contains_Prefix(std::string_view prefix) const
{
    for (const std::string& message : Messages)
        if (std::string_view(message).starts_with(prefix)) return true;
    return false;
}

int Viewer_Log::Position(std::string_view message) const
{
    for (std::size_t index = 0; index < Messages.size(); ++index)
        if (Messages[index] == message) return static_cast<int>(index);
    return -1;
}

Viewer_Log Read_Log(const std::string& path)
{
    static const std::regex stamp(R"(^ \d+\.\d{4} \([0-9A-F]{4,}\) => )");
    Viewer_Log log;
    std::string bytes = Read_Whole_File(path);
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) end = bytes.size(); // an unterminated last line is kept too
        std::string line = bytes.substr(start, end - start);
        std::smatch match;
        if (std::regex_search(line, match, stamp)) log.Messages.push_back(match.suffix());
        else log.Unstamped.push_back(line);
        start = end + 2;
    }
    return log;
}

void Use_Viewer_Program(const std::string& path) { Viewer_Program_Setting() = path; }

// ---- Viewer_Process --------------------------------------------------------------------------

Viewer_Process::Viewer_Process(const std::vector<std::string>& arguments)
{
    const std::string program = Windows_Path(Viewer_Program_Setting());
    if (program.empty()) throw std::runtime_error("no viewer program: call Use_Viewer_Program or set LUMEN_ROLL_EXE");
    std::string line = Command_Line(program, arguments);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information{};
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &information))
        throw std::runtime_error("cannot start " + program + ": error " + std::to_string(GetLastError()));
    process_ = Windows::Unique_Process_Information(information);
}

Viewer_Process::Viewer_Process(Started_Elsewhere, DWORD process_id)
{
    PROCESS_INFORMATION information{};
    information.hProcess = OpenProcess(PROCESS_ALL_ACCESS, FALSE, process_id);
    if (!information.hProcess) throw std::runtime_error("cannot open process " + std::to_string(process_id));
    information.dwProcessId = process_id;
    process_ = Windows::Unique_Process_Information(information);
}

Viewer_Process::~Viewer_Process()
{
    if (Has_Ended()) return;
    if (Close_Window()) return;
    TerminateProcess(Handle(), 1); // a hung viewer must not hold the pipe name for the next test
    Wait_For_End(Milliseconds{5000});
}

bool Viewer_Process::Wait_For_End(Milliseconds bound) const
{
    return WaitForSingleObject(Handle(), static_cast<DWORD>(bound.count())) == WAIT_OBJECT_0;
}

DWORD Viewer_Process::Exit_Code() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(Handle(), &code);
    return code;
}

HWND Viewer_Process::Main_Window(Milliseconds bound) const
{
    HWND window = nullptr;
    Wait_Until([&] { return (window = Find_Viewer_Window(Id())) != nullptr || Has_Ended(); }, bound);
    return window;
}

HWND Viewer_Process::Tree_Window(Milliseconds bound) const
{
    HWND window = Main_Window(bound);
    return window ? Find_Tree_View(window) : nullptr;
}

std::string Viewer_Process::Caption() const { return Windows::Unicode::Ansi_From_Utf8(Caption_Utf8()); }

std::string Viewer_Process::Caption_Utf8() const
{
    HWND window = Main_Window();
    if (!window) return "<no window>";
    wchar_t caption[1100] = {};
    GetWindowTextW(window, caption, static_cast<int>(std::size(caption)));
    return Windows::Unicode::Utf8(caption);
}

std::string Viewer_Process::Status_Text() const
{
    return Windows::Unicode::Ansi_From_Utf8(Status_Text_Utf8());
}

std::string Viewer_Process::Status_Text_Utf8() const
{
    HWND status = FindWindowExA(Main_Window(), nullptr, STATUSCLASSNAMEA, nullptr);
    if (!status) return "";
    // The text crosses the process boundary through memory allocated in the viewer.
    constexpr SIZE_T room = 2048;
    void* remote = VirtualAllocEx(Handle(), nullptr, room, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote) return "";
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 5000, &copied);
    std::wstring text(room / sizeof(wchar_t), L'\0');
    SIZE_T moved = 0;
    ReadProcessMemory(Handle(), remote, text.data(), room - sizeof(wchar_t), &moved);
    VirtualFreeEx(Handle(), remote, 0, MEM_RELEASE);
    return Windows::Unicode::Utf8(text.c_str());
}

HWND Viewer_Process::Focus() const
{
    GUITHREADINFO information{};
    information.cbSize = sizeof information;
    const DWORD window_thread = GetWindowThreadProcessId(Main_Window(), nullptr);
    return GetGUIThreadInfo(window_thread, &information) ? information.hwndFocus : nullptr;
}

bool Viewer_Process::Close_Window(Milliseconds bound) const
{
    HWND window = Find_Viewer_Window(Id());
    if (window) PostMessageA(window, WM_CLOSE, 0, 0);
    return Wait_For_End(bound);
}

// ---- Host ------------------------------------------------------------------------------------

const char* Answer_Name(Answer answer)
{
    switch (answer) {
    case Answer::Acknowledgement: return "acknowledgement";
    case Answer::Other_Bytes: return "other bytes";
    case Answer::Closed: return "closed";
    case Answer::Silence: return "silence";
    }
    return "?";
}

Host::Host(const Viewer_Process& viewer, Milliseconds bound, std::string_view pipe_name)
{
    const std::string path = "\\\\.\\pipe\\" + std::string(pipe_name);
    Wait_Until(
        [&] {
            pipe_.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
            return static_cast<bool>(pipe_) || viewer.Has_Ended();
        },
        bound);
    if (!pipe_) return;
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe_.get(), &mode, nullptr, nullptr);
}

bool Host::Write_Message(std::string_view bytes)
{
    if (!pipe_) return false;
    Windows::Unique_Handle event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    BOOL started = WriteFile(pipe_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped);
    DWORD written = 0;
    return Finish_Overlapped(pipe_.get(), overlapped, started, Milliseconds{10000}, written) == ERROR_SUCCESS &&
           written == bytes.size();
}

Answer Host::Await_Answer(Milliseconds bound)
{
    if (!pipe_) return Answer::Closed;
    Windows::Unique_Handle event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED overlapped{};
    overlapped.hEvent = event.get();
    char buffer[64];
    BOOL started = ReadFile(pipe_.get(), buffer, sizeof buffer, nullptr, &overlapped);
    DWORD count = 0;
    DWORD error = Finish_Overlapped(pipe_.get(), overlapped, started, bound, count);
    if (error == WAIT_TIMEOUT) return Answer::Silence;
    if (error == ERROR_MORE_DATA) return Answer::Other_Bytes;
    if (error != ERROR_SUCCESS) return Answer::Closed;
    return count == 1 && buffer[0] == Acknowledgement_Byte ? Answer::Acknowledgement : Answer::Other_Bytes;
}

Answer Host::Send_Bytes(std::string_view bytes)
{
    if (!Write_Message(bytes)) return Answer::Closed;
    return Await_Answer();
}

Answer Host::Send_Text(std::string_view text) { return Send_Bytes(text); }
Answer Host::Send_Value(std::int32_t value) { return Send_Bytes(Value_Bytes(value)); }
Answer Host::Send_Flag(std::uint8_t flag) { return Send_Bytes(std::string(1, static_cast<char>(flag))); }

namespace {

void Expect_Acknowledgement(Answer answer, std::string_view description)
{
    if (answer != Answer::Acknowledgement)
        throw std::runtime_error("the viewer answered " + std::string(description) + " with " +
                                 Answer_Name(answer) + " instead of an acknowledgement");
}

} // namespace

void Host::Text(std::string_view text, std::string_view description)
{
    Expect_Acknowledgement(Send_Text(text), std::string(description) + " \"" + std::string(text) + "\"");
}

void Host::Value(std::int32_t value, std::string_view description)
{
    Expect_Acknowledgement(Send_Value(value), std::string(description) + " " + std::to_string(value));
}

void Host::Flag(std::uint8_t flag, std::string_view description)
{
    Expect_Acknowledgement(Send_Flag(flag), std::string(description) + " " + std::to_string(flag));
}

void Host::Entry_Message(const Entry& entry)
{
    Text(entry.Text, "entry text");
    Value(entry.Line, "line");
    Value(entry.Column, "column");
}

void Host::Group(std::string_view file, std::uint8_t flag, const std::vector<Entry>& entries)
{
    Text(file, "file name");
    Flag(flag);
    for (const Entry& entry : entries) Entry_Message(entry);
    Text("", "group end");
}

// ---- Remote_Tree -----------------------------------------------------------------------------

namespace {

constexpr std::size_t Text_Offset = 256;
constexpr std::size_t Text_Room = 16384;

} // namespace

Remote_Tree::Remote_Tree(const Viewer_Process& viewer, HWND tree) : Remote_Tree(viewer.Handle(), tree) {}

Remote_Tree::Remote_Tree(HANDLE process, HWND tree) : process_(process), tree_(tree)
{
    remote_ = VirtualAllocEx(process_, nullptr, Text_Offset + Text_Room, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote_) throw std::runtime_error("no memory in the viewer: error " + std::to_string(GetLastError()));
}

Remote_Tree::~Remote_Tree()
{
    // The viewer may have ended already; then its memory has gone with it.
    VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
}

HTREEITEM Remote_Tree::Next(HTREEITEM item, WPARAM relation) const
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item), SMTO_NORMAL, 5000,
                             &result))
        return nullptr;
    return reinterpret_cast<HTREEITEM>(result);
}

Tree_Node Remote_Tree::Read_Item(HTREEITEM item) const
{
    auto* remote_text = reinterpret_cast<wchar_t*>(static_cast<char*>(remote_) + Text_Offset);
    TVITEMW query{};
    query.mask = TVIF_TEXT | TVIF_STATE | TVIF_PARAM | TVIF_HANDLE;
    query.hItem = item;
    query.stateMask = TVIS_EXPANDED;
    query.pszText = remote_text;
    query.cchTextMax = static_cast<int>(Text_Room / sizeof(wchar_t));
    Tree_Node node;
    node.Item = item;
    SIZE_T moved = 0;
    if (!WriteProcessMemory(process_, remote_, &query, sizeof query, &moved)) return node;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(tree_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote_), SMTO_NORMAL, 5000, &result);
    TVITEMW answer{};
    std::wstring text(Text_Room / sizeof(wchar_t), L'\0');
    ReadProcessMemory(process_, remote_, &answer, sizeof answer, &moved);
    // The tree view may answer with a pointer to its own copy of the text instead of filling ours.
    ReadProcessMemory(process_, answer.pszText ? answer.pszText : remote_text, text.data(),
                      (text.size() - 1) * sizeof(wchar_t), &moved);
    node.Utf8 = Windows::Unicode::Utf8(text.c_str());
    node.Text = Windows::Unicode::Ansi_From_Utf8(node.Utf8);
    node.Expanded = (answer.state & TVIS_EXPANDED) != 0;
    node.Data = answer.lParam;
    return node;
}

std::vector<Tree_Node> Remote_Tree::Read() const
{
    std::vector<Tree_Node> top;
    for (HTREEITEM item = Next(nullptr, TVGN_ROOT); item; item = Next(item, TVGN_NEXT)) {
        Tree_Node node = Read_Item(item);
        for (HTREEITEM child = Next(item, TVGN_CHILD); child; child = Next(child, TVGN_NEXT))
            node.Children.push_back(Read_Item(child));
        top.push_back(std::move(node));
    }
    return top;
}

std::size_t Remote_Tree::Count() const
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(tree_, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, 5000, &result);
    return result;
}

bool Remote_Tree::Wait_For_Count(std::size_t count, Milliseconds bound) const
{
    return Wait_Until([&] { return Count() >= count; }, bound);
}

std::optional<RECT> Remote_Tree::Screen_Rectangle(HTREEITEM item) const
{
    // On input the rectangle's first field holds the item handle.
    RECT rectangle{};
    static_assert(sizeof(RECT) >= sizeof(HTREEITEM));
    std::memcpy(&rectangle, &item, sizeof item);
    SIZE_T moved = 0;
    if (!WriteProcessMemory(process_, remote_, &rectangle, sizeof rectangle, &moved)) return std::nullopt;
    DWORD_PTR visible = 0;
    SendMessageTimeoutA(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(remote_), SMTO_NORMAL, 5000, &visible);
    if (!visible || !ReadProcessMemory(process_, remote_, &rectangle, sizeof rectangle, &moved)) return std::nullopt;
    MapWindowPoints(tree_, nullptr, reinterpret_cast<POINT*>(&rectangle), 2);
    return rectangle;
}

} // namespace Viewer_Harness
