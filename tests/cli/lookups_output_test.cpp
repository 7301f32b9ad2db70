// The command prints what the lookups of app/ give, line for line: the desktop program that uses
// them shows the same answers.

#include "app/lookups.h"
#include "app/sample_state.h"
#include "run_era.h"
#include "util/text.h"

#include <functional>

namespace era::test {
namespace {

class LookupOutput : public SampleStateTest {};

TEST_F(LookupOutput, EachLookupCommandPrintsTheLookupsLines) {
    const NWDSContextHandle context = state_.ScanContext.Get();
    const struct {
        std::vector<std::string> Args;
        std::function<TLookup()> Lookup;
    } cases[] = {
        {{"ls"}, [&] { return ListContainer(context, ""); }},
        {{"ls", "ou=sales,o=acme"}, [&] { return ListContainer(context, "ou=sales,o=acme"); }},
        {{"attr", ".sales-managers.sales.acme", "Member|Telephone Number"},
         [&] { return AttributeLines(context, ".sales-managers.sales.acme", "Member|Telephone Number"); }},
        {{"search", "(CN=j*)"}, [&] { return SearchObjects(context, "[Root]", "(CN=j*)", 2, ""); }},
        {{"search", "--base", ".sales.acme", "--scope", "1", "--template", "%CN%", "(CN=*)"},
         [&] { return SearchObjects(context, ".sales.acme", "(CN=*)", 1, "%CN%"); }},
        {{"rights", ".admin.acme", ".hr.acme"},
         [&] { return EffectiveRights(context, ".admin.acme", ".hr.acme", ""); }},
        {{"rights", "cn=jdoe,ou=east,ou=sales,o=acme", ".sales.acme", "[all attributes rights]"},
         [&] {
             return EffectiveRights(context, "cn=jdoe,ou=east,ou=sales,o=acme", ".sales.acme",
                                    "[all attributes rights]");
         }},
    };
    for (const auto& c : cases) {
        const TLookup lookup = c.Lookup();
        ASSERT_EQ(lookup.Outcome, TLookupOutcome::Done) << c.Args.front();
        std::string expected;
        for (const auto& line : lookup.Lines.Items())
            expected += EscapeControls(line.Text) + "\n";
        std::vector<std::string> args = {"--workstation", SampleWorkstation()};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const TRun run = RunEra(args);
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_FALSE(expected.empty()) << c.Args.front();
        EXPECT_EQ(run.Out, expected) << c.Args.front();
    }
}

} // namespace
} // namespace era::test
