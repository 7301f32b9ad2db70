#include "client_fixture.h"

#include <sstream>

namespace era {

using namespace era::test;

namespace {

template <typename TList>
std::vector<uint32_t> Ids(const TList& list) {
    return {list.begin(), list.end()};
}

std::vector<std::string> ClassesOf(const TSnapshotTree& tree, uint32_t object) {
    std::vector<std::string> classes;
    if (const auto* stored = tree.AttributeOf(object, tree.FindAttribute("Object Class")))
        for (const auto& value : stored->Values)
            classes.push_back(value.Text);
    return classes;
}

// Loads ldif as the one tree ("X_TREE") of a workstation file in folder.
auto LoadLdif(TTempFolder& folder, const std::string& ldif) {
    folder.Write("tree.ldif", ldif);
    return Load(
        folder.Write("workstation.json", R"({ "trees": [ { "name": "X_TREE", "ldif": "tree.ldif" } ] })"));
}

} // namespace

TEST(SnapshotStore, StoredTextReadsLikeTheStringItViews) {
    const std::string bytes = "+1 555 0101$fax";
    const TStoredText text(bytes);
    EXPECT_EQ(text.size(), bytes.size());
    EXPECT_EQ(text.data(), bytes.data()); // a view, no copy
    EXPECT_TRUE(text == "+1 555 0101$fax");
    EXPECT_FALSE(text == "+1 555 0101");
    EXPECT_TRUE(std::string("+1 555 0101$fax") == text);
    EXPECT_EQ(text.find('$'), 11u);
    EXPECT_EQ(text.find("555"), 3u);
    EXPECT_EQ(text.rfind('1'), 10u);
    const TStoredText number = text.substr(0, text.find('$'));
    EXPECT_EQ(number.View(), "+1 555 0101");
    EXPECT_EQ(number.data(), bytes.data());
    EXPECT_EQ(text.substr(12).View(), "fax");
    EXPECT_EQ("." + number, ".+1 555 0101");
    EXPECT_EQ(number + "!", "+1 555 0101!");
    const std::string copy = number;
    EXPECT_EQ(copy, "+1 555 0101");
    std::ostringstream out;
    out << number;
    EXPECT_EQ(out.str(), "+1 555 0101");
    const TStoredText empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(std::string(empty), "");
    EXPECT_TRUE(empty == "");
}

TEST(SnapshotStore, EntriesAndNamesMetBeforeTheirEntryAreLinkedInFileOrder) {
    // An entry before its container, names of entries further down, and ACL subjects of an
    // ACL-syntax attribute met before the attribute "ACL" itself: all are linked once the file
    // is read, and every list keeps the file's order.
    TTempFolder folder;
    auto client =
        LoadLdif(folder, "dn: cn=early,ou=late,o=x\nobjectClass: inetOrgPerson\n"
                         "securityEquals: cn=g,o=x\n"
                         "inheritedACL: 1#subtree#[Public]#[Entry Rights]\n"
                         "inheritedACL: 2#subtree#cn=g,o=x#[Entry Rights]\n\n"
                         "dn: o=x\nobjectClass: organization\nobjectClass: top\n"
                         "ACL: 4#subtree#[Public]#[Entry Rights]\nACL: 8#subtree#cn=g,o=x#[Entry Rights]\n\n"
                         "dn: cn=g,o=x\nobjectClass: groupOfNames\nobjectClass: top\n"
                         "member: cn=early,ou=late,o=x\nmember: cn=gone,o=x\n\n"
                         "dn: ou=late,o=x\nobjectClass: organizationalUnit\n\n"
                         "dn: cn=after,ou=late,o=x\nobjectClass: inetOrgPerson\nobjectClass: top\n"
                         "inheritedACL: 16#subtree#[Public]#[Entry Rights]\n"
                         "securityEquals: cn=g,o=x\nACL: 32#entry#cn=g,o=x#telephoneNumber\n\n"
                         "dn: cn=last,ou=late,o=x\nobjectClass: inetOrgPerson\nobjectClass: top\n"
                         "member: cn=gone,o=x\n");
    ASSERT_TRUE(client);
    const TSnapshotTree& tree = *SnapshotTreeOf(*client->Workstation().Trees[0]);
    ASSERT_EQ(tree.Objects().size(), 7u);
    const uint32_t early = 1, org = 2, group = 3, late = 4, after = 5, last = 6;

    EXPECT_EQ(tree.Object(early).Parent, late);
    EXPECT_EQ(tree.Object(RootObject).Children, std::vector<uint32_t>{org});
    EXPECT_EQ(tree.Object(org).Children, (std::vector<uint32_t>{group, late}));
    EXPECT_EQ(tree.Object(late).Children, (std::vector<uint32_t>{early, after, last}));

    const uint32_t equals = tree.FindAttribute("Security Equals");
    const uint32_t member = tree.FindAttribute("Member");
    const uint32_t acl = tree.FindAttribute("ACL");
    ASSERT_NE(acl, NoAttribute);
    EXPECT_EQ(Ids(tree.Holders(equals, group)), (std::vector<uint32_t>{early, after}));
    EXPECT_EQ(Ids(tree.Holders(member, early)), std::vector<uint32_t>{group});
    EXPECT_EQ(Ids(tree.Holders(acl, group)), (std::vector<uint32_t>{early, org, after}));
    EXPECT_EQ(Ids(tree.SpecialHolders(acl, "[public]")), (std::vector<uint32_t>{early, org, after}));
    EXPECT_EQ(Ids(tree.DanglingHolders(member, "gone.x")), (std::vector<uint32_t>{group, last}));

    // A name met before its entry ends up as that entry; one of no entry keeps its typed name.
    const auto* named = tree.AttributeOf(early, equals);
    ASSERT_TRUE(named && named->Values.size() == 1);
    EXPECT_EQ(named->Values[0].Name, TNameRef::Object);
    EXPECT_EQ(named->Values[0].Object, group);
    EXPECT_TRUE(named->Values[0].Text.empty());
    const auto* members = tree.AttributeOf(group, member);
    ASSERT_TRUE(members && members->Values.size() == 2);
    EXPECT_EQ(members->Values[1].Name, TNameRef::Dangling);
    EXPECT_EQ(members->Values[1].Text.View(), "CN=gone.O=x");
    const auto* rights = tree.AttributeOf(after, acl);
    ASSERT_TRUE(rights && rights->Values.size() == 1);
    EXPECT_EQ(rights->Values[0].Extra.View(), "Telephone Number");
    EXPECT_EQ(rights->Values[0].Object, group);
}

TEST(SnapshotStore, EntriesWithTheSameClassesShareOneListAndKeepTheirOwn) {
    TTempFolder folder;
    auto client = LoadLdif(folder, "dn: o=x\nobjectClass: organization\nobjectClass: top\n\n"
                                   "dn: cn=a,o=x\nobjectClass: inetOrgPerson\nobjectClass: top\nsn: A\n\n"
                                   "dn: cn=b,o=x\nobjectClass: inetOrgPerson\nsn: B\nobjectClass: top\n\n"
                                   "dn: cn=c,o=x\nobjectClass: inetOrgPerson\n\n"
                                   "dn: cn=d,o=x\nobjectClass: top\nobjectClass: inetOrgPerson\n");
    ASSERT_TRUE(client);
    const TSnapshotTree& tree = *SnapshotTreeOf(*client->Workstation().Trees[0]);
    ASSERT_EQ(tree.Objects().size(), 6u);
    EXPECT_EQ(ClassesOf(tree, 1), (std::vector<std::string>{"Organization", "Top"}));
    EXPECT_EQ(ClassesOf(tree, 2), (std::vector<std::string>{"User", "Top"}));
    EXPECT_EQ(ClassesOf(tree, 3), (std::vector<std::string>{"User", "Top"}));
    EXPECT_EQ(ClassesOf(tree, 4), std::vector<std::string>{"User"});
    EXPECT_EQ(ClassesOf(tree, 5), (std::vector<std::string>{"Top", "User"}));
    const uint32_t classes = tree.FindAttribute("Object Class");
    EXPECT_EQ(tree.AttributeOf(2, classes)->Values.data(), tree.AttributeOf(3, classes)->Values.data());
    EXPECT_NE(tree.AttributeOf(2, classes)->Values.data(), tree.AttributeOf(5, classes)->Values.data());
    for (uint32_t i = 2; i <= 4; ++i)
        EXPECT_EQ(tree.Object(i).BaseClass.View(), "User") << i;
    EXPECT_EQ(tree.Object(5).BaseClass.View(), "Top"); // no structural class: the first one
    // The other attributes stay the entry's own.
    EXPECT_EQ(tree.AttributeOf(3, tree.FindAttribute("Surname"))->Values[0].Text.View(), "B");
}

TEST(SnapshotStore, NameValuesFindTheEntryTheyNameWhateverTheirSpelling) {
    // Dots inside a value are no part separators; letter case and the tree's own part do not matter.
    TTempFolder folder;
    auto client =
        LoadLdif(folder, "dn: o=x\nobjectClass: organization\n\n"
                         "dn: ou=b,o=x\nobjectClass: organizationalUnit\n\n"
                         "dn: cn=a,ou=b,o=x\nobjectClass: inetOrgPerson\n\n"
                         "dn: cn=a.b,o=x\nobjectClass: inetOrgPerson\n\n"
                         "dn: cn=m@x-1_2,o=x\nobjectClass: inetOrgPerson\n\n"
                         "dn: cn=g,o=x\nobjectClass: groupOfNames\n"
                         "member: cn=a.b,o=x\nmember: CN=A,OU=B,O=X\nmember: cn=a,ou=b,o=x,t=X_TREE\n"
                         "member: cn=M@X-1_2,o=x\nmember: cn = a.b , o=x\n"
                         "member: cn=a,ou=b.o=x\n");
    ASSERT_TRUE(client);
    const TSnapshotTree& tree = *SnapshotTreeOf(*client->Workstation().Trees[0]);
    const auto* members = tree.AttributeOf(6, tree.FindAttribute("Member"));
    ASSERT_TRUE(members);
    const uint32_t expected[] = {4, 3, 3, 5, 4, NoObject};
    ASSERT_EQ(members->Values.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(members->Values[i].Object, expected[i]) << i;
        EXPECT_EQ(members->Values[i].Name, expected[i] == NoObject ? TNameRef::Dangling : TNameRef::Object)
            << i;
    }
}

} // namespace era
