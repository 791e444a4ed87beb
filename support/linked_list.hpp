#pragma once
// The generic doubly linked list. Each instance names its own failures after its module
// ("CONTROL.INDEX_LIST.NO_ELEMENTS"). Nodes are allocated one by one and never move, so the
// address of a node (a Position) stays valid until that node is removed; the tree view keeps such
// addresses as item data. Copies are deep: a copy has nodes of its own.

#include "support/failure.hpp"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace Linked_List {

template <typename Element, Failures::Failure_Name Module>
class List {
public:
    struct Node {
        Element element;
        Node* next = nullptr;
        Node* previous = nullptr;
    };
    using Position = Node*;

    using NO_ELEMENTS = Failures::Failure<Module + Failures::Failure_Name(".NO_ELEMENTS")>;
    using NOT_IN_LIST = Failures::Failure<Module + Failures::Failure_Name(".NOT_IN_LIST")>;
    // Declared with the list for its users; no operation here raises them.
    using NOT_FOUND = Failures::Failure<Module + Failures::Failure_Name(".NOT_FOUND")>;
    using NOT_UPDATED = Failures::Failure<Module + Failures::Failure_Name(".NOT_UPDATED")>;

    // The elements in list order, indexed from First_Index on.
    struct Indexed_Array {
        std::ptrdiff_t first_index = 0;
        std::vector<Element> elements;
        const Element& operator[](std::ptrdiff_t index) const { return elements.at(index - first_index); }
        std::ptrdiff_t Last_Index() const { return first_index + std::ptrdiff_t(elements.size()) - 1; }
    };

    List() = default;
    List(const List& other) { Append_Copies(other); }
    List(List&& other) noexcept { Take_Over(other); }
    List& operator=(const List& other)
    {
        if (this != &other) {
            List copy(other);
            Clear();
            Take_Over(copy);
        }
        return *this;
    }
    List& operator=(List&& other) noexcept
    {
        if (this != &other) {
            Clear();
            Take_Over(other);
        }
        return *this;
    }
    ~List() { Clear(); }

    bool Is_Empty() const noexcept { return count_ == 0; }
    std::size_t Length() const noexcept { return count_; }

    Element First_Element() const { return First()->element; }
    Element Last_Element() const { return Last()->element; }
    Position First() const { return Checked(first_); }
    Position Last() const { return Checked(last_); }
    Position Head() const noexcept { return first_; }
    Position Tail() const noexcept { return last_; }
    // The element a position refers to; a null position is a caller's fault.
    static const Element& Element_Of(Position position)
    {
        if (!position) throw NOT_IN_LIST("null position");
        return position->element;
    }

    void Append(const Element& element)
    {
        Node* node = new Node{element, nullptr, last_};
        if (last_) last_->next = node;
        else first_ = node;
        last_ = node;
        ++count_;
    }

    void Prepend(const Element& element)
    {
        Node* node = new Node{element, first_, nullptr};
        if (first_) first_->previous = node;
        else last_ = node;
        first_ = node;
        ++count_;
    }

    // Inserts before Position, which must belong to this list.
    void Insert(const Element& element, Position position)
    {
        if (!position) throw NOT_IN_LIST("null position");
        Node* node = new Node{element, position, position->previous};
        if (position == first_) first_ = node;
        else position->previous->next = node;
        position->previous = node;
        ++count_;
    }

    // Moves every node of Source to the end (At_End) or the front of Target; Source ends empty.
    static void Move(List& source, List& target, bool at_end)
    {
        if (&source == &target || source.Is_Empty()) return;
        if (target.Is_Empty()) {
            target.Take_Over(source);
            return;
        }
        if (at_end) {
            target.last_->next = source.first_;
            source.first_->previous = target.last_;
            target.last_ = source.last_;
        } else {
            source.last_->next = target.first_;
            target.first_->previous = source.last_;
            target.first_ = source.first_;
        }
        target.count_ += source.count_;
        source.Forget_Nodes();
    }

    void Remove_First() { Remove(First()); }
    void Remove_Last() { Remove(Last()); }

    // Unlinks and releases Position, which must belong to this list.
    void Remove(Position position)
    {
        if (!position) throw NOT_IN_LIST("null position");
        if (position->previous) position->previous->next = position->next;
        else first_ = position->next;
        if (position->next) position->next->previous = position->previous;
        else last_ = position->previous;
        --count_;
        Release(position);
    }

    // The N-th element, counting from 1.
    Element Element_At(std::ptrdiff_t number) const
    {
        if (number < 1 || std::size_t(number) > count_) throw NO_ELEMENTS("element " + std::to_string(number));
        Node* node = first_;
        for (std::ptrdiff_t n = 1; n < number; ++n) node = node->next;
        return node->element;
    }

    void Clear() noexcept
    {
        for (Node* node = first_; node;) {
            Node* next = node->next;
            Release(node);
            node = next;
        }
        Forget_Nodes();
    }

    Indexed_Array To_Array(std::ptrdiff_t first_index) const
    {
        if (first_index < 0 && !Is_Empty()) throw Failures::RANGE_ERROR("array index below 0");
        Indexed_Array array{first_index, {}};
        array.elements.reserve(count_);
        for (Node* node = first_; node; node = node->next) array.elements.push_back(node->element);
        return array;
    }

    bool Contains(const Element& element) const
    {
        for (Node* node = first_; node; node = node->next)
            if (node->element == element) return true;
        return false;
    }

    // A copy with Element appended unless it is already there.
    List Include(const Element& element) const
    {
        List result(*this);
        if (!Contains(element)) result.Append(element);
        return result;
    }

    static List Union(const List& left, const List& right)
    {
        List result(left);
        for (Node* node = right.first_; node; node = node->next)
            if (!result.Contains(node->element)) result.Append(node->element);
        return result;
    }

    // A copy without any element equal to Element.
    List Exclude(const Element& element) const
    {
        List result;
        for (Node* node = first_; node; node = node->next)
            if (!(node->element == element)) result.Append(node->element);
        return result;
    }

    static List Difference(const List& left, const List& right)
    {
        List result(left);
        for (Node* node = right.first_; node; node = node->next) result = result.Exclude(node->element);
        return result;
    }

private:
    Position Checked(Node* node) const
    {
        if (!node) throw NO_ELEMENTS("the list is empty");
        return node;
    }

    static void Release(Node* node) noexcept
    {
        node->element = Element{};
        delete node;
    }

    void Append_Copies(const List& other)
    {
        for (Node* node = other.first_; node; node = node->next) Append(node->element);
    }

    void Take_Over(List& other) noexcept
    {
        first_ = other.first_;
        last_ = other.last_;
        count_ = other.count_;
        other.Forget_Nodes();
    }

    void Forget_Nodes() noexcept
    {
        first_ = last_ = nullptr;
        count_ = 0;
    }

    Node* first_ = nullptr;
    Node* last_ = nullptr;
    std::size_t count_ = 0;
};

} // namespace Linked_List
