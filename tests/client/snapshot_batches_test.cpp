#include "client_fixture.h"

#include <map>
#include <set>

namespace era {

using namespace era::test;

namespace {

// A tree with one big container and one group with many members, written for the test.
std::string WriteBigTree(const TTempFolder& folder, int users) {
    std::string ldif = "dn: o=big\nobjectClass: organization\no: big\n\n"
                       "dn: ou=many,o=big\nobjectClass: organizationalUnit\nou: many\n\n";
    for (int i = 0; i < users; ++i) {
        ldif += "dn: cn=user" + std::to_string(i) + ",ou=many,o=big\nobjectClass: inetOrgPerson\nsn: U\n\n";
        if (i % 10 == 0) ldif += "dn: ou=sub" + std::to_string(i) + ",ou=many,o=big\nobjectClass: organizationalUnit\n\n";
    }
    ldif += "dn: cn=all,o=big\nobjectClass: groupOfNames\n";
    for (int i = 0; i < users; ++i) ldif += "member: cn=user" + std::to_string(i) + ",ou=many,o=big\n";
    ldif += "description: " + std::string(70000, 'x') + "\n";
    folder.Write("big.ldif", ldif);
    return folder.Write("big.json", R"({ "trees": [ { "name": "BIG", "ldif": "big.ldif" } ] })");
}

} // namespace

TEST(SnapshotBatches, ReadsOfManyValuesTakeSeveralCallsAndLoseNothing) {
    TTempFolder folder;
    auto client = Load(WriteBigTree(folder, 3000));
    ASSERT_TRUE(client);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    for (uint32_t size : {DefaultMessageLen, MaxMessageLen}) {
        auto read = ReadAll(*client, context, "all.big", "Member", size);
        ASSERT_EQ(read.Code, 0);
        EXPECT_GT(read.Batches, 1) << size;
        auto members = Texts(read.Values);
        ASSERT_EQ(members.size(), 3000u);
        for (int i = 0; i < 3000; ++i) ASSERT_EQ(members[static_cast<size_t>(i)], "user" + std::to_string(i) + ".many.big");
    }
}

TEST(SnapshotBatches, AValueTooBigForAnEmptyBufferFails) {
    TTempFolder folder;
    auto client = Load(WriteBigTree(folder, 10));
    ASSERT_TRUE(client);
    TContext context(*client);
    EXPECT_EQ(ReadAll(*client, context, "all.big", "Description", DefaultMessageLen).Code, ErrInsufficientBuffer);
    auto read = ReadAll(*client, context, "all.big", "Description", 80000);
    ASSERT_EQ(read.Code, 0);
    ASSERT_EQ(read.Values.size(), 1u);
    EXPECT_EQ(std::get<TTextValue>(read.Values[0]).Text.size(), 70000u);
}

TEST(SnapshotBatches, AllAttributesComeBackWhateverTheBufferSize) {
    TTempFolder folder;
    auto client = Load(WriteBigTree(folder, 1500));
    ASSERT_TRUE(client);
    TContext context(*client);
    int32_t iteration = -1;
    std::map<std::string, size_t> counts;
    int batches = 0;
    // The description alone needs a buffer bigger than the usual ones.
    TDSBuffer big(MaxMessageLen + 20000);
    do {
        ASSERT_EQ(client->NWDSRead(context, "all.big", DsAttributeValues, true, nullptr, iteration, big), 0);
        ++batches;
        for (const auto& attribute : big.Attributes()) counts[attribute.Name] += attribute.Values.size();
    } while (iteration != -1);
    EXPECT_EQ(counts["Member"], 1500u);
    EXPECT_EQ(counts["Description"], 1u);
    EXPECT_EQ(counts["Object Class"], 1u);
    EXPECT_GE(batches, 2);
    // Names only.
    TDSBuffer result(DefaultMessageLen);
    iteration = -1;
    ASSERT_EQ(client->NWDSRead(context, "all.big", DsAttributeNames, true, nullptr, iteration, result), 0);
    EXPECT_EQ(iteration, -1);
    EXPECT_EQ(result.Attributes().size(), 3u);
    for (const auto& attribute : result.Attributes()) EXPECT_TRUE(attribute.Values.empty());
}

TEST(SnapshotBatches, ListingsOfBigContainersTakeSeveralCalls) {
    TTempFolder folder;
    auto client = Load(WriteBigTree(folder, 2000));
    ASSERT_TRUE(client);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
    context.SetNameContext("many.big");
    auto all = ListAll(*client, context, ".many.big", false);
    ASSERT_EQ(all.Code, 0);
    EXPECT_GT(all.Batches, 1);
    EXPECT_EQ(all.Names.size(), 2200u);
    EXPECT_EQ(std::set<std::string>(all.Names.begin(), all.Names.end()).size(), 2200u);
    EXPECT_EQ(all.Names.front(), "user0");
    EXPECT_EQ(all.Names[1], "sub0");

    auto containers = ListAll(*client, context, ".many.big", true);
    ASSERT_EQ(containers.Code, 0);
    EXPECT_GT(containers.Batches, 1);
    EXPECT_TRUE(containers.EveryBatchHadEntries);
    EXPECT_EQ(containers.Names.size(), 200u);
    for (const auto& info : containers.Infos) EXPECT_EQ(info.ObjectFlags & DsContainerEntry, DsContainerEntry);
}

TEST(SnapshotBatches, IterationsBelongToTheirContextAndCanBeClosed) {
    TTempFolder folder;
    auto client = Load(WriteBigTree(folder, 2000));
    ASSERT_TRUE(client);
    TContext context(*client);
    TContext other(*client);
    TDSBuffer result(DefaultMessageLen);
    int32_t iteration = -1;
    ASSERT_EQ(client->NWDSList(context, "many.big", iteration, result), 0);
    ASSERT_NE(iteration, -1);
    int32_t stolen = iteration;
    EXPECT_EQ(client->NWDSList(other, "many.big", stolen, result), ErrInvalidHandle);
    EXPECT_EQ(stolen, -1);
    int32_t wrongKind = iteration;
    EXPECT_EQ(client->NWDSListContainers(context, "many.big", wrongKind, result), ErrInvalidHandle);
    EXPECT_EQ(client->NWDSCloseIteration(context, iteration, DsvList), 0);
    EXPECT_EQ(client->NWDSList(context, "many.big", iteration, result), ErrInvalidHandle);
    EXPECT_EQ(client->NWDSCloseIteration(context, 424242, DsvList), ErrInvalidHandle);
    EXPECT_EQ(client->NWDSCloseIteration(context, -1, DsvList), 0);
}

} // namespace era
