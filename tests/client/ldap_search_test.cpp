// Searches over LDAP: the client's filter tokens as RFC 4515 filters with every value escaped,
// searches through the access layer's filter language, paged results and the search cache.

#include "client_fixture.h"
#include "ldap_server.h"

#include "client/ldap/ldap_filter.h"
#include "directory/context.h"
#include "rights/search_filter.h"

#include <algorithm>

namespace era::test {
namespace {

TFilterItem Token(uint32_t token) { return {token, {}, TTextValue{}, SynUnknown}; }
TFilterItem Name(const std::string& name, uint32_t syntax) { return {FtokAName, name, TTextValue{}, syntax}; }
TFilterItem Value(TAttrValue value, uint32_t syntax) { return {FtokAVal, {}, std::move(value), syntax}; }

// Names become DNs the way a test can check: "x.y" is cn=x,o=y.
NWCCODE TestDn(const std::string& name, std::string& dn) {
    if (name == "unknown.acme") return ErrNoSuchEntry;
    size_t dot = name.find('.');
    dn = "cn=" + name.substr(0, dot) + ",o=" + name.substr(dot + 1);
    return 0;
}

TEST(LdapFilter, TokensBecomeTheFilterStringWithTheirPrecedence) {
    const std::string nul("a\0b", 3);
    struct TCase {
        const char* What;
        std::vector<TFilterItem> Items;
        const char* Filter;
    } cases[] = {
        {"an equality", {Name("Security Equals", SynDistName), Token(FtokEq), Value(TTextValue{"admin.acme"}, SynDistName), Token(FtokEnd)},
         "(securityEquals=cn=admin,o=acme)"},
        {"presence", {Token(FtokPresent), Name("Login Script", SynStream), Token(FtokEnd)}, "(loginScript=*)"},
        {"and before or, not tightest",
         {Name("CN", SynCiString), Token(FtokEq), Value(TTextValue{"a"}, SynCiString), Token(FtokAnd),
          Name("CN", SynCiString), Token(FtokEq), Value(TTextValue{"b"}, SynCiString), Token(FtokOr), Token(FtokNot),
          Name("CN", SynCiString), Token(FtokEq), Value(TTextValue{"c"}, SynCiString), Token(FtokAnd),
          Name("CN", SynCiString), Token(FtokEq), Value(TTextValue{"d"}, SynCiString), Token(FtokEnd)},
         "(|(&(cn=a)(cn=b))(&(!(cn=c))(cn=d)))"},
        {"groups", {Token(FtokNot), Token(FtokLParen), Name("CN", SynCiString), Token(FtokEq), Value(TTextValue{"a"}, SynCiString),
                    Token(FtokOr), Name("CN", SynCiString), Token(FtokEq), Value(TTextValue{"b"}, SynCiString), Token(FtokRParen),
                    Token(FtokEnd)},
         "(!(|(cn=a)(cn=b)))"},
        {"base class", {Token(FtokBaseClass), Name("Organizational Unit", SynClassName), Token(FtokEnd)},
         "(objectClass=organizationalUnit)"},
        {"relative name", {Token(FtokRdn), Name("jdoe", SynDistName), Token(FtokEnd)},
         "(|(cn=jdoe)(ou=jdoe)(o=jdoe)(l=jdoe)(c=jdoe)(dc=jdoe)(st=jdoe))"},
        {"every character a filter knows, and NUL (an asterisk written \"\\*\")",
         {Name("Description", SynCiString), Token(FtokEq), Value(TTextValue{"\\*()\\" + nul}, SynCiString), Token(FtokEnd)},
         "(description=\\2a\\28\\29\\5ca\\00b)"},
        {"a wildcard in a string", {Name("CN", SynCiString), Token(FtokEq), Value(TTextValue{"j*"}, SynCiString), Token(FtokEnd)},
         "(cn=j*)"},
        {"wildcards around and between escaped pieces",
         {Name("Surname", SynCiString), Token(FtokEq), Value(TTextValue{"*a(b**c\\*d*"}, SynCiString), Token(FtokEnd)},
         "(sn=*a\\28b*c\\2ad*)"},
        {"wildcards only", {Name("CN", SynCiString), Token(FtokEq), Value(TTextValue{"**"}, SynCiString), Token(FtokEnd)},
         "(cn=*)"},
        {"an ordering takes the asterisk as it is",
         {Name("CN", SynCiString), Token(FtokGe), Value(TTextValue{"j*"}, SynCiString), Token(FtokEnd)}, "(cn>=j\\2a)"},
        {"no wildcard outside the string syntaxes",
         {Name("GUID", SynOctetString), Token(FtokEq), Value(TOctetString{{'j', '*'}}, SynOctetString), Token(FtokEnd)},
         "(GUID=j\\2a)"},
        {"orderings and numbers", {Name("Login Grace Limit", SynInteger), Token(FtokGe), Value(TIntegerValue{-3}, SynInteger), Token(FtokEnd)},
         "(loginGraceLimit>=-3)"},
        {"booleans", {Name("Login Disabled", SynBoolean), Token(FtokEq), Value(TBooleanValue{1}, SynBoolean), Token(FtokEnd)},
         "(loginDisabled=TRUE)"},
        {"times", {Name("Last Login Time", SynTime), Token(FtokLe), Value(TTimeStamp{1257147912, 0, 0}, SynTime), Token(FtokEnd)},
         "(lastLoginTime<=20091102074512Z)"},
        {"approximately", {Name("Surname", SynCiString), Token(FtokApprox), Value(TTextValue{"Doe"}, SynCiString), Token(FtokEnd)},
         "(sn~=Doe)"},
        {"an ACL by subject and attribute",
         {Name("ACL", SynObjectACL), Token(FtokEq), Value(TObjectACL{"Telephone Number", "helpdesk.acme", 4}, SynObjectACL), Token(FtokEnd)},
         "(ACL=*#cn=helpdesk,o=acme#telephoneNumber)"},
        {"an ACL of a special subject",
         {Name("ACL", SynObjectACL), Token(FtokEq), Value(TObjectACL{"[Entry Rights]", "[Public]", 1}, SynObjectACL), Token(FtokEnd)},
         "(ACL=*#[Public]#[Entry Rights])"},
        {"a path, without the zero that ends it",
         {Name("Home Directory", SynPath), Token(FtokEq), Value(TPathValue{0, "FS1_SYS.acme", std::string("USERS\\JDOE\0", 11)}, SynPath), Token(FtokEnd)},
         "(ndsHomeDirectory=cn=FS1_SYS,o=acme#0#USERS\\5cJDOE)"},
        {"an octet string", {Name("GUID", SynOctetString), Token(FtokEq), Value(TOctetString{{0x01, 0x2A, 0xFF}}, SynOctetString), Token(FtokEnd)},
         "(GUID=\\01\\2a\\ff)"},
    };
    for (const auto& c : cases) {
        std::string filter;
        EXPECT_EQ(BuildLdapFilter(c.Items, TestDn, filter), 0) << c.What;
        EXPECT_EQ(filter, c.Filter) << c.What;
    }
}

TEST(LdapFilter, TokensThatMakeNoFilterAreRefused) {
    struct TCase {
        const char* What;
        std::vector<TFilterItem> Items;
        NWCCODE Code;
    } cases[] = {
        {"nothing", {Token(FtokEnd)}, ErrInvalidFilterSyntax},
        {"an open group", {Token(FtokLParen), Token(FtokPresent), Name("CN", SynCiString), Token(FtokEnd)}, ErrInvalidFilterSyntax},
        {"an operator without operand", {Token(FtokPresent), Name("CN", SynCiString), Token(FtokAnd), Token(FtokEnd)},
         ErrInvalidFilterSyntax},
        {"a comparison without value", {Name("CN", SynCiString), Token(FtokEq), Token(FtokEnd)}, ErrInvalidFilterSyntax},
        {"an attribute name that would change the filter",
         {Name("cn=*)(objectClass", SynCiString), Token(FtokEq), Value(TTextValue{"x"}, SynCiString), Token(FtokEnd)},
         ErrInvalidFilterSyntax},
        {"a name that has no DN",
         {Name("Member", SynDistName), Token(FtokEq), Value(TTextValue{"unknown.acme"}, SynDistName), Token(FtokEnd)},
         ErrNoSuchEntry},
        {"a value that cannot be compared",
         {Name("Network Address", SynNetAddress), Token(FtokEq), Value(TNetAddress{9, {1}}, SynNetAddress), Token(FtokEnd)},
         ErrIllegalAttributeSyntax},
    };
    for (const auto& c : cases) {
        std::string filter = "left";
        EXPECT_EQ(BuildLdapFilter(c.Items, TestDn, filter), c.Code) << c.What;
        EXPECT_TRUE(filter.empty()) << c.What;
    }
}

class LdapSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new TSlapd(); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_ && server_->Running());
        auto client = LoadLdap(server_->WriteWorkstation("workstation.json"));
        ASSERT_TRUE(client);
        ldap_ = client.get();
        InstallClient(std::move(client));
        ASSERT_EQ(ldap_->NWCallsInit(), 0) << ldap_->LastError();
        ASSERT_EQ(TDSContext::Create(context_), 0);
        ASSERT_EQ(U_DSSetContextFlag(context_.Get(), "+", DcvTypelessNames), 0);
    }
    void TearDown() override {
        context_.Reset();
        InstallClient(nullptr);
    }

    // The names a search of the client's own tokens finds, over every batch.
    std::vector<std::string> Search(const std::string& base, int scope, std::vector<TFilterItem> items,
                                    NWCCODE* code = nullptr, int* batches = nullptr, int32_t perCall = 50,
                                    int stopAfter = 1000) {
        TDSBuffer request(DefaultMessageLen), reply(MaxMessageLen);
        ldap_->NWDSInitBuf(context_.Get(), DsvSearchFilter, request);
        TFilterCursor cursor;
        for (auto& item : items) cursor.Append(std::move(item));
        EXPECT_EQ(ldap_->NWDSPutFilter(context_.Get(), request, cursor), 0);
        std::vector<std::string> names;
        int32_t iteration = -1;
        int count = 0;
        NWCCODE result = 0;
        do {
            int32_t searched = 0;
            result = ldap_->NWDSExtSyncSearch(context_.Get(), base, scope, false, request, 0, DsAttributeNames, false,
                                              nullptr, iteration, perCall, searched, reply);
            EXPECT_LE(searched, perCall);
            if (result != 0) break;
            ++count;
            uint32_t objects = 0;
            ldap_->NWDSGetObjectCount(context_.Get(), reply, objects);
            EXPECT_EQ(static_cast<uint32_t>(searched), objects);
            for (uint32_t i = 0; i < objects; ++i) {
                std::string name;
                uint32_t attributes = 0;
                TObjectInfo info;
                ldap_->NWDSGetObjectName(context_.Get(), reply, name, attributes, info);
                names.push_back(name);
            }
            if (count == stopAfter && iteration != -1) {
                EXPECT_EQ(ldap_->NWDSCloseIteration(context_.Get(), iteration, DsvSearch), 0);
                break;
            }
        } while (iteration != -1 && count < 1000);
        if (code) *code = result;
        if (batches) *batches = count;
        return names;
    }

    static TSlapd* server_;
    TLdapWorkstation* ldap_ = nullptr;
    TDSContext context_;
};
TSlapd* LdapSearchTest::server_ = nullptr;

TEST_F(LdapSearchTest, AValueWithFilterCharactersFindsExactlyTheObjectHoldingIt) {
    ASSERT_EQ(U_DSChangeTree(context_.Get(), "FIXTURE_TREE", false), 0);
    ASSERT_EQ(U_DSSetContextToRoot(context_.Get()), 0);
    // In a string "*" is the wildcard; "\\*" stands for the asterisk itself.
    const std::string tricky("v\\*(x)\\y\0z", 10);
    auto found = Search("[Root]", DsSearchSubtree,
                        {Name("Mailbox ID", SynCeString), Token(FtokEq), Value(TTextValue{tricky}, SynCeString), Token(FtokEnd)});
    EXPECT_EQ(found, (std::vector<std::string>{"tricky.escapes.fixture"}));
    found = Search("[Root]", DsSearchSubtree,
                   {Name("Description", SynCiString), Token(FtokEq), Value(TTextValue{"50% off (today) \\* only \\ here"}, SynCiString),
                    Token(FtokEnd)});
    EXPECT_EQ(found, (std::vector<std::string>{"tricky.escapes.fixture"}));
    // An escaped "*" is a character: "v*" is nobody's value.
    found = Search("[Root]", DsSearchSubtree,
                   {Name("Mailbox ID", SynCeString), Token(FtokEq), Value(TTextValue{"v\\*"}, SynCiString), Token(FtokEnd)});
    EXPECT_TRUE(found.empty());
    // The value up to its NUL is another object's whole value.
    found = Search("[Root]", DsSearchSubtree,
                   {Name("Mailbox ID", SynCeString), Token(FtokEq), Value(TTextValue{"v\\*(x)\\y"}, SynCeString), Token(FtokEnd)});
    EXPECT_EQ(found, (std::vector<std::string>{"cut.escapes.fixture"}));
}

TEST_F(LdapSearchTest, TheFilterLanguageSearchesTheTreeAsTheAnalysisAsks) {
    TStringList found;
    ASSERT_EQ(U_DSFilteredSearch(context_.Get(), "[Root]", "(Security Equals=.sales-managers.sales.acme)", &found, 2), 0);
    std::vector<std::string> names;
    for (const auto& item : found.Items()) names.push_back(item.Text);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"jdoe.east.sales.acme", "kwilson.west.sales.acme", "mbrown.east.sales.acme"}));

    found.Clear();
    ASSERT_EQ(U_DSFilteredSearch(context_.Get(), ".sales.acme", "(Base Class=User) AND (Name=jdoe)", &found, 2), 0);
    ASSERT_EQ(found.Count(), 1);
    EXPECT_EQ(found.Strings(0), "jdoe.east.sales.acme");

    found.Clear();
    ASSERT_EQ(U_DSFilteredSearch(context_.Get(), ".east.sales.acme", "(Base Class=ou)", &found, 1), 0);
    ASSERT_EQ(found.Count(), 1);
    EXPECT_EQ(found.Strings(0), "projects.east.sales.acme");

    // The base class is the object's own, not any class it has: LDAP's objectClass match is
    // narrowed to it.
    found.Clear();
    ASSERT_EQ(U_DSFilteredSearch(context_.Get(), ".east.sales.acme", "(Base Class=Person)", &found, 1), 0);
    EXPECT_EQ(found.Count(), 0);
    found.Clear();
    ASSERT_EQ(U_DSFilteredSearch(context_.Get(), ".east.sales.acme", "(Object Class=Person)", &found, 1), 0);
    EXPECT_EQ(found.Count(), 7);
    found.Clear();
    ASSERT_EQ(U_DSFilteredSearch(context_.Get(), ".east.sales.acme", "(Base Class=Person) OR (Name=projects)", &found, 1), 0);
    EXPECT_EQ(found.Count(), 8);   // under OR the class is not required: LDAP's match stands

    found.Clear();
    ASSERT_EQ(U_DSFilteredSearch(context_.Get(), "[Root]", "(Login Disabled=TRUE)", &found, 2), 0);
    ASSERT_EQ(found.Count(), 1);
    EXPECT_EQ(found.Strings(0), "ohall.east.sales.acme");

    // A search of the base object alone.
    found.Clear();
    ASSERT_EQ(U_DSFilteredSearch(context_.Get(), ".acme", "(Object Class=Organization)", &found, 0), 0);
    EXPECT_EQ(found.Count(), 1);
    found.Clear();
    EXPECT_EQ(U_DSFilteredSearch(context_.Get(), ".nobody.acme", "(CN=x)", &found, 2), ErrNoSuchEntry);
}

// The directory's wildcard reaches the server as a substring filter and finds what the embedded
// directory finds for the same filter.
TEST_F(LdapSearchTest, AStarInAStringIsAWildcardOnTheServerToo) {
    auto names = [this](const std::string& filter) {
        TStringList found;
        EXPECT_EQ(U_DSFilteredSearch(context_.Get(), "[Root]", filter, &found, 2), 0) << filter;
        std::vector<std::string> sorted;
        for (const auto& item : found.Items()) sorted.push_back(item.Text);
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    };
    EXPECT_EQ(names("(CN=j*)"), (std::vector<std::string>{"jane.hr.acme", "jdoe.east.sales.acme", "jlopez.west.sales.acme",
                                                         "jsmith.it.acme"}));
    EXPECT_EQ(names("(Surname=D*)"), (std::vector<std::string>{"jdoe.east.sales.acme", "vdavis.hr.acme"}));
    EXPECT_EQ(names("(Surname=*o*e)"), (std::vector<std::string>{"jdoe.east.sales.acme"}));
    EXPECT_EQ(names("(Surname=D\\*)"), (std::vector<std::string>{}));
}

TEST_F(LdapSearchTest, AttributesOutsideTheMappingTakeTheirSyntaxFromTheServersSchema) {
    struct TCase {
        const char* Name;
        NWCCODE Code;
        uint32_t Syntax;
    } cases[] = {
        {"Security Equals", 0, SynDistName},   // the mapping's
        {"securityEquals", 0, SynDistName},
        {"userPassword", 0, SynOctetString},   // the schema's: an octet string
        {"t", 0, SynCiString},                 // derived from name, a directory string
        {"entryDN", 0, SynDistName},
        {"colour", ErrNoSuchAttribute, 0},
    };
    uint64_t before = ldap_->RoundTrips("ACME_TREE");
    for (const auto& c : cases) {
        uint32_t syntax = 99;
        EXPECT_EQ(ldap_->NWDSGetSyntaxID(context_.Get(), c.Name, syntax), c.Code) << c.Name;
        EXPECT_EQ(syntax, c.Syntax) << c.Name;
    }
    EXPECT_EQ(ldap_->RoundTrips("ACME_TREE") - before, 1u);   // the schema, read once
    // A filter on an attribute nobody has is refused as the embedded directory refuses it.
    TStringList found;
    EXPECT_EQ(U_DSFilteredSearch(context_.Get(), "[Root]", "(Colour=red)", &found, 2), ErrNoSuchAttribute);
}

TEST_F(LdapSearchTest, ResultsComePagePerBatchAndASearchIsAskedOnce) {
    ASSERT_EQ(U_DSChangeTree(context_.Get(), "FIXTURE_TREE", false), 0);
    ASSERT_EQ(U_DSSetContextToRoot(context_.Get()), 0);
    auto roles = std::vector<TFilterItem>{Token(FtokBaseClass), Name("Organizational Role", SynClassName), Token(FtokEnd)};
    NWCCODE code = 0;
    int batches = 0;
    uint64_t before = ldap_->RoundTrips("FIXTURE_TREE");
    auto found = Search(".fixture", DsSearchSubtree, roles, &code, &batches);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(found.size(), 17u);   // 12 below paged, 5 below escapes
    EXPECT_EQ(batches, 5);          // pages of 4
    uint64_t first = ldap_->RoundTrips("FIXTURE_TREE") - before;
    EXPECT_EQ(first, 1u + 5u);      // the base, then the pages
    before = ldap_->RoundTrips("FIXTURE_TREE");
    auto again = Search(".fixture", DsSearchSubtree, roles, &code, &batches);
    EXPECT_EQ(again, found);
    EXPECT_EQ(ldap_->RoundTrips("FIXTURE_TREE") - before, 0u);
    // No more objects per call than the caller asks for.
    ldap_->ClearCache();
    auto few = Search(".fixture", DsSearchSubtree, roles, &code, &batches, 3);
    EXPECT_EQ(few, found);
    EXPECT_EQ(batches, 6);   // 3 + 1 of each page of 4, then the last page of 1
    // A search ended early is let go on the server (one more round trip) and asked afresh later.
    ldap_->ClearCache();
    before = ldap_->RoundTrips("FIXTURE_TREE");
    auto part = Search(".fixture", DsSearchSubtree, roles, &code, &batches, 50, 1);
    EXPECT_EQ(part.size(), 4u);
    EXPECT_EQ(ldap_->RoundTrips("FIXTURE_TREE") - before, 1u + 1u + 1u);   // the base, one page, letting go
    EXPECT_EQ(Search(".fixture", DsSearchSubtree, roles), found);
    // Once the cache is emptied the server is asked again.
    ldap_->ClearCache();
    before = ldap_->RoundTrips("FIXTURE_TREE");
    Search(".fixture", DsSearchSubtree, roles);
    EXPECT_EQ(ldap_->RoundTrips("FIXTURE_TREE") - before, 1u + 5u);
}

} // namespace
} // namespace era::test
