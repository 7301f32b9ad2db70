#pragma once

// What the Security Equals searches of one analysis found, kept for the rest of that call.
//
// The answers are those of the settings store the analysis once kept them in: a count per
// trustee in the section "Security Equals" under the trustee's cleaned key (brackets removed,
// blanks and tabs around it trimmed), the names found in a section of the trustee's cleaned name
// (brackets removed) under the keys "0", "1", ..., both looked up ignoring letter case, every
// name as such a store reads it back (blanks around it trimmed, one pair of enclosing quotes
// removed), names that read back empty left out. Two trustees that differ only in letter case or
// brackets ("[Public]" and "Public") share their answer. A hash table serves it; a trustee whose
// cleaned name is "Security Equals" itself would write its names into the section of the counts,
// and from then on the call asks a settings store in memory, the kept answers written into it first.

#include "util/ini_file.h"
#include "util/string_list.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace era {

class TSecurityEqualsCache {
public:
    TSecurityEqualsCache();
    ~TSecurityEqualsCache();
    TSecurityEqualsCache(const TSecurityEqualsCache&) = delete;
    TSecurityEqualsCache& operator=(const TSecurityEqualsCache&) = delete;

    // Fills names with what is kept for the trustee and says so; false when nothing is kept.
    bool Find(const std::string& trustee, TStringList& names);
    // Keeps what a search for the trustee found.
    void Keep(const std::string& trustee, const TStringList& found);

private:
    struct TKeys {
        bool Known = false;
        std::string Trustee, Section, Count;
    };
    // The upper-cased cleaned name and count key of a trustee (those of the last one asked about
    // are kept: a search not answered is kept next).
    const TKeys& KeysOf(const std::string& trustee);
    void UseStore();

    struct TKept {
        std::string Trustee;
        TStringList Found;
    };
    std::unordered_map<std::string, int> counts_;                     // upper-cased cleaned key
    std::unordered_map<std::string, std::vector<std::string>> names_; // upper-cased cleaned name
    std::vector<TKept> kept_; // every Keep in order, for the store if one is needed
    std::unique_ptr<TMemIniFile> store_;
    std::unique_ptr<TIniUpdate> update_;
    TKeys keys_;
};

} // namespace era
