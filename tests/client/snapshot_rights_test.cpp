// The embedded directory's own effective-rights answers (NWDSGetEffectiveRights and
// NWGetEffectiveRights): each table runs on a small tree of tests/data/client/rights.json whose
// comments say what every assignment is there for; the sample workstation's answers are worked
// out by hand from examples/acme/README.md.

#include "client_fixture.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace era {

using namespace era::test;

namespace {

// Entry rights.
constexpr uint32_t B = 0x01, Cr = 0x02, D = 0x04, Rn = 0x08, EntryAll = 0x1F;
// Attribute rights.
constexpr uint32_t Cmp = 0x01, Rd = 0x02, Wr = 0x04, Slf = 0x08, AttrAll = 0x2F;
// File-system rights.
constexpr uint16_t FR = 0x01, FW = 0x02, FC = 0x08, FE = 0x10, FF = 0x40, FM = 0x80, FAll = 0x1FF;

struct TDirectoryCase {
    const char* Subject;
    const char* Object;
    const char* Attribute;
    uint32_t Expected;
    const char* Why;
};

struct TRightsFixture {
    std::unique_ptr<TWorkstationClient> Client;
    NWDSContextHandle Context = 0;
    explicit TRightsFixture(const std::string& workstation, const std::string& tree)
        : Client(Load(workstation)) {
        if (!Client) return;
        EXPECT_EQ(Client->NWDSCreateContextHandle(Context), 0);
        EXPECT_EQ(Client->NWDSSetContext(Context, DckTreeName, tree), 0);
    }
    ~TRightsFixture() {
        if (Client) Client->NWDSFreeContext(Context);
    }
    NWCCODE Ask(const std::string& subject, const std::string& object, const std::string& attribute,
                uint32_t& mask) {
        mask = 0xDEADBEEF;
        return Client->NWDSGetEffectiveRights(Context, subject, object, attribute, mask);
    }
    void Check(const std::vector<TDirectoryCase>& cases) {
        ASSERT_TRUE(Client);
        for (const auto& c : cases) {
            uint32_t mask = 0;
            ASSERT_EQ(Ask(c.Subject, c.Object, c.Attribute, mask), 0) << c.Subject << " on " << c.Object;
            EXPECT_EQ(mask, c.Expected)
                << c.Subject << " on " << c.Object << " / " << c.Attribute << ": " << c.Why;
        }
    }
    NWCONN_HANDLE Connection(size_t index) const {
        return Client->Workstation().Connections.at(index).Handle;
    }
};

std::string RightsFile() {
    return DataFile("rights.json");
}
std::string SampleFile() {
    return std::string(ERA_EXAMPLES_DIR) + "/acme/workstation.json";
}

} // namespace

TEST(SnapshotEffectiveRights, InheritanceOverrideAndImpliedRights) {
    TRightsFixture f(RightsFile(), "INHERIT");
    f.Check({
        {".ann.corp", ".doc.dept.corp", "[Entry Rights]", B,
         "dept's Browse replaces corp's Create, Delete, Rename"},
        {".ann.corp", ".dept.corp", "[Entry Rights]", B, "the replacing assignment holds on dept itself"},
        {".ann.corp", ".corp", "[Entry Rights]", B | Cr | D | Rn, "corp's assignment and [Public]'s Browse"},
        {".ann.corp", ".doc.dept.corp", "[All Attributes Rights]", Cmp | Rd,
         "Read flows past dept's Self, which stays on dept; Read implies Compare; the inheritance bit is "
         "clear"},
        {".ann.corp", ".dept.corp", "[All Attributes Rights]", Slf, "on dept its own Self replaces the Read"},
        {".ann.corp", ".doc.dept.corp", "Telephone Number", Wr | Slf,
         "rights to the attribute stand in for the all-attributes Read; Write implies Self"},
        {".ann.corp", ".doc.dept.corp", "telephoneNumber", Wr | Slf, "the LDAP name of the attribute"},
        {".ann.corp", ".doc.dept.corp", "Description", Cmp | Rd,
         "corp's description rights do not flow down"},
        {".ann.corp", ".corp", "Description", Cmp | Rd | Wr | Slf, "on corp itself they hold"},
        {".ann.corp", ".doc.dept.corp", "Surname", Cmp | Rd,
         "an attribute nobody is assigned: all attributes"},
        {".boss.corp", ".doc.dept.corp", "[Entry Rights]", EntryAll, "Supervisor implies every entry right"},
        {".boss.corp", ".doc.dept.corp", "[All Attributes Rights]", AttrAll,
         "entry Supervisor: every attribute right"},
        {".boss.corp", ".doc.dept.corp", "Telephone Number", AttrAll,
         "entry Supervisor: every attribute right"},
        {".carl.corp", ".doc.dept.corp", "Telephone Number", AttrAll,
         "attribute Supervisor implies the others"},
        {".carl.corp", ".doc.dept.corp", "[Entry Rights]", B, "attribute Supervisor gives no entry rights"},
        {".dora.corp", ".corp", "[Entry Rights]", B | Cr, "a non-inheritable assignment holds on its object"},
        {".dora.corp", ".dept.corp", "[Entry Rights]", B, "and does not flow down"},
        {".eve.corp", ".doc.dept.corp", "[All Attributes Rights]", Cmp, "Compare alone implies nothing"},
        {".eve.corp", ".doc.dept.corp", "Telephone Number", Cmp | Rd, "Read implies Compare"},
        {".eve.corp", ".dept.corp", "[All Attributes Rights]", 0, "nothing assigned above doc"},
    });
}

TEST(SnapshotEffectiveRights, FiltersActOnTheirOwnKindOnly) {
    TRightsFixture f(RightsFile(), "FILTERS");
    f.Check({
        // every kind filtered at masked
        {".sam.flt", ".leaf.masked.flt", "[Entry Rights]", B, "the entry filter blocks Supervisor"},
        {".sid.flt", ".leaf.masked.flt", "[Entry Rights]", 0,
         "Supervisor alone, blocked: the rights it implies were never assigned, so none flow in"},
        {".sid.flt", ".leaf.masked.flt", "[All Attributes Rights]", 0, "nor any attribute rights"},
        {".sid.flt", ".a1.noall.flt", "[All Attributes Rights]", AttrAll,
         "where it is not blocked, it implies them"},
        {".sam.flt", ".masked.flt", "[Entry Rights]", B, "a filter acts on what flows into its own object"},
        {".sam.flt", ".leaf.masked.flt", "[All Attributes Rights]", Cmp | Rd,
         "attribute Supervisor filtered to Compare and Read, and no entry Supervisor left to widen it"},
        {".sam.flt", ".leaf.masked.flt", "Telephone Number", Cmp | Rd,
         "no rights of its own: all attributes"},
        {".fay.flt", ".leaf.masked.flt", "[Entry Rights]", B,
         "Browse, Create, Delete, Rename filtered to Browse"},
        {".fay.flt", ".leaf.masked.flt", "[All Attributes Rights]", Cmp | Rd, "Write filtered away"},
        {".fay.flt", ".leaf.masked.flt", "Telephone Number", Cmp | Rd, "the attribute's own filter: Read"},
        {".fay.flt", ".leaf.masked.flt", "Description", Cmp | Rd | Wr | Slf,
         "the all-attributes filter leaves rights to one attribute alone"},
        {".hal.flt", ".masked.flt", "[Entry Rights]", EntryAll,
         "assigned after the filters of the same container"},
        {".hal.flt", ".leaf.masked.flt", "[Entry Rights]", EntryAll, "and flowing down unfiltered"},
        {".hal.flt", ".leaf.masked.flt", "[All Attributes Rights]", AttrAll, "entry Supervisor"},
        // the entry filter alone
        {".sam.flt", ".e1.noentry.flt", "[Entry Rights]", 0, "an empty entry filter blocks Supervisor too"},
        {".sam.flt", ".e1.noentry.flt", "[All Attributes Rights]", AttrAll, "attribute Supervisor passes it"},
        {".fay.flt", ".e1.noentry.flt", "[Entry Rights]", 0, "nothing of the entry rights"},
        {".fay.flt", ".e1.noentry.flt", "[All Attributes Rights]", Cmp | Rd | Wr | Slf,
         "attribute rights untouched"},
        // the all-attributes filter alone
        {".fay.flt", ".a1.noall.flt", "[All Attributes Rights]", 0, "nothing of the all-attributes rights"},
        {".fay.flt", ".a1.noall.flt", "Surname", 0, "nor of the attributes that have no rights of their own"},
        {".fay.flt", ".a1.noall.flt", "Description", Cmp | Rd | Wr | Slf,
         "rights to one attribute untouched"},
        {".fay.flt", ".a1.noall.flt", "[Entry Rights]", B | Cr | D | Rn, "entry rights untouched"},
        {".sam.flt", ".a1.noall.flt", "[All Attributes Rights]", AttrAll,
         "entry Supervisor still gives them all"},
        // one attribute's filter alone
        {".fay.flt", ".p1.phonemask.flt", "Telephone Number", Wr | Slf, "Read and Write filtered to Write"},
        {".fay.flt", ".p1.phonemask.flt", "[All Attributes Rights]", Cmp | Rd | Wr | Slf, "untouched"},
        {".fay.flt", ".p1.phonemask.flt", "Description", Cmp | Rd | Wr | Slf, "another attribute: untouched"},
        {".fay.flt", ".p1.phonemask.flt", "[Entry Rights]", B | Cr | D | Rn, "untouched"},
    });
}

TEST(SnapshotEffectiveRights, EveryRouteOfEquivalenceAndNoMore) {
    TRightsFixture f(RightsFile(), "EQUIV");
    f.Check({
        {".uma.home.eq", ".item.res.eq", "[Entry Rights]", B | Cr, "grp's Create through Group Membership"},
        {".vic.home.eq", ".item.res.eq", "[Entry Rights]", B | Rn, "peer's Rename through Security Equals"},
        {".wes.home.eq", ".item.res.eq", "[Entry Rights]", B | D,
         "role's Delete through the role's occupants"},
        {".yan.home.eq", ".item.res.eq", "[Entry Rights]", EntryAll,
         "chief's Supervisor through Security Equals"},
        {".xia.home.eq", ".item.res.eq", "[Entry Rights]", B,
         "vic's own equivalence to peer does not pass on"},
        {".xia.home.eq", ".item.res.eq", "Telephone Number", AttrAll, "vic's own rights do"},
        {".peer.eq", ".item.res.eq", "[Entry Rights]", B | Rn, "peer itself"},
        {".uma.home.eq", ".item.res.eq", "[All Attributes Rights]", Cmp | Rd, "the container home"},
        {".uma.home.eq", ".item.res.eq", "Description", Cmp | Rd, "the container eq, two levels up"},
        {".out.eq", ".item.res.eq", "[All Attributes Rights]", Cmp, "[Root] as a container above"},
        {".out.eq", ".item.res.eq", "Description", Cmp | Rd, "the container eq"},
        {".out.eq", ".item.res.eq", "[Entry Rights]", B, "[Public] alone"},
        {"[Public]", ".item.res.eq", "[Entry Rights]", B, "[Public] as the subject"},
        {"[Public]", ".item.res.eq", "[All Attributes Rights]", 0,
         "[Public] is no container: not [Root]'s rights"},
        {"[Root]", ".item.res.eq", "[All Attributes Rights]", Cmp, "[Root] as the subject"},
        {"[Root]", ".item.res.eq", "[Entry Rights]", B, "with [Public]"},
        {"[Supervisor]", ".item.res.eq", "[Entry Rights]", B, "another special name: itself and [Public]"},
    });
}

TEST(SnapshotEffectiveRights, NamesAreReadAsTheContextSays) {
    TRightsFixture f(RightsFile(), "EQUIV");
    ASSERT_TRUE(f.Client);
    uint32_t mask = 0;
    // Aliases, followed by default ...
    ASSERT_EQ(f.Ask(".vicalias.eq", ".item.res.eq", "[Entry Rights]", mask), 0);
    EXPECT_EQ(mask, B | Rn);
    ASSERT_EQ(f.Ask(".vic.home.eq", ".itemalias.eq", "[Entry Rights]", mask), 0);
    EXPECT_EQ(mask, B | Rn);
    // ... and taken as themselves when the context does not follow them.
    ASSERT_EQ(f.Client->NWDSSetContext(f.Context, DckFlags, DcvCanonicalizeNames), 0);
    ASSERT_EQ(f.Ask(".vicalias.eq", ".item.res.eq", "[Entry Rights]", mask), 0);
    EXPECT_EQ(mask, B);
    ASSERT_EQ(f.Ask(".vicalias.eq", ".item.res.eq", "[All Attributes Rights]", mask), 0);
    EXPECT_EQ(mask, Cmp) << "the alias resides in eq, not in home";
    ASSERT_EQ(f.Ask(".vic.home.eq", ".itemalias.eq", "[Entry Rights]", mask), 0);
    EXPECT_EQ(mask, B) << "the alias object lies outside res";
    // Relative names and typed names.
    ASSERT_EQ(f.Client->NWDSSetContext(f.Context, DckFlags, DefaultContextFlags), 0);
    ASSERT_EQ(f.Client->NWDSSetContext(f.Context, DckNameContext, std::string("home.eq")), 0);
    ASSERT_EQ(f.Ask("vic", "item.res.", "[Entry Rights]", mask), 0);
    EXPECT_EQ(mask, B | Rn);
    ASSERT_EQ(f.Ask("CN=wes", ".CN=item.OU=res.O=eq", "[Entry Rights]", mask), 0);
    EXPECT_EQ(mask, B | D);
}

TEST(SnapshotEffectiveRights, UnknownNamesAndBadRequests) {
    TRightsFixture f(RightsFile(), "EQUIV");
    ASSERT_TRUE(f.Client);
    struct TCase {
        std::string Subject, Object, Attribute;
        NWCCODE Code;
    };
    const std::vector<TCase> cases{
        {".nobody.eq", ".item.res.eq", "[Entry Rights]", ErrNoSuchEntry},
        {".vic.home.eq", ".nothing.res.eq", "[Entry Rights]", ErrNoSuchEntry},
        {".vic.home.eq", "[Public]", "[Entry Rights]", ErrNoSuchEntry},
        {".vic.home.eq", ".item.res.eq", "", ErrNoSuchAttribute},
        {".vic..home", ".item.res.eq", "[Entry Rights]", ErrIllegalDsName},
    };
    for (const auto& c : cases) {
        uint32_t mask = 0;
        EXPECT_EQ(f.Ask(c.Subject, c.Object, c.Attribute, mask), c.Code) << c.Subject << " on " << c.Object;
        EXPECT_EQ(mask, 0u) << "a failed question leaves no rights behind";
    }
    uint32_t mask = 7;
    EXPECT_EQ(f.Client->NWDSGetEffectiveRights(0xBAD, ".vic.home.eq", ".item.res.eq", "[Entry Rights]", mask),
              ErrBadContext);
    EXPECT_EQ(mask, 0u);
    // A subject of another tree is unknown in this one.
    EXPECT_EQ(f.Ask(".pat.people.fs", ".item.res.eq", "[Entry Rights]", mask), ErrNoSuchEntry);
}

TEST(SnapshotEffectiveRights, FileRightsOfTheLoggedInUser) {
    TRightsFixture f(RightsFile(), "FILES");
    ASSERT_TRUE(f.Client);
    struct TCase {
        size_t Connection;
        const char* Path;
        uint16_t Expected;
        const char* Why;
    };
    const uint16_t teamRoot = FR | FW | FC | FE | FF;
    const std::vector<TCase> cases{
        {0, "SYS:", teamRoot, "pat through team, assigned at the volume root"},
        {0, "SYS:DOCS", FR | FF, "DOCS's mask lets Read and File Scan through"},
        {0, "SYS:DOCS\\OWN", FR | FW | FC | FE | FM | FF, "pat's own assignment besides team's inherited RF"},
        {0, "sys:docs/own", FR | FW | FC | FE | FM | FF, "letter case and slashes"},
        {0, "FSA/SYS:DOCS\\OWN", FR | FW | FC | FE | FM | FF, "the server's name before the volume"},
        {0, "SYS:DOCS\\SEALED", 0, "an empty mask lets nothing through"},
        {0, "SYS:DOCS\\PROJECT", FR, "team's assignment here replaces what it inherits"},
        {0, "SYS:BOSS", FAll, "Supervisor implies every right"},
        {0, "SYS:BOSS\\DEEP", FAll, "no mask takes Supervisor away"},
        {0, "SYS:PUB", FR | FF | FC | FM, "[Public], the container fs and [Root] as trustees"},
        {0, "SYS:OTHERS", 0, "another user's assignment"},
        {1, "SYS:", FAll, "ada holds Supervisor over the server FSB through admins"},
        {1, "SYS:SEALED", FAll, "neither a mask nor an assignment takes server Supervisor away"},
        {2, "SYS:", FR | FF, "the filter above FSL blocks admins' Supervisor: only the assignment"},
        {2, "SYS:SEALED", 0, "and the mask applies"},
    };
    for (const auto& c : cases) {
        uint16_t rights = 0xBEEF;
        ASSERT_EQ(f.Client->NWGetEffectiveRights(f.Connection(c.Connection), 0, c.Path, rights), 0) << c.Path;
        EXPECT_EQ(rights, c.Expected) << "connection " << c.Connection << " " << c.Path << ": " << c.Why;
    }
    // The server Supervisor above is the directory's answer for the server objects.
    uint32_t mask = 0;
    ASSERT_EQ(f.Ask(".ada.people.fs", ".FSB.srv.fs", "[Entry Rights]", mask), 0);
    EXPECT_EQ(mask, EntryAll);
    ASSERT_EQ(f.Ask(".ada.people.fs", ".FSL.locked.fs", "[Entry Rights]", mask), 0);
    EXPECT_EQ(mask, B);
    ASSERT_EQ(f.Ask(".pat.people.fs", ".FSA.srv.fs", "[Entry Rights]", mask), 0);
    EXPECT_EQ(mask, B);
}

TEST(SnapshotEffectiveRights, FileRightsFailures) {
    TRightsFixture f(RightsFile(), "FILES");
    ASSERT_TRUE(f.Client);
    struct TCase {
        NWCONN_HANDLE Connection;
        uint8_t Handle;
        const char* Path;
        NWCCODE Code;
    };
    const std::vector<TCase> cases{
        {f.Connection(0), 0, "SYS:NOPE", NweInvalidPath},
        {f.Connection(0), 0, "SYS", NweInvalidPath},
        {f.Connection(0), 0, "VOL9:", NweVolumeDoesNotExist},
        {f.Connection(0), 3, "SYS:", NweBadDirectoryHandle},
        {f.Connection(3), 0, "SYS:", NweAccessDenied}, // attached, nobody logged in
        {0x7777, 0, "SYS:", NweInvalidConnection},
    };
    for (const auto& c : cases) {
        uint16_t rights = 0xBEEF;
        EXPECT_EQ(f.Client->NWGetEffectiveRights(c.Connection, c.Handle, c.Path, rights), c.Code) << c.Path;
        EXPECT_EQ(rights, 0) << c.Path;
    }
}

// Worked out by hand from the README's table of rules and acme.ldif.
TEST(SnapshotEffectiveRights, SampleWorkstationByHand) {
    TRightsFixture f(SampleFile(), "ACME_TREE");
    f.Check({
        {".admin.acme", ".hjones.hr.acme", "[Entry Rights]", B,
         "hr's filter lets only Browse of admin's Supervisor in"},
        {".admin.acme", ".hjones.hr.acme", "[All Attributes Rights]", Cmp | Rd,
         "hr's filter: Compare and Read"},
        {".jsmith.it.acme", ".hjones.hr.acme", "[Entry Rights]", B,
         "it-admins' Supervisor reaches hr as Browse"},
        {".jsmith.it.acme", ".jdoe.east.sales.acme", "[Entry Rights]", EntryAll, "it-admins' Supervisor"},
        {".hjones.hr.acme", ".hjones.hr.acme", "[Entry Rights]", EntryAll, "assigned after hr's filters"},
        {".hjones.hr.acme", ".cmiller.hr.acme", "Telephone Number", AttrAll, "hjones' attribute Supervisor"},
        {".jdoe.east.sales.acme", ".east.sales.acme", "[Entry Rights]", B | Cr | D | Rn,
         "sales-managers' Create, Delete, Rename through Security Equals"},
        {".jdoe.east.sales.acme", ".nfoster.projects.east.sales.acme", "[Entry Rights]", B | Cr | D | Rn,
         "the same, further down"},
        {".sintern.projects.east.sales.acme", ".nfoster.projects.east.sales.acme", "[Entry Rights]", B,
         "two links away from sales-managers: not equivalent"},
        {".agarcia.sales.acme", ".sales.acme", "[Entry Rights]", B | Cr, "Create on sales itself"},
        {".agarcia.sales.acme", ".east.sales.acme", "[Entry Rights]", B, "but not below"},
        {".agarcia.sales.acme", ".sales.acme", "[All Attributes Rights]", Cmp | Rd | Wr | Slf,
         "own Write on sales, Read of the container sales and of everyone"},
        {".agarcia.sales.acme", ".east.sales.acme", "[All Attributes Rights]", Cmp | Rd,
         "the Write stays on sales"},
        {".tkim.it.acme", ".jdoe.east.sales.acme", "Telephone Number", Cmp | Rd | Wr | Slf,
         "helpdesk's Write (role) and everyone's Read"},
        {".tkim.it.acme", ".sintern.projects.east.sales.acme", "Telephone Number", Cmp | Rd,
         "projects filters the telephone number to Read: helpdesk cannot write it there"},
        {".tkim.it.acme", ".sintern.projects.east.sales.acme", "[Entry Rights]", B | Rn,
         "helpdesk's Browse and Rename"},
        {".tkim.it.acme", ".jane.hr.acme", "Telephone Number", Cmp | Rd | Wr | Slf, "jane stands for jdoe"},
        {".jane.hr.acme", ".east.sales.acme", "[Entry Rights]", B | Cr | D | Rn, "jane answers as jdoe"},
        {"[Root]", ".hjones.hr.acme", "Network Address", Cmp | Rd,
         "[Root]'s Read flows through hr's all-attributes filter, which leaves single attributes alone"},
        {"[Public]", ".hjones.hr.acme", "[Entry Rights]", B, "[Public] Browse"},
        {".admin.acme", ".FS1.it.acme", "[Entry Rights]", EntryAll, "admin's Supervisor over FS1"},
    });
    ASSERT_TRUE(f.Client);
    // admin, logged in on FS1, is Supervisor over FS1 and so over all of its volumes.
    for (const char* path : {"SYS:", "SYS:SYSTEM", "DATA:SHARED\\SALES\\ARCHIVE", "DATA:USERS\\JDOE"}) {
        uint16_t rights = 0;
        ASSERT_EQ(f.Client->NWGetEffectiveRights(f.Connection(0), 0, path, rights), 0) << path;
        EXPECT_EQ(rights, FAll) << path;
    }
    uint16_t rights = 0;
    EXPECT_EQ(f.Client->NWGetEffectiveRights(f.Connection(1), 0, "SYS:PUBLIC", rights), NweAccessDenied)
        << "FS2 is attached but not authenticated";
}

// One answer's cost, and that kept results never change an answer: every question is asked on a
// fresh client and again, in reverse order, on the client that has answered all of them. The tree
// is ERA_RIGHTS_WORKSTATION when set (such as one written by era_gen_tree --entries 100000),
// else a small one written by era_gen_tree for this test.
TEST(SnapshotEffectiveRights, KeptResultsAnswerAsFreshOnesOnAGeneratedTree) {
    TTempFolder folder;
    std::string workstation;
    if (const char* given = std::getenv("ERA_RIGHTS_WORKSTATION")) {
        workstation = given;
    } else {
        const std::string generator = std::string(ERA_BINARY_DIR) + "/tools/era_gen_tree";
        if (!std::filesystem::exists(generator)) GTEST_SKIP() << "no " << generator << " built";
        const std::string command =
            generator + " --entries 3000 --out " + folder.Path("tree") + " > /dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        workstation = folder.Path("tree") + "/workstation.json";
    }
    auto warm = Load(workstation);
    ASSERT_TRUE(warm);
    const TSnapshotTree& tree = *SnapshotTreeOf(*warm->Workstation().Trees.front());
    std::vector<std::string> users, objects;
    std::vector<uint32_t> userIndexes, objectIndexes;
    for (uint32_t i = 1; i < tree.Objects().size(); ++i) {
        std::string name = "." + WriteFullName(tree.FullName(i), false);
        if (tree.Object(i).BaseClass == "User") {
            users.push_back(name);
            userIndexes.push_back(i);
        }
        objects.push_back(std::move(name));
        objectIndexes.push_back(i);
    }
    ASSERT_FALSE(users.empty());
    const std::vector<std::string> attributes{"[Entry Rights]", "[All Attributes Rights]", "Telephone Number",
                                              "Member"};
    struct TQuestion {
        size_t Subject, Object, Attribute;
    };
    std::vector<TQuestion> questions;
    const size_t count = 20000;
    for (size_t q = 0; q < count; ++q)
        questions.push_back(
            {(q * 7919) % users.size(), (q * 104729 + q / 7) % objects.size(), q % attributes.size()});

    NWDSContextHandle context = 0;
    ASSERT_EQ(warm->NWDSCreateContextHandle(context), 0);
    std::vector<uint32_t> answers(questions.size());
    auto started = std::chrono::steady_clock::now();
    for (size_t q = 0; q < questions.size(); ++q) {
        const auto& question = questions[q];
        ASSERT_EQ(warm->NWDSGetEffectiveRights(context, users[question.Subject], objects[question.Object],
                                               attributes[question.Attribute], answers[q]),
                  0);
    }
    const double firstPass =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count();
    started = std::chrono::steady_clock::now();
    size_t granted = 0;
    for (size_t q = questions.size(); q-- > 0;) {
        const auto& question = questions[q];
        uint32_t mask = 0;
        ASSERT_EQ(warm->NWDSGetEffectiveRights(context, users[question.Subject], objects[question.Object],
                                               attributes[question.Attribute], mask),
                  0);
        ASSERT_EQ(mask, answers[q]) << users[question.Subject] << " on " << objects[question.Object];
        if (mask) ++granted;
    }
    const double secondPass =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count();
    warm->NWDSFreeContext(context);
    EXPECT_GT(granted, 0u) << "the generated tree grants rights somewhere";

    // The calculation alone, names already read: what the client call adds is reading two names.
    TTreeRights calculation(tree);
    for (const auto& question : questions) // fill what is kept
        calculation.DirectoryRights(TTreeRights::ObjectKey(userIndexes[question.Subject]),
                                    objectIndexes[question.Object], attributes[question.Attribute]);
    started = std::chrono::steady_clock::now();
    for (size_t q = 0; q < questions.size(); ++q) {
        const auto& question = questions[q];
        ASSERT_EQ(calculation.DirectoryRights(TTreeRights::ObjectKey(userIndexes[question.Subject]),
                                              objectIndexes[question.Object], attributes[question.Attribute]),
                  answers[q]);
    }
    const double calculationOnly =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - started).count();

    // Every tenth question again, in another order, on a client that has answered nothing before.
    auto fresh = Load(workstation);
    ASSERT_TRUE(fresh);
    ASSERT_EQ(fresh->NWDSCreateContextHandle(context), 0);
    for (size_t q = 0; q < questions.size(); q += 10) {
        const auto& question = questions[(q * 31) % questions.size()];
        uint32_t mask = 0;
        ASSERT_EQ(fresh->NWDSGetEffectiveRights(context, users[question.Subject], objects[question.Object],
                                                attributes[question.Attribute], mask),
                  0);
        EXPECT_EQ(mask, answers[(q * 31) % questions.size()])
            << users[question.Subject] << " on " << objects[question.Object];
    }
    fresh->NWDSFreeContext(context);
    const double n = static_cast<double>(questions.size());
    std::printf("[ effective rights ] %zu objects, %zu answers: %.2f us each first (filling what is kept), "
                "%.2f us each again, %.2f us of it the calculation\n",
                tree.Objects().size(), questions.size(), firstPass / n, secondPass / n, calculationOnly / n);
}

} // namespace era
