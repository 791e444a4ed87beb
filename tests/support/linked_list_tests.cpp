#include "support/linked_list.hpp"
#include "tests/test_support.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// An element of several fields, so that equality and copies involve more than one value.
struct Place {
    std::string File;
    std::uint32_t Line = 0;
    std::uint32_t Column = 0;
    bool operator==(const Place&) const = default;
};

// An instance of the tests' own, with failures named after it.
using Place_List = Linked_List::List<Place, "TESTS.PLACE_LIST">;
using Position = Place_List::Position;
using NO_ELEMENTS = Place_List::NO_ELEMENTS;
using NOT_IN_LIST = Place_List::NOT_IN_LIST;
using NOT_FOUND = Place_List::NOT_FOUND;
using NOT_UPDATED = Place_List::NOT_UPDATED;

Place Entry(int line) { return {"file" + std::to_string(line) + ".txt", std::uint32_t(line), 1}; }

Place_List List_Of(std::initializer_list<int> lines)
{
    Place_List list;
    for (int line : lines) list.Append(Entry(line));
    return list;
}

std::vector<std::uint32_t> Lines_Of(const Place_List& list)
{
    std::vector<std::uint32_t> lines;
    for (auto node = list.Head(); node; node = node->next) lines.push_back(node->element.Line);
    // Walking back must give the same nodes: the links agree both ways.
    std::size_t back = lines.size();
    for (auto node = list.Tail(); node; node = node->previous) EXPECT_EQ(node->element.Line, lines.at(--back));
    EXPECT_EQ(back, 0u);
    EXPECT_EQ(lines.size(), list.Length());
    return lines;
}

using Lines = std::vector<std::uint32_t>;

TEST(Linked_List, Failure_Names_Carry_The_Instance)
{
    EXPECT_STREQ(NO_ELEMENTS::name, "TESTS.PLACE_LIST.NO_ELEMENTS");
    EXPECT_STREQ(NOT_IN_LIST::name, "TESTS.PLACE_LIST.NOT_IN_LIST");
    EXPECT_STREQ(NOT_FOUND::name, "TESTS.PLACE_LIST.NOT_FOUND");
    EXPECT_STREQ(NOT_UPDATED::name, "TESTS.PLACE_LIST.NOT_UPDATED");
}

TEST(Linked_List, Empty_List_Fails_Where_An_Element_Is_Needed)
{
    Place_List list;
    EXPECT_TRUE(list.Is_Empty());
    EXPECT_EQ(list.Head(), nullptr);
    EXPECT_EQ(list.Tail(), nullptr);
    EXPECT_FAILURE(list.Last(), NO_ELEMENTS);
    EXPECT_FAILURE(list.First(), NO_ELEMENTS);
    EXPECT_FAILURE(list.First_Element(), NO_ELEMENTS);
    EXPECT_FAILURE(list.Remove_First(), NO_ELEMENTS);
    EXPECT_FAILURE(list.Remove_Last(), NO_ELEMENTS);
    EXPECT_FAILURE(list.Insert(Entry(1), nullptr), NOT_IN_LIST);
    EXPECT_FAILURE(list.Remove(nullptr), NOT_IN_LIST);
    EXPECT_TRUE(list.To_Array(-1).elements.empty());
}

TEST(Linked_List, Element_At_Counts_From_One)
{
    Place_List list = List_Of({1, 2, 3});
    EXPECT_EQ(list.Element_At(3), list.Last_Element());
    EXPECT_EQ(list.Element_At(1), list.First_Element());
    EXPECT_FAILURE(list.Element_At(4), NO_ELEMENTS);
    EXPECT_FAILURE(list.Element_At(0), NO_ELEMENTS);
    EXPECT_FAILURE(list.Element_At(-1), NO_ELEMENTS);
}

TEST(Linked_List, Insert_Prepend_And_Remove_Keep_The_Links_Consistent)
{
    Place_List list = List_Of({2, 4});
    list.Insert(Entry(1), list.First());
    list.Insert(Entry(3), list.Last());
    list.Prepend(Entry(0));
    EXPECT_EQ(Lines_Of(list), (Lines{0, 1, 2, 3, 4}));
    list.Remove(list.First()->next->next);
    list.Remove_First();
    list.Remove_Last();
    EXPECT_EQ(Lines_Of(list), (Lines{1, 3}));
    list.Remove(list.Last());
    list.Remove_First();
    EXPECT_EQ(list.Head(), nullptr);
    EXPECT_EQ(list.Tail(), nullptr);
    EXPECT_EQ(list.Length(), 0u);
}

TEST(Linked_List, Positions_Stay_Valid_While_The_List_Grows)
{
    Place_List list;
    list.Append(Entry(1));
    Position first = list.Last();
    for (int line = 2; line <= 1000; ++line) list.Append(Entry(line));
    EXPECT_EQ(Place_List::Element_Of(first), Entry(1));
    EXPECT_EQ(first, list.First());
    // The tree stores positions as pointer-sized item data; they must survive the round trip.
    auto data = reinterpret_cast<std::uintptr_t>(list.Last());
    EXPECT_EQ(Place_List::Element_Of(reinterpret_cast<Position>(data)).Line, 1000u);
}

TEST(Linked_List, Move_Joins_Lists_At_Either_End)
{
    Place_List target;
    Place_List source = List_Of({1, 2});
    Place_List::Move(source, target, true);
    EXPECT_TRUE(source.Is_Empty());
    EXPECT_EQ(source.Head(), nullptr);
    EXPECT_EQ(Lines_Of(target), (Lines{1, 2}));

    Place_List front = List_Of({7, 8});
    Place_List::Move(front, target, false);
    Place_List back = List_Of({9});
    Place_List::Move(back, target, true);
    Place_List nothing;
    Place_List::Move(nothing, target, true);
    EXPECT_EQ(Lines_Of(target), (Lines{7, 8, 1, 2, 9}));
    EXPECT_TRUE(front.Is_Empty());
}

TEST(Linked_List, Copies_Are_Deep)
{
    Place_List original = List_Of({1, 2});
    Place_List copy = original;
    EXPECT_NE(copy.First(), original.First());
    copy.First()->element.File = "changed";
    EXPECT_EQ(original.First_Element().File, "file1.txt");
    copy = copy;
    EXPECT_EQ(Lines_Of(copy), (Lines{1, 2}));
    Place_List moved = std::move(copy);
    EXPECT_EQ(Lines_Of(moved), (Lines{1, 2}));
}

TEST(Linked_List, Set_Operations_Keep_Order_And_Operands)
{
    Place_List ab = List_Of({1, 2});
    Place_List bc = List_Of({2, 3});
    EXPECT_EQ(Lines_Of(Place_List::Union(ab, bc)), (Lines{1, 2, 3}));
    Place_List aba = List_Of({1, 2, 1});
    EXPECT_EQ(Lines_Of(Place_List::Difference(aba, List_Of({1}))), (Lines{2}));
    EXPECT_EQ(Lines_Of(Place_List::Union(aba, bc)), (Lines{1, 2, 1, 3}));
    EXPECT_EQ(Lines_Of(ab.Include(Entry(2))), (Lines{1, 2}));
    EXPECT_EQ(Lines_Of(ab.Include(Entry(5))), (Lines{1, 2, 5}));
    EXPECT_EQ(Lines_Of(aba.Exclude(Entry(1))), (Lines{2}));
    EXPECT_EQ(Lines_Of(ab), (Lines{1, 2}));
    EXPECT_TRUE(ab.Contains(Entry(2)));
    EXPECT_FALSE(ab.Contains(Place{"file2.txt", 2, 9}));
}

TEST(Linked_List, To_Array_Is_Indexed_From_The_Given_Start)
{
    Place_List list = List_Of({4, 5, 6});
    auto array = list.To_Array(10);
    EXPECT_EQ(array.first_index, 10);
    EXPECT_EQ(array.Last_Index(), 12);
    EXPECT_EQ(array[11].Line, 5u);
    EXPECT_FAILURE(list.To_Array(-1), Failures::RANGE_ERROR);
}

} // namespace
