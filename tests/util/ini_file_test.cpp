#include "util/ini_file.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace era {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("era-ini-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "era.ini").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteFile(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string FileText() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(IniFileTest, ReadsValuesIgnoringCaseTrimmedAndUnquoted) {
    WriteFile("; comment\n[Settings]\nEditFilterExcl =  adm  \nQuoted=\"  two words \"\nSingle='x'\n"
              "Eq=a=b\nHalf=\"open\n[Other]\nEditFilterExcl=other\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("settings", "editfilterexcl", "-"), "adm");
    EXPECT_EQ(ini.ReadString("Settings", "Quoted", "-"), "  two words ");
    EXPECT_EQ(ini.ReadString("Settings", "Single", "-"), "x");
    EXPECT_EQ(ini.ReadString("Settings", "Eq", "-"), "a=b");
    EXPECT_EQ(ini.ReadString("Settings", "Half", "-"), "\"open");
    EXPECT_EQ(ini.ReadString("Other", "EditFilterExcl", "-"), "other");
    EXPECT_EQ(ini.ReadString("Settings", "Missing", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Missing", "EditFilterExcl", "dflt"), "dflt");
}

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsCreatedOnFirstWrite) {
    fs::path nested = dir_ / "sub" / "folder" / "era.ini";
    TIniFile ini(nested.string());
    EXPECT_EQ(ini.ReadInteger("S", "K", 7), 7);
    EXPECT_FALSE(ini.SectionExists("S"));
    ini.WriteString("S", "K", "v");
    EXPECT_TRUE(fs::exists(nested));
    EXPECT_EQ(TIniFile(nested.string()).ReadString("S", "K", ""), "v");
}

TEST_F(IniFileTest, IntegersAndBooleans) {
    WriteFile("[N]\nDec=42\nNeg=-5\nHex=0x1F\nHexAll=0xFFFFFFFF\nBad=12a\nEmpty=\nSpaced= 8 \nBig=99999999999\n"
              "True=1\nTwo=2\nZero=0\nWord=yes\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadInteger("N", "Dec", 0), 42);
    EXPECT_EQ(ini.ReadInteger("N", "Neg", 0), -5);
    EXPECT_EQ(ini.ReadInteger("N", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("N", "HexAll", 0), -1);
    EXPECT_EQ(ini.ReadInteger("N", "Bad", -3), -3);
    EXPECT_EQ(ini.ReadInteger("N", "Empty", -3), -3);
    EXPECT_EQ(ini.ReadInteger("N", "Spaced", -3), 8);
    EXPECT_EQ(ini.ReadInteger("N", "Big", -3), -3);
    EXPECT_TRUE(ini.ReadBool("N", "True", false));
    EXPECT_TRUE(ini.ReadBool("N", "Two", false));
    EXPECT_FALSE(ini.ReadBool("N", "Zero", true));
    EXPECT_TRUE(ini.ReadBool("N", "Word", true));   // not a number: the default
    ini.WriteBool("N", "W", true);
    ini.WriteInteger("N", "I", -12);
    EXPECT_NE(FileText().find("W=1\n"), std::string::npos);
    EXPECT_NE(FileText().find("I=-12\n"), std::string::npos);
}

TEST_F(IniFileTest, PlainValuesAreWrittenByteForByte) {
    TIniFile ini(path_);
    ini.WriteString("Context", "ACME_TREE", ".sales.acme");
    ini.WriteString("Context", "Path", "F:\\PUBLIC\\%DATA%");
    ini.WriteString("Context", "Quoted", "\"a \"\"b\"\"\"");
    EXPECT_EQ(FileText(), "[Context]\nACME_TREE=.sales.acme\nPath=F:\\PUBLIC\\%DATA%\nQuoted=\"a \"\"b\"\"\"\n");
}

TEST_F(IniFileTest, ValuesWithLineBreaksComeBackWhole) {
    const std::vector<std::string> values = {
        "line 1\r\nline 2", "a\nb\n", "cr\ronly", "%ESC%looks escaped", "100%\r\n%0A literal", std::string("nul\0in", 6)};
    {
        TIniFile ini(path_);
        for (size_t i = 0; i < values.size(); ++i) ini.WriteString("Attr - User", std::string("k").append(std::to_string(i)), values[i]);
    }
    std::string text = FileText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(values.size() + 1));   // one line each
    TIniFile again(path_);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(again.ReadString("Attr - User", std::string("k").append(std::to_string(i)), "-"), values[i]) << i;
    // A double-quoted multi-line text loses its quotes like any quoted value.
    again.WriteString("Attr - User", "q", "\"x\r\ny\"");
    EXPECT_EQ(again.ReadString("Attr - User", "q", "-"), "x\r\ny");
}

TEST_F(IniFileTest, ListsSectionsAndKeysInFileOrder) {
    WriteFile("[B]\nz=1\na=2\nM=3\n[A]\nk=\"v\"\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(ini.ReadSection("b"), (std::vector<std::string>{"z", "a", "M"}));
    EXPECT_EQ(ini.ReadSectionValues("A"), (std::vector<std::string>{"k=v"}));
    EXPECT_TRUE(ini.ValueExists("B", "m"));
    EXPECT_FALSE(ini.ValueExists("B", "x"));
    ini.WriteString("B", "new", "4");
    ini.WriteString("b", "A", "5");   // an existing key keeps its place
    EXPECT_EQ(ini.ReadSection("B"), (std::vector<std::string>{"z", "a", "M", "new"}));
    EXPECT_EQ(ini.ReadString("B", "a", ""), "5");
    ini.EraseSection("b");
    EXPECT_FALSE(ini.SectionExists("B"));
    EXPECT_EQ(FileText(), "[A]\nk=\"v\"\n");
    ini.Clear();
    EXPECT_TRUE(ini.ReadSections().empty());
}

TEST_F(IniFileTest, TwoStoresOnOneFileSeeEachOthersWrites) {
    TIniFile first(path_);
    TIniFile second(path_);
    EXPECT_EQ(second.ReadString("S", "K", "none"), "none");
    first.WriteString("S", "K", "from first");
    EXPECT_EQ(second.ReadString("S", "K", "none"), "from first");
    second.WriteString("S", "L", "from second");
    EXPECT_EQ(first.ReadString("S", "K", ""), "from first");
    EXPECT_EQ(first.ReadString("S", "L", ""), "from second");
}

TEST_F(IniFileTest, AFailedWriteLeavesTheOldFileAndTheStoreIntact) {
    WriteFile("[Settings]\nKeep=old\n");
    // A folder where the file should be makes every write fail (even for root).
    fs::create_directories(dir_ / "blocked");
    std::string blocked = (dir_ / "blocked" / "era.ini").string();
    std::ofstream(blocked) << "[Settings]\nKeep=old\n";
    fs::remove(blocked);
    fs::create_directories(blocked);   // now a directory: rename over it fails
    TIniFile bad(blocked);
    EXPECT_THROW(bad.WriteString("Settings", "Keep", "new"), EIniFileError);
    EXPECT_EQ(bad.ReadString("Settings", "Keep", "none"), "none");

    // A full disk: the file-size limit cuts the write short.
    TIniFile ini(path_);
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        ini.WriteString("Settings", "Big", std::string(1000, 'x'));
    } catch (const EIniFileError& e) {
        threw = true;
        EXPECT_NE(std::string(e.what()).find(path_), std::string::npos);
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_TRUE(threw);
    EXPECT_EQ(FileText(), "[Settings]\nKeep=old\n");
    EXPECT_FALSE(ini.ValueExists("Settings", "Big"));
    for (const auto& entry : fs::directory_iterator(dir_))   // no temporary file left behind
        EXPECT_FALSE(entry.path().filename().string().starts_with("era.ini.")) << entry.path();
}

TEST_F(IniFileTest, AnInterruptedWriteNeverLeavesAHalfWrittenFile) {
    std::string old = "[Settings]\n";
    for (int i = 0; i < 50; ++i) old += "Key" + std::to_string(i) + "=value " + std::to_string(i) + "\n";
    WriteFile(old);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The process dies in the middle of writing: SIGXFSZ at 100 bytes kills it.
        struct rlimit small {100, 100};
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::signal(SIGXFSZ, SIG_DFL);
        TIniFile ini(path_);
        try {
            ini.WriteString("Settings", "Key0", std::string(5000, 'n'));
        } catch (...) {
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(FileText(), old);
    EXPECT_EQ(TIniFile(path_).ReadString("Settings", "Key49", ""), "value 49");
}

TEST_F(IniFileTest, ExtraCarriageReturnsAtLineEndsDoNotChangeWhatAWriteKeeps) {
    // Found by the INI fuzz target: "K=v\r\r\n" read as "v\r", and once another key was written
    // the file said "K=v\r\n", which reads as "v".
    WriteFile("[S]\r\nK=v\r\r\n[T\r\r\r\n");
    TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("S", "K", "-"), "v");
    ini.WriteString("S", "Other", "x");
    EXPECT_EQ(TIniFile(path_).ReadString("S", "K", "-"), "v");
    TIniDocument document;
    document.Parse("[A]\nk=1\r\r\r\n\r\r\n;c\r\n");
    TIniDocument again;
    again.Parse(document.Render());
    EXPECT_EQ(again.Render(), document.Render());
}

TEST_F(IniFileTest, AFolderThatCannotBeWrittenLeavesTheStoreAsItWas) {
    // Root may write into a read-only folder, so the folder here is a plain file: every write
    // into it fails, whoever runs the test.
    const fs::path notAFolder = dir_ / "not-a-folder";
    std::ofstream(notAFolder) << "[S]\nK=old\n";
    const std::string inside = (notAFolder / "era.ini").string();
    TIniFile ini(inside);
    EXPECT_EQ(ini.ReadString("S", "K", "none"), "none");
    try {
        ini.WriteString("S", "K", "new");
        ADD_FAILURE() << "the write did not fail";
    } catch (const EIniFileError& e) {
        EXPECT_NE(std::string(e.what()).find(inside), std::string::npos) << e.what();
    }
    EXPECT_FALSE(ini.ValueExists("S", "K"));
    EXPECT_THROW(ini.Clear(), EIniFileError);
    std::ifstream in(notAFolder);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "[S]\nK=old\n");
}

TEST_F(IniFileTest, OnlyARegularFileIsRead) {
    // A folder reads as an empty store, and a device is never read (/dev/zero would not end).
    TIniFile folder(dir_.string());
    EXPECT_TRUE(folder.ReadSections().empty());
    TIniFile device("/dev/zero");
    EXPECT_TRUE(device.ReadSections().empty());
    EXPECT_EQ(device.ReadString("S", "K", "def"), "def");
}

TEST(MemIniFile, BehavesLikeTheFileStore) {
    TMemIniFile ini;
    ini.WriteString("Security Equals", "admin.acme", "2");
    ini.WriteString("admin.acme", "0", "bob.sales.acme");
    ini.WriteString("admin.acme", "1", "x\ny");
    EXPECT_EQ(ini.ReadInteger("security equals", "ADMIN.ACME", -1), 2);
    EXPECT_EQ(ini.ReadSectionValues("admin.acme"), (std::vector<std::string>{"0=bob.sales.acme", "1=x\ny"}));
    EXPECT_TRUE(ini.FileName().empty());
    ini.Clear();
    EXPECT_EQ(ini.ReadInteger("Security Equals", "admin.acme", -1), -1);
}

} // namespace
} // namespace era
