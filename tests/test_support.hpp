#pragma once
// Helpers shared by the test programs.

#include <gtest/gtest.h>

#include <cstdint>
#include <chrono>
#include <optional>
#include <string>

namespace Test_Support {

// Expects Statement to raise exactly the named failure Failure_Type (compared by its text too).
#define EXPECT_FAILURE(statement, failure_type)                                                        \
    EXPECT_THROW(                                                                                      \
        {                                                                                              \
            try {                                                                                      \
                statement;                                                                             \
            } catch (const failure_type& failure) {                                                    \
                EXPECT_STREQ(failure.what(), failure_type::name);                                      \
                throw;                                                                                 \
            }                                                                                          \
        },                                                                                             \
        failure_type)

// For each case (input, reason), expects Call(input) to raise Failure_Type with a message that
// starts with the reason.
template <typename Failure_Type, typename Call, typename Cases>
void Expect_Refused(Call call, const Cases& cases)
{
    for (const auto& [input, reason] : cases) {
        try {
            call(input);
            ADD_FAILURE() << input << " was taken";
        } catch (const Failure_Type& failure) {
            EXPECT_TRUE(failure.Message().starts_with(reason)) << input << ": " << failure.Message();
        }
    }
}

// A fresh, empty folder under the system's temporary folder, removed with its files at the end.
class Temporary_Folder {
public:
    Temporary_Folder();
    ~Temporary_Folder();
    Temporary_Folder(const Temporary_Folder&) = delete;
    Temporary_Folder& operator=(const Temporary_Folder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Whole-file helpers through the C library, independent of the code under test.
std::string Read_File(const std::string& path);
void Write_File(const std::string& path, const std::string& bytes);
bool File_Exists(const std::string& path);

// A registry key of the test's own, "Software\Quillmark\" + Name under HKEY_CURRENT_USER (or
// HKEY_LOCAL_MACHINE), written through the system directly and removed with its values at the end.
class Temporary_Key {
public:
    Temporary_Key(const std::string& name, bool local_machine = false);
    ~Temporary_Key();
    Temporary_Key(const Temporary_Key&) = delete;
    Temporary_Key& operator=(const Temporary_Key&) = delete;
    const std::string& Path() const { return path_; }
    void Set_String(const std::string& value_name, const std::string& value);
    void Set_Dword(const std::string& value_name, std::uint32_t value);

private:
    std::string path_;
    bool local_machine_;
};

// Sends this process's log (Log::Process_Log) to File, every line flushed; whether it opened. The
// log is named in a registry key of its own for the moment it opens.
bool Log_Process_To(const std::string& file);

// An environment variable of this process (and so of its children) for one scope; a null Value
// removes it.
class Scoped_Variable {
public:
    Scoped_Variable(const char* name, const char* value);
    ~Scoped_Variable();
    Scoped_Variable(const Scoped_Variable&) = delete;
    Scoped_Variable& operator=(const Scoped_Variable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// The current folder of this process (and so of its children) for one scope.
class Scoped_Folder {
public:
    explicit Scoped_Folder(const std::string& folder);
    ~Scoped_Folder();
    Scoped_Folder(const Scoped_Folder&) = delete;
    Scoped_Folder& operator=(const Scoped_Folder&) = delete;

private:
    std::string previous_;
};

// Runs the Windows program at Program (a full path), without a window, with Arguments after its
// quoted name, and waits at most Bound for it to end: its exit code; nothing when it did not start
// or did not end in time.
std::optional<std::uint32_t> Run_Program(const std::string& program, const std::string& arguments,
                                         std::chrono::milliseconds bound = std::chrono::seconds(30));

// Runs a Linux command line (through /bin/sh) from inside Wine and waits until it has finished;
// whether it did so within Bound with exit status 0.
bool Run_Unix(const std::string& command_line, std::chrono::milliseconds bound = std::chrono::seconds(20));

// Real mouse input: the X server gets it from xdotool, so the program under test sees the same
// events as from a person's mouse. Each returns once xdotool has sent its events, and whether
// it succeeded. A double-click of the left button at the screen point (X, Y):
bool Double_Click(int x, int y);
// The left button pressed at (X, Y) and held, then let go where the pointer is:
bool Press_Left_Button(int x, int y);
bool Release_Left_Button();
// The left button pressed at (X, Y), the pointer moved to (To_X, To_Y) and the button let go there.
bool Drag(int x, int y, int to_x, int to_y);
// One click of Button (1 left, 3 right) at (X, Y).
bool Click(int x, int y, int button);
// Keys as xdotool names them ("Return", "ctrl+c", "shift+F10"), to the window with the focus.
bool Press_Keys(const std::string& keys);
// Types Text (letters, digits, blanks and "-._:\\/" only) into the window with the focus.
bool Type_Text(const std::string& text);

} // namespace Test_Support
