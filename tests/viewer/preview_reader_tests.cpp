// The preview's reading thread with real files: a burst of requests is read once, for the newest
// of them, and a lone request is read and shown by itself.

#include "viewer/preview_reader.hpp"
#include "tests/test_support.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace {

using Control::Preview_Reader;

// What the reader showed, with an event for each text.
class Shown_Texts {
public:
    void Add(const Gui::Pane_Text& text)
    {
        {
            std::lock_guard guard(lock_);
            texts_.push_back(text);
        }
        SetEvent(shown_.get());
    }
    bool Wait(DWORD bound_ms) { return WaitForSingleObject(shown_.get(), bound_ms) == WAIT_OBJECT_0; }
    std::vector<Gui::Pane_Text> Texts()
    {
        std::lock_guard guard(lock_);
        return texts_;
    }

private:
    std::mutex lock_;
    std::vector<Gui::Pane_Text> texts_;
    Windows::Unique_Handle shown_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

TEST(Preview_Reader, A_Burst_Of_Requests_Is_Read_Once_For_The_Newest)
{
    Test_Support::Temporary_Folder folder;
    std::vector<std::string> files;
    for (int file = 0; file < 5; ++file) {
        files.push_back(folder.File("f" + std::to_string(file) + ".txt"));
        Test_Support::Write_File(files.back(), "file " + std::to_string(file) + "\n" + std::string(200, 'x') + "\n");
    }
    Shown_Texts shown;
    Preview_Reader reader;
    reader.Start([&](const Gui::Pane_Text& text) { shown.Add(text); }, nullptr);

    for (std::uint32_t request = 0; request < 500; ++request)
        reader.Ask({.Place = {files[request % files.size()], 1, 1}, .Fitting_Lines = 9});
    ASSERT_TRUE(shown.Wait(10000)) << "nothing was shown";
    EXPECT_EQ(reader.Requests(), 500u);
    // The first request may be read alone when the machine stalls the burst at its start.
    EXPECT_LE(reader.Reads(), 2u) << "a burst is read when it pauses, not request by request";
    EXPECT_EQ(shown.Texts().back().Lines.at(0), L"1  file 4");

    // A request after a pause is read by itself.
    reader.Ask({.Place = {files[2], 2, 3}, .Fitting_Lines = 9});
    ASSERT_TRUE(shown.Wait(10000));
    const Gui::Pane_Text last = shown.Texts().back();
    EXPECT_EQ(last.Lines.at(0), L"1  file 2");
    EXPECT_EQ(last.Highlighted_Line, 1);
    EXPECT_EQ(last.Selection_Start, 5u);
    reader.Stop();
    EXPECT_LE(reader.Reads(), 3u);
}

} // namespace
