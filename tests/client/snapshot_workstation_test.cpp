#include "client_fixture.h"

#include <cstring>

namespace era {

using namespace era::test;

namespace {

std::string TextInfo(TDirectoryClient& client, NWCONN_REF reference, uint32_t type, NWCCODE* code = nullptr) {
    std::array<uint8_t, 256> buffer{};
    NWCCODE result = client.NWCCGetConnRefInfo(reference, type, std::span<uint8_t>(buffer.data(), 255));
    if (code) *code = result;
    return result == 0 ? std::string(reinterpret_cast<const char*>(buffer.data())) : std::string();
}

uint32_t NumberInfo(TDirectoryClient& client, NWCONN_HANDLE connection, uint32_t type) {
    std::array<uint8_t, 4> buffer{};
    EXPECT_EQ(client.NWCCGetConnInfo(connection, type, buffer), 0);
    uint32_t number = 0;
    std::memcpy(&number, buffer.data(), 4);
    return number;
}

NWCONN_HANDLE Primary(TDirectoryClient& client) {
    NWCONN_REF reference = 0;
    NWCONN_HANDLE connection = 0;
    EXPECT_EQ(client.NWCCGetPrimConnRef(reference), 0);
    EXPECT_EQ(client.NWCCOpenConnByRef(reference, 1, 0, connection), 0);
    return connection;
}

} // namespace

TEST(SnapshotWorkstation, ConnectionsScanAndAnswerTheirInformationTypes) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    EXPECT_EQ(client->NWCallsInit(), 0);
    std::vector<NWCONN_REF> references;
    uint32_t iterator = 0;
    NWCONN_REF reference = 0;
    while (client->NWCCScanConnRefs(iterator, reference) == 0) references.push_back(reference);
    EXPECT_EQ(client->NWCCScanConnRefs(iterator, reference), NweNoMoreEntries);
    ASSERT_EQ(references.size(), 2u);
    NWCONN_REF primary = 0;
    ASSERT_EQ(client->NWCCGetPrimConnRef(primary), 0);
    EXPECT_EQ(primary, references[0]);

    EXPECT_EQ(TextInfo(*client, references[0], NwccInfoServerName), "FS1");
    EXPECT_EQ(TextInfo(*client, references[1], NwccInfoServerName), "FS2");
    std::string tree = TextInfo(*client, references[0], NwccInfoTreeName);
    EXPECT_EQ(tree, "SMALL_TREE" + std::string(22, '_'));
    EXPECT_EQ(tree.size(), 32u);
    EXPECT_EQ(TextInfo(*client, references[1], NwccInfoTreeName), "OTHER_TREE" + std::string(22, '_'));

    NWCONN_HANDLE first = 0, second = 0, again = 0;
    ASSERT_EQ(client->NWCCOpenConnByRef(references[0], 1, 0, first), 0);
    ASSERT_EQ(client->NWCCOpenConnByRef(references[1], 1, 0, second), 0);
    ASSERT_EQ(client->NWCCOpenConnByRef(references[0], 1, 0, again), 0);
    EXPECT_EQ(first, again);   // handles are stable
    EXPECT_NE(first, 0xFFFFu);
    EXPECT_EQ(NumberInfo(*client, first, NwccInfoConnRef), references[0]);
    EXPECT_EQ(NumberInfo(*client, first, NwccInfoUserID), 4096u);
    EXPECT_NE(NumberInfo(*client, first, NwccInfoAuthState), 0u);
    EXPECT_EQ(NumberInfo(*client, second, NwccInfoUserID), 0u);   // attached, nobody logged in
    EXPECT_EQ(NumberInfo(*client, second, NwccInfoAuthState), 0u);

    NWCCODE code = 0;
    std::array<uint8_t, 10> small{};
    EXPECT_EQ(client->NWCCGetConnRefInfo(references[0], NwccInfoTreeName, small), NweBufferOverflow);
    EXPECT_EQ(client->NWCCGetConnInfo(first, NwccInfoConnRef, std::span<uint8_t>(small.data(), 3)), NweBufferOverflow);
    TextInfo(*client, references[0], 99, &code);
    EXPECT_EQ(code, NweParamInvalid);
    TextInfo(*client, 0xDEAD, NwccInfoServerName, &code);
    EXPECT_EQ(code, NweInvalidConnection);
    EXPECT_EQ(client->NWCCGetConnInfo(0xDEAD, NwccInfoUserID, small), NweInvalidConnection);
    EXPECT_EQ(client->NWCCCloseConn(first), 0);
    EXPECT_EQ(client->NWCCCloseConn(0xDEAD), NweInvalidConnection);
    NWCONN_HANDLE none = 5;
    EXPECT_EQ(client->NWCCOpenConnByRef(0xDEAD, 1, 0, none), NweInvalidConnection);
    EXPECT_EQ(none, 0u);
}

TEST(SnapshotWorkstation, DrivePathsAndUncPathsParseToTheSameDirectory) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    struct TCase {
        const char* Path;
        NWCCODE Code;
        const char* Server;
        const char* Volume;
        const char* Within;
    };
    const TCase cases[] = {
        {"F:\\PUBLIC\\DATA", 0, "FS1", "SYS", "PUBLIC\\DATA"},
        {"\\\\FS1\\SYS\\PUBLIC\\DATA", 0, "FS1", "SYS", "PUBLIC\\DATA"},
        {"p:\\data", 0, "FS1", "SYS", "PUBLIC\\DATA"},
        {"//fs1/sys/public/data/", 0, "FS1", "SYS", "PUBLIC\\DATA"},
        {"F:\\PUBLIC\\DOCS\\..\\DATA", 0, "FS1", "SYS", "PUBLIC\\DATA"},
        {"F:", 0, "FS1", "SYS", ""},
        {"F:\\", 0, "FS1", "SYS", ""},
        {"\\\\FS1\\SYS", 0, "FS1", "SYS", ""},
        {"F:\\NEW\\DIR", 0, "FS1", "SYS", "NEW\\DIR"},   // parsing does not ask whether it exists
        {"\\\\FS2\\SYS\\X", 0, "FS2", "SYS", "X"},
        {"C:\\Windows", ErrLocalPath, "", "", ""},
        {"/home/admin", ErrLocalPath, "", "", ""},
        {"relative\\path", ErrLocalPath, "", "", ""},
        {"\\\\FS9\\SYS", ErrLocalPath, "", "", ""},
        {"\\\\FS1\\NOVOL\\X", NweVolumeDoesNotExist, "", "", ""},
        {"\\\\FS1", NweVolumeDoesNotExist, "", "", ""},
        {"", ErrLocalPath, "", "", ""},
    };
    for (const auto& c : cases) {
        std::string server, volume, within;
        NWCONN_HANDLE connection = 99;
        EXPECT_EQ(client->NWParsePath(c.Path, server, connection, volume, within), c.Code) << c.Path;
        EXPECT_EQ(server, c.Server) << c.Path;
        EXPECT_EQ(volume, c.Volume) << c.Path;
        EXPECT_EQ(within, c.Within) << c.Path;
        EXPECT_EQ(connection != 0, c.Code == 0) << c.Path;
    }
    EXPECT_TRUE(client->RedirectorDirectoryExists("F:\\PUBLIC\\DATA"));
    EXPECT_TRUE(client->RedirectorDirectoryExists("\\\\fs1\\sys\\public\\data"));
    EXPECT_TRUE(client->RedirectorDirectoryExists("\\\\FS1\\SYS"));
    EXPECT_TRUE(client->RedirectorDirectoryExists("F:\\APPS"));   // named only on the way to APPS\OFFICE
    EXPECT_FALSE(client->RedirectorDirectoryExists("F:\\NEW"));
    EXPECT_FALSE(client->RedirectorDirectoryExists("\\\\FS1"));
    EXPECT_FALSE(client->RedirectorDirectoryExists("/tmp"));
}

TEST(SnapshotWorkstation, VolumesKnowTheirNumbersAndObjects) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    NWCONN_HANDLE connection = Primary(*client);
    uint16_t number = 99;
    ASSERT_EQ(client->NWGetVolumeNumber(connection, "vol2", number), 0);
    EXPECT_EQ(number, 3u);
    EXPECT_EQ(client->NWGetVolumeNumber(connection, "NOVOL", number), NweVolumeDoesNotExist);
    std::array<uint32_t, 33> info{};
    ASSERT_EQ(client->NWGetExtendedVolumeInfo(connection, 0, info), 0);
    TContext context(*client);
    context.SetFlags(DcvTypelessNames);
    std::string name;
    ASSERT_EQ(client->NWDSMapIDToName(context, connection, info[31], name), 0);
    EXPECT_EQ(name, "FS1_SYS.acme");
    ASSERT_EQ(client->NWGetExtendedVolumeInfo(connection, 3, info), 0);
    EXPECT_EQ(info[31], 0u);   // a volume without a directory object
    EXPECT_EQ(client->NWGetExtendedVolumeInfo(connection, 7, info), NweVolumeDoesNotExist);
    EXPECT_EQ(client->NWGetVolumeNumber(0xDEAD, "SYS", number), NweInvalidConnection);
}

TEST(SnapshotWorkstation, TrusteeScansGiveTwentyACallInFileOrder) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    NWCONN_HANDLE connection = Primary(*client);
    std::vector<TTrusteeEntry> all;
    std::vector<uint16_t> counts;
    uint32_t iteration = 0;
    std::array<TTrusteeEntry, 20> entries{};
    uint16_t count = 0;
    NWCCODE code;
    while ((code = client->NWScanForTrustees(connection, 0, "SYS:PUBLIC\\DATA", iteration, count, entries)) == 0) {
        counts.push_back(count);
        all.insert(all.end(), entries.begin(), entries.begin() + count);
    }
    EXPECT_EQ(code, NweNoMoreTrustees);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(counts, (std::vector<uint16_t>{20, 5}));
    ASSERT_EQ(all.size(), 25u);
    EXPECT_EQ(all[0].ObjectID, 4096u);   // cn=admin,o=acme
    EXPECT_EQ(all[0].Rights, 0x1FBu);    // RWCEAFMS
    EXPECT_EQ(all[1].ObjectID, PublicTrusteeID);
    EXPECT_EQ(all[1].Rights, 0x41u);     // RF
    EXPECT_EQ(all[3].ObjectID, 0x101u);
    EXPECT_EQ(all[24].ObjectID, 0x116u);
    EXPECT_EQ(all[24].Rights, 0x41u);

    iteration = 0;
    EXPECT_EQ(client->NWScanForTrustees(connection, 0, "SYS:PUBLIC\\DOCS", iteration, count, entries), NweNoMoreTrustees);
    EXPECT_EQ(count, 0u);
    iteration = 0;
    EXPECT_EQ(client->NWScanForTrustees(connection, 0, "sys:public\\nothing", iteration, count, entries), NweInvalidPath);
    iteration = 0;
    EXPECT_EQ(client->NWScanForTrustees(connection, 0, "NOVOL:PUBLIC", iteration, count, entries), NweVolumeDoesNotExist);
    iteration = 0;
    EXPECT_EQ(client->NWScanForTrustees(connection, 0, "no colon", iteration, count, entries), NweInvalidPath);
    EXPECT_EQ(client->NWScanForTrustees(connection, 3, "SYS:PUBLIC", iteration, count, entries), NweBadDirectoryHandle);
    EXPECT_EQ(client->NWScanForTrustees(0xDEAD, 0, "SYS:PUBLIC", iteration, count, entries), NweInvalidConnection);
}

TEST(SnapshotWorkstation, DirectoryEntriesCarryMaskCreationAndOwner) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    NWCONN_HANDLE connection = Primary(*client);
    TDirEntryInfo info;
    ASSERT_EQ(client->NWGetDirectoryEntryInfo(connection, 0, "SYS:PUBLIC\\DATA", 0xFFFFFFFF, info), 0);
    EXPECT_EQ(info.Name, "DATA");
    EXPECT_EQ(info.RightsMask, AllRightsMask);   // no mask given: every right
    EXPECT_EQ(info.CreationTime, 1251972000u);    // 2009-09-03 10:00:00 UTC
    TContext context(*client);
    context.SetFlags(DcvTypelessNames);
    std::string owner;
    ASSERT_EQ(client->NWDSMapIDToName(context, connection, info.OwnerID, owner), 0);
    EXPECT_EQ(owner, "ann.sales.acme");
    ASSERT_EQ(client->NWGetDirectoryEntryInfo(connection, 0, "SYS:PUBLIC", 0xFFFFFFFF, info), 0);
    EXPECT_EQ(info.RightsMask, 0x41u);   // RF
    EXPECT_EQ(info.OwnerID, 0u);
    ASSERT_EQ(client->NWGetDirectoryEntryInfo(connection, 0, "SYS:APPS\\OFFICE", 0xFFFFFFFF, info), 0);
    EXPECT_EQ(info.RightsMask, 0u);   // an empty mask lets nothing through
    ASSERT_EQ(client->NWGetDirectoryEntryInfo(connection, 0, "SYS:", 0xFFFFFFFF, info), 0);
    EXPECT_EQ(info.Name, "SYS");
    EXPECT_EQ(info.RightsMask, AllRightsMask);
    EXPECT_EQ(client->NWGetDirectoryEntryInfo(connection, 0, "SYS:NOTHERE", 0xFFFFFFFF, info), NweInvalidPath);
}

TEST(SnapshotWorkstation, EntryScansFollowAttributesAndPatterns) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    NWCONN_HANDLE connection = Primary(*client);
    auto scan = [&](const std::string& path, uint8_t attributes, const std::string& pattern) {
        std::vector<std::string> names;
        uint8_t handle = 0;
        uint32_t base = 0, sequence = 0;
        EXPECT_EQ(client->NWOpenDirectoryScan(connection, 0, path, handle, base, sequence), 0);
        EXPECT_EQ(sequence, 0xFFFFFFFFu);
        TDirEntryInfo entry;
        uint32_t previous = sequence;
        while (client->NWScanDirectoryEntry(connection, handle, base, sequence, attributes, pattern, entry) == 0) {
            names.push_back(entry.Name);
            EXPECT_EQ(entry.Attributes & 0x10, 0x10);
            EXPECT_NE(sequence, previous);   // the sequence moves on with every entry
            previous = sequence = entry.SequenceNumber;
        }
        EXPECT_EQ(client->NWCloseDirectoryScan(connection, handle), 0);
        EXPECT_EQ(client->NWCloseDirectoryScan(connection, handle), NweBadDirectoryHandle);
        return names;
    };
    using TNames = std::vector<std::string>;
    EXPECT_EQ(scan("SYS:PUBLIC", SaDirectoriesAll, "*"), (TNames{"DATA", "DOCS", "DRIVERS"}));
    EXPECT_EQ(scan("SYS:PUBLIC", SaDirectoriesAll, "d?cs"), TNames{"DOCS"});
    EXPECT_EQ(scan("SYS:PUBLIC", SaDirectoriesAll, "*S"), (TNames{"DOCS", "DRIVERS"}));
    EXPECT_EQ(scan("SYS:PUBLIC", SaDirectoriesAll, "*.*"), (TNames{"DATA", "DOCS", "DRIVERS"}));
    EXPECT_EQ(scan("SYS:PUBLIC", SaDirectoriesAll, "X*"), TNames{});
    EXPECT_EQ(scan("SYS:PUBLIC", SaHiddenSystem, "*"), TNames{});   // files only: the volumes hold none
    EXPECT_EQ(scan("SYS:", SaDirectoriesAll, "*"), (TNames{"PUBLIC", "APPS"}));
    EXPECT_EQ(scan("SYS:PUBLIC\\DATA", SaDirectoriesAll, "*"), TNames{});

    uint8_t handle = 0;
    uint32_t base = 0, sequence = 0;
    EXPECT_EQ(client->NWOpenDirectoryScan(connection, 0, "SYS:NOTHERE", handle, base, sequence), NweInvalidPath);
    ASSERT_EQ(client->NWOpenDirectoryScan(connection, 0, "SYS:PUBLIC", handle, base, sequence), 0);
    TDirEntryInfo entry;
    EXPECT_EQ(client->NWScanDirectoryEntry(connection, handle, base + 1, sequence, SaDirectoriesAll, "*", entry),
              NweBadDirectoryHandle);
    EXPECT_EQ(client->NWCloseDirectoryScan(connection, handle), 0);
}

TEST(SnapshotWorkstation, BinderyNamesBelongToTheirServer) {
    auto client = LoadSmall();
    ASSERT_TRUE(client);
    NWCONN_REF reference = 0;
    uint32_t iterator = 1;   // the second connection: FS2, not authenticated
    ASSERT_EQ(client->NWCCScanConnRefs(iterator, reference), 0);
    NWCONN_HANDLE fs2 = 0;
    ASSERT_EQ(client->NWCCOpenConnByRef(reference, 1, 0, fs2), 0);
    std::string name;
    uint16_t type = 0;
    ASSERT_EQ(client->NWGetObjectName(fs2, 0x0A000002, name, type), 0);
    EXPECT_EQ(name, "GUEST");
    EXPECT_EQ(type, BinderyUserType);
    EXPECT_EQ(client->NWGetObjectName(fs2, 0x0A000003, name, type), NweNoSuchObject);
    EXPECT_TRUE(name.empty());
    EXPECT_EQ(client->NWGetObjectName(Primary(*client), 0x0A000002, name, type), NweNoSuchObject);
}

} // namespace era
