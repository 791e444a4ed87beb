#pragma once
// Texts are 8-bit strings (the ANSI code page) held in std::string; positions count from 1.
// Case rules are Latin-1: a-z and the small letters from 0xE0 to 0xFE (except 0xF7, the division
// sign) have capitals 0x20 below them; 0xDF and 0xFF have none.

#include "support/failure.hpp"
#include "support/linked_list.hpp"

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace Text {

using NOT_IN_LIST = Failures::Failure<"TEXT.NOT_IN_LIST">;

enum class Direction { Forward, Backward };

char To_Upper(char character) noexcept;
char To_Lower(char character) noexcept;
std::string To_Upper(std::string_view text);
std::string To_Lower(std::string_view text);

bool Is_Empty(std::string_view text) noexcept;

// The Count characters from position From; INDEX_ERROR when they are not all inside Text.
std::string Slice(std::string_view text, std::size_t from, std::size_t count);

// Position of Character, 0 when absent. From = 0 searches all of Text; otherwise only From to the
// end (Forward) or 1 to From (Backward). Forward finds the first occurrence, Backward the last.
std::size_t Character_Position(char character, std::string_view text, std::size_t from, Direction going);

bool Equal(std::string_view left, std::string_view right, bool case_sensitive);

// Removes leading and trailing blanks (the space character only, not tabs).
void Trim_In_Place(std::string& text);
std::string Trim(std::string_view text);

// An ordered list of texts, copied deeply on assignment.
class List {
public:
    List() = default;
    List(std::initializer_list<std::string> elements);

    static List Empty_List() { return {}; }
    static List To_List(const std::vector<std::string>& elements);
    // The referenced strings in order, up to the first null reference.
    static List To_List(const std::vector<const char*>& references);

    const std::string& Element(std::size_t number) const;
    std::vector<std::string> To_Array() const;

    void Clear() noexcept { nodes_.Clear(); }
    void Prepend(const std::string& text) { nodes_.Prepend(text); }
    void Prepend(const std::vector<std::string>& texts);
    void Append(const std::string& text) { nodes_.Append(text); }
    void Append(const std::vector<std::string>& texts);
    void Append(const List& other);
    // Removes the first element equal to Text; nothing when none is.
    void Delete(std::string_view text, bool case_sensitive);

    bool Equal(const List& other, bool case_sensitive) const;
    std::size_t Length() const noexcept { return nodes_.Length(); }
    bool Is_Empty() const noexcept { return nodes_.Is_Empty(); }
    const std::string& First() const;
    const std::string& Last() const;
    // Position of the first element at or after Start that equals Text; 0 when none.
    std::size_t Position_Of(std::string_view text, std::size_t start, bool case_sensitive) const;
    bool Contains(std::string_view text, bool case_sensitive) const;

private:
    using Nodes = Linked_List::List<std::string, "TEXT.LIST">;
    Nodes nodes_;
};

} // namespace Text
