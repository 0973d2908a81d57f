#include "EntryRef.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "Entry.h"
#include "Path.h"

namespace {

char* copy_name(const char* name)
{
    if (name == nullptr)
        return nullptr;
    size_t n = std::strlen(name) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (copy != nullptr)
        std::memcpy(copy, name, n);
    return copy;
}

}  // namespace

entry_ref::entry_ref()
    : device(-1), directory(-1), name(nullptr)
{
}

entry_ref::entry_ref(dev_t dev, ino_t dir, const char* n)
    : device(dev), directory(dir), name(copy_name(n))
{
}

entry_ref::entry_ref(const entry_ref& ref)
    : device(ref.device), directory(ref.directory), name(copy_name(ref.name)), fFolder(ref.fFolder)
{
}

entry_ref& entry_ref::operator=(const entry_ref& ref)
{
    if (this != &ref) {
        char* n = copy_name(ref.name);
        std::free(name);
        name = n;
        device = ref.device;
        directory = ref.directory;
        fFolder = ref.fFolder;
    }
    return *this;
}

entry_ref::~entry_ref()
{
    std::free(name);
}

status_t entry_ref::set_name(const char* n)
{
    char* copy = copy_name(n);
    if (n != nullptr && copy == nullptr)
        return B_NO_MEMORY;
    std::free(name);
    name = copy;
    return B_OK;
}

bool entry_ref::operator==(const entry_ref& ref) const
{
    if (device != ref.device || directory != ref.directory)
        return false;
    if (name == nullptr || ref.name == nullptr)
        return name == ref.name;
    return std::strcmp(name, ref.name) == 0;
}

status_t get_ref_for_path(const char* path, entry_ref* ref)
{
    if (path == nullptr || *path == '\0' || ref == nullptr)
        return B_BAD_VALUE;
    BEntry entry(path, false);
    if (entry.InitCheck() != B_OK)
        return entry.InitCheck();
    BPath full(&entry);
    BPath folder;
    if (full.InitCheck() != B_OK || full.GetParent(&folder) != B_OK)
        return B_ENTRY_NOT_FOUND;
    struct stat st;
    if (::stat(folder.Path(), &st) != 0)
        return B_ENTRY_NOT_FOUND;
    status_t status = ref->set_name(full.Leaf());
    if (status != B_OK)
        return status;
    ref->device = st.st_dev;
    ref->directory = st.st_ino;
    ref->fFolder = folder.Path();
    return B_OK;
}

status_t get_path_for_ref(const entry_ref* ref, std::string* path)
{
    if (ref == nullptr || path == nullptr || ref->name == nullptr || ref->fFolder.empty())
        return B_BAD_VALUE;
    struct stat st;
    if (::stat(ref->fFolder.c_str(), &st) != 0 || st.st_dev != ref->device
        || st.st_ino != ref->directory)
        return B_ENTRY_NOT_FOUND;
    *path = ref->fFolder;
    if (path->empty() || path->back() != '/')
        *path += '/';
    *path += ref->name;
    return B_OK;
}
