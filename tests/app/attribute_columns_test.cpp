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

TEST(AttributeColumns, AColumnWithoutAnAttributeNameShowsItsDefault) {
    // Nothing to read for such a column: it is treated as an attribute that cannot be read, and no
    // placeholder is left in the line.
    TAttrConfig config;
    config.Count = 2;
    config.Template = "<#Attr_01|#Attr_02|#Attr_01>";
    config.Defaults[1] = "none";
    TReportInputs inputs;
    inputs.AttrColumnsEnabled = true;
    inputs.AttrConfig = &config;
    TStringList trace;
    trace.AddObject("", 14);
    trace.AddObject("  Effective: [CR    ] -> [User] .admin.acme / [Entry Rights]", 5);
    BuildSummary(trace, inputs);
    ASSERT_GE(trace.Count(), 3) << trace.Text();
    EXPECT_EQ(trace.Strings(2), "<none||none>");
    EXPECT_EQ(config.LastValues[1], "none");
    EXPECT_EQ(config.LastValues[2], "");
}

} // namespace
} // namespace era
