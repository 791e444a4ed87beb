#include "viewer/control.hpp"

#include "viewer/batch_reader.hpp"
#include "viewer/place_opener.hpp"
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
#include "support/text.hpp"
#include "windows/pipe.hpp"
#include "windows/version.hpp"
#include "windows/windows.hpp"

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
    Index_List::File_Name Current_File; // shared by the entries of the group
    unsigned char Expand_Group = 0;
    Index_List::Item Index;
    Gui::Tree_View Display_Tree;
    Tree_Feed Feed; // the way into Display_Tree during the transfer
    Results_View View; // the filter, the dismissed entries and the keys that work the results
    Preview_Pane Preview; // below the tree: the lines around the selected entry
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

// While entries arrive the status line changes every Status_Period at most: each change costs
// the window thread a repaint, and a faster count is not read anyway. The last count is shown
// when the transfer ends (Show_Status), however soon after a change.
void Show_Progress(const Tree_Feed::Counts& in_tree)
{
    using Clock = std::chrono::steady_clock;
    static Clock::time_point next_change{}; // window thread only
    static Tree_Feed::Counts shown{};
    const Clock::time_point now = Clock::now();
    if ((in_tree.Entries == shown.Entries && in_tree.Files == shown.Files) || now < next_change) return;
    next_change = now + Status_Period;
    shown = in_tree;
    Gui::Set_Status_Text(The_State().View.Status_Line(Transfer_Phase::Receiving, in_tree));
}

void Show_Status(Transfer_Phase phase)
{
    const Tree_Feed::Counts in_tree = The_State().Feed.In_Tree();
    Gui::Set_Status_Text(The_State().View.Status_Line(phase, in_tree));
}

// An entry goes to the clipboard as a place in the common form, which editors and terminals
// take; its node shows the text with the marker, which the copy leaves out.
std::string Copied_Text(std::uintptr_t data, const std::string& node_text)
{
    if (data == 0) return node_text; // a file node: its file name
    const Index_List::Index_Entry& entry = Index_List::Item::Element_Of(reinterpret_cast<Index_List::Position>(data));
    return Place_Text(entry, node_text);
}

std::string Decimal_Image(std::uint32_t value) { return Strings::Normalized_Words(" " + std::to_string(value)); }

void Preview_Selection(std::uintptr_t data, const std::string& text) { The_State().Preview.Follow(data, text); }

// Terminate has logged why; before the transfer could begin, the arguments were the cause.
Exit_Code Termination_Code(const std::vector<std::string>& arguments)
{
    const bool accepted = (arguments.size() == 1 || arguments.size() == 2) && arguments[0] == Protocol::Pipe_Name;
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
                                                  .Termination = [] { The_State().Preview.Finish(); },
                                                  .Default_Width = 0,
                                                  .Default_Height = 0,
                                                  .Default_X = CW_USEDEFAULT,
                                                  .Default_Y = CW_USEDEFAULT,
                                                  .Icon = "LumenRoll",
                                                  .Topmost = false});
    Gui::Page page = Gui::Create_Page("Display", Gui::Layout_Option{}, nullptr);
    state.Display_Tree = state.View.Create(
        page, {.Activation = Open_Entry,
               .Opens = [](std::uintptr_t data) { return data != 0; },
               .Copy_Text = Copied_Text,
               .More_Menu_Items = [] { return std::vector{The_State().Preview.Menu_Item()}; },
               .Selection_Changed = Preview_Selection});
    state.Preview.Create(page);
    state.Feed.Observe_Inserts([](bool is_file, const std::string& text, std::uintptr_t data) {
        The_State().View.Take_Item(is_file, text, data);
    });
    state.Feed.Start(state.Display_Tree, [](const Tree_Feed::Counts& in_tree) {
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
    Display_Target display;
    Transfer_Reader reader(messages, display);
    Gui::Set_Title(reader.Read_Line());
    reader.Acknowledge();
    Log::Put("Index for " + Gui::Title());
    Show_Status(Transfer_Phase::Receiving);
    return End_Transfer(reader.Read_Groups());
}

void Start_Group(const std::string& file)
{
    State& state = The_State();
    state.Current_File = file;
    state.Feed.Add_File(file);
}

std::string Shown_Text(std::string_view text, std::uint32_t column)
{
    if (column < 1 || column > text.size() + 1)
        throw Failures::INDEX_ERROR("column " + std::to_string(column) + " outside 1 .. " +
                                    std::to_string(text.size() + 1));
    std::string shown;
    shown.reserve(text.size() + 1);
    shown.append(text.substr(0, column - 1));
    shown += Marker;
    shown.append(text.substr(column - 1));
    Text::Trim_In_Place(shown);
    return shown;
}

void Add_Entry(std::uint32_t line, std::uint32_t column, const std::string& text)
{
    State& state = The_State();
    state.Index.Append({state.Current_File, line, column});
    std::string shown = Shown_Text(text, column);
    auto data = reinterpret_cast<std::uintptr_t>(state.Index.Last());
    state.Feed.Add_Entry(shown, data, state.Expand_Group != 0);
}

std::string Status_Text(Transfer_Phase phase, std::uint64_t entries, std::uint64_t files)
{
    const std::string counts = std::to_string(entries) + (entries == 1 ? " entry in " : " entries in ") +
                               std::to_string(files) + (files == 1 ? " file" : " files");
    switch (phase) {
    case Transfer_Phase::Receiving:
        return "Receiving - " + counts;
    case Transfer_Phase::Timed_Out:
        return "Timed out - " + counts;
    case Transfer_Phase::Broken_Off:
        return "Broken off - " + counts;
    case Transfer_Phase::Complete:
        break;
    }
    return counts;
}

std::string Place_Text(const Index_List::Index_Entry& entry, std::string_view node_text)
{
    std::string text(node_text);
    if (const std::size_t marker = text.find(Marker); marker != std::string::npos) text.erase(marker, 1);
    return entry.File.Text() + ":" + Decimal_Image(entry.Line) + ":" + Decimal_Image(entry.Column) + ":" + text;
}

std::string Editor_Arguments(const Index_List::Index_Entry& entry)
{
    return entry.File.Text() + "/" + Decimal_Image(entry.Line) + "/" + Decimal_Image(entry.Column);
}

std::string Shell_Parameters(const Index_List::Index_Entry& entry)
{
    return "-XMovAbs(" + Decimal_Image(entry.Line) + "," + Decimal_Image(entry.Column) + ")";
}

void Open_Entry(std::uintptr_t data)
{
    if (data == 0) return; // a file node
    const Index_List::Index_Entry& entry = Index_List::Item::Element_Of(reinterpret_cast<Index_List::Position>(data));
    Place_Opener::Open({.File = entry.File.Text(),
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
