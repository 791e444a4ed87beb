#pragma once
// The preview below the tree: the lines around the selected entry (or a file's first lines), read
// off the window thread as the selection moves. Its height and whether it shows are kept under the
// window's metrics as "Preview Height" and "Preview Shown"; the results window's command "Preview"
// (Ctrl+P) hides and shows it. While hidden it reads nothing; shown again, it reads the selection.

#include "viewer/preview_reader.hpp"
#include "gui/pages.hpp"
#include "gui/text_pane.hpp"
#include "gui/tree_view.hpp"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace Control {

class Preview_Pane {
public:
    // Pixels; a stored height outside Least_Height .. Greatest_Height is taken as the nearest.
    static constexpr std::int32_t Default_Height = 180;
    static constexpr std::int32_t Least_Height = 40;
    static constexpr std::int32_t Greatest_Height = 4000;
    // Properties of the pane's window, updated whenever it shows a new text: the selections it was
    // asked to follow, and the files it read for them.
    static constexpr const wchar_t* Selections_Property = L"Lumen_Roll.Preview_Selections";
    static constexpr const wchar_t* Reads_Property = L"Lumen_Roll.Preview_Reads";

    Preview_Pane() = default;
    Preview_Pane(const Preview_Pane&) = delete;
    Preview_Pane& operator=(const Preview_Pane&) = delete;

    // Main thread, after the window and the views above the pane exist.
    void Create(const Gui::Page& page);
    // Window thread: the shown tree's selection moved to this place (line 0 for a file node).
    void Follow(const Preview_Text::Place& place);
    // Window thread: hides a shown pane, shows a hidden one.
    void Toggle();
    bool Is_Shown() const { return shown_; }
    // At the window's close: ends the reading.
    void Finish();

private:
    void Ask(const Preview_Text::Place& place);
    void Resized(std::int32_t height);
    void Publish_Counts() const;

    Gui::Text_Pane pane_;
    Preview_Reader reader_;
    std::atomic<bool> shown_{true};
    std::atomic<std::int32_t> height_{Default_Height};
    std::optional<Preview_Text::Place> followed_; // window thread
};

} // namespace Control
