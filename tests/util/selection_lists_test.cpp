#include "util/selection_lists.h"
#include "util/settings.h"
#include "util/text.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace era {
namespace {

namespace fs = std::filesystem;

class SelectionListsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("era-lists-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "era.ini").string();
        IniSectionCache().Clear();
    }
    void TearDown() override {
        IniSectionCache().Clear();
        fs::remove_all(dir_);
    }

    void WriteFile(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
    std::string FileText() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
    std::string path_;
};

std::vector<std::string> Texts(const TStringList& list) {
    std::vector<std::string> texts;
    for (const TStringItem& item : list.Items())
        texts.push_back(item.Text);
    return texts;
}

std::vector<bool> Marks(const TCheckList& list) {
    std::vector<bool> marks;
    for (int i = 0; i < list.Items.Count(); ++i)
        marks.push_back(list.Checked(i));
    return marks;
}

TComboHistory HistoryOf(int count) {
    TComboHistory combo;
    for (int i = 0; i < count; ++i)
        combo.Items.Add(Format("entry %d", i));
    return combo;
}

TEST_F(SelectionListsTest, CheckListKeepsItemsAndMarks) {
    WriteFile("[ACME-TREE Checked]\nold.acme=1\n");
    TIniFile ini(path_);
    TCheckList list;
    list.Add("admin.acme");
    list.Add("[Root]", true);
    list.Add("bob.sales.acme", true);
    list.Add("");
    SaveCheckList(ini, "ACME-TREE", list);
    // Unchecked items leave no key in the " Checked" section; a key loses its brackets.
    EXPECT_EQ(FileText(), "[ACME-TREE]\n0=admin.acme\n1=[Root]\n2=bob.sales.acme\n"
                          "[ACME-TREE Checked]\nRoot=1\nbob.sales.acme=1\n");

    TCheckList back;
    back.Add("left over", true);
    RestoreCheckList(ini, "ACME-TREE", back);
    EXPECT_EQ(Texts(back.Items), (std::vector<std::string>{"admin.acme", "[Root]", "bob.sales.acme"}));
    EXPECT_EQ(Marks(back), (std::vector<bool>{false, true, true}));
    EXPECT_EQ(back.Items.Objects(2), 2u); // the keys come along as attached values

    // Without the " Checked" section the items come back unmarked; without the list, nothing.
    WriteFile("[ACME-TREE]\n0=a\n1=b\n");
    IniSectionCache().Clear();
    RestoreCheckList(ini, "ACME-TREE", back);
    EXPECT_EQ(Texts(back.Items), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Marks(back), (std::vector<bool>{false, false}));
    RestoreCheckList(ini, "OTHER-TREE", back);
    EXPECT_EQ(back.Items.Count(), 0);
    EXPECT_THROW(back.SetChecked(0, true), std::out_of_range);
}

TEST_F(SelectionListsTest, ACheckMarkTakenAwayStaysAway) {
    TIniFile ini(path_);
    TCheckList list;
    list.Add("a", true);
    list.Add("b", true);
    SaveCheckList(ini, "L", list);
    RestoreCheckList(ini, "L", list); // the section cache now holds "L Checked"
    list.SetChecked(1, false);
    SaveCheckList(ini, "L", list);
    RestoreCheckList(ini, "L", list);
    EXPECT_EQ(Marks(list), (std::vector<bool>{true, false}));
}

TEST_F(SelectionListsTest, APaddedItemKeepsItsMark) {
    TIniFile ini(path_);
    TCheckList list;
    list.Add(" padded item ", true);
    list.Add("plain");
    SaveCheckList(ini, "L", list);
    TCheckList back;
    RestoreCheckList(ini, "L", back);
    EXPECT_EQ(Texts(back.Items), (std::vector<std::string>{"padded item", "plain"}));   // values read trimmed
    EXPECT_EQ(Marks(back), (std::vector<bool>{true, false}));
}

TEST_F(SelectionListsTest, HistoryTakesNewTextsInFrontUpToThirtyOneEntries) {
    struct TCase {
        const char* Name;
        int Count;
        std::string Text;
        int ExpectedCount;
        std::string ExpectedFirst;
        std::string ExpectedLast;
    };
    const TCase cases[] = {
        {"empty text", 3, "", 3, "entry 0", "entry 2"},
        {"text already there, other case", 3, "ENTRY 2", 3, "entry 0", "entry 2"},
        {"new text", 3, "new", 4, "new", "entry 2"},
        {"30 entries grow to 31", 30, "new", 31, "new", "entry 29"},
        {"31 entries stay 31", 31, "new", 31, "new", "entry 29"},
        {"more than 31 lose index 30 only", 33, "new", 33, "new", "entry 32"},
    };
    for (const TCase& c : cases) {
        TComboHistory combo = HistoryOf(c.Count);
        combo.Text = c.Text;
        AddToHistory(combo);
        EXPECT_EQ(combo.Items.Count(), c.ExpectedCount) << c.Name;
        EXPECT_EQ(combo.Items.Strings(0), c.ExpectedFirst) << c.Name;
        EXPECT_EQ(combo.Items.Strings(combo.Items.Count() - 1), c.ExpectedLast) << c.Name;
        EXPECT_EQ(combo.Text, c.Text) << c.Name;
    }
    TComboHistory full = HistoryOf(31);
    full.Text = "new";
    AddToHistory(full);
    EXPECT_EQ(full.Items.IndexOf("entry 30"), -1);
    EXPECT_EQ(full.Items.Strings(30), "entry 29");
}

TEST_F(SelectionListsTest, HistoryIsSavedQuotedAndComesBack) {
    WriteFile("[History ComboBoxFilter]\n5=stale\n");
    TIniFile ini(path_);
    TComboHistory combo;
    combo.Items.Add("ou=sales");
    combo.Items.Add(" two blanks ");
    combo.Text = "cn=admin";
    SaveHistory(ini, "History ComboBoxFilter", combo);
    EXPECT_EQ(FileText(), "[History ComboBoxFilter]\nCurrent=\"cn=admin\"\nCount=3\n0=\"cn=admin\"\n"
                          "1=\"ou=sales\"\n2=\" two blanks \"\n");

    TComboHistory back;
    RestoreHistory(ini, "History ComboBoxFilter", "default", back);
    EXPECT_EQ(back.Text, "cn=admin");
    EXPECT_EQ(Texts(back.Items), (std::vector<std::string>{"cn=admin", "ou=sales", " two blanks "}));

    // Saving the restored history writes the same section again.
    SaveHistory(ini, "History ComboBoxFilter", back);
    EXPECT_EQ(FileText(), "[History ComboBoxFilter]\nCurrent=\"cn=admin\"\nCount=3\n0=\"cn=admin\"\n"
                          "1=\"ou=sales\"\n2=\" two blanks \"\n");
}

TEST_F(SelectionListsTest, RestoringReadsKeysUpToCountInclusive) {
    // No "Count": the keys 0 to 30 are read, 31 is not.
    std::string text = "[H]\n";
    for (int i = 31; i >= 0; --i)
        text += Format("%d=\"item %d\"\n", i, i);
    WriteFile(text);
    TIniFile ini(path_);
    TComboHistory combo;
    RestoreHistory(ini, "H", "fallback", combo);
    ASSERT_EQ(combo.Items.Count(), 31);
    EXPECT_EQ(combo.Items.Strings(0), "fallback"); // no "Current": the default, added in front
    EXPECT_EQ(combo.Items.Strings(1), "item 0");
    EXPECT_EQ(combo.Items.Strings(30), "item 29");
    EXPECT_EQ(combo.Text, "fallback");

    // "Count" 2 reads keys 0, 1 and 2; items already there stay in front; empty values and texts
    // already present (ignoring case) are skipped; keys that are no plain number are not items.
    WriteFile("[H]\nCurrent=\"b\"\nCount=2\n2=\"c\"\n1=\"\"\n0=\"A\"\n3=\"d\"\n01=\"e\"\n");
    TComboHistory kept;
    kept.Items.Add("a");
    RestoreHistory(ini, "H", "fallback", kept);
    EXPECT_EQ(Texts(kept.Items), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(kept.Text, "b");

    // A damaged count ends too.
    WriteFile("[H]\nCount=2147483647\n7=\"seven\"\n");
    TComboHistory damaged;
    RestoreHistory(ini, "H", "", damaged);
    EXPECT_EQ(Texts(damaged.Items), (std::vector<std::string>{"seven"}));
    EXPECT_EQ(damaged.Text, "");
}

// A store whose next read fails once, as a file that cannot be read would.
class TFailingOnceIni final : public TCustomIniFile {
public:
    explicit TFailingOnceIni(const std::string& text) { document_.Parse(text); }
    std::string FileName() const override { return {}; }
    bool FailNext = false;

protected:
    TIniDocument& Document() override {
        if (FailNext) {
            FailNext = false;
            throw std::runtime_error("read failed");
        }
        return document_;
    }
    void Commit() override {}

private:
    TIniDocument document_;
};

TEST_F(SelectionListsTest, TheTextComesBackEvenWhenTheItemsFail) {
    TFailingOnceIni ini("[H]\nCurrent=\"typed\"\nCount=1\n0=\"older\"\n");
    ini.FailNext = true;
    TComboHistory combo;
    EXPECT_THROW(RestoreHistory(ini, "H", "fallback", combo), std::runtime_error);
    EXPECT_EQ(combo.Text, "typed");
    EXPECT_EQ(combo.Items.Count(), 0); // the steps after the failure did not run
}

} // namespace
} // namespace era
