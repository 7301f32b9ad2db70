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

} // namespace
} // namespace era::test
