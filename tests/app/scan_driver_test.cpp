#include "sample_state.h"

namespace era {
namespace {

using ScanDriver = SampleStateTest;

TEST_F(ScanDriver, TellsTheLinesOfEachPartAsSoonAsItIsDone) {
    for (const char* object : {".vdavis.hr.acme", ".nobody.acme", ".hr.acme"}) state_.CheckListBoxEdir.Add(object, true);
    struct TCall {
        bool Summary;
        int From;
        int Count;
        bool LaterItemScanned;   // whether the detail memo already held the last item then
    };
    std::vector<TCall> calls;
    const auto holdsHr = [this] {
        for (const auto& line : state_.MemoDebug.Items())
            if (line.Text.find("Object: \".hr.acme\"") != std::string::npos) return true;
        return false;
    };
    state_.OnMemoLines = [&](const TStringList& memo, int from) {
        calls.push_back({&memo == &state_.MemoStandard, from, memo.Count(), holdsHr()});
    };
    state_.DoTheJob();

    // The header block to both memos, then per item its trace and its summary.
    ASSERT_EQ(calls.size(), 2u + 3u * 2u);
    int summaryEnd = 0, detailEnd = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        const TCall& c = calls[i];
        int& end = c.Summary ? summaryEnd : detailEnd;
        EXPECT_EQ(c.From, end) << "call " << i;   // each call starts where the last one of its memo ended
        end = c.Count;
        if (i < 6) {
            EXPECT_FALSE(c.LaterItemScanned) << "call " << i;
        }
    }
    EXPECT_EQ(summaryEnd, state_.MemoStandard.Count());
    EXPECT_EQ(detailEnd, state_.MemoDebug.Count());
    EXPECT_TRUE(calls[1].Summary);          // header
    EXPECT_TRUE(calls[3].Summary);          // the first item's summary, before the second item ran
    EXPECT_GT(calls[3].Count, calls[3].From);
}

TEST_F(ScanDriver, CountsTheItemsItAnalysed) {
    for (const char* object : {".nobody.acme", ".admin.acme", ".nope.acme"}) state_.CheckListBoxEdir.Add(object, true);
    state_.DoTheJob();
    EXPECT_EQ(state_.ItemsDone, 1);
    EXPECT_EQ(state_.MissingItems, (std::vector<std::string>{".nobody.acme", ".nope.acme"}));
    state_.CheckListBoxEdir.Clear();
    state_.CheckListBoxEdir.Add(".nobody.acme", true);
    state_.DoTheJob();   // a new scan counts afresh
    EXPECT_EQ(state_.ItemsDone, 0);
}

} // namespace
} // namespace era
