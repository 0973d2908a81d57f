// The programs of this build, whose pages and completions the tests read:
// the windowed ones only where they are built (USER_DOCS_PROGRAMS, from
// CMakeLists.txt here).
#pragma once

#include <sstream>
#include <string>
#include <vector>

inline std::vector<std::string> built_programs()
{
    std::istringstream words(USER_DOCS_PROGRAMS);
    std::vector<std::string> all;
    for (std::string word; words >> word;)
        all.push_back(word);
    return all;
}
