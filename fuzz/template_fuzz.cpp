// The search output template over arbitrary text, filled for objects of the small directory of
// the tests: "#NAME#", "#CLASS#", "#[format][key]#" fields with any format and key.

#include "fuzz/fuzz_support.h"
#include "rights/search_filter.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace era;
    const NWDSContextHandle context = fuzz::SmallDirectoryContext();
    const std::string outputTemplate(reinterpret_cast<const char*>(data), size);
    static const std::pair<const char*, const char*> objects[] = {
        {".admin.acme", "User"}, {".sales.acme", "Organizational Unit"}, {"[Root]", "Top"}, {".gone.acme", "User"}};
    for (const auto& [name, baseClass] : objects) {
        uint32_t position = 0;
        const std::string line = FormatSearchTemplate(context, outputTemplate, name, baseClass, position);
        if (position > line.size() + 1) std::abort();
    }
    return 0;
}
