#include "gui/text_pane.hpp"

#include "gui/owners.hpp"
#include "gui/window_thread.hpp"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <optional>

namespace Gui {

namespace {

constexpr LPARAM Text_Limit = 10'000'000; // characters; the control's default is 32K
// The highlighted line's background: a pale yellow that every text colour reads on.
constexpr COLORREF Highlight_Colour = RGB(255, 244, 170);
constexpr int Font_Points = 10;
// How near the pane's top edge the pointer offers to resize it.
constexpr int Edge_Pixels = 4;
constexpr UINT_PTR Subclass_Identifier = 1;

LRESULT CALLBACK Pane_Procedure(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter, UINT_PTR,
                                DWORD_PTR record) noexcept;

class Text_Pane_Record final : public Child_Record {
public:
    explicit Text_Pane_Record(Text_Pane_Options options) : Child_Record(Control_Kind::Rich_Edit), options_(options)
    {
        Height = options.Height;
        Hidden = options.Hidden;
    }

    // The selection stays visible while another control has the keys: it marks the place.
    DWORD Kind_Style() const override
    {
        return WS_BORDER | ES_MULTILINE | ES_READONLY | ES_NOHIDESEL | WS_HSCROLL | WS_VSCROLL | ES_AUTOHSCROLL;
    }

    void After_Creation() override
    {
        if (!Window) return;
        Send(EM_EXLIMITTEXT, 0, Text_Limit);
        Send(EM_SETTARGETDEVICE, 0, 1); // no device and a line width of 1: no word wrap
        if (options_.Fixed_Pitch) font_.reset(Fixed_Pitch_Font());
        if (font_) Send(WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        line_height_ = Measured_Line_Height();
        if (options_.Resized && Height > 0)
            SetWindowSubclass(Window, Pane_Procedure, Subclass_Identifier, reinterpret_cast<DWORD_PTR>(this));
    }

    // The pane's top edge, dragged: its height follows the pointer, and the page is laid out anew.
    std::optional<LRESULT> Resize_Message(UINT message, LPARAM l_parameter)
    {
        switch (message) {
        case WM_NCHITTEST:
            if (!On_Top_Edge(l_parameter)) return std::nullopt;
            return HTTOP; // the system shows the sizing pointer there
        case WM_NCLBUTTONDOWN:
            if (!On_Top_Edge(l_parameter)) return std::nullopt;
            Start_Drag();
            return 0;
        case WM_MOUSEMOVE:
            if (!dragging_) return std::nullopt;
            Follow_Pointer();
            return 0;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            if (!dragging_) return std::nullopt;
            End_Drag();
            return 0;
        default:
            return std::nullopt;
        }
    }

    void Show(const Pane_Text& text)
    {
        if (!Window) return;
        Send(WM_SETREDRAW, FALSE, 0);
        Send_W(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Joined(text.Lines).c_str()));
        Colour_Background(0, -1, CFE_AUTOBACKCOLOR, 0);
        const bool highlighted =
            text.Highlighted_Line >= 0 && static_cast<std::size_t>(text.Highlighted_Line) < text.Lines.size();
        LONG caret = 0;
        LONG selected = 0;
        if (highlighted) {
            const auto line = static_cast<std::size_t>(text.Highlighted_Line);
            const LONG start = static_cast<LONG>(Send(EM_LINEINDEX, line, 0));
            Colour_Background(start, start + static_cast<LONG>(text.Lines[line].size()), 0, Highlight_Colour);
            caret = start + static_cast<LONG>(std::min(text.Selection_Start, text.Lines[line].size()));
            selected = static_cast<LONG>(text.Selection_Length);
        }
        Send(WM_VSCROLL, SB_TOP, 0);
        Send(WM_HSCROLL, SB_LEFT, 0);
        Select(caret, caret + selected);
        Send(EM_SCROLLCARET, 0, 0);
        Send(WM_SETREDRAW, TRUE, 0);
        InvalidateRect(Window, nullptr, TRUE);
    }

    int Fitting_Lines() const
    {
        if (!Window || !IsWindowVisible(Window)) return 0;
        RECT client{};
        GetClientRect(Window, &client);
        return line_height_ > 0 ? (client.bottom - client.top) / line_height_ : 0;
    }

private:
    bool On_Top_Edge(LPARAM screen_point) const
    {
        RECT placed{};
        GetWindowRect(Window, &placed);
        const int y = static_cast<short>(HIWORD(screen_point));
        return y >= placed.top && y < placed.top + Edge_Pixels;
    }

    static int Pointer_Y()
    {
        POINT pointer{};
        GetCursorPos(&pointer);
        return pointer.y;
    }

    void Start_Drag()
    {
        drag_start_y_ = Pointer_Y();
        drag_start_height_ = Height;
        dragging_ = true;
        SetCapture(Window);
    }

    void Follow_Pointer()
    {
        Height = std::max(1, drag_start_height_ + drag_start_y_ - Pointer_Y());
        Lay_Out_Current_Page();
    }

    // The height kept is the one the layout gave, which may be less than the pointer asked for.
    void End_Drag()
    {
        dragging_ = false;
        if (GetCapture() == Window) ReleaseCapture();
        RECT placed{};
        GetWindowRect(Window, &placed);
        if (placed.bottom > placed.top) Height = placed.bottom - placed.top;
        options_.Resized(Height);
    }

    LRESULT Send(UINT message, WPARAM w_parameter, LPARAM l_parameter) const
    {
        return SendMessageA(Window, message, w_parameter, l_parameter);
    }
    LRESULT Send_W(UINT message, WPARAM w_parameter, LPARAM l_parameter) const
    {
        return SendMessageW(Window, message, w_parameter, l_parameter);
    }

    // One paragraph mark between lines: the control counts it as one character.
    static std::wstring Joined(const std::vector<std::wstring>& lines)
    {
        std::wstring text;
        for (std::size_t line = 0; line < lines.size(); ++line) {
            if (line > 0) text += L'\r';
            text += lines[line];
        }
        return text;
    }

    void Select(LONG first, LONG end) const
    {
        CHARRANGE range{first, end};
        Send(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    }

    void Colour_Background(LONG first, LONG end, DWORD effects, COLORREF colour) const
    {
        Select(first, end);
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        format.dwMask = CFM_BACKCOLOR;
        format.dwEffects = effects;
        format.crBackColor = colour;
        Send_W(EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    }

    HFONT Fixed_Pitch_Font() const
    {
        Window_Device_Context context(Window);
        const int height = context ? -MulDiv(Font_Points, GetDeviceCaps(context.get(), LOGPIXELSY), 72) : -13;
        return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, FIXED_PITCH | FF_MODERN, L"Consolas");
    }

    // The distance between two lines as the control lays them out, which is more than the font's
    // own height; the font's height when the control does not tell.
    int Measured_Line_Height() const
    {
        Send_W(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"X\rX"));
        POINTL first{};
        POINTL second{};
        Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&first), 0);
        Send(EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&second), 2);
        Send_W(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        const int distance = static_cast<int>(second.y - first.y);
        return distance > 0 ? distance : Font_Height();
    }

    int Font_Height() const
    {
        Window_Device_Context context(Window);
        if (!context) return 0;
        const HGDIOBJ font = font_ ? font_.get() : reinterpret_cast<HGDIOBJ>(Send(WM_GETFONT, 0, 0));
        const HGDIOBJ previous = font ? SelectObject(context.get(), font) : nullptr;
        TEXTMETRICW metrics{};
        GetTextMetricsW(context.get(), &metrics);
        if (previous) SelectObject(context.get(), previous);
        return metrics.tmHeight + metrics.tmExternalLeading;
    }

    const Text_Pane_Options options_;
    Unique_Font font_;
    int line_height_ = 0;
    bool dragging_ = false;
    int drag_start_y_ = 0;
    std::int32_t drag_start_height_ = 0;
};

LRESULT CALLBACK Pane_Procedure(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter, UINT_PTR,
                                DWORD_PTR record) noexcept
{
    try {
        if (const auto result = reinterpret_cast<Text_Pane_Record*>(record)->Resize_Message(message, l_parameter))
            return *result;
    } catch (...) {
        Show_Current_Failure();
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, Pane_Procedure, Subclass_Identifier);
    return DefSubclassProc(window, message, w_parameter, l_parameter);
}

Text_Pane_Record& Record_Of(const Text_Pane& pane) { return static_cast<Text_Pane_Record&>(pane.Record()); }

} // namespace

Text_Pane Create_Text_Pane(const Page& page, Text_Pane_Options options)
{
    Require(page);
    return Text_Pane(&Create_Control(page, std::make_unique<Text_Pane_Record>(options)));
}

void Show_Text(const Text_Pane& pane, const Pane_Text& text)
{
    Text_Pane_Record& record = Record_Of(pane);
    Run_On_Window_Thread([&] {
        record.Show(text);
        return LRESULT{0};
    });
}

int Fitting_Lines(const Text_Pane& pane)
{
    const Text_Pane_Record& record = Record_Of(pane);
    return static_cast<int>(Run_On_Window_Thread([&] { return LRESULT{record.Fitting_Lines()}; }));
}

} // namespace Gui
