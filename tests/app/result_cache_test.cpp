#include "app/report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace era {
namespace {

namespace fs = std::filesystem;

// The temporary folder of the process pointed at a folder of the test's own.
class ResultCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("TMPDIR");
        hadTmp_ = old != nullptr;
        if (old) oldTmp_ = old;
        dir_ = fs::temp_directory_path() / ("era-cache-test-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ::setenv("TMPDIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_)
            ::setenv("TMPDIR", oldTmp_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        fs::remove_all(dir_);
    }
    fs::path Folder() const { return dir_ / ("era-" + std::to_string(::getuid())); }

    fs::path dir_;
    std::string oldTmp_;
    bool hadTmp_ = false;
};

TEST_F(ResultCacheTest, EveryCacheHasAFileOfItsOwnThatGoesWithIt) {
    // With one file name for every run, two runs at once shared their values and the first to
    // end deleted the other's file.
    auto first = std::make_unique<TCache>();
    auto second = std::make_unique<TCache>();
    ASSERT_FALSE(first->FileName().empty());
    EXPECT_NE(first->FileName(), second->FileName());
    EXPECT_EQ(fs::path(first->FileName()).parent_path(), Folder());
    EXPECT_TRUE(fs::path(first->FileName()).filename().string().starts_with("~"));
    first->WriteValue("Attr - User", ".admin.acme", "\"from the first\"");
    EXPECT_EQ(second->ReadValue("Attr - User", ".admin.acme"), "");
    EXPECT_EQ(first->ReadValue("Attr - User", ".admin.acme"), "from the first");

    const std::string firstFile = first->FileName();
    first.reset();
    EXPECT_FALSE(fs::exists(firstFile));
    EXPECT_TRUE(fs::exists(second->FileName()));
    second->WriteValue("Attr - User", ".ann.acme", "\"x\"");
    EXPECT_EQ(second->ReadValue("Attr - User", ".ann.acme"), "x");
}

TEST_F(ResultCacheTest, ALeftOverFileOfAnEarlierRunIsNeverRead) {
    // A run that was killed leaves its file; the next run must not show its values as found.
    {
        TCache probe;   // makes the folder as the cache wants it
    }
    std::ofstream(Folder() / "~1.tmp") << "[Attr - User]\n.admin.acme=\"stale value\"\n";
    TCache cache;
    EXPECT_NE(fs::path(cache.FileName()).filename(), "~1.tmp");
    EXPECT_EQ(cache.ReadValue("Attr - User", ".admin.acme"), "");
}

} // namespace
} // namespace era
