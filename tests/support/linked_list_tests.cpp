#include "control/index_list.hpp"
#include "tests/test_support.hpp"

#include <string>

namespace {

using namespace Control::Index_List;

Index_Entry Entry(int line) { return {"file" + std::to_string(line) + ".txt", std::uint32_t(line), 1}; }

Item List_Of(std::initializer_list<int> lines)
{
    Item list;
    for (int line : lines) list.Append(Entry(line));
    return list;
}

std::vector<std::uint32_t> Lines_Of(const Item& list)
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

TEST(Index_List, Failure_Names_Carry_The_Instance)
{
    EXPECT_STREQ(NO_ELEMENTS::name, "CONTROL.INDEX_LIST.NO_ELEMENTS");
    EXPECT_STREQ(NOT_IN_LIST::name, "CONTROL.INDEX_LIST.NOT_IN_LIST");
    EXPECT_STREQ(NOT_FOUND::name, "CONTROL.INDEX_LIST.NOT_FOUND");
    EXPECT_STREQ(NOT_UPDATED::name, "CONTROL.INDEX_LIST.NOT_UPDATED");
}

TEST(Index_List, Empty_List_Fails_Where_An_Element_Is_Needed)
{
    Item list;
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

TEST(Index_List, Element_At_Counts_From_One)
{
    Item list = List_Of({1, 2, 3});
    EXPECT_EQ(list.Element_At(3), list.Last_Element());
    EXPECT_EQ(list.Element_At(1), list.First_Element());
    EXPECT_FAILURE(list.Element_At(4), NO_ELEMENTS);
    EXPECT_FAILURE(list.Element_At(0), NO_ELEMENTS);
    EXPECT_FAILURE(list.Element_At(-1), NO_ELEMENTS);
}

TEST(Index_List, Insert_Prepend_And_Remove_Keep_The_Links_Consistent)
{
    Item list = List_Of({2, 4});
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

TEST(Index_List, Positions_Stay_Valid_While_The_List_Grows)
{
    Item list;
    list.Append(Entry(1));
    Position first = list.Last();
    for (int line = 2; line <= 1000; ++line) list.Append(Entry(line));
    EXPECT_EQ(Item::Element_Of(first), Entry(1));
    EXPECT_EQ(first, list.First());
    // The tree stores positions as pointer-sized item data; they must survive the round trip.
    auto data = reinterpret_cast<std::uintptr_t>(list.Last());
    EXPECT_EQ(Item::Element_Of(reinterpret_cast<Position>(data)).Line, 1000u);
}

TEST(Index_List, Move_Joins_Lists_At_Either_End)
{
    Item target;
    Item source = List_Of({1, 2});
    Item::Move(source, target, true);
    EXPECT_TRUE(source.Is_Empty());
    EXPECT_EQ(source.Head(), nullptr);
    EXPECT_EQ(Lines_Of(target), (Lines{1, 2}));

    Item front = List_Of({7, 8});
    Item::Move(front, target, false);
    Item back = List_Of({9});
    Item::Move(back, target, true);
    Item nothing;
    Item::Move(nothing, target, true);
    EXPECT_EQ(Lines_Of(target), (Lines{7, 8, 1, 2, 9}));
    EXPECT_TRUE(front.Is_Empty());
}

TEST(Index_List, Copies_Are_Deep)
{
    Item original = List_Of({1, 2});
    Item copy = original;
    EXPECT_NE(copy.First(), original.First());
    copy.First()->element.File = "changed";
    EXPECT_EQ(original.First_Element().File, "file1.txt");
    copy = copy;
    EXPECT_EQ(Lines_Of(copy), (Lines{1, 2}));
    Item moved = std::move(copy);
    EXPECT_EQ(Lines_Of(moved), (Lines{1, 2}));
}

TEST(Index_List, Set_Operations_Keep_Order_And_Operands)
{
    Item ab = List_Of({1, 2});
    Item bc = List_Of({2, 3});
    EXPECT_EQ(Lines_Of(Item::Union(ab, bc)), (Lines{1, 2, 3}));
    Item aba = List_Of({1, 2, 1});
    EXPECT_EQ(Lines_Of(Item::Difference(aba, List_Of({1}))), (Lines{2}));
    EXPECT_EQ(Lines_Of(Item::Union(aba, bc)), (Lines{1, 2, 1, 3}));
    EXPECT_EQ(Lines_Of(ab.Include(Entry(2))), (Lines{1, 2}));
    EXPECT_EQ(Lines_Of(ab.Include(Entry(5))), (Lines{1, 2, 5}));
    EXPECT_EQ(Lines_Of(aba.Exclude(Entry(1))), (Lines{2}));
    EXPECT_EQ(Lines_Of(ab), (Lines{1, 2}));
    EXPECT_TRUE(ab.Contains(Entry(2)));
    EXPECT_FALSE(ab.Contains(Index_Entry{"file2.txt", 2, 9}));
}

TEST(Index_List, To_Array_Is_Indexed_From_The_Given_Start)
{
    Item list = List_Of({4, 5, 6});
    auto array = list.To_Array(10);
    EXPECT_EQ(array.first_index, 10);
    EXPECT_EQ(array.Last_Index(), 12);
    EXPECT_EQ(array[11].Line, 5u);
    EXPECT_FAILURE(list.To_Array(-1), Failures::RANGE_ERROR);
}

} // namespace
