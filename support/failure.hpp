#pragma once
// Named failures. Every module declares its failures as distinct exception types whose text is
// the full upper-case name, so a log line or a message box reads "WINDOWS.PIPE.TIMEOUT" exactly.
//
//     namespace Windows::Pipe { using TIMEOUT = Failures::Failure<"WINDOWS.PIPE.TIMEOUT">; }
//
// A failure may carry a detail message; Information() gives the name followed by that message.

#include <algorithm>
#include <cstddef>
#include <exception>
#include <string>
#include <utility>

namespace Failures {

// A string literal usable as a template argument, so each name makes a type of its own.
template <std::size_t Size>
struct Failure_Name {
    char text[Size]{};
    constexpr Failure_Name(const char (&literal)[Size]) { std::copy_n(literal, Size, text); }
    constexpr Failure_Name() = default;
    static constexpr std::size_t length = Size - 1;
};

// Joins a module path and a failure name at compile time ("CONTROL.INDEX_LIST" + ".NO_ELEMENTS").
template <std::size_t A, std::size_t B>
constexpr Failure_Name<A + B - 1> operator+(const Failure_Name<A>& left, const Failure_Name<B>& right)
{
    Failure_Name<A + B - 1> joined;
    std::copy_n(left.text, A - 1, joined.text);
    std::copy_n(right.text, B, joined.text + A - 1);
    return joined;
}

// The common base: catch this to handle any failure of the system by its name.
class Named_Failure : public std::exception {
public:
    explicit Named_Failure(std::string message = {}) : message_(std::move(message)) {}
    virtual const char* Name() const noexcept = 0;
    const char* what() const noexcept override { return Name(); }
    const std::string& Message() const noexcept { return message_; }
    // The name, then ": " and the message when there is one.
    std::string Information() const
    {
        std::string text = Name();
        if (!message_.empty()) text += ": " + message_;
        return text;
    }

private:
    std::string message_;
};

template <Failure_Name Full_Name>
class Failure final : public Named_Failure {
public:
    using Named_Failure::Named_Failure;
    static constexpr const char* name = Full_Name.text;
    const char* Name() const noexcept override { return Full_Name.text; }
};

// Failures of the language level: a value outside its range (a negative count, a time-out too
// large), an index outside its bounds (a slice outside a text, a bad column), a null reference.
using RANGE_ERROR = Failure<"RANGE_ERROR">;
using INDEX_ERROR = Failure<"INDEX_ERROR">;
using ACCESS_ERROR = Failure<"ACCESS_ERROR">;

// The one-line description of any caught exception, for logs and message boxes.
std::string Description(const std::exception& failure);
// The same for whatever is in flight inside a catch block; never throws.
std::string Current_Description() noexcept;

} // namespace Failures
