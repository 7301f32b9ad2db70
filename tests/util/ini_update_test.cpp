// Long lists reach a settings file in one write: the writers of lists, check lists and histories
// hold the store's writes back and store them at once, and a failure of that one write leaves the
// store as it was before the list was written, with one error, not one per item.

#include "support/recording_host.h"
#include "util/ini_file.h"
#include "util/selection_lists.h"
#include "util/settings.h"

#include <gtest/gtest.h>

namespace era {
namespace {

// A store in memory that counts its writes and can be told to fail them.
class TCountingIni final : public TCustomIniFile {
public:
    std::string FileName() const override { return "counting.ini"; }
    int Commits = 0;
    bool Fail = false;

protected:
    TIniDocument& Document() override { return document_; }
    void Commit() override {
        if (Fail) throw EIniFileError("Cannot write \"counting.ini\": disk full");
        ++Commits;
    }

private:
    TIniDocument document_;
};

TEST(IniUpdate, ListsOfAnyLengthAreOneWrite) {
    TCheckList list;
    for (int i = 0; i < 5000; ++i) list.Add(".user" + std::to_string(i) + ".acme", i % 2 == 0);
    TCountingIni ini;
    SaveCheckList(ini, "CheckListBoxEdir - ACME_TREE", list);
    EXPECT_EQ(ini.Commits, 1);
    EXPECT_EQ(ini.ReadSection("CheckListBoxEdir - ACME_TREE").size(), 5000u);
    EXPECT_EQ(ini.ReadSection("CheckListBoxEdir - ACME_TREE Checked").size(), 2500u);
    TCheckList back;
    RestoreCheckList(ini, "CheckListBoxEdir - ACME_TREE", back);
    ASSERT_EQ(back.Items.Count(), 5000);
    EXPECT_TRUE(back.Checked(4998));
    EXPECT_FALSE(back.Checked(4999));

    // Saving the same list again changes nothing, so nothing is written.
    SaveCheckList(ini, "CheckListBoxEdir - ACME_TREE", list);
    EXPECT_LE(ini.Commits, 2);

    TStringList plain;
    for (int i = 0; i < 3000; ++i) plain.Add("item " + std::to_string(i));
    TCountingIni other;
    IniWriteList(other, "List", plain, false);
    EXPECT_EQ(other.Commits, 1);
    TComboHistory history;
    for (int i = 0; i < 31; ++i) history.Items.Add("h" + std::to_string(i));
    history.Text = "h0";
    SaveHistory(other, "History ComboBoxFilter", history);
    EXPECT_EQ(other.Commits, 2);
}

TEST(IniUpdate, AFailedWriteOfAListLeavesTheStoreAsItWasWithOneError) {
    testing::TRecordingHostScope scope;
    TCountingIni ini;
    ini.WriteString("List", "0", "old item");
    ini.WriteString("Other", "Keep", "1");
    ini.Fail = true;
    TStringList list;
    for (int i = 0; i < 1000; ++i) list.Add("new " + std::to_string(i));
    IniWriteList(ini, "List", list, false);
    ASSERT_EQ(scope->Dialogs.size(), 1u);
    EXPECT_NE(scope->Dialogs[0].Text.find("disk full"), std::string::npos);
    EXPECT_EQ(ini.ReadSectionValues("List"), (std::vector<std::string>{"0=old item"}));
    EXPECT_EQ(IniReadStringCached(ini, "List", "0", "-"), "old item");   // the section cache forgot the new items
    EXPECT_EQ(ini.ReadString("Other", "Keep", ""), "1");

    TCheckList checks;
    checks.Add(".admin.acme", true);
    EXPECT_THROW(SaveCheckList(ini, "List", checks), EIniFileError);
    EXPECT_EQ(ini.ReadSectionValues("List"), (std::vector<std::string>{"0=old item"}));
    EXPECT_FALSE(ini.SectionExists("List Checked"));
}

TEST(IniUpdate, UpdatesNestAndOnlyTheOutermostWrites) {
    TCountingIni ini;
    ini.BeginUpdate();
    ini.WriteString("S", "a", "1");
    ini.BeginUpdate();
    ini.WriteString("S", "b", "2");
    ini.EndUpdate();
    EXPECT_EQ(ini.Commits, 0);
    EXPECT_EQ(ini.ReadString("S", "b", ""), "2");   // reads see what is held back
    ini.EndUpdate();
    EXPECT_EQ(ini.Commits, 1);
    ini.EndUpdate();   // one too many: nothing happens
    EXPECT_EQ(ini.Commits, 1);
    {
        TIniUpdate update(ini);   // nothing changed: nothing to write
    }
    EXPECT_EQ(ini.Commits, 1);
    {
        TIniUpdate update(ini);
        ini.DeleteKey("S", "a");
    }
    EXPECT_EQ(ini.Commits, 2);
    EXPECT_FALSE(ini.ValueExists("S", "a"));
}

TEST(IniUpdate, LookupsInLongSectionsKeepTheFirstEntryOfAKey) {
    // The key index must answer as the walk through the lines did: the first of two entries of a
    // key, ignoring case, and positions that move when a key goes or a blank line follows.
    TIniDocument document;
    document.Parse("[S]\nk=first\nK=second\nx=1\n\n[T]\n");
    ASSERT_NE(document.Find("s", "K"), nullptr);
    EXPECT_EQ(*document.Find("s", "K"), "first");
    document.Set("S", "new", "n");   // goes before the blank line
    EXPECT_EQ(document.Render(), "[S]\nk=first\nK=second\nx=1\nnew=n\n\n[T]\n");
    EXPECT_TRUE(document.DeleteKey("S", "k"));
    EXPECT_EQ(*document.Find("S", "k"), "second");
    EXPECT_EQ(*document.Find("S", "new"), "n");
    EXPECT_EQ(*document.Find("S", "x"), "1");
    document.Set("S", "X", "2");
    EXPECT_EQ(document.Render(), "[S]\nK=second\nx=2\nnew=n\n\n[T]\n");
    TIniDocument copy = document;
    copy.Set("T", "t", "3");
    EXPECT_EQ(*copy.Find("T", "t"), "3");
    EXPECT_EQ(document.Find("T", "t"), nullptr);
}

} // namespace
} // namespace era
