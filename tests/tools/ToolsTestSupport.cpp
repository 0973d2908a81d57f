#include "ToolsTestSupport.h"

#include <regex>

namespace tools_test {

using namespace suite_test;

std::string built_program(const std::string& name)
{
    return std::string(TOOLS_APPS_DIR) + "/" + name + "/" + name;
}

std::string built_library()
{
    return TOOLS_CODEC_LIBRARY;
}

ToolTest::ToolTest()
{
    make_dirs(Work());
}

std::string ToolTest::Bare(const std::string& name)
{
    const std::string folder = fHome / "bare";
    make_dirs(folder);
    const std::string copy = folder + "/" + name;
    if (!file_exists(copy))
        copy_file(built_program(name), copy);
    return copy;
}

ProgramResult ToolTest::Run(const std::string& program, const std::vector<std::string>& args,
                            const Environment& extra)
{
    Environment env = fHome.Env();
    env["FAKE_APE_LOG"] = fHome / "calls.log";
    for (const auto& [name, value] : extra)
        env[name] = value;
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    ProgramResult result = run_program(argv, env, Work());
    // Everything goes to standard output.
    EXPECT_EQ(result.err, "") << program;
    EXPECT_EQ(result.signal, 0) << program;
    return result;
}

std::vector<std::string> ToolTest::Calls() const
{
    if (!file_exists(fHome / "calls.log"))
        return {};
    std::string text = read_file(fHome / "calls.log");
    for (char& c : text)
        if (c == '\t')
            c = '|';
    std::vector<std::string> calls = lines(text);
    if (!calls.empty() && calls.back().empty())
        calls.pop_back();
    return calls;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        result.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return result;
        start = end + 1;
    }
}

int check_progress_lines(const std::string& text, const std::string& keyName)
{
    EXPECT_EQ(text.find('\n'), std::string::npos) << "a progress line has a line end";
    const std::regex line("\r@" + keyName + " (\\d+) (\\d+|\\?)@ ");
    int last = -1;
    size_t at = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
        EXPECT_EQ(static_cast<size_t>(it->position()), at) << "stray text in the progress: " << text;
        at = it->position() + it->length();
        const int percent = std::stoi((*it)[1]);
        EXPECT_GE(percent, last);
        EXPECT_LE(percent, 100);
        last = percent;
    }
    EXPECT_EQ(at, text.size()) << "stray text in the progress: " << text;
    return last;
}

} // namespace tools_test
