// Writes a synthetic workstation for benchmarks and scale tests: an LDIF export of a tree of the
// given size (containers of a given depth and fan-out, users, groups with members, Security
// Equals links, ACL values per container) and a workstation file that names it, with one file
// server, a volume and a few directories with trustees. The same options and seed always write
// the same files.
//
//   era_gen_tree --entries 100000 --out DIR [--depth 4] [--fanout 8] [--acls 3] [--groups 1]
//                [--membership 0.3] [--secequals 0.1] [--seed 1] [--tree NAME]

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

struct TOptions {
    long Entries = 10000;
    int Depth = 4;
    int Fanout = 8;
    int Acls = 3;
    int Groups = 1;
    double Membership = 0.3;
    double SecurityEquals = 0.1;
    uint32_t Seed = 1;
    std::string Tree = "SYNTH_TREE";
    std::string Out;
};

// The engine's own output (fixed by the standard) turned into numbers without the library's
// distributions, whose results differ between standard libraries.
class TRandom {
public:
    explicit TRandom(uint32_t seed) : engine_(seed) {}
    uint32_t Below(uint32_t bound) { return bound ? static_cast<uint32_t>(engine_() % bound) : 0; }
    bool Chance(double p) { return (engine_() % 1000000u) < static_cast<uint32_t>(p * 1000000.0); }

private:
    std::mt19937 engine_;
};

struct TContainer {
    std::string Dn;
    int Depth;
    std::vector<size_t> Users;      // indexes into users
    std::vector<std::string> Groups;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: era_gen_tree --entries N --out DIR [--depth D] [--fanout F] [--acls A] [--groups G]\n"
                 "                    [--membership P] [--secequals P] [--seed S] [--tree NAME]\n");
}

bool ParseOptions(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        std::string value = argv[++i];
        char* end = nullptr;
        if (arg == "--entries") options.Entries = std::strtol(value.c_str(), &end, 10);
        else if (arg == "--depth") options.Depth = static_cast<int>(std::strtol(value.c_str(), &end, 10));
        else if (arg == "--fanout") options.Fanout = static_cast<int>(std::strtol(value.c_str(), &end, 10));
        else if (arg == "--acls") options.Acls = static_cast<int>(std::strtol(value.c_str(), &end, 10));
        else if (arg == "--groups") options.Groups = static_cast<int>(std::strtol(value.c_str(), &end, 10));
        else if (arg == "--membership") options.Membership = std::strtod(value.c_str(), &end);
        else if (arg == "--secequals") options.SecurityEquals = std::strtod(value.c_str(), &end);
        else if (arg == "--seed") options.Seed = static_cast<uint32_t>(std::strtoul(value.c_str(), &end, 10));
        else if (arg == "--tree") { options.Tree = value; continue; }
        else if (arg == "--out") { options.Out = value; continue; }
        else return false;
        if (!end || *end) return false;
    }
    return !options.Out.empty() && options.Entries >= 10 && options.Depth >= 1 && options.Fanout >= 1 &&
           options.Acls >= 0 && options.Groups >= 0;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    std::filesystem::create_directories(options.Out);
    TRandom random(options.Seed);

    // Containers breadth first below the organisation, at most a tenth of the entries.
    std::vector<TContainer> containers{{"o=synth", 0, {}, {}}};
    long containerBudget = std::max(1L, options.Entries / 10);
    for (size_t at = 0; at < containers.size() && static_cast<long>(containers.size()) < containerBudget; ++at) {
        if (containers[at].Depth >= options.Depth) continue;
        for (int f = 0; f < options.Fanout && static_cast<long>(containers.size()) < containerBudget; ++f)
            containers.push_back({"ou=u" + std::to_string(containers.size()) + "," + containers[at].Dn,
                                  containers[at].Depth + 1, {}, {}});
    }
    long groupCount = static_cast<long>(containers.size()) * options.Groups;
    long userCount = options.Entries - 1 - static_cast<long>(containers.size()) - groupCount - 3;
    if (userCount < 1) {
        std::fprintf(stderr, "era_gen_tree: %ld entries leave no room for users\n", options.Entries);
        return 2;
    }
    std::vector<std::string> users(static_cast<size_t>(userCount));
    for (size_t u = 0; u < users.size(); ++u) {
        TContainer& home = containers[u % containers.size()];
        users[u] = "cn=user" + std::to_string(u) + "," + home.Dn;
        home.Users.push_back(u);
    }
    for (size_t c = 0; c < containers.size(); ++c)
        for (int g = 0; g < options.Groups; ++g)
            containers[c].Groups.push_back("cn=group" + std::to_string(c) + "_" + std::to_string(g) + "," + containers[c].Dn);

    std::string ldifPath = (std::filesystem::path(options.Out) / "tree.ldif").string();
    FILE* ldif = std::fopen(ldifPath.c_str(), "w");
    if (!ldif) {
        std::perror(ldifPath.c_str());
        return 1;
    }
    auto trusteeOf = [&](size_t container) -> std::string {
        switch (random.Below(4)) {
        case 0: return containers[random.Below(static_cast<uint32_t>(containers.size()))].Dn;
        case 1:
            if (!containers[container].Groups.empty())
                return containers[container].Groups[random.Below(static_cast<uint32_t>(containers[container].Groups.size()))];
            [[fallthrough]];
        default: return users[random.Below(static_cast<uint32_t>(users.size()))];
        }
    };
    static const char* Attributes[] = {"[Entry Rights]", "[All Attributes Rights]", "telephoneNumber", "member"};
    std::fprintf(ldif, "version: 1\n\ndn: t=%s\nobjectClass: treeRoot\nACL: 16#subtree#cn=admin,o=synth#[Entry Rights]\n"
                       "ACL: 1#subtree#[Public]#[Entry Rights]\n\n", options.Tree.c_str());
    for (size_t c = 0; c < containers.size(); ++c) {
        const TContainer& container = containers[c];
        std::string naming = container.Dn.substr(container.Dn.find('=') + 1, container.Dn.find(',') - container.Dn.find('=') - 1);
        if (c == 0)
            std::fprintf(ldif, "dn: %s\nobjectClass: organization\nobjectClass: top\no: %s\n", container.Dn.c_str(), naming.c_str());
        else
            std::fprintf(ldif, "dn: %s\nobjectClass: organizationalUnit\nobjectClass: top\nou: %s\n", container.Dn.c_str(), naming.c_str());
        for (int a = 0; a < options.Acls; ++a) {
            const char* attribute = Attributes[random.Below(4)];
            bool entryKind = attribute[1] == 'E';
            uint32_t privileges = entryKind ? 1 + random.Below(31) : 1 + random.Below(47);
            std::fprintf(ldif, "ACL: %u#%s#%s#%s\n", privileges, random.Chance(0.8) ? "subtree" : "entry",
                         trusteeOf(c).c_str(), attribute);
        }
        if (c > 0 && random.Chance(0.1)) std::fprintf(ldif, "ACL: 1#subtree#[Inheritance Mask]#[Entry Rights]\n");
        std::fprintf(ldif, "createTimestamp: 20090901080000Z\n\n");
        if (c == 0) {
            std::fprintf(ldif, "dn: cn=admin,o=synth\nobjectClass: inetOrgPerson\nobjectClass: ndsLoginProperties\n"
                               "cn: admin\nsn: Admin\nfullName: Synthetic Admin\n\n");
            std::fprintf(ldif, "dn: cn=FS1,o=synth\nobjectClass: ncpServer\ncn: FS1\n\n");
            std::fprintf(ldif, "dn: cn=FS1_SYS,o=synth\nobjectClass: Volume\ncn: FS1_SYS\nhostServer: cn=FS1,o=synth\n\n");
        }
    }
    // Users, then groups with their members (memberships are written on both sides, as the directory keeps them).
    std::vector<std::vector<size_t>> members(containers.size() * static_cast<size_t>(options.Groups));
    for (size_t u = 0; u < users.size(); ++u) {
        size_t c = u % containers.size();
        std::fprintf(ldif, "dn: %s\nobjectClass: inetOrgPerson\nobjectClass: organizationalPerson\nobjectClass: person\n"
                           "objectClass: ndsLoginProperties\nobjectClass: top\ncn: user%zu\nsn: User%zu\n"
                           "fullName: Synthetic User %zu\ntelephoneNumber: +1 555 %04zu\n",
                     users[u].c_str(), u, u, u, u % 10000);
        for (int g = 0; g < options.Groups; ++g) {
            if (!random.Chance(options.Membership)) continue;
            const std::string& group = containers[c].Groups[static_cast<size_t>(g)];
            std::fprintf(ldif, "groupMembership: %s\nsecurityEquals: %s\n", group.c_str(), group.c_str());
            members[c * static_cast<size_t>(options.Groups) + static_cast<size_t>(g)].push_back(u);
        }
        if (u > 0 && random.Chance(options.SecurityEquals))
            std::fprintf(ldif, "securityEquals: %s\n", users[random.Below(static_cast<uint32_t>(u))].c_str());
        std::fprintf(ldif, "\n");
    }
    for (size_t c = 0; c < containers.size(); ++c)
        for (int g = 0; g < options.Groups; ++g) {
            std::fprintf(ldif, "dn: %s\nobjectClass: groupOfNames\nobjectClass: top\ncn: group%zu_%d\n",
                         containers[c].Groups[static_cast<size_t>(g)].c_str(), c, g);
            for (size_t u : members[c * static_cast<size_t>(options.Groups) + static_cast<size_t>(g)])
                std::fprintf(ldif, "member: %s\n", users[u].c_str());
            std::fprintf(ldif, "\n");
        }
    std::fclose(ldif);

    std::string wsPath = (std::filesystem::path(options.Out) / "workstation.json").string();
    FILE* ws = std::fopen(wsPath.c_str(), "w");
    if (!ws) {
        std::perror(wsPath.c_str());
        return 1;
    }
    std::fprintf(ws, "{\n  \"trees\": [ { \"name\": \"%s\", \"ldif\": \"tree.ldif\" } ],\n", options.Tree.c_str());
    std::fprintf(ws, "  \"servers\": [\n    { \"name\": \"FS1\", \"tree\": \"%s\", \"object\": \"cn=FS1,o=synth\",\n"
                     "      \"volumes\": [ { \"name\": \"SYS\", \"number\": 0, \"object\": \"cn=FS1_SYS,o=synth\",\n"
                     "        \"directories\": [\n          { \"path\": \"\", \"trustees\": { \"cn=admin,o=synth\": \"RWCEAFMS\" } }",
                 options.Tree.c_str());
    for (int d = 0; d < 20; ++d) {
        std::fprintf(ws, ",\n          { \"path\": \"DIR%d\", \"irm\": \"%s\", \"trustees\": { ", d, d % 3 ? "RWCEMF" : "RF");
        for (int t = 0; t < 5; ++t)
            std::fprintf(ws, "%s\"%s\": \"%s\"", t ? ", " : "", users[(static_cast<size_t>(d) * 5 + static_cast<size_t>(t)) % users.size()].c_str(),
                         t % 2 ? "RF" : "RWCEF");
        std::fprintf(ws, " } }");
    }
    std::fprintf(ws, "\n        ] } ] }\n  ],\n  \"connections\": [ { \"server\": \"FS1\", \"user\": \"cn=admin,o=synth\", "
                     "\"primary\": true } ],\n  \"drives\": { \"F\": \"\\\\\\\\FS1\\\\SYS\" }\n}\n");
    std::fclose(ws);
    std::printf("era_gen_tree: %zu containers, %zu users, %ld groups written to %s\n", containers.size(), users.size(),
                groupCount, options.Out.c_str());
    return 0;
}
