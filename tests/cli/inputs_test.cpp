// What the command makes of what a user types and of the files it is given: wildcards in search
// values, attribute names, rights letters in workstation files, files that are no files, and the
// messages for inputs it cannot use.

#include "run_era.h"

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace era::test {
namespace {

std::vector<std::string> WithSample(std::vector<std::string> args) {
    args.insert(args.begin(), {"--workstation", SampleWorkstation()});
    return args;
}

TEST(CliInputs, AStarInASearchValueIsAWildcard) {
    struct TCase {
        const char* Filter;
        const char* Out;
    } cases[] = {
        {"(CN=j*)", "jsmith.it.acme\njdoe.east.sales.acme\njlopez.west.sales.acme\njane.hr.acme\n"},
        {"(Surname=D*)", "jdoe.east.sales.acme\nvdavis.hr.acme\n"},
        {"(Surname=Doe)", "jdoe.east.sales.acme\n"},
        {"(Surname=D\\*)", ""},
    };
    for (const auto& c : cases) {
        const TRun run = RunEra(WithSample({"search", c.Filter}));
        EXPECT_EQ(run.Status, 0) << c.Filter << ": " << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Filter;
    }
}

TEST(CliInputs, RightsToAnAttributeTheSchemaDoesNotKnowAreAnError) {
    const TRun unknown = RunEra(WithSample({"rights", ".jdoe.east.sales.acme", ".hr.acme", "xyzzy"}));
    EXPECT_EQ(unknown.Status, 2);
    EXPECT_TRUE(unknown.Out.empty()) << unknown.Out;
    EXPECT_NE(unknown.Err.find("era: rights: unknown attribute \"xyzzy\"; expected an attribute of the schema, "
                               "[Entry Rights] or [All Attributes Rights]"),
              std::string::npos)
        << unknown.Err;
    // An attribute of the schema that the object does not hold is a fair question.
    const TRun known = RunEra(WithSample({"rights", ".admin.acme", ".hr.acme", "Surname"}));
    EXPECT_EQ(known.Status, 0) << known.Err;
    EXPECT_EQ(known.Out, "[CR    ]\n");
}

TEST(CliInputs, TheSpecialAttributeNamesMatchWithoutRegardToCase) {
    struct TCase {
        const char* Given;
        const char* Out;
    } cases[] = {
        {"[Entry Rights]", "[B    I]\n"},
        {"[entry rights]", "[B    I]\n"},
        {"[ENTRY RIGHTS]", "[B    I]\n"},
        {"[All Attributes Rights]", "[CR    ]\n"},
        {"[all attributes rights]", "[CR    ]\n"},
    };
    const TRun defaulted = RunEra(WithSample({"rights", ".admin.acme", ".hr.acme"}));
    EXPECT_EQ(defaulted.Out, "[B    I]\n");
    for (const auto& c : cases) {
        const TRun run = RunEra(WithSample({"rights", ".admin.acme", ".hr.acme", c.Given}));
        EXPECT_EQ(run.Status, 0) << c.Given << ": " << run.Err;
        EXPECT_EQ(run.Out, c.Out) << c.Given;
    }
}

TEST(CliInputs, ARelativeNameNotFoundGetsAHint) {
    struct TCase {
        std::vector<std::string> Args;
        const char* Message;
    } cases[] = {
        {{"ls", "vdavis"}, "U_DSListContainer (vdavis) failed: 0xFFFFFDA7 (no such entry); did you mean .vdavis.hr.acme?"},
        {{"attr", "vdavis.hr", "Surname"}, "(no such entry); did you mean .vdavis.hr.acme?"},
        {{"rights", "vdavis", ".hr.acme"}, "(no such entry); did you mean .vdavis.hr.acme?"},
        {{"rights", ".admin.acme", "jdoe"}, "(no such entry); did you mean .jdoe.east.sales.acme?"},
        {{"scan", "vdavis"}, "era: not found: .vdavis; did you mean .vdavis.hr.acme?"},
    };
    for (const auto& c : cases) {
        const TRun run = RunEra(WithSample(c.Args));
        EXPECT_EQ(run.Status, 1) << c.Message;
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
    }
    // No hint where nothing fits.
    const TRun nobody = RunEra(WithSample({"ls", "nobody"}));
    EXPECT_EQ(nobody.Status, 1);
    EXPECT_EQ(nobody.Err.find("did you mean"), std::string::npos) << nobody.Err;
    const TRun other = RunEra(WithSample({"scan", "vdavis.sales"}));
    EXPECT_EQ(other.Err.find("did you mean"), std::string::npos) << other.Err;
}

} // namespace
} // namespace era::test
