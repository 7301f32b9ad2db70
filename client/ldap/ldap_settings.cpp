#include "client/ldap/ldap_settings.h"

#include "client/ascii_fold.h"
#include "client/name_forms.h"
#include "client/ldap/ldap_client.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace era {

namespace {

using TJson = nlohmann::ordered_json;

constexpr int MaxTimeoutSeconds = 600;
constexpr int MaxPageSize = 10000;
constexpr int MaxCacheSeconds = 86400;
constexpr size_t MaxPasswordBytes = 4096;
// Why a bind DN needs a password: servers take a simple bind with an empty one as anonymous and
// answer it with success, so the scan would run with everyone's rights under the admin's name.
constexpr const char* NoPasswordReason = "(a bind without a password is refused)";

bool Text(const TJson& object, const char* name, std::string& out, std::string& error) {
    out.clear();
    auto it = object.find(name);
    if (it == object.end()) return true;
    if (!it->is_string() || it->get<std::string>().empty()) {
        error = std::string(name) + ": expected a non-empty text";
        return false;
    }
    out = it->get<std::string>();
    return true;
}

bool Number(const TJson& object, const char* name, int low, int high, int& out, std::string& error) {
    auto it = object.find(name);
    if (it == object.end()) return true;
    if (!it->is_number_integer() || it->get<int64_t>() < low || it->get<int64_t>() > high) {
        error = std::string(name) + ": expected a whole number from " + std::to_string(low) + " to " +
                std::to_string(high);
        return false;
    }
    out = static_cast<int>(it->get<int64_t>());
    return true;
}

std::string Absolute(const std::string& path, const std::string& baseFolder) {
    std::filesystem::path p(path);
    if (p.is_relative()) p = std::filesystem::path(baseFolder) / p;
    return p.lexically_normal().string();
}

bool ValidDn(const std::string& dn, const char* key, std::string& error) {
    TNameParts parts;
    std::string why;
    if (!LdapDnToParts(dn, parts, why) || parts.empty()) {
        error = std::string(key) + ": expected a DN such as \"o=acme\"" + (why.empty() ? "" : ": " + why);
        return false;
    }
    return true;
}

} // namespace

bool ReadLdapSettings(const TJson& settings, const std::string& baseFolder, const std::string& treeName,
                      TLdapSettings& out, std::string& error) {
    out = TLdapSettings{};
    out.TreeName = treeName;
    if (!settings.is_object()) {
        error = "expected { \"uri\": \"ldap://host:389\", \"base\": \"o=acme\", ... }";
        return false;
    }
    static const char* const Known[] = {"uri",     "base",   "bindDn",         "passwordEnv", "passwordFile",
                                        "startTls", "caFile", "timeoutSeconds", "pageSize",    "cacheSeconds"};
    for (const auto& [name, value] : settings.items()) {
        bool known = false;
        for (const char* k : Known) known = known || name == k;
        if (!known) {
            std::string list;
            for (const char* k : Known) list += (list.empty() ? "\"" : ", \"") + std::string(k) + "\"";
            error = name + ": unknown key; expected one of " + list;
            return false;
        }
    }
    if (!Text(settings, "uri", out.Uri, error) || !Text(settings, "base", out.Base, error) ||
        !Text(settings, "bindDn", out.BindDn, error) || !Text(settings, "passwordEnv", out.PasswordEnv, error) ||
        !Text(settings, "passwordFile", out.PasswordFile, error) || !Text(settings, "caFile", out.CaFile, error))
        return false;
    if (out.Uri.empty()) {
        error = "uri: missing; expected \"ldap://host:389\" or \"ldaps://host\"";
        return false;
    }
    std::string scheme = FoldAscii(out.Uri.substr(0, out.Uri.find("://")));
    if (out.Uri.find("://") == std::string::npos || (scheme != "ldap" && scheme != "ldaps") ||
        out.Uri.size() <= scheme.size() + 3 || out.Uri.find_first_of(" \t,") != std::string::npos) {
        error = "uri: expected one server as \"ldap://host:389\" or \"ldaps://host\"";
        return false;
    }
    if (out.Base.empty()) {
        error = "base: missing; expected the DN of the tree's top container, such as \"o=acme\"";
        return false;
    }
    if (!ValidDn(out.Base, "base", error)) return false;
    if (!out.BindDn.empty() && !ValidDn(out.BindDn, "bindDn", error)) return false;
    if (auto it = settings.find("startTls"); it != settings.end()) {
        if (!it->is_boolean()) {
            error = "startTls: expected true or false";
            return false;
        }
        out.StartTls = it->get<bool>();
    }
    if (out.StartTls && scheme == "ldaps") {
        error = "startTls: an \"ldaps://\" server speaks TLS from the start; leave startTls out";
        return false;
    }
    if (!Number(settings, "timeoutSeconds", 1, MaxTimeoutSeconds, out.TimeoutSeconds, error) ||
        !Number(settings, "pageSize", 1, MaxPageSize, out.PageSize, error) ||
        !Number(settings, "cacheSeconds", 0, MaxCacheSeconds, out.CacheSeconds, error))
        return false;
    if (!out.PasswordEnv.empty() && !out.PasswordFile.empty()) {
        error = "passwordFile: give the password either by \"passwordEnv\" or by \"passwordFile\", not both";
        return false;
    }
    if (out.BindDn.empty() && (!out.PasswordEnv.empty() || !out.PasswordFile.empty())) {
        error = "bindDn: a password is given but no DN to bind as; leave both out for an anonymous bind";
        return false;
    }
    if (!out.BindDn.empty() && out.PasswordEnv.empty() && out.PasswordFile.empty()) {
        error = std::string("bindDn: expected \"passwordEnv\" or \"passwordFile\" with it ") + NoPasswordReason;
        return false;
    }
    if (!out.PasswordFile.empty()) out.PasswordFile = Absolute(out.PasswordFile, baseFolder);
    if (!out.CaFile.empty()) {
        out.CaFile = Absolute(out.CaFile, baseFolder);
        std::error_code ignored;
        if (!std::filesystem::is_regular_file(out.CaFile, ignored)) {
            error = "caFile: the certificate file \"" + out.CaFile + "\" does not exist";
            return false;
        }
    }
    return true;
}

bool CheckPasswordFile(const std::string& path, std::string& error) {
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0) {
        error = "the password file \"" + path + "\" cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "the password file \"" + path + "\" is not a regular file";
        return false;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        error = "the password file \"" + path + "\" may be read by group or others (mode " + mode +
                "); allow its owner only (chmod 600)";
        return false;
    }
    return true;
}

void WipePassword(std::string& password) {
    volatile char* bytes = password.data();
    for (size_t i = 0; i < password.size(); ++i) bytes[i] = 0;
    password.clear();
}

bool ReadLdapPassword(const TLdapSettings& settings, std::string& password, std::string& error) {
    WipePassword(password);
    if (!settings.PasswordEnv.empty()) {
        const char* value = std::getenv(settings.PasswordEnv.c_str());
        if (!value) {
            error = "the environment variable " + settings.PasswordEnv + " (passwordEnv) is not set";
            return false;
        }
        password = value;
        if (password.empty()) {
            error = "the environment variable " + settings.PasswordEnv + " (passwordEnv) holds no password " +
                    NoPasswordReason;
            return false;
        }
        return true;
    }
    if (settings.PasswordFile.empty()) return true;
    if (!CheckPasswordFile(settings.PasswordFile, error)) return false;
    std::ifstream in(settings.PasswordFile, std::ios::binary);
    if (!in) {
        error = "the password file \"" + settings.PasswordFile + "\" cannot be opened";
        return false;
    }
    char c = 0;
    while (in.get(c) && c != '\n' && password.size() <= MaxPasswordBytes) password += c;
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.size() > MaxPasswordBytes) {
        WipePassword(password);
        error = "the password file \"" + settings.PasswordFile + "\" holds no password of at most 4096 bytes";
        return false;
    }
    if (password.empty()) {
        error = "the password file \"" + settings.PasswordFile + "\" holds no password " + NoPasswordReason;
        return false;
    }
    return true;
}

std::unique_ptr<TDirectorySource> LdapTreeSource(const TJson& entry, const std::string& baseFolder,
                                              const std::string& treeName, std::string& error) {
    TLdapSettings settings;
    std::string why;
    if (!ReadLdapSettings(entry.at("ldap"), baseFolder, treeName, settings, why)) {
        error = why;
        return nullptr;
    }
    // A file anyone may read is refused when the workstation loads, not only when it connects.
    if (!settings.PasswordFile.empty() && !CheckPasswordFile(settings.PasswordFile, error)) return nullptr;
    if (!settings.PasswordEnv.empty() && !std::getenv(settings.PasswordEnv.c_str())) {
        error = "passwordEnv: the environment variable " + settings.PasswordEnv + " is not set";
        return nullptr;
    }
    // An empty password is refused here too, not only at the bind: the file would otherwise load
    // and fail only when the tree is first asked.
    if (!settings.BindDn.empty()) {
        std::string password;
        const bool readable = ReadLdapPassword(settings, password, error);
        WipePassword(password);
        if (!readable) return nullptr;
    }
    return std::make_unique<TLdapSource>(std::move(settings), treeName);
}

} // namespace era
