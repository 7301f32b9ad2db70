#include "util/string_list.h"

#include <gtest/gtest.h>
#include <random>
#include <stdexcept>

namespace era {

namespace {
std::vector<std::string> Texts(const TStringList& list) {
    std::vector<std::string> texts;
    for (const TStringItem& item : list.Items())
        texts.push_back(item.Text);
    return texts;
}
} // namespace

TEST(StringList, KeepsTextsWithTheirValues) {
    TStringList list;
    EXPECT_EQ(list.Add("b"), 0);
    EXPECT_EQ(list.AddObject("a", 0xFFFFFFFFu), 1);
    list.InsertObject(0, "first", 7);
    list.Insert(3, "last");
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"first", "b", "a", "last"}));
    EXPECT_EQ(list.Objects(0), 7u);
    EXPECT_EQ(list.Objects(2), 0xFFFFFFFFu);
    EXPECT_EQ(list.Objects(3), 0u);
    list.SetObject(1, 31);
    list.SetString(1, "B");
    EXPECT_EQ(list.Strings(1), "B");
    EXPECT_EQ(list.Objects(1), 31u);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Strings(0), "B");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(StringList, DeleteIfRemovesByOriginalIndex) {
    TStringList list;
    for (int i = 0; i < 6; ++i)
        list.AddObject("item" + std::to_string(i), static_cast<std::uint32_t>(i));
    list.DeleteIf([](int index) { return index % 2 == 0; });
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"item1", "item3", "item5"}));
    EXPECT_EQ(list.Objects(2), 5u);
    list.DeleteIf([](int) { return false; });
    EXPECT_EQ(list.Count(), 3);
}

TEST(StringList, IndexesOutsideTheListThrow) {
    TStringList list;
    list.Add("x");
    EXPECT_THROW(list.Strings(1), std::out_of_range);
    EXPECT_THROW(list.Objects(-1), std::out_of_range);
    EXPECT_THROW(list.Delete(5), std::out_of_range);
    EXPECT_THROW(list.Insert(3, "y"), std::out_of_range);
    EXPECT_THROW(list.SetObject(1, 0), std::out_of_range);
}

TEST(StringList, IndexOfIgnoresCaseUnlessTold) {
    TStringList list;
    list.Add("Admin");
    list.Add("admin");
    EXPECT_EQ(list.IndexOf("ADMIN"), 0);
    EXPECT_EQ(list.IndexOf("guest"), -1);
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf("admin"), 1);
    EXPECT_EQ(list.IndexOf("ADMIN"), -1);
}

TEST(StringList, SortedIgnoringDuplicates) {
    TStringList notes;
    notes.SetSorted(true);
    EXPECT_EQ(notes.Duplicates(), dupIgnore);
    EXPECT_EQ(notes.Add("b|x"), 0);
    EXPECT_EQ(notes.Add("a|y"), 0);
    EXPECT_EQ(notes.AddObject("C|z", 5), 2);
    EXPECT_EQ(notes.Add("B|X"), 1); // equal ignoring case: ignored, its index returned
    EXPECT_EQ(Texts(notes), (std::vector<std::string>{"a|y", "b|x", "C|z"}));
    EXPECT_EQ(notes.IndexOf("c|Z"), 2);
    EXPECT_EQ(notes.Objects(2), 5u);
    int index = -1;
    EXPECT_FALSE(notes.Find("b|y", index));
    EXPECT_EQ(index, 2); // where it would go
    EXPECT_TRUE(notes.Find("A|Y", index));
    EXPECT_EQ(index, 0);
}

TEST(StringList, SortedAcceptingDuplicatesKeepsArrivalOrder) {
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(dupAccept);
    list.AddObject("b", 1);
    list.AddObject("a", 2);
    list.AddObject("B", 3);
    list.AddObject("b", 4);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"a", "b", "B", "b"}));
    EXPECT_EQ(list.Objects(1), 1u);
    EXPECT_EQ(list.Objects(2), 3u);
    EXPECT_EQ(list.Objects(3), 4u);
    EXPECT_EQ(list.IndexOf("B"), 1); // the first of the equal ones
}

TEST(StringList, SortedInsertsStayOrderedOnLargeInput) {
    TStringList list;
    list.SetSorted(true);
    std::mt19937 random(42);
    for (int i = 0; i < 20000; ++i)
        list.Add("item" + std::to_string(random() % 5000));
    EXPECT_LE(list.Count(), 5000);
    for (int i = 1; i < list.Count(); ++i)
        ASSERT_LT(list.CompareStrings(list.Strings(i - 1), list.Strings(i)), 0);
}

TEST(StringList, SortedListRefusesPositionalChanges) {
    TStringList list;
    list.Add("b");
    list.Add("a");
    list.SetSorted(true); // sorting on sorts what is there
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"a", "b"}));
    EXPECT_THROW(list.Insert(0, "c"), std::logic_error);
    EXPECT_THROW(list.SetString(0, "c"), std::logic_error);
    EXPECT_THROW(list.CustomSort([](const TStringItem&, const TStringItem&) { return 0; }), std::logic_error);
    list.SetSorted(false);
    list.Add("0");
    EXPECT_EQ(list.Strings(2), "0"); // unsorted again: appended
}

TEST(StringList, SortOrdersByCaseRule) {
    TStringList list;
    for (const char* text : {"beta", "Alpha", "alpha", "[Root]", "Zulu"})
        list.Add(text);
    list.Sort();
    // Ignoring case (upper-case folding), stable: "Alpha" stays before "alpha"; "[" comes after "Z".
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"Alpha", "alpha", "beta", "Zulu", "[Root]"}));
    list.SetCaseSensitive(true);
    list.Sort();
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"Alpha", "Zulu", "[Root]", "alpha", "beta"}));
}

TEST(StringList, CaseChangeResortsSortedList) {
    TStringList list;
    list.SetSorted(true);
    list.SetDuplicates(dupAccept);
    for (const char* text : {"b", "A", "a", "B"})
        list.Add(text);
    list.SetCaseSensitive(true);
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"A", "B", "a", "b"}));
}

TEST(StringList, CustomSortUsesTheCallersOrder) {
    TStringList list;
    list.AddObject("x", 3);
    list.AddObject("y", 1);
    list.AddObject("z", 2);
    list.AddObject("w", 1);
    list.CustomSort([](const TStringItem& a, const TStringItem& b) {
        return a.Object < b.Object ? -1 : (a.Object > b.Object ? 1 : 0);
    });
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"y", "w", "z", "x"}));
}

TEST(StringList, TextEndsEveryLine) {
    TStringList list;
    EXPECT_EQ(list.Text(), "");
    list.Add("one");
    list.Add("");
    list.Add("three");
    EXPECT_EQ(list.Text(), "one\r\n\r\nthree\r\n");
}

TEST(StringList, SetTextSplitsAtEveryLineBreakKind) {
    struct Case {
        const char* text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\n", {""}},
        {"a\n\r", {"a", ""}}, // LF then a lone CR: two breaks
    };
    for (const Case& c : cases) {
        TStringList list;
        list.AddObject("old", 1);
        list.SetText(c.text);
        EXPECT_EQ(Texts(list), c.lines) << c.text;
    }
    TStringList sorted;
    sorted.SetSorted(true);
    sorted.SetText("b\na\nB");
    EXPECT_EQ(Texts(sorted), (std::vector<std::string>{"a", "b"}));
}

} // namespace era
