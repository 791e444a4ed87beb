#include "test_tools/fuzz/fuzz_play.hpp"

#include "test_tools/harness/viewer_harness.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>

namespace Bench::Fuzz {

namespace {

using namespace Viewer_Harness;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The viewer answers within its own 5 s time-out or never; these bounds leave room for a slow
// machine without letting a hung viewer stop the run.
constexpr auto Answer_Bound = 10s;
constexpr auto End_Bound = 15s;
constexpr UINT Window_Answer_Ms = 5000;

class Problems {
public:
    explicit Problems(std::vector<std::string>& list) : list_(list) {}
    void Add(std::string problem) { list_.push_back(std::move(problem)); }
    bool Any() const { return !list_.empty(); }

private:
    std::vector<std::string>& list_;
};

std::string Quoted(std::string_view bytes)
{
    std::string text(1, '"');
    text += Printable(bytes, 60);
    text += '"';
    return text;
}

std::string Last_Message(const Viewer_Log& log) { return log.Messages.empty() ? "<no line>" : log.Messages.back(); }

// A transfer that leaves the window open ends with "Complete", or with the reason a batch was refused.
bool Ends_With(const std::string& log_path, const std::string& message)
{
    const Viewer_Log log = Read_Log(log_path);
    return !log.Messages.empty() && log.Messages.back() == message;
}

Answer Expected_Answer(Reaction reaction)
{
    return reaction == Reaction::No_Answer ? Answer::Closed : Answer::Acknowledgement;
}

// One message and its answer; false when the script cannot go on after it.
bool Play_Message(Host& host, const Step& step, std::size_t index, Problems& problems)
{
    const std::string where = "step " + std::to_string(index) + " (" + step.What + ")";
    // A message the viewer refuses may find its end closing under the write.
    if (!host.Write_Message(step.Bytes) && step.Expected != Reaction::No_Answer) {
        problems.Add(where + ": the write failed");
        return false;
    }
    const Answer answer = host.Await_Answer(Answer_Bound);
    if (answer != Expected_Answer(step.Expected)) {
        problems.Add(where + ": expected " + Reaction_Name(step.Expected) + ", the viewer gave " + Answer_Name(answer));
        return false;
    }
    return step.Expected == Reaction::Acknowledgement;
}

// Sends nothing until the viewer has reacted to the silence as the model says.
void Stall(const Run_Script& script, const Viewer_Process& viewer, const std::string& log_path)
{
    if (script.Expected.Window_Stays_Open)
        Wait_Until([&] { return Ends_With(log_path, script.Expected.Last_Message); }, End_Bound);
    else viewer.Wait_For_End(End_Bound);
}

void Play_Steps(const Run_Script& script, const Viewer_Process& viewer, const std::string& log_path,
                Problems& problems)
{
    if (!script.Connects) return;
    Host host(viewer, Answer_Bound, script.Pipe_Name);
    if (!host.Is_Connected()) {
        problems.Add("the host could not open the viewer's pipe");
        return;
    }
    for (std::size_t index = 0; index < script.Steps.size(); ++index) {
        const Step& step = script.Steps[index];
        if (step.Kind == Step_Kind::Stall) return Stall(script, viewer, log_path);
        if (step.Kind == Step_Kind::Close) return host.Close();
        if (step.Kind == Step_Kind::Pause) {
            Sleep(Pause_Milliseconds);
            continue;
        }
        if (!Play_Message(host, step, index, problems)) return;
    }
}

void Check_Log(const Viewer_Log& log, const Outcome& expected, Problems& problems)
{
    const std::string last = Last_Message(log);
    const bool last_matches = expected.Last_Is_Prefix ? last.starts_with(expected.Last_Message)
                                                      : last == expected.Last_Message;
    if (!last_matches)
        problems.Add("the log's last line is " + Quoted(last) + ", expected " + Quoted(expected.Last_Message) +
                     (expected.Last_Is_Prefix ? "..." : ""));
    if (expected.Title_Message && !log.Contains(*expected.Title_Message))
        problems.Add("the log lacks " + Quoted(*expected.Title_Message));
    if (!log.Unstamped.empty()) problems.Add("the log has a line without stamp: " + Quoted(log.Unstamped.front()));
    const bool complete = expected.Window_Stays_Open && expected.Last_Message == "Complete";
    if (complete) {
        const std::size_t count = log.Messages.size();
        const bool timeout_logged = count >= 2 && log.Messages[count - 2] == "Timeout";
        if (timeout_logged != expected.Timeout_Logged)
            problems.Add(expected.Timeout_Logged ? "no \"Timeout\" before \"Complete\"" : "an unexpected \"Timeout\"");
        if (log.Contains_Prefix("!!!")) problems.Add("a failure was logged although the transfer ended normally");
    } else if (log.Contains("Complete")) {
        problems.Add("\"Complete\" was logged although the transfer had to fail");
    }
}

void Check_Exit_Code(const Viewer_Process& viewer, const Outcome& expected, Problems& problems)
{
    if (const DWORD code = viewer.Exit_Code(); code != expected.Exit_Code) {
        char image[64];
        std::snprintf(image, sizeof image, "0x%08lX, expected %lu", static_cast<unsigned long>(code),
                      expected.Exit_Code);
        problems.Add(std::string("the viewer's exit code is ") + image);
    }
}

// Names of lower-case letters and digits only: every collation orders them alike.
bool Is_Sortable(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char character) {
        return (character >= 'a' && character <= 'z') || (character >= '0' && character <= '9');
    });
}

void Check_Order(const std::vector<Shown_Group>& shown, Problems& problems)
{
    std::vector<std::string> sortable;
    for (const Shown_Group& group : shown)
        if (Is_Sortable(group.File)) sortable.push_back(group.File);
    if (auto wrong = std::is_sorted_until(sortable.begin(), sortable.end()); wrong != sortable.end())
        problems.Add("file nodes out of order: " + Quoted(*std::prev(wrong)) + " above " + Quoted(*wrong));
}

std::string Group_Image(const Shown_Group& group)
{
    std::string image = Quoted(group.File) + (group.Expanded ? " expanded" : " collapsed") + " with " +
                        std::to_string(group.Entries.size()) + " entries";
    if (!group.Entries.empty()) image += ", first " + Quoted(group.Entries.front());
    return image;
}

// The multiset difference Left - Right, both sorted: at most a few of them, for the report.
void Report_Difference(const std::vector<Shown_Group>& left, const std::vector<Shown_Group>& right,
                       const std::string& label, Problems& problems)
{
    std::vector<Shown_Group> only;
    std::set_difference(left.begin(), left.end(), right.begin(), right.end(), std::back_inserter(only));
    for (std::size_t index = 0; index < only.size() && index < 3; ++index)
        problems.Add(label + Group_Image(only[index]));
    if (only.size() > 3) problems.Add(label + "... " + std::to_string(only.size() - 3) + " more");
}

std::vector<Shown_Group> Read_Shown_Tree(const Viewer_Process& viewer, Problems& problems)
{
    std::vector<Shown_Group> shown;
    const HWND tree = viewer.Tree_Window();
    if (!tree) {
        problems.Add("the window has no tree view");
        return shown;
    }
    Remote_Tree remote(viewer, tree);
    for (const Tree_Node& node : remote.Read()) {
        Shown_Group group{node.Text, node.Expanded, {}};
        if (node.Data == 0) problems.Add("file node " + Quoted(node.Text) + " carries no data");
        for (const Tree_Node& child : node.Children) {
            group.Entries.push_back(child.Text);
            if (child.Data == 0) problems.Add("entry node " + Quoted(child.Text) + " carries no data");
        }
        shown.push_back(std::move(group));
    }
    return shown;
}

void Check_Tree(const Viewer_Process& viewer, const Outcome& expected, Problems& problems)
{
    std::vector<Shown_Group> shown = Read_Shown_Tree(viewer, problems);
    Check_Order(shown, problems);
    std::vector<Shown_Group> wanted = expected.Tree;
    std::sort(shown.begin(), shown.end());
    std::sort(wanted.begin(), wanted.end());
    if (shown == wanted) return;
    problems.Add("the tree differs: " + std::to_string(shown.size()) + " file nodes, expected " +
                 std::to_string(wanted.size()));
    Report_Difference(wanted, shown, "missing or different: ", problems);
    Report_Difference(shown, wanted, "unexpected: ", problems);
}

void Check_Open_Window(const Viewer_Process& viewer, const Outcome& expected, Problems& problems)
{
    const HWND window = viewer.Main_Window(5s);
    DWORD_PTR result = 0;
    if (!window || !SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, Window_Answer_Ms, &result)) {
        problems.Add("the window does not answer");
        return;
    }
    // Before a title the caption is the product's name and version.
    if (const std::string caption = viewer.Caption(); expected.Title_Message && caption != expected.Caption)
        problems.Add("the caption is " + Quoted(caption) + ", expected " + Quoted(expected.Caption));
    Check_Tree(viewer, expected, problems);
}

void Check_End(const Run_Script& script, const Viewer_Process& viewer, const std::string& log_path,
               Problems& problems)
{
    const Outcome& expected = script.Expected;
    if (!expected.Window_Stays_Open) {
        if (!viewer.Wait_For_End(End_Bound)) problems.Add("the viewer did not end within 15 s");
        else Check_Exit_Code(viewer, expected, problems);
        Check_Log(Read_Log(log_path), expected, problems);
        return;
    }
    Wait_Until([&] { return Ends_With(log_path, expected.Last_Message); }, End_Bound);
    if (viewer.Has_Ended()) {
        problems.Add("the viewer ended; its window should have stayed open");
        Check_Exit_Code(viewer, expected, problems);
    } else {
        Check_Open_Window(viewer, expected, problems);
        if (!viewer.Close_Window(End_Bound)) problems.Add("the viewer did not end within 15 s of WM_CLOSE");
        else Check_Exit_Code(viewer, expected, problems);
    }
    Check_Log(Read_Log(log_path), expected, problems);
}

// The last lines of the log, for the report of a failed run.
void Add_Log_Tail(const std::string& log_path, Problems& problems)
{
    const Viewer_Log log = Read_Log(log_path);
    const std::size_t count = log.Messages.size();
    std::string tail = "the log ends with:";
    for (std::size_t index = count > 4 ? count - 4 : 0; index < count; ++index) tail += " " + Quoted(log.Messages[index]);
    problems.Add(tail);
}

} // namespace

Run_Report Play(const Run_Script& script, const std::string& log_path)
{
    Run_Report report;
    Problems problems(report.Problems);
    const auto start = Clock::now();
    {
        Viewer_Process viewer(script.Arguments);
        Play_Steps(script, viewer, log_path, problems);
        Check_End(script, viewer, log_path, problems);
        if (problems.Any()) Add_Log_Tail(log_path, problems);
    }
    report.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return report;
}

} // namespace Bench::Fuzz
