// VelmorPrefs as a user installs and starts it: through its link in
// ~/.local/bin, with its dictionaries beside it; and facing a window whose
// program takes nothing.
#include <gtest/gtest.h>

#include <OS.h>

#include <IAPs.h>

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

TEST(VelmorPrefs, SaysItCannotReachAWindowWhoseProgramTakesNothing)
{
    // The window's port, full, and nothing reads it: its program hangs.
    PrivateSession session;
    const port_id port = create_port(100, kIAPPortName);
    ASSERT_GE(port, 0);
    while (write_port_etc(port, 0, "", 0, B_RELATIVE_TIMEOUT, 0) == B_OK) {
    }
    suite_test::Environment env = session.Env();
    env["SUITE_OFFSCREEN"] = "1";
    suite_test::RunOptions options;
    options.env = env;
    options.timeout_seconds = 60;
    suite_test::ProgramResult r = suite_test::run_program({velmor_prefs_program()}, options);
    EXPECT_FALSE(r.timed_out) << "the write to the port never gave up";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.out,
        "ERROR: Could not reach the preferences window: the program that has it open does not "
        "answer, or has ended.\n");
    delete_port(port);
}

}  // namespace
