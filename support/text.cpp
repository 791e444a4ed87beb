#include "support/text.hpp"

#include <algorithm>

namespace Text {

namespace {

// Latin-1 letters beyond ASCII: the capitals from A grave to thorn, their small letters the same
// distance above them as in ASCII; the multiplication and division signs in between are no letters.
constexpr unsigned char First_Capital = 0xC0; // A grave
constexpr unsigned char Last_Capital = 0xDE;  // thorn
constexpr unsigned char Multiplication_Sign = 0xD7;
constexpr unsigned char First_Small = 0xE0; // a grave
constexpr unsigned char Last_Small = 0xFE;  // thorn
constexpr unsigned char Division_Sign = 0xF7;
constexpr unsigned char Case_Distance = 'a' - 'A';

bool Has_Latin_1_Capital(unsigned char small) noexcept
{
    return (small >= 'a' && small <= 'z') || (small >= First_Small && small <= Last_Small && small != Division_Sign);
}

bool Has_Latin_1_Small(unsigned char capital) noexcept
{
    return (capital >= 'A' && capital <= 'Z') ||
           (capital >= First_Capital && capital <= Last_Capital && capital != Multiplication_Sign);
}

} // namespace

char To_Upper(char character) noexcept
{
    auto code = static_cast<unsigned char>(character);
    return Has_Latin_1_Capital(code) ? static_cast<char>(code - Case_Distance) : character;
}

char To_Lower(char character) noexcept
{
    auto code = static_cast<unsigned char>(character);
    return Has_Latin_1_Small(code) ? static_cast<char>(code + Case_Distance) : character;
}

std::string To_Upper(std::string_view text)
{
    std::string result(text);
    for (char& character : result) character = To_Upper(character);
    return result;
}

std::string To_Lower(std::string_view text)
{
    std::string result(text);
    for (char& character : result) character = To_Lower(character);
    return result;
}

bool Is_Empty(std::string_view text) noexcept { return text.empty(); }

std::string Slice(std::string_view text, std::size_t from, std::size_t count)
{
    if (count == 0) return {};
    if (from < 1 || from > text.size() || count > text.size() - from + 1)
        throw Failures::INDEX_ERROR("slice " + std::to_string(from) + " .. " + std::to_string(from + count - 1) +
                                    " of a text of " + std::to_string(text.size()));
    return std::string(text.substr(from - 1, count));
}

std::size_t Character_Position(char character, std::string_view text, std::size_t from, Direction going)
{
    if (from > text.size())
        throw Failures::INDEX_ERROR("search from " + std::to_string(from) + " in a text of " +
                                    std::to_string(text.size()));
    std::size_t found;
    if (going == Direction::Forward) {
        found = text.find(character, from == 0 ? 0 : from - 1);
    } else {
        found = text.rfind(character, from == 0 ? std::string_view::npos : from - 1);
    }
    return found == std::string_view::npos ? 0 : found + 1;
}

bool Equal(std::string_view left, std::string_view right, bool case_sensitive)
{
    if (case_sensitive) return left == right;
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](char a, char b) { return To_Upper(a) == To_Upper(b); });
}

void Trim_In_Place(std::string& text)
{
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    text.erase(0, first);
}

std::string Trim(std::string_view text)
{
    std::string result(text);
    Trim_In_Place(result);
    return result;
}

List::List(std::initializer_list<std::string> elements)
{
    for (const std::string& element : elements) Append(element);
}

List List::To_List(const std::vector<std::string>& elements)
{
    List list;
    list.Append(elements);
    return list;
}

List List::To_List(const std::vector<const char*>& references)
{
    List list;
    for (const char* reference : references) {
        if (!reference) break;
        list.Append(std::string(reference));
    }
    return list;
}

const std::string& List::Element(std::size_t number) const
{
    if (number < 1 || number > Length()) throw NOT_IN_LIST("element " + std::to_string(number));
    Nodes::Position node = nodes_.Head();
    for (std::size_t n = 1; n < number; ++n) node = node->next;
    return node->element;
}

std::vector<std::string> List::To_Array() const { return nodes_.To_Array(1).elements; }

void List::Prepend(const std::vector<std::string>& texts)
{
    for (auto text = texts.rbegin(); text != texts.rend(); ++text) Prepend(*text);
}

void List::Append(const std::vector<std::string>& texts)
{
    for (const std::string& text : texts) Append(text);
}

void List::Append(const List& other)
{
    if (&other == this) {
        List copy(other);
        Append(copy);
        return;
    }
    for (auto node = other.nodes_.Head(); node; node = node->next) Append(node->element);
}

void List::Delete(std::string_view text, bool case_sensitive)
{
    for (auto node = nodes_.Head(); node; node = node->next) {
        if (Text::Equal(node->element, text, case_sensitive)) {
            nodes_.Remove(node);
            return;
        }
    }
}

bool List::Equal(const List& other, bool case_sensitive) const
{
    if (Length() != other.Length()) return false;
    for (auto mine = nodes_.Head(), theirs = other.nodes_.Head(); mine; mine = mine->next, theirs = theirs->next)
        if (!Text::Equal(mine->element, theirs->element, case_sensitive)) return false;
    return true;
}

const std::string& List::First() const
{
    if (Is_Empty()) throw NOT_IN_LIST("the list is empty");
    return nodes_.Head()->element;
}

const std::string& List::Last() const
{
    if (Is_Empty()) throw NOT_IN_LIST("the list is empty");
    return nodes_.Tail()->element;
}

std::size_t List::Position_Of(std::string_view text, std::size_t start, bool case_sensitive) const
{
    std::size_t position = 1;
    for (auto node = nodes_.Head(); node; node = node->next, ++position)
        if (position >= start && Text::Equal(node->element, text, case_sensitive)) return position;
    return 0;
}

bool List::Contains(std::string_view text, bool case_sensitive) const
{
    return Position_Of(text, 1, case_sensitive) != 0;
}

} // namespace Text
