#include "Entry.h"
#include "Path.h"
#include "PathText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

using namespace storage_detail;

namespace {

// The BeOS limit on links followed for one path.
const int kMaxLinks = 16;

status_t not_found_or(int err)
{
    return err == ENOENT ? B_ENTRY_NOT_FOUND : status_from_errno(err);
}

// The absolute form of a path, without trailing "/"; the text is kept,
// so that ".." is resolved by the system after any link before it.
bool make_absolute(const char* path, std::string& result)
{
    result = path;
    if (result[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return false;
        result = std::string(cwd) + "/" + result;
    }
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return true;
}

// Resolves the folder part of an absolute path through the system and
// keeps the last component as it is.
status_t resolve_entry(const std::string& path, std::string& result)
{
    std::string folder, leaf;
    split_leaf(path, folder, leaf);
    char resolved[PATH_MAX];
    if (leaf.empty() || leaf == "." || leaf == "..") {
        if (!realpath(path.c_str(), resolved))
            return not_found_or(errno);
        result = resolved;
        return B_OK;
    }
    if (!realpath(folder.c_str(), resolved))
        return not_found_or(errno);
    result = join(resolved, leaf);
    return B_OK;
}

} // namespace

BEntry::BEntry() : fStatus(B_NO_INIT) {}

BEntry::BEntry(const char* path, bool traverse) : fStatus(B_NO_INIT)
{
    SetTo(path, traverse);
}

status_t BEntry::SetTo(const char* path, bool traverse)
{
    Unset();
    if (!path || !*path)
        return fStatus = B_BAD_VALUE;
    std::string current;
    if (!make_absolute(path, current))
        return fStatus = B_ERROR;
    status_t status = resolve_entry(current, current);
    for (int links = 0; status == B_OK && traverse; ++links) {
        struct stat st;
        if (lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        if (links == kMaxLinks) {
            status = B_LINK_LIMIT;
            break;
        }
        char target[PATH_MAX];
        const ssize_t n = readlink(current.c_str(), target, sizeof target - 1);
        if (n <= 0) {
            status = n == 0 ? B_ENTRY_NOT_FOUND : status_from_errno(errno);
            break;
        }
        target[n] = '\0';
        std::string folder, leaf;
        split_leaf(current, folder, leaf);
        std::string next = target[0] == '/' ? std::string(target) : join(folder, target);
        while (next.size() > 1 && next.back() == '/')
            next.pop_back();
        status = resolve_entry(next, current);
    }
    if (status != B_OK)
        return fStatus = status;
    fPath = current;
    return fStatus = B_OK;
}

void BEntry::Unset()
{
    fPath.clear();
    fStatus = B_NO_INIT;
}

bool BEntry::Exists() const
{
    struct stat st;
    return fStatus == B_OK && lstat(fPath.c_str(), &st) == 0;
}

status_t BEntry::GetPath(BPath* path) const
{
    if (!path)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return B_NO_INIT;
    return path->SetTo(fPath.c_str());
}

status_t BEntry::GetName(char* buffer) const
{
    if (!buffer)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return B_NO_INIT;
    std::string folder, leaf;
    split_leaf(fPath, folder, leaf);
    if (leaf.size() >= B_FILE_NAME_LENGTH)
        return B_NAME_TOO_LONG;
    memcpy(buffer, leaf.c_str(), leaf.size() + 1);
    return B_OK;
}

status_t BEntry::GetParent(BEntry* parent) const
{
    return set_to_parent(fPath, fStatus, parent);
}

status_t BEntry::Remove()
{
    if (fStatus != B_OK)
        return B_NO_INIT;
    struct stat st;
    if (lstat(fPath.c_str(), &st) != 0)
        return status_from_errno(errno);
    const int result = S_ISDIR(st.st_mode) ? rmdir(fPath.c_str()) : unlink(fPath.c_str());
    return result == 0 ? B_OK : status_from_errno(errno);
}

status_t BEntry::GetStat(struct stat* st) const
{
    if (!st)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return B_NO_INIT;
    return lstat(fPath.c_str(), st) == 0 ? B_OK : status_from_errno(errno);
}

bool BEntry::operator==(const BEntry& other) const
{
    return fStatus == other.fStatus && fPath == other.fPath;
}
