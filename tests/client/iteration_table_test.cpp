#include "client/client_text.h"
#include "client/iteration_table.h"

#include <gtest/gtest.h>

namespace era {

namespace {

struct TTestIteration : TIterationBase {
    int Step = 0;
};

} // namespace

TEST(IterationTable, AnUnfinishedBatchKeepsItsIterationUnderANewHandle) {
    TIterationTable table;
    TDSBuffer result;
    int32_t handle = NoIteration;
    auto fresh = NewIteration<TTestIteration>(7, DsvRead);
    fresh->Step = 3;
    EXPECT_EQ(table.EndBatch(handle, std::move(fresh), false, 0, result), 0);
    ASSERT_NE(handle, NoIteration);
    TTestIteration* resumed = table.Resume<TTestIteration>(handle, 7, DsvRead);
    ASSERT_NE(resumed, nullptr);
    EXPECT_EQ(resumed->Step, 3);
    // The last batch forgets it: the handle is -1 again and no longer continues anything.
    const int32_t old = handle;
    EXPECT_EQ(table.EndBatch(handle, nullptr, true, 0, result), 0);
    EXPECT_EQ(handle, NoIteration);
    EXPECT_EQ(table.Find(old), nullptr);
}

TEST(IterationTable, AHandleContinuesOnlyItsOwnContextAndKind) {
    struct TCase {
        const char* What;
        NWDSContextHandle Context;
        uint32_t Kind;
        bool Resumes;
    };
    const TCase cases[] = {
        {"same context and kind", 1, DsvList, true},
        {"another context", 2, DsvList, false},
        {"a read", 1, DsvRead, false},
        {"a listing of containers", 1, DsvListContainers, false},
        {"a search", 1, DsvSearch, false},
    };
    for (const auto& c : cases) {
        TIterationTable table;
        TDSBuffer result;
        int32_t handle = NoIteration;
        table.EndBatch(handle, NewIteration<TTestIteration>(1, DsvList), false, 0, result);
        int32_t given = handle;
        TTestIteration* resumed = table.Resume<TTestIteration>(given, c.Context, c.Kind);
        EXPECT_EQ(resumed != nullptr, c.Resumes) << c.What;
        EXPECT_EQ(given, c.Resumes ? handle : NoIteration) << c.What;
        EXPECT_EQ(table.Close(c.Context, handle), c.Context == 1 ? 0 : ErrInvalidHandle) << c.What;
    }
}

TEST(IterationTable, AFailedBatchIsEmptiedAndEndsTheIteration) {
    TIterationTable table;
    TDSBuffer result;
    int32_t handle = NoIteration;
    table.EndBatch(handle, NewIteration<TTestIteration>(1, DsvList), false, 0, result);
    ASSERT_TRUE(result.AddObject("admin", TObjectInfo{}));
    const int32_t old = handle;
    EXPECT_EQ(table.EndBatch(handle, nullptr, false, ErrInsufficientBuffer, result), ErrInsufficientBuffer);
    EXPECT_EQ(handle, NoIteration);
    EXPECT_TRUE(result.Objects().empty());
    EXPECT_EQ(table.Find(old), nullptr);
}

TEST(IterationTable, HandlesCountFromTheFirstAndAreNotGivenTwice) {
    TIterationTable table(0x40000000);
    TDSBuffer result;
    int32_t first = NoIteration, second = NoIteration;
    table.EndBatch(first, NewIteration<TTestIteration>(1, DsvRead), false, 0, result);
    table.EndBatch(second, NewIteration<TTestIteration>(1, DsvRead), false, 0, result);
    EXPECT_EQ(first, 0x40000000);
    EXPECT_EQ(second, 0x40000001);
}

TEST(ObjectBatch, CountsLimitsAndTellsWhenNotEvenOneFits) {
    TDSBuffer roomy(MaxMessageLen);
    TObjectBatch limited(roomy, 2);
    EXPECT_TRUE(limited.Add("a", TObjectInfo{}));
    EXPECT_FALSE(limited.Limited());
    EXPECT_TRUE(limited.Add("b", TObjectInfo{}));
    EXPECT_TRUE(limited.Limited());
    EXPECT_EQ(limited.Count(), 2);
    EXPECT_EQ(limited.Code(), 0);

    TDSBuffer tiny(4);
    TObjectBatch none(tiny);
    EXPECT_FALSE(none.Add(std::string(100, 'x'), TObjectInfo{}));
    EXPECT_EQ(none.Code(), ErrInsufficientBuffer);
}

TEST(FillReadBatch, AnAttributeGoesOnlyWithAValueAndTheNextBatchGoesOnFromTheCursor) {
    const std::vector<TBufferAttribute> attributes = {
        {"CN", SynCiString, {TTextValue{"admin"}}},
        {"Description", SynCiString, {TTextValue{std::string(40, 'd')}, TTextValue{std::string(40, 'e')}}},
    };
    auto attributeAt = [&](size_t i) {
        return TReadAttribute{attributes[i].Name, attributes[i].Syntax, attributes[i].Values.size()};
    };
    auto valueAt = [&](size_t i, size_t j) -> const TAttrValue& { return attributes[i].Values[j]; };
    // Room for everything: one batch, nothing left.
    TDSBuffer roomy(MaxMessageLen);
    TReadCursor all;
    NWCCODE code = -1;
    EXPECT_FALSE(FillReadBatch(roomy, DsAttributeValues, attributes.size(), all, attributeAt, valueAt, code));
    EXPECT_EQ(code, 0);
    ASSERT_EQ(roomy.Attributes().size(), 2u);
    EXPECT_EQ(roomy.Attributes()[1].Values.size(), 2u);
    // Room for the first attribute and one value of the second: the second value waits.
    TDSBuffer probe(MaxMessageLen);
    probe.AddAttribute("CN", SynCiString);
    probe.AddValue(attributes[0].Values[0]);
    probe.AddAttribute("Description", SynCiString);
    probe.AddValue(attributes[1].Values[0]);
    TDSBuffer small(probe.UsedBytes());
    TReadCursor cursor;
    EXPECT_TRUE(
        FillReadBatch(small, DsAttributeValues, attributes.size(), cursor, attributeAt, valueAt, code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(cursor.Next, 1u);
    EXPECT_EQ(cursor.NextValue, 1u);
    // A buffer too small for the first attribute with a value fails the read.
    TDSBuffer tiny(4);
    TReadCursor none;
    EXPECT_TRUE(FillReadBatch(tiny, DsAttributeValues, attributes.size(), none, attributeAt, valueAt, code));
    EXPECT_EQ(code, ErrInsufficientBuffer);
}

TEST(ClientText, SplitsAndReadsTheDirectorysSmallFormats) {
    EXPECT_EQ(SplitDollar(""), (std::vector<std::string>{""}));
    EXPECT_EQ(SplitDollar("a$$b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(CutUtf8("a\xC3\xA9", 2), "a"); // never half of "é"
    std::string server;
    uint32_t type = 9, number = 9;
    ParseReplicaPointer("FS1#2", server, type, number);
    EXPECT_EQ(server, "FS1");
    EXPECT_EQ(type, 2u);
    EXPECT_EQ(number, 9u); // absent: left as it was
    uint32_t value = 0;
    EXPECT_TRUE(ParseInteger("-1", value));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_FALSE(ParseInteger("4294967296", value));
    EXPECT_FALSE(ParseUnsigned("-1", value));
}

} // namespace era
