#include "util/shell.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace era {

namespace fs = std::filesystem;

namespace {

// Sets (or, with nullptr, unsets) an environment variable and puts the old value back afterwards.
class TEnvScope {
public:
    TEnvScope(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~TEnvScope() {
        if (had_)
            ::setenv(name_.c_str(), old_.c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }

private:
    std::string name_, old_;
    bool had_ = false;
};

class TTempDir {
public:
    TTempDir() {
        std::string pattern = (fs::temp_directory_path() / "era-shell-XXXXXX").string();
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

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

// A script that writes its working directory and arguments into the output file, then renames it
// into place so that a reader never sees half of it.
std::string WriteRecorder(const std::string& folder, const std::string& output) {
    fs::create_directories(folder);
    const std::string script = folder + "/record.sh";
    std::ofstream(script) << "#!/bin/sh\n{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; } > '" << output
                          << ".tmp' && mv '" << output << ".tmp' '" << output << "'\n";
    ::chmod(script.c_str(), 0755);
    return script;
}

} // namespace

TEST(Shell, AppDataFolderFollowsXdg) {
    {
        TEnvScope config("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(ShellFolder("AppData"), "/srv/config");
        EXPECT_EQ(ShellFolder("appdata"), "/srv/config");
        EXPECT_EQ(ShellFolder("Desktop"), "");
    }
    TEnvScope home("HOME", "/home/tester");
    {
        TEnvScope config("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(ShellFolder("AppData"), "/home/tester/.config");
    }
    {
        TEnvScope config("XDG_CONFIG_HOME", "relative/dir"); // not absolute: ignored
        EXPECT_EQ(ShellFolder("AppData"), "/home/tester/.config");
    }
    {
        TEnvScope config("XDG_CONFIG_HOME", "");
        EXPECT_EQ(ShellFolder("AppData"), "/home/tester/.config");
    }
}

TEST(Shell, EnvVar) {
    TEnvScope set("ERA_TEST_VALUE", "some value");
    EXPECT_EQ(EnvVar("ERA_TEST_VALUE"), "some value");
    TEnvScope unset("ERA_TEST_MISSING", nullptr);
    EXPECT_EQ(EnvVar("ERA_TEST_MISSING"), "");
}

TEST(Shell, BuiltinWords) {
    for (const char* word : {"CD", "COPY", "DEL", "DIR", "ECHO", "MD", "PATH", "PROMPT", "REM", "REN", "RD",
                             "SET", "TRUENAME", "TYPE", "VER", "dir", "Echo", "truename"}) {
        EXPECT_TRUE(IsShellBuiltin(word)) << word;
    }
    for (const char* word : {"ls", "", "DIRS", "cmd", "xdg-open"})
        EXPECT_FALSE(IsShellBuiltin(word)) << word;
}

TEST(Shell, SplitParameters) {
    struct Case {
        const char* text;
        std::vector<std::string> arguments;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {"a b", {"a", "b"}},
        {"  a \t b  ", {"a", "b"}},
        {"\"two words\" x", {"two words", "x"}},
        {"pre\"fix mid\"post", {"prefix midpost"}},
        {"\"\" x", {"", "x"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitParameters(c.text), c.arguments) << c.text;
}

TEST(Shell, BuiltinRunsInTheInterpreter) {
    {
        TEnvScope shell("SHELL", "/bin/bash");
        const TShellLaunch launch = ResolveCommand("dir /w");
        EXPECT_EQ(launch.Program, "/bin/bash");
        EXPECT_EQ(launch.Arguments, (std::vector<std::string>{"-c", "dir /w"}));
        EXPECT_EQ(launch.WorkingDirectory, "");
    }
    TEnvScope shell("SHELL", nullptr);
    const TShellLaunch launch = ResolveCommand("ECHO hello  world");
    EXPECT_EQ(launch.Program, "/bin/sh");
    EXPECT_EQ(launch.Arguments, (std::vector<std::string>{"-c", "ECHO hello  world"}));
}

TEST(Shell, AddressesGoToTheDesktopOpener) {
    for (const char* address : {"https://example.org/era", "mailto:admin@example.org", "www.example.org"}) {
        const TShellLaunch launch = ResolveCommand(address);
        EXPECT_EQ(launch.Program, "xdg-open") << address;
        EXPECT_EQ(launch.Arguments, (std::vector<std::string>{address}));
        EXPECT_EQ(launch.WorkingDirectory, "");
    }
}

TEST(Shell, ProgramPathWithBlanksNeedsNoQuotes) {
    TTempDir temp;
    const std::string folder = temp.Path() + "/my tools";
    const std::string script = WriteRecorder(folder, temp.Path() + "/out");
    const TShellLaunch launch = ResolveCommand(script + " first \"two words\"");
    EXPECT_EQ(launch.Program, script);
    EXPECT_EQ(launch.Arguments, (std::vector<std::string>{"first", "two words"}));
    EXPECT_EQ(launch.WorkingDirectory, folder);
}

TEST(Shell, TwoBlanksStopTheSearch) {
    TTempDir temp;
    const std::string script = WriteRecorder(temp.Path() + "/a  b", temp.Path() + "/out");
    // The search stops at the empty word between the blanks; the first word names nothing.
    const TShellLaunch missing = ResolveCommand(script);
    EXPECT_EQ(missing.Program, "");
    EXPECT_EQ(missing.Error, ShellFileNotFound);
    // The first word is then the program, here one on the search path.
    const TShellLaunch onPath = ResolveCommand("sh  -c true");
    EXPECT_EQ(fs::path(onPath.Program).filename(), "sh");
    EXPECT_TRUE(fs::path(onPath.Program).is_absolute());
    EXPECT_EQ(onPath.Arguments, (std::vector<std::string>{"-c", "true"}));
    EXPECT_EQ(onPath.WorkingDirectory, "");
}

TEST(Shell, DocumentsAndFoldersGoToTheDesktopOpener) {
    TTempDir temp;
    const std::string document = temp.Path() + "/notes.txt";
    std::ofstream(document) << "text";
    const TShellLaunch launch = ResolveCommand(document + " ignored");
    EXPECT_EQ(launch.Program, "xdg-open");
    EXPECT_EQ(launch.Arguments, (std::vector<std::string>{document}));
    EXPECT_EQ(launch.WorkingDirectory, temp.Path());
    const TShellLaunch folder = ResolveCommand(temp.Path());
    EXPECT_EQ(folder.Program, "xdg-open");
    EXPECT_EQ(folder.Arguments, (std::vector<std::string>{temp.Path()}));
}

TEST(Shell, NothingToStartIsFileNotFound) {
    EXPECT_EQ(ResolveCommand("").Error, ShellFileNotFound);
    EXPECT_EQ(ResolveCommand("era-no-such-program --flag").Error, ShellFileNotFound);
    EXPECT_EQ(RunCommand("era-no-such-program --flag", SwShowNormal), ShellFileNotFound);
    EXPECT_EQ(OpenDocument("/no/such/folder/file.txt"), ShellFileNotFound);
}

TEST(Shell, StartsTheFoundProgramInItsFolder) {
    TTempDir temp;
    const std::string folder = temp.Path() + "/bin dir";
    const std::string output = temp.Path() + "/out";
    const std::string script = WriteRecorder(folder, output);
    pid_t child = 0;
    ASSERT_EQ(StartProgram(ResolveCommand(script + " one \"two three\""), &child), ShellStarted);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFile(output), folder + "\n[one]\n[two three]\n");
}

TEST(Shell, RunCommandStartsWithoutWaiting) {
    TTempDir temp;
    const std::string output = temp.Path() + "/out";
    const std::string script = WriteRecorder(temp.Path() + "/tools", output);
    const int result = RunCommand(script + " alone", SwShowNormal);
    EXPECT_GT(result, 32);
    // The program runs on its own; give it a few seconds to leave its note.
    for (int i = 0; i < 200 && !fs::exists(output); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    EXPECT_EQ(ReadFile(output), temp.Path() + "/tools\n[alone]\n");
}

TEST(Shell, SpawnFailuresGiveShellCodes) {
    TTempDir temp;
    TShellLaunch launch;
    launch.Program = temp.Path() + "/missing";
    EXPECT_EQ(StartProgram(launch), ShellFileNotFound);

    const std::string script = WriteRecorder(temp.Path() + "/tools", temp.Path() + "/out");
    launch = ResolveCommand(script);
    launch.WorkingDirectory = temp.Path() + "/gone";
    EXPECT_EQ(StartProgram(launch), ShellFileNotFound);

    const std::string garbage = temp.Path() + "/garbage";
    std::ofstream(garbage) << "\x01\x02\x03 not a program";
    ::chmod(garbage.c_str(), 0755);
    launch = ResolveCommand(garbage);
    EXPECT_EQ(launch.Program, garbage);
    EXPECT_EQ(StartProgram(launch), ShellBadFormat);

    TShellLaunch nothing;
    nothing.Error = ShellPathNotFound;
    EXPECT_EQ(StartProgram(nothing), ShellPathNotFound);
}

} // namespace era
