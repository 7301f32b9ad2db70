#include "support/recording_host.h"
#include "util/paths.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace era {

namespace fs = std::filesystem;

namespace {

// A temporary folder removed with everything in it when the test ends.
class TTempDir {
public:
    TTempDir() {
        std::string pattern = (fs::temp_directory_path() / "era-paths-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TTempDir() {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// A redirector that knows a few network folders and their stored names, and records what it is asked.
class TFakeResolver final : public TNetworkDirectoryResolver {
public:
    bool DirectoryExists(const std::string& path) override {
        Asked.push_back("exists " + path);
        return Folders.count(path) != 0;
    }
    bool StoredName(const std::string& path, std::string& name) override {
        Asked.push_back("name " + path);
        auto found = Folders.find(path);
        if (found == Folders.end()) return false;
        name = found->second;
        return true;
    }
    std::map<std::string, std::string> Folders;
    std::vector<std::string> Asked;
};

// Installs a fake resolver for one test and removes it afterwards.
class TResolverScope {
public:
    TResolverScope() {
        auto resolver = std::make_unique<TFakeResolver>();
        fake_ = resolver.get();
        previous_ = SetNetworkDirectoryResolver(std::move(resolver));
    }
    ~TResolverScope() { SetNetworkDirectoryResolver(std::move(previous_)); }
    TFakeResolver* operator->() const { return fake_; }

private:
    TFakeResolver* fake_;
    std::unique_ptr<TNetworkDirectoryResolver> previous_;
};

void SetArguments(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "/opt/era/era");
    SetProgramArguments(static_cast<int>(arguments.size()), arguments.data());
}

} // namespace

TEST(Paths, NetworkPathForms) {
    EXPECT_TRUE(IsNetworkPath("F:\\public"));
    EXPECT_TRUE(IsNetworkPath("f:"));
    EXPECT_TRUE(IsNetworkPath("\\\\server\\sys"));
    EXPECT_FALSE(IsNetworkPath("/home/user"));
    EXPECT_FALSE(IsNetworkPath("SYS:PUBLIC"));
    EXPECT_FALSE(IsNetworkPath("\\single"));
    EXPECT_FALSE(IsNetworkPath("1:\\x"));
    EXPECT_FALSE(IsNetworkPath(""));
}

TEST(Paths, TrailingDelimiters) {
    struct Case {
        const char* path;
        const char* added;
        const char* removed;
    };
    const Case cases[] = {
        {"F:\\public", "F:\\public\\", "F:\\public"},
        {"F:\\public\\\\", "F:\\public\\\\", "F:\\public\\"}, // only one delimiter goes
        {"/home/u/", "/home/u/", "/home/u"},
        {"/home/u", "/home/u/", "/home/u"},
        {"\\\\srv\\vol", "\\\\srv\\vol\\", "\\\\srv\\vol"},
        {"SYS:PUBLIC", "SYS:PUBLIC\\", "SYS:PUBLIC"},
        {"build", "build/", "build"},
        {"", "/", ""},
        {"a\\b/", "a\\b/", "a\\b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AddTrailingBackslash(c.path), c.added) << c.path;
        EXPECT_EQ(RemoveTrailingSlash(c.path), c.removed) << c.path;
    }
    EXPECT_EQ(JoinPath("/home/u/.config", "era.ini"), "/home/u/.config/era.ini");
    EXPECT_EQ(JoinPath("\\\\srv\\vol\\", "dir"), "\\\\srv\\vol\\dir");
    EXPECT_EQ(JoinPath("F:", "dir"), "F:\\dir");
}

TEST(Paths, SetFileExt) {
    struct Case {
        const char* path;
        const char* extension;
        const char* expected;
    };
    const Case cases[] = {
        {"/opt/era/era", "txt", "/opt/era/era.txt"},
        {"/opt/era/era", ".txt", "/opt/era/era.txt"},
        {"/opt/era/era.ini", "cache", "/opt/era/era.cache"},
        {"/opt/era/era.ini", "", "/opt/era/era"},
        {"/opt/e.r/era", "ini", "/opt/e.r/era.ini"}, // a dot in a folder is no extension
        {"/tmp/x.tar.gz", "zip", "/tmp/x.tar.zip"},
        {"/tmp/a:b.txt", "ini", "/tmp/a:b.ini"},
        {"F:\\dir.x\\file", "txt", "F:\\dir.x\\file.txt"},
        {"SYS:file.a", "b", "SYS:file.b"},
        {"SYS:dir.x", "", "SYS:dir"},
        {"noext", "", "noext"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SetFileExt(c.path, c.extension), c.expected) << c.path << " " << c.extension;
}

TEST(Paths, ProgramFile) {
    const std::string real = ProgramFile();
    EXPECT_EQ(real, fs::read_symlink("/proc/self/exe").string());
    EXPECT_EQ(fs::path(real).filename(), "era_tests_util");
    SetProgramFile("/opt/era/era");
    EXPECT_EQ(ProgramFileWithExt("ini"), "/opt/era/era.ini");
    SetProgramFile("");
    EXPECT_EQ(ProgramFile(), real);
}

TEST(Paths, DirExistsLocally) {
    TTempDir temp;
    WriteFile(temp.Path() + "/file", "x");
    EXPECT_TRUE(DirExists(temp.Path()));
    EXPECT_TRUE(DirExists(temp.Path() + "/"));
    EXPECT_FALSE(DirExists(temp.Path() + "/file"));
    EXPECT_FALSE(DirExists(temp.Path() + "/missing"));
    EXPECT_FALSE(DirExists(""));
}

TEST(Paths, DirExistsAsksTheResolverForNetworkPaths) {
    EXPECT_FALSE(DirExists("F:\\public")); // no resolver installed
    EXPECT_FALSE(DirExists("\\\\srv\\sys"));
    TResolverScope resolver;
    resolver->Folders = {{"F:\\public", "PUBLIC"}, {"\\\\srv\\sys", "SYS"}};
    EXPECT_TRUE(DirExists("F:\\public"));
    EXPECT_TRUE(DirExists("\\\\srv\\sys"));
    EXPECT_FALSE(DirExists("G:\\"));
    EXPECT_FALSE(DirExists("/tmp/F:\\public")); // a local path never reaches the redirector
    EXPECT_EQ(resolver->Asked,
              (std::vector<std::string>{"exists F:\\public", "exists \\\\srv\\sys", "exists G:\\"}));
}

TEST(Paths, PathFormShortIsThePathItself) {
    EXPECT_EQ(PathForm("/no/such/path", pfShort), "/no/such/path");
    EXPECT_EQ(PathForm("F:\\Program Files\\x", pfShort), "F:\\Program Files\\x");
    EXPECT_EQ(PathForm("/a/b/", 7), "/a/b/"); // modes nobody passes leave the path alone
}

TEST(Paths, PathFormLongLocal) {
    struct Case {
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"/tmp/a/b/", "/tmp/a/b"},
        {"/tmp", "/tmp"},
        {"/", "/"},
        {"a/b", "a/b"},
        {"name", "name"},
        {"", ""},
        {"/x//y", "/x/y"},
        {"/tmp/a:b/c", "/tmp/a:b/c"}, // ":" is part of a local name
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathForm(c.path, pfLong), c.expected) << c.path;
}

TEST(Paths, PathFormLongNetwork) {
    EXPECT_EQ(PathForm("C:\\", pfLong), "C:"); // a drive root loses its backslash
    EXPECT_EQ(PathForm("\\\\srv", pfLong), "\\\\srv");
    EXPECT_EQ(PathForm("F:\\public\\x", pfLong), "F:\\public\\x"); // no redirector: unchanged

    TResolverScope resolver;
    resolver->Folders = {
        {"\\\\srv\\share\\folder", "Folder"}, {"F:\\public", "PUBLIC"}, {"F:\\PUBLIC\\win", "Win"}};
    // Server and share are not converted: only the folder below them is asked for.
    EXPECT_EQ(PathForm("\\\\srv\\share\\folder\\", pfLong), "\\\\srv\\share\\Folder");
    EXPECT_EQ(resolver->Asked, (std::vector<std::string>{"name \\\\srv\\share\\folder"}));
    resolver->Asked.clear();
    // Each component is converted from the top down; an unknown one stays as it is.
    EXPECT_EQ(PathForm("F:\\public\\win\\unknown", pfLong), "F:\\PUBLIC\\Win\\unknown");
    EXPECT_EQ(resolver->Asked, (std::vector<std::string>{"name F:\\public", "name F:\\PUBLIC\\win",
                                                         "name F:\\PUBLIC\\Win\\unknown"}));
}

TEST(Paths, ConvertOemKeepsWholeCharacters) {
    EXPECT_EQ(ConvertOem("caf\xC3\xA9", true), "caf\xC3\xA9");
    EXPECT_EQ(ConvertOem(std::string("ab\0cd", 5), false), "ab");
    EXPECT_EQ(ConvertOem(std::string(600, 'x'), true).size(), 511u);
    EXPECT_EQ(ConvertOem(std::string(511, 'x'), true).size(), 511u);
    struct Case {
        const char* character;
        std::size_t kept;
    };
    const Case cases[] = {{"\xC3\xA9", 510}, {"\xE2\x82\xAC", 510}, {"\xF0\x9F\x98\x80", 508}};
    for (const Case& c : cases) {
        std::string text;
        while (text.size() < 600)
            text += c.character;
        const std::string converted = ConvertOem(text, false);
        EXPECT_EQ(converted.size(), c.kept) << c.character;
        EXPECT_EQ(converted, text.substr(0, c.kept));
    }
    // Bytes that are no UTF-8 at all are cut at the bound.
    EXPECT_EQ(ConvertOem(std::string(600, '\x80'), true).size(), 511u);
}

TEST(Paths, RemoveStrings) {
    TStringList a, b;
    for (const char* s : {"a", "B", "b", "c", "b"})
        a.Add(s);
    for (const char* s : {"b", "b", "x"})
        b.Add(s);
    RemoveStrings(&a, &b);
    EXPECT_EQ(a.Text(), "a\r\nc\r\nb\r\n"); // each string of b deletes the first equal one
    RemoveStrings(nullptr, &b);
    RemoveStrings(&a, nullptr);
    EXPECT_EQ(a.Count(), 3);
    RemoveStrings(&a, &a);
    EXPECT_EQ(a.Count(), 0);
}

TEST(Paths, AppendStrings) {
    TStringList a, b;
    a.Add("x");
    for (const char* s : {"y", "Y", "X", "z"})
        b.AddObject(s, 9);
    AppendStrings(&a, &b, false);
    EXPECT_EQ(a.Text(), "x\r\ny\r\nz\r\n");
    EXPECT_EQ(a.Objects(1), 9u);
    AppendStrings(&a, &b, true);
    EXPECT_EQ(a.Count(), 7);
    AppendStrings(&a, &a, true); // a list appended to itself doubles once
    EXPECT_EQ(a.Count(), 14);
    AppendStrings(&a, nullptr, true);
    AppendStrings(nullptr, &b, true);
    EXPECT_EQ(a.Count(), 14);
}

TEST(Paths, LoadTextFileAndProgramInfo) {
    TTempDir temp;
    const std::string program = temp.Path() + "/era";
    SetProgramFile(program);

    TStringList memo;
    LoadProgramInfo(memo);
    EXPECT_EQ(memo.Text(), "Could not find " + program + ".txt\r\n");

    WriteFile(program + ".txt", "\xEF\xBB\xBFline one\r\nline two\n");
    LoadProgramInfo(memo);
    EXPECT_EQ(memo.Text(), "line one\r\nline two\r\n");

    TStringList folder;
    LoadTextFile(folder, temp.Path()); // a folder cannot be loaded: the line stays
    EXPECT_EQ(folder.Text(), "Could not find " + temp.Path() + "\r\n");
    SetProgramFile("");
}

TEST(Paths, WaitCursorAndDialogGoThroughTheHost) {
    testing::TRecordingHostScope host;
    const TCursor previous = BeginWait();
    EXPECT_EQ(host->Cursor, crHourGlass);
    EndWait(previous);
    EXPECT_EQ(host->Cursor, crDefault);
    ShowDialog(dkError, "Error 0001: x");
    ASSERT_EQ(host->Dialogs.size(), 1u);
    EXPECT_EQ(host->Dialogs[0].Kind, dkError);
    EXPECT_EQ(host->Dialogs[0].Text, "Error 0001: x");
}

TEST(Paths, HasSwitch) {
    struct Case {
        std::vector<const char*> arguments;
        bool expected;
    };
    const Case cases[] = {
        {{}, false},         {{"DEBUG"}, true},   {{"/debug"}, true},    {{"\\\\Debug"}, true},
        {{"-debug"}, false}, {{"/DEB"}, false},   {{"DEBUGGER"}, false}, {{"x", "//\\DeBuG"}, true},
        {{"/"}, false},      {{"debug2"}, false},
    };
    for (const Case& c : cases) {
        SetArguments(c.arguments);
        EXPECT_EQ(HasSwitch("DEBUG", 5), c.expected) << (c.arguments.empty() ? "(none)" : c.arguments.back());
    }
    SetArguments({"/deb"});
    EXPECT_TRUE(HasSwitch("debug", 3));
    EXPECT_FALSE(HasSwitch("DE", 3)); // a name shorter than the minimum never matches
    // The program path itself is never examined.
    const char* only[] = {"DEBUG"};
    SetProgramArguments(1, only);
    EXPECT_FALSE(HasSwitch("DEBUG", 5));
    SetProgramArguments(0, nullptr);
}

} // namespace era
