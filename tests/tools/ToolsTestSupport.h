// Running Fennick, Dovrell and Tarvin as a user does: as child processes
// with a temporary home whose $HOME/.local/lib holds the codec library.
#pragma once

#include <TestSupport.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tools_test {

using suite_test::Environment;
using suite_test::ProgramResult;

const char* const kPrograms[] = {"Fennick", "Dovrell", "Tarvin"};

// The program as built, with its dictionaries beside it.
std::string built_program(const std::string& name);
// The real codec library as built.
std::string built_library();

class ToolTest : public ::testing::Test {
protected:
    ToolTest();

    // A copy of the program with no dictionaries beside it, so that every
    // text shows as its key with the placeholders filled in.
    std::string Bare(const std::string& name);

    // Runs program in Work() with the temporary home and no language set
    // (English). The fake codec libraries log their calls (see Calls).
    ProgramResult Run(const std::string& program, const std::vector<std::string>& args,
                      const Environment& extra = {});

    // The folder the programs run in.
    std::string Work() const { return fHome / "work"; }
    std::string InWork(const std::string& name) const { return Work() + "/" + name; }

    // The calls the fake codec library has received, one line each, the
    // arguments separated by "|".
    std::vector<std::string> Calls() const;

    suite_test::TempHome fHome;
};

// The output split at line ends, the last line kept even when empty.
std::vector<std::string> lines(const std::string& text);

// Checks that text is a run of progress lines for keyName: each a carriage
// return, "@<keyName> <percent> <seconds or ?>@", a blank and no line end, the
// percent never decreasing. Returns the last percent shown (-1 if none).
int check_progress_lines(const std::string& text, const std::string& keyName);

} // namespace tools_test
