// What the views' archive constructors share: reading optional fields
// without repeating the test each time.
#pragma once

#include <Archivable.h>
#include <Message.h>

#include <string>

namespace BPrivate {

// A new T from the archive when it names the class, else none.
template <class T>
BArchivable* instantiate_as(BMessage* archive, const char* className)
{
    return validate_instantiation(archive, className) ? new T(archive) : nullptr;
}

// Each leaves *value as it was when the archive lacks the field.
inline void read_field(const BMessage* archive, const char* name, std::string* value)
{
    const char* text = nullptr;
    if (archive != nullptr && archive->FindString(name, &text) == B_OK && text != nullptr)
        *value = text;
}

#define B_ARCHIVE_READ_FIELD(Type, Find)                                           \
    inline void read_field(const BMessage* archive, const char* name, Type* value) \
    {                                                                              \
        Type found;                                                                \
        if (archive != nullptr && archive->Find(name, &found) == B_OK)             \
            *value = found;                                                        \
    }
B_ARCHIVE_READ_FIELD(int32, FindInt32)
B_ARCHIVE_READ_FIELD(float, FindFloat)
B_ARCHIVE_READ_FIELD(bool, FindBool)
#undef B_ARCHIVE_READ_FIELD

}  // namespace BPrivate
