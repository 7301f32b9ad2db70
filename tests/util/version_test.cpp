#include "util/version.h"

#include <gtest/gtest.h>

namespace era {

TEST(Version, TextKeepsItsTrailingBlank) {
    EXPECT_STREQ(VersionText, "v1.6 (2009-09) ");
    EXPECT_FALSE(BuildVersion().empty());
}

} // namespace era
