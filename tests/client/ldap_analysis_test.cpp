// The effective-rights analysis over LDAP: the same LDIF analysed through the embedded directory
// and through slapd gives the same trace and summary, except where the directory's own answers
// differ, and it costs a known number of round trips per object.
//
// slapd has no effective-privileges operation, so over LDAP the analysis gets "[n/a]" for every
// question to the directory itself. That changes exactly these lines and nothing else:
//   - the "  Check 2:" lines of the embedded directory are absent;
//   - the embedded directory's widening notes ("     * [..] Effective [..] rights on [Entry
//     Rights]  " and the same for [All Attributes Rights]) are absent;
//   - the rights of an "  Effective:" line or of a note may be narrower (never wider) where the
//     widening reached them: directly, or through a Security Equals trustee that took the rights
//     of a widened entry; as widening also takes away the inheritance mark I (0x40), that mark
//     may stand over LDAP where it does not in the embedded directory. Notes of one result may
//     then stand in another order, since they are sorted by text.
// The server also returns the holders of a Security Equals in its own order, so each run of
// "  Indirect Trustee:" lines is compared as a set.
//
// Through the responder of ldap_responder.h, which answers eDirectory's effective-privileges
// operation from the embedded directory's own effective rights, nothing of this is allowed: the
// traces are the same line for line, "Check 2" and the widening notes included.

#include "client_fixture.h"
#include "ldap_responder.h"
#include "ldap_server.h"

#include "directory/context.h"
#include "rights/analysis.h"

#include <algorithm>
#include <regex>
#include <thread>

namespace era::test {
namespace {

struct TAnalysed {
    std::vector<std::pair<uint32_t, std::string>> Trace;
    std::vector<std::pair<std::string, uint32_t>> Results;
};

TAnalysed Analyse(TDirectoryClient* client, const std::string& object) {
    auto previous = InstallClient(std::unique_ptr<TDirectoryClient>(client));
    TAnalysed analysed;
    {
        TDSContext context;
        EXPECT_EQ(TDSContext::Create(context), 0);
        EXPECT_EQ(U_DSChangeCurrentTreeAndContext(context.Get(), "ACME_TREE", "[Root]", false), 0);
        TStringList trace, results;
        U_AnalyzeEffectiveRights(context.Get(), object, 31, ScanDirectoryMode, &trace, results, nullptr);
        for (const auto& item : trace.Items()) analysed.Trace.emplace_back(item.Object, item.Text);
        for (const auto& item : results.Items()) analysed.Results.emplace_back(item.Text, item.Object);
    }
    // The client stays the caller's.
    InstallClient(std::move(previous)).release();
    return analysed;
}

bool IsRightsText(const std::string& inside) {
    return !inside.empty() && std::all_of(inside.begin(), inside.end(), [](char c) { return c == ' ' || (c >= 'A' && c <= 'Z'); });
}

// The line with every rights text "[..]" replaced by "[]", and the rights texts in order.
std::string Normalise(const std::string& line, std::vector<std::string>* rights = nullptr) {
    std::string out;
    for (size_t i = 0; i < line.size();) {
        size_t close = line[i] == '[' ? line.find(']', i) : std::string::npos;
        if (close != std::string::npos && IsRightsText(line.substr(i + 1, close - i - 1))) {
            if (rights) rights->push_back(line.substr(i + 1, close - i - 1));
            out += "[]";
            i = close + 1;
        } else {
            out += line[i++];
        }
    }
    return out;
}

// Every right of narrow is in wide (rights texts have one position per right); the inheritance
// mark I, which widening takes away, may stand in narrow alone.
bool Narrower(const std::string& narrow, const std::string& wide) {
    if (narrow.size() != wide.size()) return false;
    for (size_t i = 0; i < narrow.size(); ++i)
        if (narrow[i] != ' ' && narrow[i] != wide[i] && !(narrow[i] == 'I' && wide[i] == ' ')) return false;
    return true;
}

bool LinesMatch(const std::string& live, const std::string& embedded) {
    std::vector<std::string> a, b;
    if (Normalise(live, &a) != Normalise(embedded, &b) || a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!Narrower(a[i], b[i])) return false;
    return true;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// What the comparison saw, for checking that the rule was exercised.
struct TComparison {
    int CheckTwoLines = 0;
    int WideningNotes = 0;
    int NarrowerLines = 0;
};

// Whether the server over LDAP gave the directory's own answers (effective privileges).
enum class TDirectoryAnswers { Absent, Given };

// Compares the traces under the rule of this file's head; failures name the object.
TComparison CompareTraces(const std::string& object, const TAnalysed& live, const TAnalysed& embedded,
                          TDirectoryAnswers answers = TDirectoryAnswers::Absent) {
    static const std::regex Widening(R"(     \* \[[A-Z ]+\] Effective \[[A-Z ]+\] rights on \[(Entry Rights|All Attributes Rights)\]  )");
    const bool given = answers == TDirectoryAnswers::Given;
    TComparison seen;
    std::vector<std::pair<uint32_t, std::string>> expected;
    for (const auto& line : embedded.Trace) {
        bool checkTwo = StartsWith(line.second, "  Check 2:");
        bool widening = !checkTwo && std::regex_match(line.second, Widening);
        seen.CheckTwoLines += checkTwo;
        seen.WideningNotes += widening;
        if (given || !(checkTwo || widening)) expected.push_back(line);
    }
    const auto& actual = live.Trace;
    // Walk both in step by blocks: an Effective line with its notes and checks, a run of
    // Indirect Trustee lines, or any other single line.
    auto blockEnd = [](const std::vector<std::pair<uint32_t, std::string>>& lines, size_t at) {
        size_t end = at + 1;
        if (StartsWith(lines[at].second, "  Effective:")) {
            while (end < lines.size() && (StartsWith(lines[end].second, "     * ") || StartsWith(lines[end].second, "  Check 1:")))
                ++end;
        } else if (StartsWith(lines[at].second, "  Indirect Trustee:")) {
            while (end < lines.size() && StartsWith(lines[end].second, "  Indirect Trustee:")) ++end;
        }
        return end;
    };
    size_t a = 0, b = 0;
    while (a < actual.size() && b < expected.size()) {
        size_t aEnd = blockEnd(actual, a), bEnd = blockEnd(expected, b);
        std::vector<std::pair<uint32_t, std::string>> left(actual.begin() + a, actual.begin() + aEnd);
        std::vector<std::pair<uint32_t, std::string>> right(expected.begin() + b, expected.begin() + bEnd);
        bool effective = !given && StartsWith(right.front().second, "  Effective:");
        if (StartsWith(right.front().second, "  Indirect Trustee:") || effective) {
            // The head line stays in place; what follows it is compared sorted by its normalised text.
            auto byText = [](const auto& x, const auto& y) { return Normalise(x.second) < Normalise(y.second); };
            std::sort(left.begin() + (effective ? 1 : 0), left.end(), byText);
            std::sort(right.begin() + (effective ? 1 : 0), right.end(), byText);
        }
        EXPECT_EQ(left.size(), right.size()) << object << ": block at \"" << right.front().second << "\"";
        for (size_t i = 0; i < std::min(left.size(), right.size()); ++i) {
            EXPECT_EQ(left[i].first, right[i].first) << object << ": " << right[i].second;
            if (left[i].second == right[i].second) continue;
            bool mayNarrow = !given && (StartsWith(right[i].second, "  Effective:") ||
                                        StartsWith(right[i].second, "     * "));
            EXPECT_TRUE(mayNarrow && LinesMatch(left[i].second, right[i].second))
                << object << ":\n  over LDAP: " << left[i].second << "\n  embedded:  " << right[i].second;
            ++seen.NarrowerLines;
        }
        a = aEnd;
        b = bEnd;
    }
    EXPECT_EQ(a, actual.size()) << object << ": the LDAP trace goes on with \"" << (a < actual.size() ? actual[a].second : "") << "\"";
    EXPECT_EQ(b, expected.size()) << object << ": the embedded trace goes on with \""
                                  << (b < expected.size() ? expected[b].second : "") << "\"";
    // The summary: the same entries in the same order, rights never wider.
    EXPECT_EQ(live.Results.size(), embedded.Results.size()) << object;
    for (size_t i = 0; i < std::min(live.Results.size(), embedded.Results.size()); ++i) {
        if (given) {
            EXPECT_EQ(live.Results[i], embedded.Results[i]) << object;
            continue;
        }
        EXPECT_TRUE(LinesMatch(live.Results[i].first, embedded.Results[i].first))
            << object << ": " << live.Results[i].first << " / " << embedded.Results[i].first;
        EXPECT_EQ(live.Results[i].second & ~embedded.Results[i].second & ~0x40u, 0u) << object << ": " << live.Results[i].first;
    }
    return seen;
}

class LdapAnalysisTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new TSlapd(); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(server_ && server_->Running());
        ldap_ = LoadLdap(server_->WriteWorkstation("workstation.json"));
        ASSERT_TRUE(ldap_);
        ASSERT_EQ(ldap_->NWCallsInit(), 0) << ldap_->LastError();
    }
    static TSlapd* server_;
    std::unique_ptr<TLdapWorkstation> ldap_;
};
TSlapd* LdapAnalysisTest::server_ = nullptr;

const char* const SampleObjects[] = {
    ".jdoe.east.sales.acme",   // groups, Security Equals, container residence
    ".sintern.projects.east.sales.acme",   // two links of Security Equals, an attribute filter
    ".hjones.hr.acme",         // inherited rights filters
    ".jane.hr.acme",           // an alias
    ".acme",                   // the top container
    ".FS1.it.acme",            // a server
    "[Root]",
};

TEST_F(LdapAnalysisTest, GivesTheEmbeddedDirectorysTraceButForTheDirectorysOwnAnswers) {
    auto embedded = Load(std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json");
    ASSERT_TRUE(embedded);
    TComparison total;
    for (const char* object : SampleObjects) {
        TAnalysed live = Analyse(ldap_.get(), object);
        TAnalysed local = Analyse(embedded.get(), object);
        ASSERT_GT(local.Trace.size(), 10u) << object;
        // The server was there for every call (the failures both traces hold, such as a level
        // without an ACL, are compared with the rest).
        for (const auto& line : live.Trace)
            EXPECT_EQ(line.second.find("transport failure"), std::string::npos) << object << ": " << line.second;
        TComparison seen = CompareTraces(object, live, local);
        total.CheckTwoLines += seen.CheckTwoLines;
        total.WideningNotes += seen.WideningNotes;
        total.NarrowerLines += seen.NarrowerLines;
    }
    // The rule was needed: the embedded directory's own answers did widen and check.
    EXPECT_GT(total.WideningNotes, 0);
    EXPECT_GT(total.NarrowerLines, 0);
}

TEST_F(LdapAnalysisTest, CostsOneRoundTripPerLevelAndTrusteeAndNothingTheSecondTime) {
    auto previous = InstallClient(std::unique_ptr<TDirectoryClient>(ldap_.get()));
    TDSContext context;
    ASSERT_EQ(TDSContext::Create(context), 0);
    auto rounds = [&](const char* object) {
        uint64_t before = ldap_->RoundTrips();
        TStringList trace, results;
        U_AnalyzeEffectiveRights(context.Get(), object, 31, ScanDirectoryMode, &trace, results, nullptr);
        return ldap_->RoundTrips() - before;
    };
    // jdoe: 5 levels (jdoe, east, sales, acme, [Root]), one Security Equals search for each of the
    // 9 direct trustees ([Root], [Public], admin, it-admins, helpdesk, everyone, sales,
    // sales-managers, jdoe), and one read for each of the 4 trustees that are neither a level
    // nor found by an earlier search (it-admins, helpdesk, everyone, sales-managers).
    EXPECT_EQ(rounds(".jdoe.east.sales.acme"), 5u + 9u + 4u);
    EXPECT_EQ(rounds(".jdoe.east.sales.acme"), 0u);
    // The alias: its own entry; the rest is jdoe's.
    EXPECT_EQ(rounds(".jane.hr.acme"), 1u);
    // sintern: the level projects (sintern's own entry came with the search for jdoe's equals),
    // the searches for the new trustees projects-team and sintern, and the read of
    // projects-team, which no search has found.
    EXPECT_EQ(rounds(".sintern.projects.east.sales.acme"), 1u + 2u + 1u);
    struct TCold {
        const char* Object;
        uint64_t RoundTrips;
    } cold[] = {{".jdoe.east.sales.acme", 18}, {".sintern.projects.east.sales.acme", 21}, {".hjones.hr.acme", 14},
                {".acme", 11}, {"[Root]", 5}, {".FS1.it.acme", 13}};
    for (const auto& c : cold) {
        ldap_->ClearCache();
        EXPECT_EQ(rounds(c.Object), c.RoundTrips) << c.Object;
    }
    context.Reset();
    InstallClient(std::move(previous)).release();
}

TEST_F(LdapAnalysisTest, ConnectingCostsTheBindAndTheRootEntry) {
    auto fresh = LoadLdap(server_->WriteWorkstation("fresh.json"));
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->RoundTrips(), 0u);
    ASSERT_EQ(fresh->NWCallsInit(), 0);
    EXPECT_EQ(fresh->RoundTrips("ACME_TREE"), 2u);      // bind, root entry
    EXPECT_EQ(fresh->RoundTrips("FIXTURE_TREE"), 1u);   // anonymous: the root entry alone
    TContext context(*fresh);
    std::string me;
    ASSERT_EQ(fresh->NWDSWhoAmI(context, me), 0);
    ASSERT_EQ(fresh->NWDSWhoAmI(context, me), 0);
    EXPECT_EQ(fresh->RoundTrips("ACME_TREE"), 3u);      // Who-am-I once per connection
}

// ---------------------------------------------------------------------------------------------
// eDirectory's own operations, through the responder in front of slapd

class LdapEdirectoryOperationsTest : public LdapAnalysisTest {
protected:
    // The test's workstation file with both trees read through the responder.
    std::string ThroughResponder(const TLdapResponder& responder, const std::string& name,
                                 const std::string& acmeMore = "") const {
        std::string path = server_->WriteWorkstation(name, acmeMore);
        std::ifstream in(path);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string direct = server_->Uri();
        for (size_t at; (at = text.find(direct)) != std::string::npos;) text.replace(at, direct.size(), responder.Uri());
        return server_->WriteFile(name, text);
    }
    std::unique_ptr<TLdapWorkstation> Connect(const TLdapResponder& responder, const std::string& name,
                                              const std::string& acmeMore = "") const {
        auto client = LoadLdap(ThroughResponder(responder, name, acmeMore));
        if (client) {
            EXPECT_EQ(client->NWCallsInit(), 0) << client->LastError();
        }
        return client;
    }
};

TEST_F(LdapEdirectoryOperationsTest, AnalysisGivesTheEmbeddedDirectorysTraceCheckTwoIncluded) {
    TLdapResponder responder(server_->Port(), {});
    ASSERT_TRUE(responder.Running());
    auto live = Connect(responder, "responder.json");
    ASSERT_TRUE(live);
    auto embedded = Load(std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json");
    ASSERT_TRUE(embedded);
    int checkTwo = 0;
    for (const char* object : SampleObjects) {
        TAnalysed through = Analyse(live.get(), object);
        TAnalysed local = Analyse(embedded.get(), object);
        ASSERT_GT(local.Trace.size(), 10u) << object;
        CompareTraces(object, through, local, TDirectoryAnswers::Given);
        for (const auto& line : through.Trace) checkTwo += StartsWith(line.second, "  Check 2:");
    }
    // The self-check was made over LDAP, on requests of the documented shape only.
    EXPECT_GT(checkTwo, 0);
    EXPECT_GT(responder.EffectivePrivilegesAnswered(), 0);
    EXPECT_EQ(responder.Malformed(), 0) << responder.Complaints();
    EXPECT_EQ(responder.Unlisted(), 0);
}

TEST_F(LdapEdirectoryOperationsTest, TheRequestIsThreeOctetStringsWithTheAttributesLdapName) {
    TLdapResponder responder(server_->Port(), {});
    auto live = Connect(responder, "request.json");
    ASSERT_TRUE(live);
    TContext context(*live);
    ASSERT_EQ(live->NWDSSetContext(context, DckTreeName, std::string("ACME_TREE")), 0);
    uint32_t privileges = 0;
    ASSERT_EQ(live->NWDSGetEffectiveRights(context, ".admin.acme", ".jdoe.east.sales.acme", "Telephone Number",
                                          privileges), 0) << live->LastError();
    const std::string request = responder.LastPrivilegesRequest();
    RecordProperty("request", Hex(request));
    EXPECT_EQ(request, std::string("\x04\x1f" "cn=jdoe,ou=east,ou=sales,o=acme"
                                   "\x04\x0f" "cn=admin,o=acme"
                                   "\x04\x0f" "telephoneNumber"))
        << Hex(request);
    // The answer is the embedded directory's, read from a bare INTEGER.
    auto embedded = Load(std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json");
    ASSERT_TRUE(embedded);
    TContext local(*embedded);
    ASSERT_EQ(embedded->NWDSSetContext(local, DckTreeName, std::string("ACME_TREE")), 0);
    uint32_t expected = 0;
    ASSERT_EQ(embedded->NWDSGetEffectiveRights(local, ".admin.acme", ".jdoe.east.sales.acme", "Telephone Number",
                                              expected), 0);
    EXPECT_NE(expected, 0u);
    EXPECT_EQ(privileges, expected);
    // The special names go out as they are written.
    ASSERT_EQ(live->NWDSGetEffectiveRights(context, "[Public]", "[Root]", "[All Attributes Rights]", privileges), 0);
    EXPECT_EQ(responder.LastPrivilegesRequest(),
              std::string("\x04\x06" "[Root]" "\x04\x08" "[Public]" "\x04\x17" "[All Attributes Rights]"));
    EXPECT_EQ(responder.Malformed(), 0) << responder.Complaints();
}

TEST_F(LdapEdirectoryOperationsTest, AnswersAreKeptForTheCacheTimeAndForgottenWithTheEntries) {
    TLdapResponder responder(server_->Port(), {});
    auto live = Connect(responder, "kept.json", ", \"cacheSeconds\": 1");
    ASSERT_TRUE(live);
    TContext context(*live);
    ASSERT_EQ(live->NWDSSetContext(context, DckTreeName, std::string("ACME_TREE")), 0);
    const std::string admin = ".admin.acme", jdoe = ".jdoe.east.sales.acme";
    // Asks and returns the effective-privileges requests and the round trips it cost.
    auto ask = [&](const std::string& subject, const std::string& object, const std::string& attribute,
                   uint32_t& privileges) {
        const int asked = responder.EffectivePrivilegesAsked();
        const uint64_t before = live->RoundTrips("ACME_TREE");
        EXPECT_EQ(live->NWDSGetEffectiveRights(context, subject, object, attribute, privileges), 0)
            << subject << " " << object << " " << attribute << ": " << live->LastError();
        return std::make_pair(responder.EffectivePrivilegesAsked() - asked,
                              live->RoundTrips("ACME_TREE") - before);
    };
    uint32_t first = 0, again = 0;
    EXPECT_EQ(ask(admin, jdoe, "Telephone Number", first).first, 1);
    ASSERT_NE(first, 0u);
    // The same question within the cache time: the answer kept, nothing sent at all.
    EXPECT_EQ(ask(admin, jdoe, "Telephone Number", again), std::make_pair(0, uint64_t{0}));
    EXPECT_EQ(again, first);
    // Another subject, object or attribute is another question.
    struct TCase {
        const char* Subject;
        const char* Object;
        const char* Attribute;
    } others[] = {
        {".jdoe.east.sales.acme", ".jdoe.east.sales.acme", "Telephone Number"},
        {".admin.acme", ".east.sales.acme", "Telephone Number"},
        {".admin.acme", ".jdoe.east.sales.acme", "[Entry Rights]"},
        {"[Public]", ".jdoe.east.sales.acme", "Telephone Number"},
    };
    for (const auto& c : others) {
        uint32_t privileges = 0;
        EXPECT_EQ(ask(c.Subject, c.Object, c.Attribute, privileges).first, 1)
            << c.Subject << " " << c.Object << " " << c.Attribute;
        EXPECT_EQ(ask(c.Subject, c.Object, c.Attribute, again).first, 0)
            << c.Subject << " " << c.Object << " " << c.Attribute;
        EXPECT_EQ(again, privileges);
    }
    // Emptied with the entries, and no longer used after the cache time.
    live->ClearCache();
    EXPECT_EQ(ask(admin, jdoe, "Telephone Number", again).first, 1);
    EXPECT_EQ(again, first);
    EXPECT_EQ(ask(admin, jdoe, "Telephone Number", again).first, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(ask(admin, jdoe, "Telephone Number", again).first, 1);
    EXPECT_EQ(again, first);
    EXPECT_EQ(responder.Malformed(), 0) << responder.Complaints();
}

TEST_F(LdapEdirectoryOperationsTest, AFailedOrUndecodableAnswerIsAskedAgain) {
    using TPrivileges = TLdapResponder::TPrivileges;
    struct TCase {
        const char* What;
        TPrivileges Reply;
    } cases[] = {
        {"a failure", TPrivileges::Fail},
        {"a value that is not an INTEGER", TPrivileges::Undecodable},
    };
    for (const auto& c : cases) {
        TLdapResponder::TOptions options;
        options.Privileges = c.Reply;
        TLdapResponder responder(server_->Port(), options);
        auto live = Connect(responder, "unanswered.json");
        ASSERT_TRUE(live) << c.What;
        TContext context(*live);
        ASSERT_EQ(live->NWDSSetContext(context, DckTreeName, std::string("ACME_TREE")), 0);
        for (int time = 1; time <= 3; ++time) {
            uint32_t privileges = 0;
            const uint64_t before = live->RoundTrips("ACME_TREE");
            EXPECT_NE(live->NWDSGetEffectiveRights(context, ".admin.acme", ".jdoe.east.sales.acme", "Telephone Number",
                                                   privileges),
                      0)
                << c.What;
            EXPECT_EQ(privileges, 0u) << c.What;
            EXPECT_EQ(responder.EffectivePrivilegesAsked(), time) << c.What;
            if (time > 1) {
                EXPECT_EQ(live->RoundTrips("ACME_TREE") - before, 1u) << c.What;
            }
        }
        EXPECT_EQ(responder.Malformed(), 0) << c.What << ": " << responder.Complaints();
    }
}

TEST_F(LdapEdirectoryOperationsTest, TheResponderRefusesTheRequestInASequence) {
    // The responder's check itself: the same three strings inside a SEQUENCE are refused.
    TLdapResponder responder(server_->Port(), {});
    TLdapSettings settings;
    settings.Uri = responder.Uri();
    TLdapSession session(settings);
    BerElement* ber = ber_alloc_t(LBER_USE_DER);
    ASSERT_GE(ber_printf(ber, "{sss}", "cn=jdoe,o=acme", "cn=admin,o=acme", "[Entry Rights]"), 0);
    berval flat{};
    ASSERT_GE(ber_flatten2(ber, &flat, 0), 0);
    std::string reply;
    EXPECT_EQ(session.Extended(EffectivePrivilegesRequestOid, std::string(flat.bv_val, flat.bv_len), reply),
              ErrInvalidRequest);
    ber_free(ber, 1);
    EXPECT_EQ(responder.Malformed(), 1);
    EXPECT_EQ(responder.EffectivePrivilegesAnswered(), 0);
}

TEST_F(LdapEdirectoryOperationsTest, WhoAmIAsksGetBindDnWhenTheServerListsNoWhoAmI) {
    using TGetBindDn = TLdapResponder::TGetBindDn;
    const std::string jdoe = "cn=jdoe,ou=east,ou=sales,o=acme";
    struct TCase {
        const char* What;
        bool ListGetBindDn;
        TGetBindDn Answer;
        std::string Identity; // what the server answers (empty: the bind DN)
        const char* Expected; // NWDSWhoAmI's name
        int Asked;            // Get Bind DN operations asked
    } cases[] = {
        {"the server's answer", true, TGetBindDn::Answer, "", "admin.acme", 1},
        {"the server's answer, not the bind DN", true, TGetBindDn::Answer, jdoe, "jdoe.east.sales.acme", 1},
        {"without the operation, the bind DN", false, TGetBindDn::Answer, jdoe, "admin.acme", 0},
        {"refused, the bind DN", true, TGetBindDn::Refuse, jdoe, "admin.acme", 1},
        {"answered as another operation, the bind DN", true, TGetBindDn::OtherResponseName, jdoe, "admin.acme", 1},
    };
    for (const auto& c : cases) {
        TLdapResponder responder(server_->Port(), {true, c.ListGetBindDn, c.Identity, c.Answer});
        auto live = Connect(responder, "whoami.json");
        ASSERT_TRUE(live) << c.What;
        TContext context(*live);
        ASSERT_EQ(live->NWDSSetContext(context, DckTreeName, std::string("ACME_TREE")), 0);
        context.SetFlags(DcvTypelessNames | DcvCanonicalizeNames);
        uint64_t before = live->RoundTrips("ACME_TREE");
        std::string me;
        ASSERT_EQ(live->NWDSWhoAmI(context, me), 0) << c.What;
        EXPECT_EQ(me, c.Expected) << c.What;
        ASSERT_EQ(live->NWDSWhoAmI(context, me), 0) << c.What; // asked once per connection
        EXPECT_EQ(me, c.Expected) << c.What;
        EXPECT_EQ(live->RoundTrips("ACME_TREE") - before, static_cast<uint64_t>(c.Asked)) << c.What;
        EXPECT_EQ(responder.GetBindDnAsked(), c.Asked) << c.What;
        EXPECT_EQ(responder.Malformed(), 0) << c.What << ": " << responder.Complaints();
        EXPECT_EQ(responder.Unlisted(), 0) << c.What; // Who-am-I, which is not listed, was not tried
    }
}

} // namespace
} // namespace era::test
