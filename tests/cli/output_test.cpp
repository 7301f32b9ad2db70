// What the era command writes, and that it can be trusted: names cannot forge lines or columns.

#include "run_era.h"

#include <cstring>

namespace era::test {
namespace {

namespace fs = std::filesystem;

const std::string Forged = std::string(ERA_TEST_DATA_DIR) + "/client/forged.json";

bool HoldsControlCharacters(const std::string& text, bool tabsAllowed) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n' || (c == '\t' && tabsAllowed)) continue;
        if (byte < 0x20 || byte == 0x7F) return true;
    }
    return false;
}

std::vector<std::string> LinesOf(const std::string& text, const char* end = "\n") {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = text.find(end, start)) != std::string::npos; start = at + std::strlen(end))
        lines.push_back(text.substr(start, at - start));
    return lines;
}

size_t Count(const std::string& text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }

TEST(CliOutput, NamesWithControlCharactersCannotForgeRowsOrColumns) {
    // The tree names a trustee whose name holds a line break followed by a whole forged summary
    // row, and one whose name holds a terminal escape sequence.
    const TRun scan = RunEra({"--workstation", Forged, "scan", ".x"});
    ASSERT_EQ(scan.Status, 0) << scan.Err;
    EXPECT_FALSE(HoldsControlCharacters(scan.Out, true)) << scan.Out;
    size_t rows = 0;
    for (const std::string& line : LinesOf(scan.Out)) {
        EXPECT_FALSE(line.starts_with("Effective Trustee:\tUser\t[BCDRAI]\t.fake.org")) << line;
        if (!line.starts_with("Effective Trustee:")) continue;
        ++rows;
        EXPECT_EQ(Count(line, '\t'), 4u) << line;   // class, rights, trustee, attribute
    }
    EXPECT_EQ(rows, 2u) << scan.Out;
    EXPECT_NE(scan.Out.find("\t.evil\\nEffective Trustee:\\tUser\\t[BCDRAI]\\t"), std::string::npos) << scan.Out;
    EXPECT_NE(scan.Out.find("\t.red\\x1b[31malert.x\t"), std::string::npos) << scan.Out;

    // The details, the troubleshooting log and the listings escape the same way.
    const TRun details = RunEra({"--workstation", Forged, "--debug", "scan", "--details", ".x"});
    EXPECT_FALSE(HoldsControlCharacters(details.Out, true)) << details.Out;
    EXPECT_FALSE(HoldsControlCharacters(details.Err, false)) << details.Err;
    EXPECT_NE(details.Out.find(".evil\\nEffective Trustee:\\tUser"), std::string::npos) << details.Out;
    const std::vector<std::vector<std::string>> listings = {
        {"ls", ".x"}, {"search", "(Surname=Evil)"}, {"search", "(Surname=Red)"}, {"trees"}};
    for (const auto& args : listings) {
        std::vector<std::string> all = {"--workstation", Forged};
        all.insert(all.end(), args.begin(), args.end());
        const TRun run = RunEra(all);
        EXPECT_EQ(run.Status, 0) << args[0] << ": " << run.Err;
        EXPECT_FALSE(HoldsControlCharacters(run.Out, false)) << args[0] << ": " << run.Out;
    }
    const TRun ls = RunEra({"--workstation", Forged, "ls", ".x"});
    EXPECT_NE(ls.Out.find("User: evil\\nEffective Trustee:\\tUser\\t[BCDRAI]"), std::string::npos) << ls.Out;
    EXPECT_NE(ls.Out.find("User: red\\x1b[31malert\n"), std::string::npos) << ls.Out;
}

} // namespace
} // namespace era::test
