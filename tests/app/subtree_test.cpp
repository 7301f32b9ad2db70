// The subtree walk on the sample tree: its order, that it misses nothing, and where it cannot start.

#include "app/subtree.h"
#include "directory/completion_codes.h"
#include "directory/listing.h"
#include "sample_state.h"
#include "support/sample_subtree.h"

#include <algorithm>
#include <string>
#include <vector>

namespace era {
namespace {

class SubtreeWalk : public SampleStateTest {
protected:
    std::vector<std::string> Walk(const std::string& container) {
        TSubtreeWalk walk(state_.ScanContext.Get(), container);
        std::vector<std::string> names;
        for (std::string name; walk.Next(name);)
            names.push_back(name);
        EXPECT_TRUE(walk.Failures().empty()) << container;
        return names;
    }
};

TEST_F(SubtreeWalk, TheContainerFirstThenEachSubordinateByNameFollowedByItsOwnSubtree) {
    const std::vector<std::string>& expected = SalesSubtree();
    EXPECT_EQ(Walk(".sales.acme"), expected);
    // The name as the context resolves it, and in comma form through the same lookup as a scan.
    EXPECT_EQ(Walk("sales.acme"), expected);
}

TEST_F(SubtreeWalk, FromTheRootItGivesEveryObjectOfTheTreeOnce) {
    const std::vector<std::string> walked = Walk("[Root]");
    ASSERT_FALSE(walked.empty());
    EXPECT_EQ(walked.front(), "[Root]");
    TStringList listed;
    ASSERT_EQ(U_DSListTree(state_.ScanContext.Get(), "[Root]", listed, true, false, "", 0), 0);
    std::vector<std::string> expected = {"[Root]"};
    for (const auto& item : listed.Items())
        expected.push_back(item.Text);
    std::vector<std::string> sortedWalk = walked;
    std::sort(sortedWalk.begin(), sortedWalk.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(sortedWalk, expected);
    EXPECT_EQ(std::adjacent_find(sortedWalk.begin(), sortedWalk.end()), sortedWalk.end());
    EXPECT_EQ(CountSubtree(state_.ScanContext.Get(), "[Root]"), walked.size());
    // A subtree is a run of the whole walk: the container, then everything below it.
    const auto sales = std::find(walked.begin(), walked.end(), ".sales.acme");
    ASSERT_NE(sales, walked.end());
    EXPECT_TRUE(std::equal(SalesSubtree().begin(), SalesSubtree().end(), sales));
}

TEST_F(SubtreeWalk, ALeafIsItsOwnSubtreeAndAMissingContainerGivesNothing) {
    EXPECT_EQ(Walk(".jdoe.east.sales.acme"), std::vector<std::string>{".jdoe.east.sales.acme"});
    TSubtreeWalk missing(state_.ScanContext.Get(), ".nowhere.acme");
    std::string name;
    EXPECT_FALSE(missing.Next(name));
    EXPECT_EQ(missing.StartCode(), ErrNoSuchEntry);
    EXPECT_EQ(CountSubtree(state_.ScanContext.Get(), ".nowhere.acme"), 0u);
}

} // namespace
} // namespace era
