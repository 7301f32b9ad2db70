#include "rights/security_equals_cache.h"
#include "util/settings.h"

#include <gtest/gtest.h>

namespace era::test {
namespace {

// The analysis's cache as it was kept in a settings store in memory: the answers to match.
class TStoreCache {
public:
    TStoreCache() : update_(store_) {}
    bool Find(const std::string& trustee, TStringList& names) {
        names.Clear();
        const int count = IniReadInteger(store_, "Security Equals", trustee, -1);
        if (count < 0) return false;
        if (count > 0) IniReadList(store_, CleanIniName(trustee), names, false);
        return true;
    }
    void Keep(const std::string& trustee, const TStringList& found) {
        IniWriteList(store_, trustee, found, false);
        IniWriteInteger(store_, "Security Equals", trustee, found.Count());
    }

private:
    TMemIniFile store_;
    TIniUpdate update_;
};

std::vector<std::string> Texts(const TStringList& list) {
    std::vector<std::string> texts;
    for (const auto& item : list.Items())
        texts.push_back(item.Text);
    return texts;
}

struct TStep {
    std::string Trustee;
    std::vector<std::string> Found; // searched and kept when the cache has no answer
};

// Each sequence is asked of both caches, as the analysis asks: find, and on no answer keep what
// the search found. Every answer must be the store's.
TEST(SecurityEqualsCache, AnswersAsTheSettingsStoreDid) {
    const std::vector<std::vector<TStep>> sequences = {
        // brackets cleaned: "[Public]" and "Public" share one answer; letter case ignored
        {{"[Public]", {".a.org", ".b.org"}},
         {"Public", {".c.org"}},
         {"[PUBLIC]", {}},
         {".x.org", {".y.org"}},
         {".X.ORG", {".z.org"}}},
        // counts under the trimmed key, names under the untrimmed section
        {{" .x.org", {".y.org"}}, {".x.org", {".z.org"}}, {".x.org ", {}}},
        // a key that cleans to nothing keeps no count: searched every time
        {{"[]", {".a.org"}}, {"[]", {".b.org"}}, {" ", {".c.org"}}, {" ", {}}},
        // names as the store reads them back: trimmed, unquoted, empty ones left out
        {{".q.org",
          {" .a.org ", "\".b.org\"", "", "\"\"", "'.c.org'", "x\ny", "%ESC%z", "\t", ".d.org\t", "\".e.org",
           "%41"}},
         {".q.org", {}}},
        // nothing found: an answer all the same
        {{".none.org", {}}, {".none.org", {".late.org"}}},
        // a trustee named like the section of the counts writes its names among them
        {{".a.org", {".b.org"}},
         {"[Security Equals]", {"3", ".c.org"}},
         {"0", {}},
         {".a.org", {}},
         {"security equals", {}},
         {"1", {".d.org"}}},
    };
    for (size_t s = 0; s < sequences.size(); ++s) {
        TSecurityEqualsCache cache;
        TStoreCache store;
        for (size_t i = 0; i < sequences[s].size(); ++i) {
            const TStep& step = sequences[s][i];
            TStringList got, want;
            const bool has = cache.Find(step.Trustee, got);
            const bool storeHas = store.Find(step.Trustee, want);
            ASSERT_EQ(has, storeHas) << "sequence " << s << " step " << i << " " << step.Trustee;
            EXPECT_EQ(Texts(got), Texts(want)) << "sequence " << s << " step " << i << " " << step.Trustee;
            if (!has) {
                TStringList found;
                for (const auto& name : step.Found)
                    found.Add(name);
                cache.Keep(step.Trustee, found);
                store.Keep(step.Trustee, found);
            }
        }
    }
}

} // namespace
} // namespace era::test
