// The command table against what it is made into: --help names every command and option where
// the parser takes them, and the parser takes exactly the options the table gives each command.

#include "cli/options.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <sstream>

namespace era {
namespace {

bool Takes(const TCommandSpec& command, const std::string& option) {
    return std::ranges::find(command.Options, option) != command.Options.end();
}

// A line of arguments the command accepts: its fewest operands, each a name.
std::vector<std::string> Accepted(const TCommandSpec& command) {
    std::vector<std::string> args = {command.Name};
    for (size_t i = 0; i < MinOperands(command); ++i)
        args.push_back(".x" + std::to_string(i));
    return args;
}

// The option with a value the command takes (--scope and --jobs a number, --format one that needs
// --save too where the command saves, JSON where it does not).
std::vector<std::string> WithOption(const TOptionSpec& option, const TCommandSpec& command) {
    std::vector<std::string> args = {option.Name};
    const std::string name = option.Name;
    if (option.Value) args.push_back(name == "--scope" || name == "--jobs" ? "1" : "X.txt");
    if (std::string(option.Name) == "--format") {
        if (std::ranges::find(command.Options, "--save") != command.Options.end())
            args.insert(args.end(), {"--save", "out.txt"});
        else
            args.back() = "json";
    }
    return args;
}

std::optional<TCommandLine> Parse(std::vector<std::string> args, std::string& error) {
    return ParseCommandLine(args, error);
}

// The lines of --help from the one that starts with the heading to the next empty one.
std::string HelpSection(const std::string& heading) {
    const std::string help = UsageText();
    const size_t start = help.find("\n" + heading);
    if (start == std::string::npos) return {};
    const size_t end = help.find("\n\n", start + 1);
    return help.substr(start + 1, end == std::string::npos ? std::string::npos : end - start);
}

// The heading of the --help section that describes the option ("Options of scan and scan-path:").
std::string SectionHeadingOf(const std::string& term) {
    const std::string help = UsageText();
    const size_t at = help.find("\n  " + term);
    if (at == std::string::npos) return {};
    const size_t blank = help.rfind("\n\n", at);
    const size_t lineEnd = help.find('\n', blank + 2);
    return help.substr(blank + 2, lineEnd - blank - 2);
}

TEST(CommandTable, HelpListsEveryCommandWithItsSynopsisAndText) {
    const std::string commands = HelpSection("Commands:");
    ASSERT_FALSE(commands.empty());
    for (const auto& command : CommandTable()) {
        const std::string synopsis = Synopsis(command);
        EXPECT_NE(commands.find("\n  " + synopsis + (synopsis.size() < 21 ? " " : "\n")), std::string::npos)
            << synopsis;
        std::istringstream text(command.Help);
        for (std::string line; std::getline(text, line);)
            EXPECT_NE(commands.find(line + "\n"), std::string::npos) << command.Name << ": " << line;
    }
}

TEST(CommandTable, HelpDescribesEveryOptionWhereTheParserTakesIt) {
    for (const auto& option : OptionTable()) {
        const std::string term =
            std::string(option.Name) + (option.Value ? std::string(" ") + option.Value : "");
        switch (option.Place) {
        case TOptionPlace::Global:
            EXPECT_NE(HelpSection("Global options:").find("\n  " + term + " "), std::string::npos) << term;
            break;
        case TOptionPlace::Synopsis:
            // In the synopsis of each command that takes it.
            for (const auto& command : CommandTable())
                EXPECT_EQ(Synopsis(command).find("[" + term + "]") != std::string::npos,
                          Takes(command, option.Name))
                    << command.Name << " " << term;
            break;
        case TOptionPlace::Shared: {
            // In a section whose heading names exactly the commands that take it.
            const std::string heading = SectionHeadingOf(term);
            ASSERT_TRUE(heading.starts_with("Options of ")) << term << ": " << heading;
            std::vector<std::string> named;
            std::string list = heading.substr(11, heading.size() - 12) + ", ";
            for (size_t and_ = list.find(" and "); and_ != std::string::npos; and_ = list.find(" and "))
                list.replace(and_, 5, ", ");
            for (size_t comma = list.find(", "); comma != std::string::npos; comma = list.find(", ")) {
                named.push_back(list.substr(0, comma));
                list.erase(0, comma + 2);
            }
            std::vector<std::string> taking;
            for (const auto& command : CommandTable())
                if (Takes(command, option.Name)) taking.push_back(command.Name);
            EXPECT_EQ(named, taking) << term << ": " << heading;
            break;
        }
        }
    }
}

TEST(CommandTable, EveryOptionIsGlobalOrTakenBySomeCommand) {
    for (const auto& option : OptionTable()) {
        if (option.Place == TOptionPlace::Global) continue;
        EXPECT_TRUE(std::ranges::any_of(CommandTable(), [&](const auto& c) { return Takes(c, option.Name); }))
            << option.Name;
    }
    for (const auto& command : CommandTable())
        for (const auto& name : command.Options) {
            const TOptionSpec* option = FindOption(name);
            ASSERT_NE(option, nullptr) << command.Name << " " << name;
            EXPECT_NE(option->Place, TOptionPlace::Global) << command.Name << " " << name;
        }
}

TEST(CommandTable, EachCommandTakesItsOptionsAndRefusesTheOthers) {
    for (const auto& command : CommandTable())
        for (const auto& option : OptionTable()) {
            auto args = Accepted(command);
            const auto given = WithOption(option, command);
            args.insert(args.begin() + 1, given.begin(), given.end());
            std::string error;
            const auto line = Parse(args, error);
            if (option.Place == TOptionPlace::Global || Takes(command, option.Name)) {
                EXPECT_TRUE(line.has_value()) << command.Name << " " << option.Name << ": " << error;
            } else {
                EXPECT_FALSE(line.has_value()) << command.Name << " " << option.Name;
                EXPECT_EQ(error, "unknown option " + std::string(option.Name) + " for " + command.Name);
            }
        }
}

TEST(CommandTable, OptionsWithAValueNeedOneAndSwitchesTakeNone) {
    for (const auto& command : CommandTable())
        for (const auto& name : command.Options) {
            const TOptionSpec& option = *FindOption(name);
            std::string error;
            if (option.Value) {
                auto args = Accepted(command);
                args.push_back(name); // the last argument: no value follows
                EXPECT_FALSE(Parse(args, error)) << name;
                EXPECT_EQ(error, "option " + name + " expects a value");
            } else {
                auto args = Accepted(command);
                args.push_back(name + "=yes");
                EXPECT_FALSE(Parse(args, error)) << name;
                EXPECT_EQ(error, "option " + name + " takes no value");
            }
        }
}

TEST(CommandTable, EachCommandTakesAsManyOperandsAsItsSynopsisShows) {
    for (const auto& command : CommandTable()) {
        const size_t fewest = MinOperands(command), most = MaxOperands(command);
        std::string error;
        EXPECT_TRUE(Parse(Accepted(command), error)) << command.Name << ": " << error;
        if (fewest > 0) {
            auto args = Accepted(command);
            args.pop_back();
            EXPECT_FALSE(Parse(args, error)) << command.Name;
            EXPECT_TRUE(error.starts_with(std::string(command.Name) + " expects " + command.Operands))
                << error;
        }
        auto args = Accepted(command);
        while (args.size() - 1 < std::min<size_t>(most, fewest + 3))
            args.push_back(".y");
        EXPECT_TRUE(Parse(args, error)) << command.Name << ": " << error;
        if (most != SIZE_MAX) {
            args.push_back(".z");
            EXPECT_FALSE(Parse(args, error)) << command.Name;
        }
    }
}

TEST(CommandTable, UnknownCommandsAndTheMissingOneNameEveryCommand) {
    std::string expected;
    for (const auto& command : CommandTable())
        expected += (expected.empty() ? "" : ", ") + std::string(command.Name);
    std::string error;
    EXPECT_FALSE(Parse({"nope"}, error));
    EXPECT_EQ(error, "unknown command \"nope\"; expected one of " + expected);
    EXPECT_FALSE(Parse({"--debug"}, error));
    EXPECT_EQ(error, "no command given; expected one of " + expected);
}

} // namespace
} // namespace era
