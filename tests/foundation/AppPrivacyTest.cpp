#include <AppPrivacy.h>
#include <TestSupport.h>

#include <gtest/gtest.h>

#include <filesystem>

using namespace suite_test;

namespace {

TEST(AppPrivacy, EmptyBeforeAnalysis)
{
    TAppPrivacy privacy;
    EXPECT_EQ(privacy.ExePath(), "");
    EXPECT_EQ(privacy.ExeName(), "");
    TAPEAppPrivacy record;
    EXPECT_EQ(record.start_time, 0);
    EXPECT_EQ(record.lib_image, -1);
}

TEST(AppPrivacy, TheProgramsOwnFileWhateverItWasCalled)
{
    // The platform knows the running program's file; a link, a relative
    // path or a bare name in argv[0] changes nothing (the programs' runs
    // through all of them: MainTest).
    const std::filesystem::path self = std::filesystem::canonical("/proc/self/exe");
    for (const char* argv0 : {"./elsewhere/Prog", "Prog", "", static_cast<const char*>(nullptr)}) {
        TAppPrivacy privacy;
        privacy.AnalyzeExePath(argv0);
        EXPECT_EQ(privacy.ExePath(), (self.parent_path().string() + "/").c_str());
        EXPECT_EQ(privacy.ExeName(), self.filename().c_str());
    }
}

} // namespace
