#pragma once

// Golden files of whole outputs in tests/data/golden: compared line by line, rewritten when the
// environment says ERA_UPDATE_GOLDEN=1 (then read every change before committing it).

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace era::test {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Compares text with a golden file line by line (or rewrites it when asked to).
inline void ExpectGolden(const std::string& name, const std::string& text) {
    const std::string path = std::string(ERA_TEST_DATA_DIR) + "/golden/" + name;
    if (std::getenv("ERA_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << text;
        return;
    }
    const std::string expected = ReadFile(path);
    ASSERT_FALSE(expected.empty()) << "no golden file " << path << " (run with ERA_UPDATE_GOLDEN=1 to write it)";
    std::istringstream a(expected), b(text);
    std::string want, got;
    int number = 0;
    for (;;) {
        ++number;
        const bool moreWant = static_cast<bool>(std::getline(a, want));
        const bool moreGot = static_cast<bool>(std::getline(b, got));
        if (!moreWant && !moreGot) break;
        ASSERT_EQ(moreWant, moreGot) << name << ": the output " << (moreGot ? "has more" : "has fewer")
                                     << " lines than the golden file, from line " << number;
        ASSERT_EQ(want, got) << name << ", line " << number;
    }
}

} // namespace era::test
