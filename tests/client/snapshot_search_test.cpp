// Directory searches over the embedded directory, end to end: the notation turned into tokens,
// the tokens read and evaluated per object, batches over several calls, the index that answers
// equalities on names, and the output template.

#include "client_fixture.h"

#include "client/filter_expression.h"
#include "client/workstation_client.h"
#include "directory/context.h"
#include "rights/search_filter.h"
#include "util/ui_host.h"

#include <algorithm>
#include <chrono>

namespace era {

using namespace era::test;

namespace {

// The embedded directory with a note of what every search asked and how much it examined.
class TRecordingClient : public TWorkstationClient {
public:
    using TWorkstationClient::TWorkstationClient;

    NWCCODE NWDSExtSyncSearch(NWDSContextHandle context, const std::string& baseObjectName, int32_t scope,
                              bool searchAliases, const TDSBuffer& filterBuffer, uint32_t timeStamp, uint32_t infoType,
                              bool allAttrs, const TDSBuffer* attrNames, int32_t& iterationHandle,
                              int32_t countObjectsToSearch, int32_t& countObjectsSearched, TDSBuffer& result) override {
        if (iterationHandle == -1) Filters.push_back(filterBuffer.Filter());
        ++Calls;
        CountAsked = countObjectsToSearch;
        NWCCODE code = TWorkstationClient::NWDSExtSyncSearch(context, baseObjectName, scope, searchAliases, filterBuffer,
                                                          timeStamp, infoType, allAttrs, attrNames, iterationHandle,
                                                          countObjectsToSearch, countObjectsSearched, result);
        Searched += countObjectsSearched;
        return code;
    }
    void Reset() {
        Filters.clear();
        Calls = 0;
        Searched = 0;
    }

    std::vector<std::vector<TFilterItem>> Filters;   // of each search's first call
    int Calls = 0;
    int32_t CountAsked = 0;
    int64_t Searched = 0;
};

std::vector<uint32_t> Tokens(const std::vector<TFilterItem>& items) {
    std::vector<uint32_t> tokens;
    for (const auto& item : items) tokens.push_back(item.Token);
    return tokens;
}

std::vector<std::string> Lines(const TStringList& list) {
    std::vector<std::string> lines;
    for (const auto& item : list.Items()) lines.push_back(item.Text);
    return lines;
}

using TNames = std::vector<std::string>;

// A window host whose event loop throws once it has run a given number of times.
class TThrowingHost : public THeadlessHost {
public:
    explicit TThrowingHost(int after) : left_(after) {}
    void ProcessMessages() override {
        if (--left_ == 0) throw std::runtime_error("window closed");
    }

private:
    int left_;
};

// A tree written for one test: containers "ou=part<N>,o=big" with users spread over them, groups
// "cn=group<N>,o=big", user i security-equal to group (i % groups) and to user 0 when i % 7 == 0.
std::string WriteGeneratedTree(const TTempFolder& folder, int users, int parts, int groups) {
    std::string ldif = "version: 1\n\ndn: o=big\nobjectClass: organization\no: big\n\n";
    for (int g = 0; g < groups; ++g)
        ldif += "dn: cn=group" + std::to_string(g) + ",o=big\nobjectClass: groupOfNames\ncn: group" + std::to_string(g) + "\n\n";
    for (int p = 0; p < parts; ++p)
        ldif += "dn: ou=part" + std::to_string(p) + ",o=big\nobjectClass: organizationalUnit\nou: part" + std::to_string(p) + "\n\n";
    for (int i = 0; i < users; ++i) {
        ldif += "dn: cn=user" + std::to_string(i) + ",ou=part" + std::to_string(i % parts) +
                ",o=big\nobjectClass: inetOrgPerson\nsn: U\nsecurityEquals: cn=group" + std::to_string(i % groups) + ",o=big\n";
        if (i % 7 == 0) ldif += "securityEquals: cn=user0,ou=part0,o=big\n";
        ldif += "\n";
    }
    folder.Write("big.ldif", ldif);
    return folder.Write("big.json", R"({ "trees": [ { "name": "BIG", "ldif": "big.ldif" } ] })");
}

// Installs a workstation as the process-wide client (recording its searches) for one test and
// gives a typeless, canonicalising context at [Root].
class SnapshotSearch : public ::testing::Test {
protected:
    void SetUp() override { Install(DataFile("search.json")); }
    void TearDown() override {
        context_.Reset();
        InstallClient(std::move(previous_));
    }

    void Install(const std::string& path) {
        context_.Reset();
        std::string message;
        auto workstation = LoadWorkstationFile(path, message);
        ASSERT_TRUE(workstation) << message;
        auto client = std::make_unique<TRecordingClient>(std::move(workstation));
        client_ = client.get();
        auto replaced = InstallClient(std::move(client));
        if (!previous_) previous_ = std::move(replaced);
        ASSERT_EQ(TDSContext::Create(context_), 0);
        ASSERT_EQ(Client().NWDSSetContext(context_.Get(), DckFlags, DcvTypelessNames | DcvCanonicalizeNames | DcvDerefAliases), 0);
    }

    NWDSContextHandle Ctx() const { return context_.Get(); }

    // The names U_DSFilteredSearch finds; the code must be the one expected.
    TNames Find(const std::string& filter, int scope = DsSearchSubtree, const std::string& base = "[Root]",
                NWCCODE expected = 0) {
        TStringList found;
        EXPECT_EQ(U_DSFilteredSearch(Ctx(), base, filter, &found, scope), expected) << filter;
        return Lines(found);
    }

    // A request buffer holding the notation's filter.
    void PutFilter(const std::string& filter, TDSBuffer& request) {
        ASSERT_EQ(Client().NWDSInitBuf(Ctx(), DsvSearchFilter, request), 0);
        std::unique_ptr<TFilterCursor> cursor;
        ASSERT_EQ(EmitFilterTokens(Ctx(), TokenizeFilter(filter), cursor), 0) << filter;
        ASSERT_TRUE(cursor);
        ASSERT_EQ(Client().NWDSAddFilterToken(*cursor, FtokEnd), 0);
        ASSERT_EQ(Client().NWDSPutFilter(Ctx(), request, *cursor), 0);
    }

    // What the client's own search calls give, batch by batch.
    struct TBatches {
        NWCCODE Code = 0;
        std::vector<TNames> Batches;
        TNames All() const {
            TNames all;
            for (const auto& batch : Batches) all.insert(all.end(), batch.begin(), batch.end());
            return all;
        }
    };
    TBatches SearchBatches(const std::string& base, int32_t scope, const std::string& filter, int32_t count,
                           uint32_t bufferSize = MaxMessageLen, bool searchAliases = false) {
        TBatches out;
        TDSBuffer request(DefaultMessageLen);
        PutFilter(filter, request);
        TDSBuffer reply(bufferSize);
        int32_t iteration = -1;
        do {
            int32_t searched = 0;
            out.Code = Client().NWDSExtSyncSearch(Ctx(), base, scope, searchAliases, request, 0, DsAttributeNames, false,
                                                  nullptr, iteration, count, searched, reply);
            if (out.Code != 0) break;
            EXPECT_LE(reply.UsedBytes(), reply.Size());
            uint32_t objects = 0;
            Client().NWDSGetObjectCount(Ctx(), reply, objects);
            TNames batch;
            for (uint32_t i = 0; i < objects; ++i) {
                std::string name;
                uint32_t attributes = 0;
                TObjectInfo info;
                EXPECT_EQ(Client().NWDSGetObjectName(Ctx(), reply, name, attributes, info), 0);
                batch.push_back(name);
            }
            out.Batches.push_back(batch);
        } while (iteration != -1 && out.Batches.size() < 10000);
        EXPECT_EQ(iteration, -1);
        return out;
    }

    TRecordingClient* client_ = nullptr;

private:
    std::unique_ptr<TDirectoryClient> previous_;
    TDSContext context_;
};

} // namespace

TEST_F(SnapshotSearch, TheNotationBecomesTheClientTokens) {
    struct Case {
        std::string filter;
        std::vector<uint32_t> tokens;   // as EmitFilterTokens writes them, before the end token
    };
    const std::vector<Case> cases = {
        {"(Security Equals=.alice.hq.corp)", {FtokLParen, FtokAName, FtokEq, FtokAVal, FtokRParen}},
        {"Title=*", {FtokPresent, FtokAName}},
        {"Title!=x", {FtokLParen, FtokNot, FtokAName, FtokEq, FtokAVal, FtokRParen}},
        {"Title#NOTPRESENT#", {FtokLParen, FtokNot, FtokPresent, FtokAName, FtokRParen}},
        {"Base Class=ou", {FtokBaseClass, FtokAName}},
        {"Name=alice", {FtokRdn, FtokAName}},
        {"(CN=1)&!(Surname#APPROX#x)|Login Grace Limit>=3",
         {FtokLParen, FtokAName, FtokEq, FtokAVal, FtokRParen, FtokAnd, FtokNot, FtokLParen, FtokAName, FtokApprox,
          FtokAVal, FtokRParen, FtokOr, FtokAName, FtokGe, FtokAVal}},
    };
    for (const auto& c : cases) {
        std::unique_ptr<TFilterCursor> cursor;
        ASSERT_EQ(EmitFilterTokens(Ctx(), TokenizeFilter(c.filter), cursor), 0) << c.filter;
        ASSERT_TRUE(cursor);
        EXPECT_EQ(Tokens(cursor->Items()), c.tokens) << c.filter;
    }

    // What the search puts into the request: the same tokens closed by the end token, with the
    // attribute's syntax and the value in its form.
    Find("(Security Equals=.alice.hq.corp)");
    ASSERT_EQ(client_->Filters.size(), 1u);
    const auto& items = client_->Filters[0];
    EXPECT_EQ(Tokens(items), (std::vector<uint32_t>{FtokLParen, FtokAName, FtokEq, FtokAVal, FtokRParen, FtokEnd}));
    EXPECT_EQ(items[1].Name, "Security Equals");
    EXPECT_EQ(items[1].Syntax, SynDistName);
    EXPECT_EQ(std::get<TTextValue>(items[3].Value).Text, ".alice.hq.corp");
    EXPECT_EQ(client_->CountAsked, 50);
    client_->Reset();
    Find("(Login Grace Limit>=6)");
    ASSERT_EQ(client_->Filters.size(), 1u);
    EXPECT_EQ(std::get<TIntegerValue>(client_->Filters[0][3].Value).Value, 6);
}

TEST_F(SnapshotSearch, MalformedFiltersFailBeforeTheDirectoryIsAsked) {
    Find("(Security Equals=.alice.hq.corp", DsSearchSubtree, "[Root]", ErrInvalidFilterSyntax);
    Find("(Title)", DsSearchSubtree, "[Root]", ErrInvalidFilterSyntax);
    Find("(Base Class=*)", DsSearchSubtree, "[Root]", ErrInvalidFilterSyntax);
    EXPECT_EQ(client_->Calls, 0);
    // Balanced parentheses in a stream the client cannot read: the client's own -326.
    Find("(Title=x)(Title=y)", DsSearchSubtree, "[Root]", ErrInvalidFilterSyntax);
    Find("(Title=x)&", DsSearchSubtree, "[Root]", ErrInvalidFilterSyntax);
    EXPECT_EQ(client_->Calls, 2);
    // A request without a filter, a scope the client does not know.
    TDSBuffer request(DefaultMessageLen), reply(MaxMessageLen);
    Client().NWDSInitBuf(Ctx(), DsvSearchFilter, request);
    int32_t iteration = -1, searched = 0;
    EXPECT_EQ(Client().NWDSExtSyncSearch(Ctx(), "[Root]", 2, false, request, 0, 0, false, nullptr, iteration, 50, searched,
                                         reply),
              ErrInvalidFilterSyntax);
    PutFilter("Title=*", request);
    EXPECT_EQ(Client().NWDSExtSyncSearch(Ctx(), "[Root]", 3, false, request, 0, 0, false, nullptr, iteration, 50, searched,
                                         reply),
              ErrInvalidRequest);
    EXPECT_EQ(iteration, -1);
    // Groups nested deeper than the client reads, balanced and within the request's size.
    TFilterCursor deep;
    for (int i = 0; i < MaxFilterDepth + 1; ++i) Client().NWDSAddFilterToken(deep, FtokLParen);
    Client().NWDSAddFilterToken(deep, FtokPresent);
    Client().NWDSAddFilterToken(deep, FtokAName, "Title", SynCiString);
    for (int i = 0; i < MaxFilterDepth + 1; ++i) Client().NWDSAddFilterToken(deep, FtokRParen);
    Client().NWDSAddFilterToken(deep, FtokEnd);
    Client().NWDSInitBuf(Ctx(), DsvSearchFilter, request);
    ASSERT_EQ(Client().NWDSPutFilter(Ctx(), request, deep), 0);
    EXPECT_EQ(Client().NWDSExtSyncSearch(Ctx(), "[Root]", 2, false, request, 0, 0, false, nullptr, iteration, 50, searched,
                                         reply),
              ErrInvalidFilterSyntax);
}

TEST_F(SnapshotSearch, NamesCompareAsTheObjectsTheyName) {
    EXPECT_EQ(Find("(Security Equals=.admins.corp)"), (TNames{"alice.hq.corp", "dave.dev.hq.corp"}));
    EXPECT_EQ(Find("(Security Equals=CN=admins.O=corp)"), (TNames{"alice.hq.corp", "dave.dev.hq.corp"}));
    EXPECT_EQ(Find("(Security Equals=.ADMINS.Corp)"), (TNames{"alice.hq.corp", "dave.dev.hq.corp"}));
    EXPECT_EQ(Find("(Member=.alice.hq.corp)"), (TNames{"admins.corp"}));
    EXPECT_EQ(Find("(Security Equals=[Public])"), (TNames{"bruno.hq.corp"}));
    // A name that no object has any more still finds the values that kept it.
    EXPECT_EQ(Find("(Security Equals=.gone.corp)"), (TNames{"bruno.hq.corp"}));
    EXPECT_EQ(Find("(Security Equals=.nobody.corp)"), TNames{});
    EXPECT_EQ(Find("(Security Equals#APPROX#admins)"), (TNames{"alice.hq.corp", "dave.dev.hq.corp"}));
    EXPECT_EQ(Find("(Host Server=.FS9.corp)"), (TNames{"FS9_SYS.corp"}));
    EXPECT_EQ(Find("(Home Directory=FS9_SYS.corp:users\\alice)"), (TNames{"alice.hq.corp"}));
    EXPECT_EQ(Find("(Home Directory=FS9_SYS.corp:users\\bob)"), TNames{});
    EXPECT_EQ(Find("(ACL=.admins.corp#[Entry Rights]#DI)"), (TNames{"corp"}));
    EXPECT_EQ(Find("(ACL=.admins.corp#[Entry Rights]#D)"), TNames{});   // not inheritable: another mask
    EXPECT_EQ(Find("(ACL=.admins.corp#Telephone Number#R)"), (TNames{"corp"}));

    // A relative value is read against the context's name context, and names come back relative to it.
    ASSERT_EQ(Client().NWDSSetContext(Ctx(), DckNameContext, std::string("corp")), 0);
    EXPECT_EQ(Find("(Security Equals=admins)"), (TNames{"alice.hq", "dave.dev.hq"}));
    EXPECT_EQ(Find("(Security Equals=alice.hq)", DsSearchSubtree, "hq"), (TNames{"carol.dev.hq", "dave.dev.hq"}));
}

TEST_F(SnapshotSearch, ValuesCompareByTheirSyntax) {
    struct Case {
        std::string filter;
        TNames found;
    };
    const std::vector<Case> cases = {
        // Case-ignoring strings: whole values, ordering by folded bytes, approximately a part.
        {"(Title=ENGINEER)", {"bruno.hq.corp"}},
        {"(Title#APPROX#engineer)", {"alice.hq.corp", "bruno.hq.corp", "dave.dev.hq.corp"}},
        {"(Surname>=c)", {"carol.dev.hq.corp", "dave.dev.hq.corp"}},
        {"(Surname<=Brown)", {"alice.hq.corp", "bruno.hq.corp"}},
        // Case-exact strings byte for byte.
        {"(Mailbox ID=alice01)", {"bruno.hq.corp"}},
        {"(Mailbox ID=AlIcE01)", {"alice.hq.corp"}},
        {"(Mailbox ID>=a)", {"bruno.hq.corp"}},
        {"(Mailbox ID#APPROX#ALICE)", {"alice.hq.corp", "bruno.hq.corp"}},
        // Integers are signed; booleans and times compare as numbers.
        {"(Login Grace Limit=10)", {"carol.dev.hq.corp"}},
        {"(Login Grace Limit>=6)", {"alice.hq.corp", "carol.dev.hq.corp"}},
        {"(Login Grace Limit<=5)", {"bruno.hq.corp"}},
        {"(Login Disabled=yes)", {"bruno.hq.corp"}},
        {"(Login Disabled=no)", {"alice.hq.corp"}},
        {"(Last Login Time>=2009-01-01)", {"alice.hq.corp"}},
        {"(Last Login Time<=2009-01-01)", {"bruno.hq.corp"}},
        // A case-ignore list element by element.
        {"(Language=english$FRENCH)", {"alice.hq.corp"}},
        {"(Language=English)", {}},
        {"(Telephone Number=+1 555 0100)", {"alice.hq.corp"}},
        // Object Class holds the base class and the stored classes, in either naming.
        {"(Object Class=User)", {"alice.hq.corp", "bruno.hq.corp", "carol.dev.hq.corp", "dave.dev.hq.corp"}},
        {"(Object Class=inetOrgPerson)", {"alice.hq.corp", "bruno.hq.corp", "carol.dev.hq.corp", "dave.dev.hq.corp"}},
        {"(Aux Class=ndsLoginProperties)", {"alice.hq.corp"}},
        // Attributes that nobody holds, or the tree does not know, find nothing.
        {"(Surname=Archer) AND (Description=x)", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Find(c.filter), c.found) << c.filter;
}

TEST_F(SnapshotSearch, AStarInAnEqualityOfAStringIsAWildcard) {
    struct Case {
        std::string filter;
        TNames found;
    };
    const std::vector<Case> cases = {
        {"(Surname=Ar*)", {"alice.hq.corp"}},
        {"(Surname=*ER)", {"alice.hq.corp", "carol.dev.hq.corp"}},
        {"(Surname=b*N)", {"bruno.hq.corp"}},
        {"(Title=*engineer*)", {"alice.hq.corp", "bruno.hq.corp", "dave.dev.hq.corp"}},
        {"(Title=c*f*r)", {"alice.hq.corp"}},
        // The pieces between wildcards follow each other: "in" twice.
        {"(Title=*in*in*)", {"dave.dev.hq.corp"}},
        {"(Title=**gin**)", {"alice.hq.corp", "bruno.hq.corp", "dave.dev.hq.corp"}},
        // Case-exact strings keep their case around the wildcards.
        {"(Mailbox ID=al*)", {"bruno.hq.corp"}},
        {"(Mailbox ID=A*01)", {"alice.hq.corp"}},
        // "\\*" is an asterisk itself, which no title holds.
        {"(Title=Chief\\*)", {}},
        {"(Title=Chief Engineer\\*)", {}},
        // Orderings and "approximately" take the value as it is.
        {"(Surname<=B*)", {"alice.hq.corp"}},
        {"(Title#APPROX#engineer*)", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(Find(c.filter), c.found) << c.filter;
}

TEST_F(SnapshotSearch, PresenceLogicBaseClassAndRelativeName) {
    struct Case {
        std::string filter;
        TNames found;
    };
    const std::vector<Case> cases = {
        {"(Title=*)", {"alice.hq.corp", "bruno.hq.corp", "dave.dev.hq.corp"}},
        {"(Base Class=User) AND (Title#NOTPRESENT#)", {"carol.dev.hq.corp"}},
        {"(Base Class=User)&(Title!=engineer)", {"alice.hq.corp", "carol.dev.hq.corp", "dave.dev.hq.corp"}},
        {"(CN=carol)|(CN=dave)", {"carol.dev.hq.corp", "dave.dev.hq.corp"}},
        // AND binds tighter than OR: alice, or (bruno and chief engineer).
        {"(CN=alice)|(CN=bruno)&(Title=Chief Engineer)", {"alice.hq.corp"}},
        {"((CN=alice)|(CN=bruno))&(Title=Chief Engineer)", {"alice.hq.corp"}},
        {"((CN=alice)|(CN=bruno))&!(Title=Chief Engineer)", {"bruno.hq.corp"}},
        {"#NOT#(Object Class=*)", {}},
        {"Base Class=ou", {"hq.corp", "dev.hq.corp"}},
        {"Base Class=Organizational Unit", {"hq.corp", "dev.hq.corp"}},
        {"Base Class=groupOfNames", {"admins.corp"}},
        {"Base Class=Alias", {"alice-alias.corp"}},
        {"Name=ALICE", {"alice.hq.corp"}},
        {"RDN=CN=carol", {"carol.dev.hq.corp"}},
        {"RDN=OU=carol", {}},
        {"(Name=dev)|(Name=corp)", {"corp", "dev.hq.corp"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Find(c.filter), c.found) << c.filter;
}

TEST_F(SnapshotSearch, ScopesTakeTheBaseItsSubordinatesOrItsSubtree) {
    EXPECT_EQ(Find("(Object Class=*)", DsSearchEntry, ".hq.corp"), (TNames{"hq.corp"}));
    EXPECT_EQ(Find("(Object Class=*)", DsSearchSubordinates, ".hq.corp"),
              (TNames{"alice.hq.corp", "bruno.hq.corp", "dev.hq.corp"}));
    EXPECT_EQ(Find("(Object Class=*)", DsSearchSubtree, ".hq.corp"),
              (TNames{"hq.corp", "alice.hq.corp", "bruno.hq.corp", "dev.hq.corp", "carol.dev.hq.corp", "dave.dev.hq.corp"}));
    EXPECT_EQ(Find("(Object Class=*)", DsSearchEntry, "[Root]"), (TNames{"[Root]"}));
    EXPECT_EQ(Find("(Object Class=*)").size(), 12u);
    // The same scopes on the index's path.
    EXPECT_EQ(Find("(Security Equals=.alice.hq.corp)", DsSearchSubordinates, ".dev.hq.corp"),
              (TNames{"carol.dev.hq.corp", "dave.dev.hq.corp"}));
    EXPECT_EQ(Find("(Security Equals=.alice.hq.corp)", DsSearchSubordinates, ".hq.corp"), TNames{});
    EXPECT_EQ(Find("(Security Equals=.alice.hq.corp)", DsSearchEntry, ".carol.dev.hq.corp"), (TNames{"carol.dev.hq.corp"}));
    EXPECT_EQ(Find("(Security Equals=.alice.hq.corp)", DsSearchEntry, ".dave.dev.hq.corp"), (TNames{"dave.dev.hq.corp"}));
    EXPECT_EQ(Find("(Security Equals=.admins.corp)", DsSearchSubtree, ".dev.hq.corp"), (TNames{"dave.dev.hq.corp"}));
    // A base through an alias (the context dereferences), an unknown base.
    EXPECT_EQ(Find("(Object Class=*)", DsSearchEntry, ".alice-alias.corp"), (TNames{"alice.hq.corp"}));
    Find("(Object Class=*)", DsSearchSubtree, ".nobody.corp", ErrNoSuchEntry);
    Find("(Security Equals=.admins.corp)", DsSearchSubtree, ".nobody.corp", ErrNoSuchEntry);
}

TEST_F(SnapshotSearch, AnAliasFoundStandsForItsObjectWhenAliasesAreSearched) {
    EXPECT_EQ(SearchBatches(".corp", DsSearchSubordinates, "CN=alice", 50).All(), TNames{});
    EXPECT_EQ(SearchBatches(".corp", DsSearchSubordinates, "CN=alice", 50, MaxMessageLen, true).All(),
              (TNames{"alice.hq.corp"}));
    // Found through the alias and on its own, it is returned once.
    EXPECT_EQ(SearchBatches(".corp", DsSearchSubtree, "CN=alice", 50, MaxMessageLen, true).All(), (TNames{"alice.hq.corp"}));
    EXPECT_EQ(SearchBatches(".corp", DsSearchSubtree, "Security Equals=.admins.corp", 1, MaxMessageLen, true).All(),
              (TNames{"alice.hq.corp", "dave.dev.hq.corp"}));
}

TEST_F(SnapshotSearch, TheIndexAnswersLikeTheWalkAndExaminesOnlyTheHolders) {
    // NOT NOT hides the equality from the index, so the same question is answered by the walk.
    const std::vector<std::string> filters = {
        "(Security Equals=.admins.corp)",
        "(Security Equals=.alice.hq.corp)",
        "(Security Equals=.admins.corp)&(Security Equals=.alice.hq.corp)",
        "(Security Equals=.admins.corp)&(Title=*)",
        "(Member=.dave.dev.hq.corp)",
        "(Group Membership=.admins.corp)",
        "(ACL=.admins.corp#[Entry Rights]#DI)",
        "(ACL=.carol.dev.hq.corp#[All Attributes Rights]#RI)",
        "(Security Equals=[Root])",
        // Names of no object: bracketed ones (any letter case) and one whose object is gone.
        "(Security Equals=[Public])",
        "(Security Equals=[PUBLIC])",
        "(Security Equals=[This])",
        "(Security Equals=.gone.corp)",
        "(Security Equals=CN=gone.O=corp)",
        "(Security Equals=.nobody.corp)",
    };
    for (const auto& filter : filters) {
        for (const std::string base : {"[Root]", ".hq.corp"}) {
            client_->Reset();
            const TNames indexed = Find(filter, DsSearchSubtree, base);
            const int64_t indexedSearched = client_->Searched;
            client_->Reset();
            const TNames walked = Find("!(!(" + filter + "))", DsSearchSubtree, base);
            EXPECT_EQ(indexed, walked) << filter << " from " << base;
            EXPECT_LE(indexedSearched, 2) << filter;
            EXPECT_GE(client_->Searched, 6) << filter;
        }
    }
    client_->Reset();
    EXPECT_EQ(Find("(Security Equals=.admins.corp)&(Security Equals=.alice.hq.corp)"), (TNames{"dave.dev.hq.corp"}));
    EXPECT_EQ(client_->Searched, 2);

    // On a bigger tree: every group and user 0, from the top and from one container.
    TTempFolder folder;
    Install(WriteGeneratedTree(folder, 3000, 30, 40));
    for (int g = 0; g < 41; ++g) {
        const std::string target = g < 40 ? ".group" + std::to_string(g) + ".big" : ".user0.part0.big";
        for (const std::string base : {"[Root]", ".part3.big"}) {
            client_->Reset();
            const TNames indexed = Find("(Security Equals=" + target + ")", DsSearchSubtree, base);
            const int64_t indexedSearched = client_->Searched;
            client_->Reset();
            const TNames walked = Find("!(!(Security Equals=" + target + "))", DsSearchSubtree, base);
            ASSERT_EQ(indexed, walked) << target << " from " << base;
            if (base == "[Root]") {
                EXPECT_FALSE(indexed.empty()) << target;
            }
            EXPECT_LE(indexedSearched, g < 40 ? 75 : 429) << target;
            EXPECT_GE(client_->Searched, 100) << target;
        }
    }
}

TEST_F(SnapshotSearch, ResultsComeInBatchesOfTheCountAndTheBufferSize) {
    TTempFolder folder;
    Install(WriteGeneratedTree(folder, 260, 2, 2));   // 130 users in each group
    client_->Reset();
    TNames expected;
    for (int i = 0; i < 260; i += 2) expected.push_back("user" + std::to_string(i) + ".part" + std::to_string(i % 2) + ".big");
    EXPECT_EQ(Find("(Security Equals=.group0.big)"), expected);
    EXPECT_EQ(client_->Calls, 3);   // 50, 50, 30

    auto batches = SearchBatches("[Root]", DsSearchSubtree, "Security Equals=.group0.big", 50);
    ASSERT_EQ(batches.Code, 0);
    ASSERT_EQ(batches.Batches.size(), 3u);
    EXPECT_EQ(batches.Batches[0].size(), 50u);
    EXPECT_EQ(batches.Batches[2].size(), 30u);
    EXPECT_EQ(batches.All(), expected);
    // The walk batches the same way; a count that divides the matches ends with the last batch.
    batches = SearchBatches("[Root]", DsSearchSubtree, "!(!(Security Equals=.group0.big))", 65);
    ASSERT_EQ(batches.Batches.size(), 2u);
    EXPECT_EQ(batches.All(), expected);
    // A small reply buffer holds fewer; every batch still holds something and nothing is lost.
    batches = SearchBatches("[Root]", DsSearchSubtree, "Security Equals=.group0.big", 50, 512);
    ASSERT_EQ(batches.Code, 0);
    EXPECT_GT(batches.Batches.size(), 10u);
    for (const auto& batch : batches.Batches) EXPECT_FALSE(batch.empty());
    EXPECT_EQ(batches.All(), expected);
    // Without a count, the buffer alone decides.
    batches = SearchBatches("[Root]", DsSearchSubtree, "Security Equals=.group0.big", 0);
    ASSERT_EQ(batches.Batches.size(), 1u);
    EXPECT_EQ(batches.All(), expected);
    // A buffer too small for one name fails and leaves no iteration open.
    batches = SearchBatches("[Root]", DsSearchSubtree, "Security Equals=.group0.big", 50, 16);
    EXPECT_EQ(batches.Code, ErrInsufficientBuffer);
    EXPECT_TRUE(batches.Batches.empty());
    // No match: one empty batch that ends the search.
    batches = SearchBatches("[Root]", DsSearchSubtree, "Surname=nobody", 50);
    ASSERT_EQ(batches.Code, 0);
    ASSERT_EQ(batches.Batches.size(), 1u);
    EXPECT_TRUE(batches.Batches[0].empty());
}

TEST_F(SnapshotSearch, IterationHandlesBelongToTheirSearchAndContext) {
    TTempFolder folder;
    Install(WriteGeneratedTree(folder, 260, 2, 2));
    TDSBuffer request(DefaultMessageLen), reply(MaxMessageLen);
    PutFilter("Security Equals=.group0.big", request);
    int32_t iteration = -1, searched = 0;
    ASSERT_EQ(Client().NWDSExtSyncSearch(Ctx(), "[Root]", 2, false, request, 0, 0, false, nullptr, iteration, 50, searched,
                                         reply),
              0);
    ASSERT_NE(iteration, -1);
    EXPECT_EQ(searched, 51);   // fifty returned, the next match looked at
    // Another context cannot go on with it or close it.
    NWDSContextHandle other = 0;
    ASSERT_EQ(Client().NWDSCreateContextHandle(other), 0);
    int32_t stolen = iteration;
    EXPECT_EQ(Client().NWDSExtSyncSearch(other, "[Root]", 2, false, request, 0, 0, false, nullptr, stolen, 50, searched,
                                         reply),
              ErrInvalidHandle);
    EXPECT_EQ(stolen, -1);
    EXPECT_EQ(Client().NWDSCloseIteration(other, iteration, DsvSearch), ErrInvalidHandle);
    // A listing does not take a search's handle.
    int32_t listing = iteration;
    EXPECT_EQ(Client().NWDSList(Ctx(), "[Root]", listing, reply), ErrInvalidHandle);
    // Closed, the search is gone.
    EXPECT_EQ(Client().NWDSCloseIteration(Ctx(), iteration, DsvSearch), 0);
    int32_t closed = iteration;
    EXPECT_EQ(Client().NWDSExtSyncSearch(Ctx(), "[Root]", 2, false, request, 0, 0, false, nullptr, closed, 50, searched,
                                         reply),
              ErrInvalidHandle);
    EXPECT_EQ(Client().NWDSCloseIteration(Ctx(), iteration, DsvSearch), ErrInvalidHandle);
    Client().NWDSFreeContext(other);
}

TEST_F(SnapshotSearch, StopFlagAndMaximumEndTheSearchAndCloseItsIteration) {
    TTempFolder folder;
    Install(WriteGeneratedTree(folder, 260, 2, 2));
    TStringList results;
    int found = 0;
    EXPECT_EQ(U_DSSearch(Ctx(), "[Root]", "(Security Equals=.group1.big)", 0, nullptr, nullptr, found, 7, "#NAME#",
                         &results, DsSearchSubtree),
              0);
    EXPECT_EQ(found, 7);
    EXPECT_EQ(results.Count(), 7);
    EXPECT_EQ(results.Strings(6), "user13.part1.big");

    bool stop = false;
    int32_t handle = -1;
    intptr_t seenValue = 0;
    int calls = 0;
    results.Clear();
    found = 0;
    auto callback = [&](int32_t iteration, intptr_t userValue) {
        handle = iteration;
        seenValue = userValue;
        if (++calls == 60) stop = true;
    };
    EXPECT_EQ(U_DSSearch(Ctx(), "[Root]", "(Security Equals=.group1.big)", 42, &stop, callback, found, 0, "#NAME#",
                         &results, DsSearchSubtree),
              0);
    EXPECT_EQ(found, 60);
    EXPECT_EQ(results.Count(), 60);
    EXPECT_EQ(seenValue, 42);
    ASSERT_NE(handle, -1);   // the second batch's iteration, which the stop closed
    EXPECT_EQ(Client().NWDSCloseIteration(Ctx(), handle, DsvSearch), ErrInvalidHandle);
}

TEST_F(SnapshotSearch, AnExceptionInsideTheSearchEndsItAndClosesItsIteration) {
    TTempFolder folder;
    Install(WriteGeneratedTree(folder, 260, 2, 2));
    int32_t handle = -1;
    auto callback = [&](int32_t iteration, intptr_t) { handle = iteration; };
    TStringList results;
    int found = 0;
    // Messages run once per batch and once per object: the 60th run is inside the second batch.
    auto previous = InstallUiHost(std::make_unique<TThrowingHost>(60));
    const NWCCODE code = U_DSSearch(Ctx(), "[Root]", "(Security Equals=.group0.big)", 0, nullptr, callback, found, 0,
                                    "#NAME#", &results, DsSearchSubtree);
    InstallUiHost(std::move(previous));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(found, 57);
    EXPECT_EQ(results.Count(), 57);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(Client().NWDSCloseIteration(Ctx(), handle, DsvSearch), ErrInvalidHandle);   // closed already
}

TEST_F(SnapshotSearch, TheTemplateIsFilledPerObject) {
    struct Case {
        std::string outputTemplate;
        std::string line;
        uint32_t namePosition;
    };
    const std::vector<Case> cases = {
        {"", "alice.hq.corp", 1},
        {"#NAME#", "alice.hq.corp", 1},
        {"#CLASS#: #NAME#", "User: alice.hq.corp", 7},
        {"#[%-10s][CN]#|#NAME#", "alice     |alice.hq.corp", 12},
        {"#[dn]#", ".alice.hq.corp", 0},
        {"#[rdn]#/#[CTX]#", "alice/.hq.corp", 0},
        {"#[Surname]# #[Title]#", "Archer Chief Engineer", 0},
        {"#[Telephone Number]#;#[Description]#;#NAME#", "+1 555 0100;;alice.hq.corp", 14},
        {"#[%s][CLASS]# #[]# #[NAME]#", "User #[]# alice.hq.corp", 0},
    };
    for (const auto& c : cases) {
        TStringList results;
        int found = 0;
        ASSERT_EQ(U_DSSearch(Ctx(), "[Root]", "(CN=alice)", 0, nullptr, nullptr, found, 0, c.outputTemplate, &results,
                             DsSearchSubtree),
                  0)
            << c.outputTemplate;
        ASSERT_EQ(results.Count(), 1) << c.outputTemplate;
        EXPECT_EQ(results.Strings(0), c.line) << c.outputTemplate;
        EXPECT_EQ(results.Objects(0), c.namePosition) << c.outputTemplate;
    }
    // A missing attribute is empty for every object that lacks it.
    TStringList results;
    int found = 0;
    ASSERT_EQ(U_DSSearch(Ctx(), ".dev.hq.corp", "(Base Class=User)", 0, nullptr, nullptr, found, 0, "#[CN]#=#[Title]#",
                         &results, DsSearchSubordinates),
              0);
    EXPECT_EQ(Lines(results), (TNames{"carol=", "dave=engineer in training"}));
}

} // namespace era
