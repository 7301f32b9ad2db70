// Files from other people's trees and workstations that once crashed, hung or misreported the
// loader: each is refused with a message naming the file and what was expected, never by an
// exception, and nothing of it is kept.

#include "client_fixture.h"

#include "client/snapshot/ldif_loader.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace era {

using namespace era::test;

namespace {

const char* const TreeJson = R"({ "trees": [ { "name": "X_TREE", "ldif": "tree.ldif" } ] })";

// Runs the load in a child process that an alarm ends, so a loader that hangs fails the test
// instead of stopping the suite. The child exits 0 when the load failed with every part of the
// message, 1 when it failed otherwise, 2 when it loaded.
int LoadInChild(const std::string& workstation, const std::vector<std::string>& parts) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(20);
        std::string message;
        std::unique_ptr<TWorkstationClient> client;
        NWCCODE code = 0;
        try {
            code = LoadWorkstation(workstation, client, message);
        } catch (...) {
            ::_exit(3);
        }
        if (code == 0) ::_exit(2);
        for (const auto& part : parts)
            if (message.find(part) == std::string::npos) {
                std::fprintf(stderr, "message without \"%s\": %s\n", part.c_str(), message.c_str());
                ::_exit(1);
            }
        ::_exit(code == NweClientNotStarted && !client ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TEST(LoaderBadInput, AnIncludeLineIsRefusedBeforeAnythingIsRead) {
    // The LDIF library would open what the line names and read it inside the same record: a
    // pipe nobody writes to would block the load for ever, /dev/zero would eat the memory.
    TTempFolder folder;
    const std::string fifo = folder.Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    folder.Write("tree.ldif", "version: 1\n\n# a comment\nINCLUDE: file://" + fifo +
                                  "\n\ndn: o=x\nobjectClass: organization\n");
    const std::string ws = folder.Write("workstation.json", TreeJson);
    EXPECT_EQ(LoadInChild(ws, {"tree.ldif:4:", "\"include:\" lines are not followed"}), 0);

    // An attribute line that merely starts with the word is no include line.
    folder.Write("tree.ldif", "dn: o=x\nobjectClass: organization\ndescription: include: this\n");
    EXPECT_EQ(LoadInChild(ws, {}), 2);
}

TEST(LoaderBadInput, ALineStartingARecordWithADigitIsRefused) {
    // Found by the LDIF fuzz target: the LDIF library skips such a line as the record number of
    // an old export format and, when nothing follows, hands back a record without any text, which
    // the loader read through a null pointer (era crashed on a file holding "2dn2dn").
    TTempFolder folder;
    const std::string ws = folder.Write("workstation.json", TreeJson);
    struct TCase {
        std::string Ldif;
        std::vector<std::string> Parts;
    };
    const TCase cases[] = {
        {"2dn2dn\n", {"tree.ldif:1: expected the record to begin with \"dn:\""}},
        {"2\n", {"tree.ldif:1: "}},
        {"5\ndn: o=x\nobjectClass: organization\n", {"tree.ldif:1: expected the record to begin with \"dn:\""}},
        {"dn: o=x\nobjectClass: organization\n\n# a comment\r\n7 more\n", {"tree.ldif:5: "}},
    };
    for (const auto& c : cases) {
        folder.Write("tree.ldif", c.Ldif);
        EXPECT_EQ(LoadInChild(ws, c.Parts), 0) << c.Ldif;
    }
    // Digits inside a record are something else: an attribute named by its OID.
    folder.Write("tree.ldif", "dn: o=x\nobjectClass: organization\n2.5.4.13: by OID\n");
    EXPECT_EQ(LoadInChild(ws, {}), 2);
}

TEST(LoaderBadInput, TheFilesMustBeRegularFiles) {
    TTempFolder folder;
    struct TCase {
        std::string Json;
        std::vector<std::string> Parts;
    };
    std::filesystem::create_directory(folder.Path("tree-folder"));
    const TCase cases[] = {
        {R"({ "trees": [ { "name": "X_TREE", "ldif": "tree-folder" } ] })",
         {"workstation.json: trees[0].ldif: ", "tree-folder: expected an LDIF file, found a folder or a device"}},
        {R"({ "trees": [ { "name": "X_TREE", "ldif": "/dev/zero" } ] })",
         {"trees[0].ldif: /dev/zero: expected an LDIF file, found a folder or a device"}},
    };
    const std::string ws = folder.Path("workstation.json");
    for (const auto& c : cases) {
        folder.Write("workstation.json", c.Json);
        EXPECT_EQ(LoadInChild(ws, c.Parts), 0) << c.Json;
    }
    // The workstation file itself given as a folder.
    EXPECT_EQ(LoadInChild(folder.Path("tree-folder"), {"tree-folder: expected a workstation file, found a folder"}), 0);
}

TEST(LoaderBadInput, AWorkstationFileThatIsAPipeIsRefusedNotWaitedFor) {
    TTempFolder folder;
    const std::string fifo = folder.Path("workstation.json");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(LoadInChild(fifo, {"workstation.json: expected a workstation file, found a device, a pipe or a socket"}), 0);
    EXPECT_EQ(LoadInChild("/dev/zero", {"/dev/zero: expected a workstation file, found a device"}), 0);
}

TEST(LoaderBadInput, AWorkstationFileThatCannotBeOpenedGivesTheSystemsReason) {
    TTempFolder folder;
    folder.Write("plain", "x");
    struct TCase {
        std::string Path;
        std::string Reason;
    } cases[] = {
        {folder.Path("none.json"), "cannot open the workstation file (No such file or directory)"},
        {folder.Path("plain") + "/workstation.json", "cannot open the workstation file (Not a directory)"},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadInChild(c.Path, {c.Path + ": " + c.Reason}), 0) << c.Path;
}

TEST(LoaderBadInput, RightsLettersOutsideTheKindAreRefusedWithTheirPosition) {
    TTempFolder folder;
    folder.Write("tree.ldif", "dn: o=x\nobjectClass: organization\n\ndn: cn=admin,o=x\nobjectClass: inetOrgPerson\nsn: A\n");
    auto workstation = [&folder](const std::string& irm, const std::string& rights) {
        return folder.Write("workstation.json", R"({ "trees": [ { "name": "X_TREE", "ldif": "tree.ldif" } ],
  "servers": [ { "name": "FS1", "tree": "X_TREE", "volumes": [ { "name": "SYS", "number": 0,
    "directories": [ { "path": "PUBLIC", "irm": ")" + irm + R"(", "trustees": { "cn=admin,o=x": ")" + rights +
                                                   R"(" } } ] } ] } ] })");
    };
    const std::string allowed = "expected file-system rights as the letters R, W, C, E, A, F, M and S (upper case) or a "
                                "decimal mask; found ";
    const std::string trustee = "servers[0].volumes[0].directories[0].trustees.cn=admin,o=x: ";
    const std::string mask = "servers[0].volumes[0].directories[0].irm: ";
    struct TCase {
        std::string Irm, Rights;
        std::string Message;   // empty: loads
    } cases[] = {
        {"RWCEAFMS", "RWXYZ", trustee + allowed + "\"X\" at position 3 of \"RWXYZ\""},
        {"RWCEAFMS", "rw", trustee + allowed + "\"r\" at position 1 of \"rw\""},
        {"RWCEAFMS", "RF1", trustee + allowed + "\"1\" at position 3 of \"RF1\""},
        {"RWCEAFMS", "R\xC3\xA9", trustee + allowed + "\"\xC3\xA9\" at position 2 of \"R\xC3\xA9\""},
        {"Q", "RF", mask + allowed + "\"Q\" at position 1 of \"Q\""},
        // What the notation writes and reads: letters, blanks, the brackets, a decimal mask.
        {"RWCEAFMS", "RF", ""},
        {"[R    F  ]", "[RWCEAFMS]", ""},
        {"", "R F", ""},
        {"31", "65", ""},
    };
    for (const auto& c : cases) {
        const std::string ws = workstation(c.Irm, c.Rights);
        if (c.Message.empty())
            EXPECT_EQ(LoadInChild(ws, {}), 2) << c.Irm << " / " << c.Rights;
        else
            EXPECT_EQ(LoadInChild(ws, {"workstation.json: " + c.Message}), 0) << c.Message;
    }
}

TEST(LoaderBadInput, AnUnknownKeyInATreeEntryIsNamed) {
    TTempFolder folder;
    folder.Write("tree.ldif", "dn: o=x\nobjectClass: organization\n");
    const std::string ws =
        folder.Write("workstation.json", R"({ "trees": [ { "name": "X_TREE", "ldif": "tree.ldif", "colour": "red" } ] })");
    EXPECT_EQ(LoadInChild(ws, {"workstation.json: trees[0].colour: unknown key; expected \"name\" and \"ldif\" or \"ldap\""}),
              0);
}

TEST(LoaderBadInput, Base64ThatIsNoneIsOneMessageOfTheLoader) {
    TTempFolder folder;
    const std::string ws = folder.Write("workstation.json", TreeJson);
    for (const std::string value : {"!!!notbase64", "QQ", "QUJD RA==", "Q===", "QU=JD"}) {
        folder.Write("tree.ldif", "dn: o=x\nobjectClass: organization\ndescription:: " + value + "\n");
        EXPECT_EQ(LoadInChild(ws, {"tree.ldif:3: the value of \"description\" is no valid base64 (expected groups of four "
                                   "of A-Z, a-z, 0-9, \"+\" and \"/\", the last one padded with \"=\")"}),
                  0)
            << value;
    }
    for (const std::string value : {"QUJD", " QUI=", "QQ==", "+/+/"}) {
        folder.Write("tree.ldif", "dn: o=x\nobjectClass: organization\ndescription:: " + value + "\n");
        EXPECT_EQ(LoadInChild(ws, {}), 2) << value;
    }
}

TEST(LoaderBadInput, AnLdifFileMayBeginWithAByteOrderMark) {
    TTempFolder folder;
    const std::string ws = folder.Write("workstation.json", TreeJson);
    for (const std::string start : {"dn: o=x\n", "version: 1\n\ndn: o=x\n"}) {
        folder.Write("tree.ldif", "\xEF\xBB\xBF" + start + "objectClass: organization\n");
        EXPECT_EQ(LoadInChild(ws, {}), 2) << start;
    }
    std::string message;
    auto tree = LoadLdifTree(folder.Path("tree.ldif"), "X_TREE", message);
    ASSERT_TRUE(tree) << message;
    EXPECT_NE(tree->FindObject({{"o", "x"}}), NoObject);
}

TEST(LoaderBadInput, JsonThatNoNumberTypeHoldsIsAFileErrorNotAnException) {
    // The JSON parser reports a number beyond any number type as a range error, which the
    // loader let escape: the command ended with status 1 and a message naming no file.
    TTempFolder folder;
    folder.Write("tree.ldif", "dn: o=x\nobjectClass: organization\n");
    for (const std::string number : {"1e999", "-1e400"}) {
        const std::string ws = folder.Write(
            "workstation.json", R"({ "trees": [ { "name": "X_TREE", "ldif": "tree.ldif" } ], "servers": )" + number + " }");
        std::string message;
        std::unique_ptr<TWorkstationClient> client;
        EXPECT_EQ(LoadWorkstation(ws, client, message), NweClientNotStarted) << number;
        EXPECT_FALSE(client);
        EXPECT_NE(message.find("workstation.json: not a JSON file: "), std::string::npos) << message;
        EXPECT_NE(message.find(number), std::string::npos) << message;
    }
}

} // namespace era
