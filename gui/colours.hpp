#pragma once
// The colours offered to colour callbacks of tree and list views. White is also the item
// background while a tree view's colour callback is in use.

#include <windows.h>

namespace Gui {

inline constexpr COLORREF Black = RGB(0, 0, 0);
inline constexpr COLORREF Grey = RGB(128, 128, 128);
inline constexpr COLORREF Brown = RGB(128, 64, 64);
inline constexpr COLORREF Red = RGB(192, 0, 0);
inline constexpr COLORREF Olive = RGB(128, 128, 0);
inline constexpr COLORREF Orange = RGB(255, 128, 0);
inline constexpr COLORREF Yellow = RGB(192, 192, 0);
inline constexpr COLORREF Green = RGB(0, 192, 0);
inline constexpr COLORREF Cyan = RGB(0, 192, 192);
inline constexpr COLORREF Blue = RGB(0, 0, 192);
inline constexpr COLORREF Magenta = RGB(192, 0, 192);
inline constexpr COLORREF White = RGB(255, 255, 255);

} // namespace Gui
