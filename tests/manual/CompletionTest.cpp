// The bash completions as bash runs them: each line split into COMP_WORDS
// as readline splits it, then the program's completion function, through
// bash-completion, and its replies.
#include <TestSupport.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Programs.h"

namespace {

using namespace suite_test;

const char kBashCompletion[] = "/usr/share/bash-completion/bash_completion";

// Sources bash-completion and the completions given, then completes each
// line (the cursor at its end) and prints its replies, sorted, on one line.
const char kDriver[] = R"bash(
source /usr/share/bash-completion/bash_completion
while [[ $1 != -- ]]; do source "$1"; shift; done; shift
for line; do
    # Readline splits at blanks and gives "=" and ":" words of their own;
    # after a blank the word to complete is empty.
    read -ra COMP_WORDS <<<"$(sed -E 's/([=:]+)/ \1 /g' <<<"$line")"
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
    COMPREPLY=()
    registered=$(complete -p "${COMP_WORDS[0]}") || exit 1
    registered=${registered#*-F } && function=${registered%% *}
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd'|'
done
)bash";

struct Case {
    const char* line;
    const char* replies;  // sorted, separated by "|"
};

const Case kCases[] = {
    // Option names in any case; "=" where a value follows.
    {"Fennick -", "-Help|-Level=|-Verbose"},
    {"Fennick -l", "-Level="},
    {"Dovrell -v", "-Verbose"},
    {"Lumbrel -",
     "-Album=|-Artist=|-Charset=|-Comment=|-Genre=|-Help|-Removeall|-Title=|-Track=|-Verbose|-Year="},
    {"Lumbrel -r", "-Removeall"},
    // Level and character-set names after either separator, any case.
    {"Fennick -Level=", "Extrahigh|Fast|High|Normal"},
    {"Fennick -L:h", "High"},
    {"Fennick -level=E", "Extrahigh"},
    {"Lumbrel -CS=", "JIS|SHIFT-JIS|UTF-8"},
    {"Lumbrel -charset:s", "SHIFT-JIS"},
    {"Lumbrel -T=", ""},
    {"Dovrell -Level=", ""},
    // The source: its kind of file and folders; a destination is a new
    // name, so only folders; options do not count as names.
    {"Fennick ", "LOUD.WAV|music|my song.wav|song.wav"},
    {"Fennick my", "my song.wav"},
    {"Fennick -L=H song.wav ", "music"},
    // A lone "-" is standard input, a file: the destination comes next.
    {"Fennick - ", "music"},
    {"Dovrell ", "music|old.ape"},
    {"Dovrell old.ape ", "music"},
    {"Tarvin old.ape ", "music|old.ape"},
    {"Lumbrel -Title=a:b ", "music|old.ape"},
    // Names as the program shows them, and values of a player's option.
    {"ApePlayer -se", "-Seconds=|-Seek=|-SeekAt="},
    {"ApePlayer -language:J", "ja"},
    // A program that takes its options only as written and no file.
    {"VelmorPrefs --", "--close|--help"},
    {"VelmorPrefs --C", ""},
    {"VelmorPrefs ", ""},
};

TEST(Completion, OptionsValuesAndFiles)
{
    if (!file_exists(kBashCompletion))
        GTEST_SKIP() << "needs bash-completion (scripts/packages.txt)";
    TempDir folder("completion");
    for (const char* name : {"song.wav", "LOUD.WAV", "my song.wav", "notes.txt", "old.ape"})
        write_file(folder / name, "");
    make_dirs(folder / "music");

    const std::vector<std::string> programs = built_programs();
    std::vector<std::string> argv{"bash", "--norc", "--noprofile", "-c", kDriver, "driver"};
    for (const std::string& program : programs)
        argv.push_back(std::string(MANUAL_DIR) + "/completions/" + program);
    argv.push_back("--");
    std::vector<const Case*> cases;
    for (const Case& c : kCases) {
        const std::string program = std::string(c.line).substr(0, std::string(c.line).find(' '));
        if (std::find(programs.begin(), programs.end(), program) != programs.end()) {
            cases.push_back(&c);
            argv.push_back(c.line);
        }
    }
    ProgramResult r = run_program(argv, {}, folder.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> replies = split_lines(r.out);
    ASSERT_EQ(replies.size(), cases.size()) << r.out << r.err;
    for (size_t i = 0; i < replies.size(); ++i)
        EXPECT_EQ(replies[i], cases[i]->replies) << "completing \"" << cases[i]->line << "\"";
}

} // namespace
