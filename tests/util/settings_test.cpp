#include "support/recording_host.h"
#include "util/paths.h"
#include "util/settings.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace era {
namespace {

namespace fs = std::filesystem;

// What a file looked like: any write by the store replaces it with a new file (a new inode).
struct TFileState {
    ino_t Inode = 0;
    long long Modified = 0;
    std::string Text;
    bool operator==(const TFileState&) const = default;
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("era-settings-" + std::to_string(::getpid()) + "-" +
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
    TFileState State() const {
        struct stat st {};
        if (::stat(path_.c_str(), &st) != 0) return {};
        return {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec, FileText()};
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(SettingsTest, FilesLiveBesideTheProgramOrInTheApplicationDataFolder) {
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string savedConfig = oldConfig ? oldConfig : "";
    ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    SetProgramFile("/opt/era/bin/era");

    EXPECT_EQ(ProgramDataPath(false, "ini"), "/opt/era/bin/era.ini");
    EXPECT_EQ(ProgramDataPath(true, "cache"), (dir_ / "era.cache").string());
    EXPECT_EQ(IniFilePath(true), (dir_ / "era.ini").string());
    EXPECT_EQ(IniFilePath(false), "/opt/era/bin/era.ini");
    {
        auto ini = OpenIniFile(true);
        EXPECT_EQ(ini->FileName(), path_);
        EXPECT_FALSE(fs::exists(path_)); // opening alone creates nothing
        IniWriteString(*ini, "Settings", "EditFilterIncl", "admin");
    }
    EXPECT_EQ(FileText(), "[Settings]\nEditFilterIncl=admin\n");

    SetProgramFile("");
    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(SettingsTest, KeysLoseTheirBracketsEverywhereSectionsOnlyWhenWritten) {
    EXPECT_EQ(CleanIniName("[Root]"), "Root");
    EXPECT_EQ(CleanIniName("a[b]c]["), "abc");
    TIniFile ini(path_);
    IniWriteString(ini, "[Tree]", "[Root]", "top");
    IniWriteInteger(ini, "[Tree]", "[Count]", 4);
    IniWriteBool(ini, "[Tree]", "[On]", true);
    IniWriteString(ini, "Tree", "[]", "no key at all");
    EXPECT_EQ(FileText(), "[Tree]\nRoot=top\nCount=4\nOn=1\n");

    EXPECT_EQ(IniReadText(ini, "Tree", "[Root]", "-"), "top");
    EXPECT_EQ(IniReadInteger(ini, "Tree", "[Count]", -1), 4);
    EXPECT_EQ(IniReadStringCached(ini, "Tree", "[Root]", "-"), "top");
    EXPECT_TRUE(IniReadBoolCached(ini, "Tree", "[On]", false));
    // The readers keep the section's brackets, so the section written as "[Tree]" is not found.
    EXPECT_EQ(IniReadText(ini, "[Tree]", "Root", "-"), "-");
    EXPECT_EQ(IniReadInteger(ini, "[Tree]", "Count", -1), -1);
    EXPECT_EQ(IniReadStringCached(ini, "[Tree]", "Root", "-"), "-");
    TStringList list;
    IniReadList(ini, "[Tree]", list, false);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(SettingsTest, KeysAreTrimmedWhenWrittenAsWhenRead) {
    // Every run opens the file afresh and reads its keys trimmed: a padded key is the same key in
    // every run, so writing the value it already has changes nothing.
    for (int run = 0; run < 3; ++run) {
        IniSectionCache().Clear();
        TIniFile ini(path_);
        IniWriteString(ini, "S", " x ", "v");
        IniWriteInteger(ini, "S", "\tn ", 5);
        IniWriteBool(ini, "S", " [b]", true);
    }
    EXPECT_EQ(FileText(), "[S]\nx=v\nn=5\nb=1\n");
    TIniFile ini(path_);
    EXPECT_EQ(IniReadText(ini, "S", " x\t", "-"), "v");
    EXPECT_EQ(IniReadInteger(ini, "S", " n", 0), 5);
    EXPECT_EQ(IniReadStringCached(ini, "S", "x ", "-"), "v");
    EXPECT_TRUE(IniReadBoolCached(ini, "S", " b ", false));
}

TEST_F(SettingsTest, ReadTextTurnsTheLineBreakMarkIntoCrLf) {
    WriteFile("[Attributes]\nAttrFormat=\"Name:#CRLF#%s#crlf#\"\n");
    TIniFile ini(path_);
    EXPECT_EQ(IniReadText(ini, "Attributes", "AttrFormat", ""), "Name:\r\n%s#crlf#");
    EXPECT_EQ(IniReadText(ini, "Attributes", "Missing", "a#CRLF#b"), "a\r\nb");
}

TEST_F(SettingsTest, UnchangedValuesLeaveTheFileUntouched) {
    WriteFile("[Settings]\nPlain=value\nQuoted=\"two words\"\nNumber=12\nFlag=2\nOff=0\nEmpty=x\n");
    TIniFile ini(path_);
    const TFileState before = State();
    IniWriteString(ini, "Settings", "Plain", "value");
    IniWriteString(ini, "Settings", "Plain", "\"value\"");      // its unquoted form is stored
    IniWriteString(ini, "Settings", "Quoted", "\"two words\""); // the store gives it back unquoted
    IniWriteString(ini, "Settings", "Quoted", "two words");
    IniWriteString(ini, "Settings", "Missing", ""); // a missing key reads as ""
    IniWriteString(ini, "Settings", "Missing", "\"\"");
    IniWriteInteger(ini, "settings", "NUMBER", 12);
    IniWriteInteger(ini, "Settings", "Missing", -999666); // the missing-key marker itself
    IniWriteBool(ini, "Settings", "Flag", true);          // any non-zero integer is true
    IniWriteBool(ini, "Settings", "Off", false);
    EXPECT_EQ(State(), before);

    // A missing key gets a false flag written: the key-exists test comes first.
    IniWriteBool(ini, "Settings", "NewFlag", false);
    EXPECT_NE(State().Inode, before.Inode);
    IniWriteString(ini, "Settings", "Empty", ""); // an empty value over a non-empty one is written
    IniWriteInteger(ini, "Settings", "Count", -999666);
    EXPECT_EQ(FileText(), "[Settings]\nPlain=value\nQuoted=\"two words\"\nNumber=12\nFlag=2\nOff=0\nEmpty=\n"
                          "NewFlag=0\n");

    // -999666 over a stored number is a change like any other.
    IniWriteInteger(ini, "Settings", "Number", -999666);
    EXPECT_EQ(ini.ReadInteger("Settings", "Number", 0), -999666);
}

TEST_F(SettingsTest, CachedReadersTakeDefaultsForEmptyAndMissingValues) {
    WriteFile("[Settings]\nText=abc\nEmpty=\nNum= 42 "
              "\nNeg=-7\nWord=12a\nHex=0x10\nOne=1\nTwo=2\nYes=yes\nZero=0\n");
    TIniFile ini(path_);
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "text", "-"), "abc");
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "Empty", "-"), "-");
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "Missing", "-"), "-");
    EXPECT_EQ(IniReadIntegerCached(ini, "Settings", "Num", -1), 42);
    EXPECT_EQ(IniReadIntegerCached(ini, "Settings", "Neg", -1), -7);
    EXPECT_EQ(IniReadIntegerCached(ini, "Settings", "Word", -1), -1);
    EXPECT_EQ(IniReadIntegerCached(ini, "Settings", "Hex", -1), -1); // decimal only
    EXPECT_EQ(IniReadIntegerCached(ini, "Settings", "Empty", -1), -1);
    EXPECT_TRUE(IniReadBoolCached(ini, "Settings", "One", false));
    EXPECT_FALSE(IniReadBoolCached(ini, "Settings", "Two", true)); // only "1" is true
    EXPECT_FALSE(IniReadBoolCached(ini, "Settings", "Yes", true));
    EXPECT_FALSE(IniReadBoolCached(ini, "Settings", "Zero", true));
    EXPECT_TRUE(IniReadBoolCached(ini, "Settings", "Empty", true));
    EXPECT_TRUE(IniReadBoolCached(ini, "Settings", "Missing", true));
    EXPECT_EQ(IniReadStringCached(ini, "Missing", "Text", "-"), "-");
}

TEST_F(SettingsTest, SectionCacheFollowsItsOwnWritesOnly) {
    WriteFile("[Settings]\nA=1\nB=2\n[Other]\nA=x\n");
    TIniFile ini(path_);
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "A", "-"), "1");
    EXPECT_EQ(IniSectionCache().Ini(), &ini);
    EXPECT_EQ(IniSectionCache().Section(), "Settings");

    // A change made behind the layer's back is not seen: the section is not read again.
    TIniFile other(path_);
    other.WriteString("Settings", "B", "changed elsewhere");
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "B", "-"), "2");

    // The layer's own writes to the cached section are taken in (new and changed keys alike).
    IniWriteString(ini, "Settings", "A", "one");
    IniWriteInteger(ini, "Settings", "N", 5);
    IniWriteBool(ini, "Settings", "F", true);
    IniWriteString(ini, "[Settings]", "Q", "\"quoted\""); // section cleaned; read back unquoted
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "a", "-"), "one");
    EXPECT_EQ(IniReadIntegerCached(ini, "Settings", "N", -1), 5);
    EXPECT_TRUE(IniReadBoolCached(ini, "Settings", "F", false));
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "Q", "-"), "quoted");
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "B", "-"), "2"); // still the cached copy

    // Writes elsewhere leave the cache alone: another section, or another store with this section.
    IniWriteString(ini, "Other", "A", "y");
    TMemIniFile memory;
    IniWriteString(memory, "Settings", "A", "from another store");
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "A", "-"), "one");

    // A value written empty reads as the default, as it would from the file.
    IniWriteString(ini, "Settings", "A", "");
    EXPECT_EQ(IniReadStringCached(ini, "Settings", "A", "-"), "-");

    // Another section name (exact comparison) loads the file again.
    EXPECT_EQ(IniReadStringCached(ini, "settings", "B", "-"), "changed elsewhere");
    EXPECT_EQ(IniSectionCache().Section(), "settings");
}

TEST_F(SettingsTest, ListsAreNumberedKeysReadBackInFileOrder) {
    WriteFile("[Memo]\n7=stale\n");
    TIniFile ini(path_);
    TStringList memo;
    memo.SetText("one\r\n\r\nthree\r\n");
    IniWriteList(ini, "[Memo]", memo, false);
    EXPECT_EQ(FileText(), "[Memo]\n0=one\n2=three\n"); // the old section went, the empty line left no key
    TStringList back;
    back.Add("previous content");
    IniReadList(ini, "Memo", back, false);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.Strings(0), "one");
    EXPECT_EQ(back.Strings(1), "three");
    EXPECT_EQ(back.Objects(1), 0u);

    // Keys from the attached values: equal values overwrite each other.
    TStringList found;
    found.AddObject("bob.sales", 5);
    found.AddObject("ann.sales", 7);
    found.AddObject("eve.sales", 5);
    IniWriteList(ini, "admin", found, true);
    IniReadList(ini, "admin", back, true);
    ASSERT_EQ(back.Count(), 2);
    EXPECT_EQ(back.Strings(0), "eve.sales");
    EXPECT_EQ(back.Objects(0), 5u);
    EXPECT_EQ(back.Strings(1), "ann.sales");
    EXPECT_EQ(back.Objects(1), 7u);

    // The file's order decides, not the keys; a key that is no number gives 0.
    WriteFile("[L]\n9=nine\nx=ex\n1=one\n");
    IniReadList(ini, "L", back, true);
    ASSERT_EQ(back.Count(), 3);
    EXPECT_EQ(back.Strings(0), "nine");
    EXPECT_EQ(back.Objects(0), 9u);
    EXPECT_EQ(back.Objects(1), 0u);
    EXPECT_EQ(back.Strings(2), "one");
    IniReadList(ini, "Missing", back, true);
    EXPECT_EQ(back.Count(), 0);
}

TEST_F(SettingsTest, ClearingEmptiesTheFileAndTheCache) {
    WriteFile("[Security Equals]\nadmin=2\n[admin]\n0=a\n1=b\n");
    TIniFile ini(path_);
    EXPECT_EQ(IniReadStringCached(ini, "admin", "0", "-"), "a");
    ClearIniFile(ini);
    EXPECT_TRUE(fs::exists(path_));
    EXPECT_EQ(FileText(), "");
    EXPECT_EQ(IniSectionCache().Ini(), nullptr);
    EXPECT_EQ(IniReadStringCached(ini, "admin", "0", "-"), "-");
    EXPECT_EQ(IniReadInteger(ini, "Security Equals", "admin", -1), -1);
}

// Makes every write of the store fail as on a full disk, for the lifetime of the guard.
class TFullDisk {
public:
    TFullDisk() {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old_;
        small.rlim_cur = 8;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~TFullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }
    TFullDisk(const TFullDisk&) = delete;
    TFullDisk& operator=(const TFullDisk&) = delete;

private:
    struct rlimit old_ {};
    void (*previous_)(int) = nullptr;
};

TEST_F(SettingsTest, AFailedWriteShowsTheErrorAndKeepsTheOldFile) {
    const std::string old = "[Settings]\nEditFilterIncl=admin\nMenuSettingsResolveContainers=1\n";
    WriteFile(old);
    TIniFile ini(path_);
    testing::TRecordingHostScope host;
    {
        TFullDisk full;
        IniWriteString(ini, "Settings", "EditFilterIncl", "a much longer filter text than before");
        // The integer and boolean writers leave the error to their caller.
        EXPECT_THROW(IniWriteInteger(ini, "Settings", "Width", 640), EIniFileError);
        EXPECT_THROW(IniWriteBool(ini, "Settings", "MenuSettingsResolveContainers", false), EIniFileError);
    }
    ASSERT_EQ(host->Dialogs.size(), 1u);
    EXPECT_EQ(host->Dialogs[0].Kind, dkError);
    EXPECT_NE(host->Dialogs[0].Text.find(path_), std::string::npos) << host->Dialogs[0].Text;
    EXPECT_EQ(FileText(), old);
    EXPECT_EQ(IniReadText(ini, "Settings", "EditFilterIncl", ""), "admin");
    // The program goes on: the next write succeeds.
    IniWriteString(ini, "Settings", "EditFilterIncl", "staff");
    EXPECT_EQ(TIniFile(path_).ReadString("Settings", "EditFilterIncl", ""), "staff");
    EXPECT_EQ(host->Dialogs.size(), 1u);
}

} // namespace
} // namespace era
