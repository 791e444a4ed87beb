#pragma once
// The tree view: items carry a pointer-sized data value of the application's choice; a
// double-click hands the selected item's data to the activation routine on the action thread; an
// optional colour callback gives each item its text colour. Every operation is one synchronous
// message to the window thread and, once shutdown has begun, does nothing and returns 0.

#include "gui/callbacks.hpp"
#include "gui/colours.hpp"
#include "gui/controls.hpp"
#include "gui/pages.hpp"
#include "support/failure.hpp"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

namespace Gui {

using TREE_ITEM_IS_ROOT = Failures::Failure<"GUI.TREE_ITEM_IS_ROOT">;

// An item handle as the control issues it. The root (TVI_ROOT) also stands for "no item".
using Tree_Item = HTREEITEM;
inline const Tree_Item Root_Item = TVI_ROOT;
bool Is_Root(Tree_Item item) noexcept; // TVI_ROOT or 0

enum class Insert_Position { First, Last, Sorted };

class Tree_View : public Child { using Child::Child; };

// Activation and Colour may be empty.
Tree_View Create_Tree_View(const Page& page, Action_Routine_With_Argument activation, Colour_Callback colour);

// Inserts under Parent and marks a non-root Parent as having children. Returns the new item, 0
// when the control refused it (the parent is marked all the same).
Tree_Item Insert(const Tree_View& tree, const std::string& text, Tree_Item parent, Insert_Position position,
                 std::uintptr_t data);
Tree_Item Insert(const Tree_View& tree, const std::wstring& text, Tree_Item parent, Insert_Position position,
                 std::uintptr_t data);
// For filling a tree in bulk: the same insert, but the parent's mark is left alone (one message
// fewer per item); mark the parent once with Mark_Having_Children.
Tree_Item Insert_Unmarked(const Tree_View& tree, const std::string& text, Tree_Item parent, Insert_Position position,
                          std::uintptr_t data);
void Set_Text(const Tree_View& tree, Tree_Item item, const std::string& text);
void Set_Text(const Tree_View& tree, Tree_Item item, const std::wstring& text);
// Whether the expand button shows.
void Mark_Having_Children(const Tree_View& tree, Tree_Item item);
void Mark_Having_No_Children(const Tree_View& tree, Tree_Item item);
// The root for a top-level item; TREE_ITEM_IS_ROOT for the root itself.
Tree_Item Parent(const Tree_View& tree, Tree_Item item);
// The root when Item has no child.
Tree_Item First_Child(const Tree_View& tree, Tree_Item item);
// Clears the parent's mark when its last child goes.
void Delete(const Tree_View& tree, Tree_Item item);
void Delete_All(const Tree_View& tree);
void Expand(const Tree_View& tree, Tree_Item item);
void Ensure_Visible(const Tree_View& tree, Tree_Item item);

} // namespace Gui
