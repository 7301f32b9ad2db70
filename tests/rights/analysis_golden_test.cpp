#include "analysis_fixture.h"
#include "support/golden.h"

namespace era::test {
namespace {

// The full trace (levels included) of objects and directories of the sample workstation.
TEST(AnalysisGolden, DirectoryObjectsOfTheSample) {
    TAnalysisFixture sample(Sample());
    struct Case {
        const char* object;
        uint32_t flags;
        const char* golden;
    };
    const Case cases[] = {
        {".acme", 0, "analysis_acme.txt"},                                         // at the top
        {".vdavis.hr.acme", 0, "analysis_vdavis_hr.txt"},                           // under hr's filters
        {".sintern.projects.east.sales.acme", 0, "analysis_sintern.txt"},           // through Security Equals
        {".kwilson.west.sales.acme", ScanResolveContainers, "analysis_kwilson_resolve.txt"},   // residence
        {".jdoe.east.sales.acme", ScanUsersOnly, "analysis_jdoe_users.txt"},        // users only
        {".jane.hr.acme", 0, "analysis_jane_alias.txt"},                            // an alias
    };
    for (const auto& c : cases) ExpectGolden(c.golden, sample.Object(c.object, c.flags));
}

TEST(AnalysisGolden, NetWareDirectoriesOfTheSample) {
    TAnalysisFixture sample(Sample());
    struct Case {
        const char* path;
        int maxLevel;
        const char* golden;
    };
    const Case cases[] = {
        {"FS1/SYS:", 31, "analysis_fs1_sys_root.txt"},
        {"FS1/SYS:PUBLIC", 31, "analysis_fs1_sys_public.txt"},
        {"FS1/SYS:SYSTEM", 31, "analysis_fs1_sys_system.txt"},
        {"FS1/DATA:SHARED\\SALES", 31, "analysis_fs1_data_sales.txt"},
        {"FS1/DATA:SHARED\\SALES\\CUSTOMERS", 31, "analysis_fs1_data_customers.txt"},
        {"FS1/DATA:SHARED\\SALES", 41, "analysis_fs1_data_sales_41.txt"},   // filters and recalculation shown
    };
    for (const auto& c : cases) ExpectGolden(c.golden, sample.Path(c.path, 0, c.maxLevel));
}

} // namespace
} // namespace era::test
