// The search filter language over arbitrary text: tokenising, emitting the client's tokens
// against the small directory of the tests (whose schema gives the syntaxes), running the search,
// and converting the text as a filter value of every syntax.

#include "fuzz/fuzz_support.h"
#include "rights/search_filter.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace era;
    const NWDSContextHandle context = fuzz::SmallDirectoryContext();
    const std::string text(reinterpret_cast<const char*>(data), size);

    (void)FilterIsBalanced(text);
    const std::vector<std::string> tokens = TokenizeFilter(text);
    std::unique_ptr<TFilterCursor> cursor;
    (void)EmitFilterTokens(context, tokens, cursor);

    TStringList results;
    int found = 0;
    (void)U_DSSearch(context, "[Root]", text, 0, nullptr, nullptr, found, 8, "#NAME#", &results, DsSearchSubtree);
    if (found < 0 || results.Count() > 8) std::abort();

    for (uint32_t syntax = 0; syntax <= 30; ++syntax) {
        TAttrValue value;
        (void)ConvertFilterValue(text, syntax, value);
    }
    return 0;
}
