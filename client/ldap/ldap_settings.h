#pragma once

// How a workstation file names a tree that lives on an LDAP server:
//
//   { "name": "ACME_TREE",
//     "ldap": { "uri": "ldaps://host" | "ldap://host:389", "base": "o=acme",
//               "bindDn": "cn=admin,o=acme", "passwordEnv": "NAME" | "passwordFile": "path",
//               "startTls": true, "caFile": "ca.pem", "timeoutSeconds": 10,
//               "pageSize": 100, "cacheSeconds": 120 } }
//
// Without "bindDn" the client binds anonymously. The password is read when the client connects
// (and again on every reconnect) and never kept in these settings, in a message or in a trace.

#include "client/directory_source.h"

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace era {

struct TLdapSettings {
    std::string TreeName;
    std::string Uri;            // "ldap://host:port" or "ldaps://host"
    std::string Base;           // the DN of the tree's top container ("o=acme")
    std::string BindDn;         // empty: anonymous
    std::string PasswordEnv;    // the environment variable that holds the password
    std::string PasswordFile;   // or the file that holds it (absolute path)
    bool StartTls = false;
    std::string CaFile;         // the certificates to verify the server against (absolute path)
    int TimeoutSeconds = 10;    // for connecting and for every answer
    int PageSize = 100;         // entries per page of a listing or search
    int CacheSeconds = 120;     // how long an answer of the server is reused
};

// Reads the "ldap" member of a tree's entry; false with a message that names the key.
bool ReadLdapSettings(const nlohmann::ordered_json& settings, const std::string& baseFolder,
                      const std::string& treeName, TLdapSettings& out, std::string& error);
// Refuses a password file that group or others may read (or that is no regular file).
bool CheckPasswordFile(const std::string& path, std::string& error);
// The bind password from the environment variable or the file (first line, without its line
// break); false with a message that never holds the password.
bool ReadLdapPassword(const TLdapSettings& settings, std::string& password, std::string& error);
// Overwrites a password in memory before it is released.
void WipePassword(std::string& password);

// The workstation loader's source for "ldap" trees: checks the settings and gives the tree's
// source, which reads the directory over LDAP when it is first asked.
std::unique_ptr<TDirectorySource> LdapTreeSource(const nlohmann::ordered_json& entry, const std::string& baseFolder,
                                              const std::string& treeName, std::string& error);

} // namespace era
