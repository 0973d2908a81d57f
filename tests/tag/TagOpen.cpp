// The helpers that open a tag with the tag object itself (the tests of the
// whole library go through the library's entries instead).
#include <new>

#include <gtest/gtest.h>

#include "TagTestSupport.h"

namespace tagtest {

TagPtr open_tag(const std::string& path, int64_t audioEnd, int* error)
{
    TagPtr tag(monkeys::open_file_tag(path.c_str(), audioEnd, error));
    if (!tag)
        throw std::bad_alloc();
    return tag;
}

void set_fields(const std::string& path, int64_t audioEnd,
                const std::vector<std::pair<std::string, std::string>>& fields)
{
    TagPtr tag = open_tag(path, audioEnd);
    for (const auto& [name, value] : fields)
        ASSERT_EQ(tag->SetFieldString(name.c_str(), value.c_str(), -1, 0), APE_OK) << name;
    ASSERT_EQ(tag->Save(0), APE_OK);
}

} // namespace tagtest
