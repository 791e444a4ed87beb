#pragma once
// The viewer itself: it builds the window, checks its arguments, takes the index from the host
// over the pipe, shows it in the tree and opens the chosen place in the editor.

#include "viewer/index_list.hpp"
#include "viewer/termination.hpp"
#include "viewer/transfer_reader.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Control {

// Reads the product name and version from the program's version resource and opens the log.
void Initialise();

// Opens the registered main window with its page "Display" and the tree view on it.
void Create_Display();

// The one transfer of a run: checks the name, serves the pipe and fills the tree. Transfer_Failed
// when a batch broke the protocol (the window keeps what came before it), else Success.
Exit_Code Process_Pipe(std::string_view name);

// A new file node, sorted among the others; the following entries go below it.
void Start_Group(const std::string& file);
// Appends the entry to the index and shows it under the current file node.
void Add_Entry(std::uint32_t line, std::uint32_t column, const std::string& text);
// The activation routine of the tree: opens the entry's file at its place.
void Open_Entry(std::uintptr_t data);

// "a.txt/12/5" for the editor; "-XMovAbs(12,5)" for the shell.
std::string Editor_Arguments(const Index_List::Index_Entry& entry);
std::string Shell_Parameters(const Index_List::Index_Entry& entry);

// The main procedure, with the command-line arguments after the program name. It returns when
// the transfer is over (or failed), with the code the process is to end with once the window has
// closed; the window may still be open then.
Exit_Code Main(const std::vector<std::string>& arguments);

} // namespace Control
