#pragma once
// The tree view: items carry a pointer-sized data value of the application's choice. A
// double-click hands the selected item's data to the activation routine on the action thread; an
// optional colour callback gives each item its text colour. A right-click opens the item menu,
// which the application gives (its keys are the application's too: Show_Item_Menu opens it as
// from the keyboard). Every operation is one synchronous message to the window thread and, once
// shutdown has begun, does nothing and returns 0.

#include "gui/callbacks.hpp"
#include "gui/colours.hpp"
#include "gui/controls.hpp"
#include "gui/pages.hpp"
#include "support/failure.hpp"

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Gui {

using TREE_ITEM_IS_ROOT = Failures::Failure<"GUI.TREE_ITEM_IS_ROOT">;

// An item handle as the control issues it. The root (TVI_ROOT) also stands for "no item".
using Tree_Item = HTREEITEM;
inline const Tree_Item Root_Item = TVI_ROOT;
bool Is_Root(Tree_Item item) noexcept; // TVI_ROOT or 0

enum class Insert_Position { First, Last, Sorted };

class Tree_View : public Child { using Child::Child; };

// An item of the item menu. Its command runs on the window thread.
struct Menu_Item {
    std::string Text; // with its mnemonic ("&Dismiss")
    std::string Key;  // the key that does the same, shown at the right ("Delete"); "" for none
    bool Enabled = true;
    bool Checked = false;
    bool Separator_Before = false;
    std::function<void()> Command;
};

// Every field may be empty. The callbacks run on the window thread: they must be quick and must
// not call the framework.
struct Tree_View_Options {
    // A double-click (and Activate, Open) hand the item's data to it on the action thread.
    Action_Routine_With_Argument Activation;
    Colour_Callback Colour;
    // The item menu, asked for each time it opens; without it, there is none.
    std::function<std::vector<Menu_Item>()> Menu_Items;
    // Told the item's data and text whenever another item becomes selected while the tree shows;
    // it runs on the window thread, may call the framework, and must not wait for other threads.
    std::function<void(std::uintptr_t data, const std::string& text)> Selection_Changed;
    // Created hidden (Show_Instead shows it).
    bool Hidden = false;
};

Tree_View Create_Tree_View(const Page& page, Tree_View_Options options);
// Without a menu. Activation and Colour may be empty.
Tree_View Create_Tree_View(const Page& page, Action_Routine_With_Argument activation, Colour_Callback colour);

// Texts are UTF-8 or UTF-16. Inserts under Parent and marks a non-root Parent as having children. Returns the new item, 0
// when the control refused it (the parent is marked all the same).
Tree_Item Insert(const Tree_View& tree, const std::string& text, Tree_Item parent, Insert_Position position,
                 std::uintptr_t data);
Tree_Item Insert(const Tree_View& tree, const std::wstring& text, Tree_Item parent, Insert_Position position,
                 std::uintptr_t data);
// For filling a tree in bulk: the same insert, but the parent's mark is left alone (one message
// fewer per item); mark the parent once with Mark_Having_Children.
Tree_Item Insert_Unmarked(const Tree_View& tree, std::wstring_view text, Tree_Item parent, Insert_Position position,
                          std::uintptr_t data);
// Inserts under Parent right after Previous, one of Parent's items (Insert_Unmarked's mark rule).
Tree_Item Insert_After_Item(const Tree_View& tree, std::wstring_view text, Tree_Item parent, Tree_Item previous,
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
// The item after or before Item under the same parent; the root when there is none.
Tree_Item Next_Sibling(const Tree_View& tree, Tree_Item item);
Tree_Item Previous_Sibling(const Tree_View& tree, Tree_Item item);
std::uintptr_t Item_Data(const Tree_View& tree, Tree_Item item);
// Hands the item's data to the activation routine, as a double-click does.
void Activate(const Tree_View& tree, Tree_Item item);
// Opens or closes an item with children; activates any other.
void Open(const Tree_View& tree, Tree_Item item);
// The item menu for the selected item, below its text, as a menu key opens it.
void Show_Item_Menu(const Tree_View& tree);
// Clears the parent's mark when its last child goes.
void Delete(const Tree_View& tree, Tree_Item item);
void Delete_All(const Tree_View& tree);
// Empties the tree from its top, one item at a time, for at most Budget; returns whether it is
// empty. A large tree is emptied thus in rounds: the control finds each item it deletes by a search
// through all its items, and deleting them all in one go would hold the window for a long time.
bool Delete_Some(const Tree_View& tree, std::chrono::milliseconds budget);
void Expand(const Tree_View& tree, Tree_Item item);
bool Is_Expanded(const Tree_View& tree, Tree_Item item);
void Ensure_Visible(const Tree_View& tree, Tree_Item item);
// The item in the top row of the view; the root when the tree is empty.
Tree_Item First_Visible(const Tree_View& tree);
// The selected item; the root when none is.
Tree_Item Selected_Item(const Tree_View& tree);
void Select(const Tree_View& tree, Tree_Item item);
// Every item that has children, expanded or collapsed at once with the drawing held; the selected
// item stays in view.
void Expand_All(const Tree_View& tree);
void Collapse_All(const Tree_View& tree);

// --- Moving between items (window thread) --------------------------------------------------------
// Selects the item of the second level (a child of a top-level item) after or before the selected
// one in the tree's order, round the end (from no selection or a top-level item: its first child,
// or going back the last child before it), opens its parent when closed and scrolls it into view.
// Returns it; the root when no top-level item has children.
Tree_Item Select_Adjacent_Child(const Tree_View& tree, bool forward);
// Where the selection goes when Item leaves: the next item at Item's level or, after the last, at
// the nearest level above; else the one before it; else its parent.
Tree_Item Item_After_Removal(const Tree_View& tree, Tree_Item item);

// --- Filling in bulk (window thread only) ---------------------------------------------------------
// Each insert into a tree whose picture is up to date costs the control work over all its items.
// While the drawing is held, inserts and expansions change neither the picture nor the scroll
// bars; Show_Held_Changes brings both up to date at once and repaints only when a row in view
// changed. The control also catches up by itself before anything that needs the current picture:
// painting, the user's mouse and keys, sizing, and questions about positions.
void Hold_Drawing(const Tree_View& tree);
// Whether something held lands among the rows in view (a guess that errs towards yes).
bool Held_Changes_In_View(const Tree_View& tree);
void Show_Held_Changes(const Tree_View& tree);

} // namespace Gui
