// VelmorPrefs as a user installs and starts it: through its link in
// ~/.local/bin, with its dictionaries beside it.
#include <gtest/gtest.h>

#include "PrefsTestSupport.h"

namespace {

using namespace prefs_test;

TEST(VelmorPrefsInstalled, RunsThroughItsLinkInEitherLanguage)
{
    PrivateSession session;
    const std::string prefix = session.Home() + "/.local";
    suite_test::ProgramResult r
        = suite_test::run_program({PREFS_CMAKE, "--install", suite_test::build_dir(), "--prefix", prefix});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    suite_test::Environment env = session.Env();
    env["PATH"] = prefix + "/bin:/usr/bin:/bin";

    env["LANG"] = "ja_JP.UTF-8";
    r = suite_test::run_program({"VelmorPrefs", "--help"}, env);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("使い方: VelmorPrefs [--close]", 0), 0u) << r.out;
    env.erase("LANG");
    r = suite_test::run_program({"VelmorPrefs", "--bogus"}, env);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(suite_test::split_lines(r.out)[0], "ERROR: Unknown option: --bogus");
    // Nothing to close is no error.
    r = suite_test::run_program({"VelmorPrefs", "--close"}, env);
    EXPECT_EQ(r.status, 0) << r.out;
}

}  // namespace
