#include "viewer/control.hpp"

#include "viewer/entry_text.hpp"
#include "viewer/batch_reader.hpp"
#include "viewer/place_opener.hpp"
#include "viewer/place_tracker.hpp"
#include "viewer/preview_pane.hpp"
#include "viewer/protocol.hpp"
#include "viewer/results_view.hpp"
#include "viewer/transfer_reader.hpp"
#include "viewer/tree_feed.hpp"

#include "gui/gui.hpp"
#include "gui/registered/registered.hpp"
#include "gui/tree_view.hpp"
#include "support/log.hpp"
#include "support/strings.hpp"
#include "windows/pipe.hpp"
#include "windows/unicode.hpp"
#include "windows/version.hpp"
#include "windows/windows.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

namespace Control {

namespace {

constexpr const char* Transfer_Stopped_Line = "Transfer ended: the window was closed";
// Every fifth round of the tree feed. Each change repaints the status bar, about ten requests to
// the wine server on the window thread, which on a two-core machine compete with the transfer's
// own; two changes a second still read as a running count.
constexpr std::chrono::milliseconds Status_Period{500};

// The editor is written once by the main thread before the transfer, so that the first place
// opened already goes to it, and read by the action thread, which may run an activation at any
// time.
class Editor_Setting {
public:
    void Set(const std::string& program)
    {
        std::lock_guard guard(lock_);
        program_ = program;
    }
    std::string Get() const
    {
        std::lock_guard guard(lock_);
        return program_;
    }

private:
    mutable std::mutex lock_;
    std::string program_;
};

struct State {
    std::string Product_Name;
    std::string Product_Version;
    Editor_Setting Editor_Program;
    unsigned char Expand_Group = 0;
    Results Index; // every file and entry received, once: the trees show it
    Gui::Tree_View Display_Tree;
    Tree_Feed Feed; // the way into Display_Tree during the transfer
    Preview_Pane Preview; // below the tree: the lines around the selected entry
    Results_View View{Index, Feed, Preview}; // the filter, the dismissed entries and the window's commands
    Place_Tracker Tracker{Index}; // keeps the places on their texts while the files change
    Windows::Pipe::Pipe_Handle Pipe;
};

State& The_State()
{
    static State state;
    return state;
}

void Show_Status(Transfer_Phase phase);

// The transfer's title goes into the caption, its groups and entries into the index and the tree.
class Display_Target final : public Batch_Target {
public:
    void Take_Title(const std::string& title) override
    {
        Gui::Set_Title(title);
        Log::Put("Index for " + Gui::Title());
        Show_Status(Transfer_Phase::Receiving);
    }
    void Start_Group(const std::string& file) override { Control::Start_Group(file); }
    void Set_Expand_Group(unsigned char flag) override { The_State().Expand_Group = flag; }
    void Add_Entry(std::uint32_t line, std::uint32_t column, const std::string& text) override
    {
        Control::Add_Entry(line, column, text);
    }
};

// The message-by-message protocol's texts are 8-bit, in the ANSI code page: the index keeps them
// as UTF-8, the column moved to the same character.
class Ansi_Display_Target final : public Transfer_Target {
public:
    void Start_Group(const std::string& file) override { Control::Start_Group(Windows::Unicode::Utf8_From_Ansi(file)); }
    void Set_Expand_Group(unsigned char flag) override { The_State().Expand_Group = flag; }
    void Add_Entry(std::uint32_t line, std::uint32_t column, const std::string& text) override
    {
        if (Windows::Unicode::Is_Ascii(text)) return Control::Add_Entry(line, column, text);
        // A column outside the text stays outside it, by as much: the index's check refuses it.
        const std::size_t split = std::min<std::size_t>(column > 0 ? column - 1 : 0, text.size());
        std::string converted = Windows::Unicode::Utf8_From_Ansi(std::string_view(text).substr(0, split));
        const auto moved = static_cast<std::uint32_t>(column == 0 ? 0 : converted.size() + 1 + (column - 1 - split));
        converted += Windows::Unicode::Utf8_From_Ansi(std::string_view(text).substr(split));
        Control::Add_Entry(line, moved, converted);
    }
};

// While entries arrive the status line changes every Status_Period at most: each change costs
// the window thread a repaint, and a faster count is not read anyway. The last count is shown
// when the transfer ends (Show_Status), however soon after a change.
void Show_Progress(const Counts& in_tree)
{
    using Clock = std::chrono::steady_clock;
    static Clock::time_point next_change{}; // window thread only
    static Counts shown{};
    const Clock::time_point now = Clock::now();
    if ((in_tree.Entries == shown.Entries && in_tree.Files == shown.Files) || now < next_change) return;
    next_change = now + Status_Period;
    shown = in_tree;
    Gui::Set_Status_Text(The_State().View.Status_Line(Transfer_Phase::Receiving, in_tree));
}

void Show_Status(Transfer_Phase phase)
{
    const Counts in_tree = The_State().Feed.In_Tree();
    Gui::Set_Status_Text(The_State().View.Status_Line(phase, in_tree));
}

std::string Decimal_Image(std::uint32_t value) { return Strings::Normalized_Words(" " + std::to_string(value)); }

// A file node previews the file's first lines; an entry its current place.
void Preview_Node(const Results::Node& node)
{
    State& state = The_State();
    if (node.Is_File()) {
        state.Preview.Follow({.File = state.Index.File_Name(node.File), .Line = 0, .Column = 0});
    } else if (node.Is_Entry()) {
        const Index_List::Index_Entry entry = state.Index.Element_Of(node);
        state.Preview.Follow(
            {.File = entry.File, .Line = entry.Line, .Column = Character_Column(entry)});
    }
}

void Preview_Selection(std::uintptr_t data) { Preview_Node(The_State().Index.Node_Of(data)); }

// A gone entry's text is no longer in its file.
COLORREF Entry_Colour(std::uintptr_t data)
{
    const Results::Node node = The_State().Index.Node_Of(data);
    return node.Is_Entry() && The_State().Index.Is_Gone(node.Entry) ? Gui::Grey : Gui::Black;
}

// Told by the place tracker off the window thread: the file's entries show where they are now,
// and a preview of the file reads it again.
void Show_Followed_Places(Results::File_Index file)
{
    Gui::Run_On_Window_Thread([file]() -> LRESULT {
        State& state = The_State();
        const Gui::Tree_View shown = state.View.Shown_Tree();
        Refresh_Entry_Texts(state.Index, state.Display_Tree, file, state.Feed.File_Item(file));
        if (shown.Window() != state.Display_Tree.Window()) Refresh_Entry_Texts(state.Index, shown, file);
        state.View.Refresh_Status();
        const Results::Node selected = Node_Of_Item(state.Index, shown, Gui::Selected_Item(shown));
        if (selected.File == file) Preview_Node(selected);
        return 0;
    });
}

// Terminate has logged why; before the transfer could begin, the arguments were the cause.
Exit_Code Termination_Code(const std::vector<std::string>& arguments)
{
    const bool accepted = (arguments.size() == 1 || arguments.size() == 2) &&
                          (arguments[0] == Protocol::Pipe_Name || Batch_Protocol::Is_Pipe_Name(arguments[0]));
    return accepted ? Exit_Code::Transfer_Failed : Exit_Code::Bad_Command_Line;
}

// The general failure path, inside the handler of the failure in flight.
Exit_Code Give_Up(Exit_Code exit_code)
{
    Gui::Close_Main_Window();
    Log::Put_Exception("!!! Exception");
    return exit_code;
}

} // namespace

void Initialise()
{
    State& state = The_State();
    state.Product_Name = Windows::Version::Get_Product_Name();
    state.Product_Version = Windows::Version::Get_Product_Version();
    Log::Open_Log(false);
}

void Create_Display()
{
    State& state = The_State();
    Gui::Registered::Open_Registered_Main_Window({.Company = Gui::Registered::Company::Quillmark,
                                                  .Application = state.Product_Name,
                                                  .Version = state.Product_Version,
                                                  .Termination =
                                                      [] {
                                                          The_State().Tracker.Stop();
                                                          The_State().Preview.Finish();
                                                      },
                                                  .Default_Width = 0,
                                                  .Default_Height = 0,
                                                  .Default_X = CW_USEDEFAULT,
                                                  .Default_Y = CW_USEDEFAULT,
                                                  .Icon = "LumenRoll",
                                                  .Topmost = false});
    Gui::Page page = Gui::Create_Page("Display", Gui::Layout_Option{}, nullptr);
    state.Display_Tree = state.View.Create(
        page, {.Activation = Open_Entry,
               .Colour = Entry_Colour,
               .Selection_Changed = [](std::uintptr_t data, const std::string&) { Preview_Selection(data); }});
    state.Preview.Create(page);
    state.Feed.Observe_Inserts([](Results::Node node) { The_State().View.Take_Item(node); });
    state.Feed.Start(state.Display_Tree, state.Index, [](const Counts& in_tree) {
        Show_Progress(in_tree);
        The_State().View.After_Round();
    });
}

namespace {

// After a malformed batch the window keeps what the batches before it brought; it is no complete
// transfer, so "Complete" is not logged.
Exit_Code End_Transfer(Transfer_Phase ending)
{
    State& state = The_State();
    Windows::Pipe::Close(state.Pipe);
    state.Feed.Finish();
    // Following the files begins before the status line says the transfer is over: an edit made
    // once the user can see that is followed.
    state.Tracker.Start(Show_Followed_Places);
    Show_Status(ending);
    if (ending == Transfer_Phase::Broken_Off) return Exit_Code::Transfer_Failed;
    Log::Put("Complete");
    return Exit_Code::Success;
}

// The batch protocol, on a pipe that is the run's alone.
Exit_Code Process_Batches(std::string_view name)
{
    State& state = The_State();
    Windows::Pipe::Open(state.Pipe, {.Name = name, .Is_Server = true, .Mode = Windows::Pipe::Pipe_Mode::Duplex,
                                     .Buffer_Size = Batch_Protocol::Batch_Limit,
                                     .Timeout = Batch_Protocol::Transfer_Timeout,
                                     .Stop_Event = Gui::Closing_Event(), .Private = true});
    Pipe_Batch_Source batches(state.Pipe);
    Display_Target display;
    return End_Transfer(Read_Batches(batches, display));
}

} // namespace

Exit_Code Process_Pipe(std::string_view name)
{
    if (Batch_Protocol::Is_Pipe_Name(name)) return Process_Batches(name);
    if (name != Protocol::Pipe_Name) Terminate("Invalid Pipe Name");
    State& state = The_State();
    // Closing the window stops every wait of the transfer: the viewer does not outlive its window.
    Windows::Pipe::Open(state.Pipe, {.Name = name, .Is_Server = true, .Mode = Windows::Pipe::Pipe_Mode::Duplex,
                                     .Buffer_Size = Protocol::Message_Limit, .Timeout = Protocol::Transfer_Timeout,
                                     .Stop_Event = Gui::Closing_Event()});
    Pipe_Source messages(state.Pipe);
    Ansi_Display_Target display;
    Transfer_Reader reader(messages, display);
    Gui::Set_Title(Windows::Unicode::Utf8_From_Ansi(reader.Read_Line()));
    reader.Acknowledge();
    Log::Put("Index for " + Gui::Title());
    Show_Status(Transfer_Phase::Receiving);
    return End_Transfer(reader.Read_Groups());
}

void Start_Group(const std::string& file)
{
    State& state = The_State();
    state.Feed.Add_File(state.Index.Add_File(file));
}

void Add_Entry(std::uint32_t line, std::uint32_t column, const std::string& text)
{
    State& state = The_State();
    state.Index.Append(line, column, text); // to the latest group
    Check_Column(text, column);
    state.Feed.Add_Entry(state.Index.Last(), state.Expand_Group != 0);
}

// Editors count a column in characters: the place's column as the host sent it for ANSI text.
std::string Editor_Arguments(const Index_List::Index_Entry& entry)
{
    return entry.File + "/" + Decimal_Image(entry.Line) + "/" + Decimal_Image(Character_Column(entry));
}

std::string Shell_Parameters(const Index_List::Index_Entry& entry)
{
    const std::uint32_t column = Character_Column(entry);
    return "-XMovAbs(" + Decimal_Image(entry.Line) + "," + Decimal_Image(column) + ")";
}

void Open_Entry(std::uintptr_t data)
{
    const Results::Node node = The_State().Index.Node_Of(data);
    if (!node.Is_Entry()) return; // a file node
    The_State().Tracker.Bring_Up_To_Date(node.File); // a change the watch has not told yet
    const Index_List::Index_Entry entry = The_State().Index.Element_Of(node);
    Place_Opener::Open({.File = entry.File,
                        .Editor_Arguments = Editor_Arguments(entry),
                        .Shell_Parameters = Shell_Parameters(entry)},
                       The_State().Editor_Program.Get());
}

Exit_Code Main(const std::vector<std::string>& arguments)
{
    State& state = The_State();
    Exit_Code exit_code = Exit_Code::Success;
    try {
        Create_Display();
        if (arguments.size() < 1) Terminate("Pipe name missing");
        if (arguments.size() > 2) Terminate("Too many parameters");
        if (arguments.size() == 2) state.Editor_Program.Set(arguments[1]);
        exit_code = Process_Pipe(arguments[0]);
    } catch (const Termination&) {
        Gui::Close_Main_Window();
        exit_code = Termination_Code(arguments);
    } catch (const Windows::Pipe::STOPPED&) {
        // The host learns it at its next write or read, when the pipe is gone.
        Windows::Pipe::Close(state.Pipe);
        Log::Put(Transfer_Stopped_Line);
    } catch (const Windows::Pipe::TIMEOUT&) {
        exit_code = Give_Up(Exit_Code::No_Host);
    } catch (...) {
        exit_code = Give_Up(Exit_Code::Transfer_Failed);
    }
    // The window may stay open for a long time: what the run logged should be readable now, and
    // the few lines that may follow (editor starts) are written as they come.
    Log::Process_Log().Flush_From_Now_On();
    return exit_code;
}

} // namespace Control
