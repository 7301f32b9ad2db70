#include "app/report.h"
#include "util/ini_file.h"

#include <gtest/gtest.h>

namespace era {
namespace {

TEST(AttributeColumns, AttrCountIsHeldTo0Through20) {
    struct TCase {
        std::string Count;
        int Columns;
    };
    const TCase cases[] = {{"0", 0}, {"1", 1}, {"19", 19}, {"20", 20}, {"21", 20}, {"1000", 20}, {"2147483647", 20},
                           {"-1", 0}, {"-2147483648", 0}, {"0x14", 20}, {"twenty", 0}, {"", 0}};
    for (const auto& c : cases) {
        TMemIniFile ini;
        ini.WriteString("Attributes", "AttrCount", c.Count);
        ini.WriteString("Attributes", "AttrFormat", "#Attr_01");
        for (int n = 1; n <= 25; ++n) ini.WriteString("Attributes", "Attr_" + std::string(n < 10 ? "0" : "") + std::to_string(n), "A" + std::to_string(n));
        const TAttrConfig config = ReadAttrConfig(ini);
        EXPECT_EQ(config.Count, c.Columns) << c.Count;
        for (int n = 1; n <= TAttrConfig::MaxColumns; ++n)
            EXPECT_EQ(config.Names[static_cast<size_t>(n)], n <= c.Columns ? "A" + std::to_string(n) : "") << c.Count << " " << n;
    }
}

} // namespace
} // namespace era
