#include "client_fixture.h"

namespace era {

using namespace era::test;

TEST(ContextClient, NewContextsStartWithTheWorkstationsDefaults) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    uint32_t number = 0;
    ASSERT_EQ(client->NWDSGetContext(context, DckFlags, number), 0);
    EXPECT_EQ(number, DcvDerefAliases | DcvCanonicalizeNames);
    ASSERT_EQ(client->NWDSGetContext(context, DckConfidence, number), 0);
    EXPECT_EQ(number, 0u);
    ASSERT_EQ(client->NWDSGetContext(context, DckDsiFlags, number), 0);
    EXPECT_EQ(number, DefaultDsiFlags);
    std::string text;
    ASSERT_EQ(client->NWDSGetContext(context, DckNameContext, text), 0);
    EXPECT_EQ(text, "[Root]");
    ASSERT_EQ(client->NWDSGetContext(context, DckTreeName, text), 0);
    EXPECT_EQ(text, "SMALL_TREE");   // the primary connection's tree
}

TEST(ContextClient, KeysAreSetPerContextAndCopiedByDuplicate) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    TContext context(*client);
    ASSERT_EQ(client->NWDSSetContext(context, DckFlags, DcvTypelessNames), 0);
    ASSERT_EQ(client->NWDSSetContext(context, DckNameContext, std::string(".sales.acme")), 0);
    ASSERT_EQ(client->NWDSSetContext(context, DckTreeName, std::string("other_tree")), 0);
    NWDSContextHandle copy = 0;
    ASSERT_EQ(client->NWDSDuplicateContextHandle(context, copy), 0);
    EXPECT_NE(copy, NWDSContextHandle(context));
    std::string text;
    uint32_t number = 0;
    ASSERT_EQ(client->NWDSGetContext(copy, DckNameContext, text), 0);
    EXPECT_EQ(text, "sales.acme");   // stored without the leading dot
    ASSERT_EQ(client->NWDSGetContext(copy, DckTreeName, text), 0);
    EXPECT_EQ(text, "OTHER_TREE");   // the tree's own spelling
    ASSERT_EQ(client->NWDSSetContext(copy, DckFlags, DcvCanonicalizeNames), 0);
    ASSERT_EQ(client->NWDSGetContext(context, DckFlags, number), 0);
    EXPECT_EQ(number, DcvTypelessNames);   // the original is untouched
    EXPECT_EQ(client->NWDSFreeContext(copy), 0);
    EXPECT_EQ(client->NWDSFreeContext(copy), ErrBadContext);
    EXPECT_EQ(client->NWDSGetContext(copy, DckFlags, number), ErrBadContext);
}

TEST(ContextClient, UnknownHandlesKeysAndTreesGiveCodes) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    uint32_t number = 0;
    std::string text;
    EXPECT_EQ(client->NWDSGetContext(12345, DckFlags, number), ErrBadContext);
    EXPECT_EQ(client->NWDSSetContext(12345, DckNameContext, std::string("acme")), ErrBadContext);
    NWDSContextHandle copy = 7;
    EXPECT_EQ(client->NWDSDuplicateContextHandle(12345, copy), ErrBadContext);
    EXPECT_EQ(copy, 0u);
    TContext context(*client);
    EXPECT_EQ(client->NWDSGetContext(context, 99, number), ErrBadKey);
    EXPECT_EQ(client->NWDSGetContext(context, DckFlags, text), ErrBadKey);
    EXPECT_EQ(client->NWDSSetContext(context, DckTreeName, 5u), ErrBadKey);
    EXPECT_EQ(client->NWDSSetContext(context, DckTreeName, std::string("NO_SUCH_TREE")), ErrTreeNotFound);
    ASSERT_EQ(client->NWDSGetContext(context, DckTreeName, text), 0);
    EXPECT_EQ(text, "SMALL_TREE");
    EXPECT_EQ(client->NWDSSetContext(context, DckNameContext, std::string("a..b")), ErrIllegalDsName);
    ASSERT_EQ(client->NWDSGetContext(context, DckNameContext, text), 0);
    EXPECT_EQ(text, "[Root]");
}

TEST(ContextClient, ThePreferredTreeIsWhereNewContextsStart) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    EXPECT_EQ(client->NWSetPreferredDSTree(4, "NOPE"), ErrTreeNotFound);
    // The length counts: only the first ten characters are the name.
    EXPECT_EQ(client->NWSetPreferredDSTree(10, "OTHER_TREE and more"), 0);
    EXPECT_EQ(client->PreferredTree(), "OTHER_TREE");
    EXPECT_EQ(client->NWSetPreferredDSTree(200, "OTHER_TREE"), 0);   // a length beyond the text reads no further
    TContext context(*client);
    std::string text;
    ASSERT_EQ(client->NWDSGetContext(context, DckTreeName, text), 0);
    EXPECT_EQ(text, "OTHER_TREE");
    context.SetFlags(DcvTypelessNames);
    EXPECT_EQ(Texts(ReadAll(*client, context, "tester.lab", "Surname").Values), std::vector<std::string>{"Tester"});
}

TEST(ContextClient, ContextsAreFreedByTheirOwners) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    size_t before = client->OpenContextCount();
    {
        TContext a(*client);
        TContext b(*client);
        EXPECT_NE(NWDSContextHandle(a), NWDSContextHandle(b));
        EXPECT_EQ(client->OpenContextCount(), before + 2);
    }
    EXPECT_EQ(client->OpenContextCount(), before);
}

} // namespace era
