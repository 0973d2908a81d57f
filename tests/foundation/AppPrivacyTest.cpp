#include <AppPrivacy.h>
#include <TestSupport.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using namespace suite_test;

namespace {

class AppPrivacyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        make_dirs(dir / "apps/Fennick");
        write_file(dir / "apps/Fennick/Fennick", "#!/bin/sh\n");
        chmod((dir / "apps/Fennick/Fennick").c_str(), 0755);
        make_dirs(dir / "bin");
        make_symlink("../apps/Fennick/Fennick", dir / "bin/Fennick");
        oldCwd = std::filesystem::current_path();
    }
    void TearDown() override { EXPECT_EQ(chdir(oldCwd.c_str()), 0); }

    TempDir dir;
    std::string oldCwd;
    TAppPrivacy privacy;
};

TEST_F(AppPrivacyTest, EmptyBeforeAnalysis)
{
    EXPECT_EQ(privacy.ExePath(), "");
    EXPECT_EQ(privacy.ExeName(), "");
    TAPEAppPrivacy record;
    EXPECT_EQ(record.start_time, 0);
    EXPECT_EQ(record.lib_image, -1);
}

TEST_F(AppPrivacyTest, AbsoluteAndRelativePathsGiveTheSameFolder)
{
    privacy.AnalyzeExePath((dir / "apps/Fennick/Fennick").c_str());
    EXPECT_EQ(privacy.ExeName(), "Fennick");
    EXPECT_EQ(privacy.ExePath(), (dir / "apps/Fennick/").c_str());

    ASSERT_EQ(chdir((dir / "apps/Fennick").c_str()), 0);
    TAppPrivacy relative;
    relative.AnalyzeExePath("./Fennick");
    EXPECT_EQ(relative.ExePath(), (dir / "apps/Fennick/").c_str());
    ASSERT_EQ(chdir((dir / "bin").c_str()), 0);
    TAppPrivacy up;
    up.AnalyzeExePath("../apps/Fennick/Fennick");
    EXPECT_EQ(up.ExePath(), (dir / "apps/Fennick/").c_str());
}

TEST_F(AppPrivacyTest, ALinkLeadsToTheRealFolder)
{
    privacy.AnalyzeExePath((dir / "bin/Fennick").c_str());
    EXPECT_EQ(privacy.ExePath(), (dir / "apps/Fennick/").c_str());
    EXPECT_EQ(privacy.ExeName(), "Fennick");
}

TEST_F(AppPrivacyTest, ABareNameIsFoundThroughPath)
{
    ScopedEnv path("PATH", ("/nonexistent::" + (dir / "bin")).c_str());
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    privacy.AnalyzeExePath("Fennick");
    EXPECT_EQ(privacy.ExePath(), (dir / "apps/Fennick/").c_str());
    // Not found in PATH: taken from the current folder, as given.
    TAppPrivacy absent;
    absent.AnalyzeExePath("Nothing");
    EXPECT_EQ(absent.ExePath(), (dir.Path() + "/").c_str());
    EXPECT_EQ(absent.ExeName(), "Nothing");
}

TEST_F(AppPrivacyTest, NoAbsolutePathLeavesTheFolderEmpty)
{
    privacy.AnalyzeExePath((dir / "no/such/Prog").c_str());
    EXPECT_EQ(privacy.ExePath(), "");
    EXPECT_EQ(privacy.ExeName(), "Prog");
    privacy.AnalyzeExePath(nullptr);
    EXPECT_EQ(privacy.ExePath(), "");
    EXPECT_EQ(privacy.ExeName(), "");
    privacy.AnalyzeExePath("");
    EXPECT_EQ(privacy.ExePath(), "");
}

} // namespace
