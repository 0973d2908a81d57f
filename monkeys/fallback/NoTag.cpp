// Stands in for the tag (monkeys/tag/) in the container's fuzz targets,
// which leave the tag out: every file has an empty tag that cannot be saved.
#include <cstring>
#include <new>

#include "FileTag.h"

CAPETag::~CAPETag() = default;
int CAPETag::Save(int) { return APE_ERROR_TAG_WRITE; }
int CAPETag::Remove(int) { return APE_OK; }
int CAPETag::SetFieldString(const char*, const char*, int, int) { return APE_ERROR_TAG_WRITE; }
int CAPETag::GetFieldString(const char*, char* buffer, int* bufferBytes)
{
    if (buffer && bufferBytes && *bufferBytes > 0)
        buffer[0] = 0;
    if (bufferBytes)
        *bufferBytes = 0;
    return APE_OK;
}

namespace monkeys {
CAPETag* open_file_tag(const char*, int64_t, int* error)
{
    if (error)
        *error = 0;
    return new (std::nothrow) CAPETag;
}
CAPETag* read_tag(const TagRead&, int64_t, int64_t) { return new (std::nothrow) CAPETag; }
} // namespace monkeys

CAPETag* create_capetag_1(const char* apePath) { return apePath ? monkeys::open_file_tag(apePath, -1, nullptr) : nullptr; }
CAPETag* create_capetag_2(const char* apePath, int* error)
{
    return apePath ? monkeys::open_file_tag(apePath, -1, error) : nullptr;
}
void destroy_capetag(CAPETag* tag) { delete tag; }
