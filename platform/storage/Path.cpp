#include "Path.h"
#include "Entry.h"
#include "PathText.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace storage_detail {

std::string absolute_normalized(const std::string& path)
{
    std::string full = path;
    if (full.empty() || full[0] != '/') {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd))
            return "";
        full = std::string(cwd) + "/" + full;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= full.size()) {
        size_t end = full.find('/', start);
        if (end == std::string::npos)
            end = full.size();
        const std::string part = full.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string& part : parts)
        result += "/" + part;
    return result.empty() ? "/" : result;
}

void split_leaf(const std::string& path, std::string& folder, std::string& leaf)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder.clear();
        leaf = path;
        return;
    }
    folder = slash == 0 ? "/" : path.substr(0, slash);
    leaf = path.substr(slash + 1);
}

std::string join(const std::string& folder, const std::string& leaf)
{
    if (leaf.empty())
        return folder;
    return folder == "/" ? "/" + leaf : folder + "/" + leaf;
}

} // namespace storage_detail

using namespace storage_detail;

BPath::BPath() : fStatus(B_NO_INIT) {}

BPath::BPath(const char* path, const char* leaf, bool normalize) : fStatus(B_NO_INIT)
{
    SetTo(path, leaf, normalize);
}

BPath::BPath(const BEntry* entry) : fStatus(B_NO_INIT)
{
    SetTo(entry);
}

status_t BPath::SetTo(const char* path, const char* leaf, bool normalize)
{
    Unset();
    if (!path || !*path)
        return fStatus = B_BAD_VALUE;
    if (leaf && *leaf == '/')
        return fStatus = B_BAD_VALUE;
    std::string full = path;
    if (leaf && *leaf)
        full += std::string("/") + leaf;
    std::string result = absolute_normalized(full);
    if (result.empty())
        return fStatus = B_ERROR;
    if (normalize) {
        std::string folder, name;
        split_leaf(result, folder, name);
        char resolved[PATH_MAX];
        if (realpath(folder.c_str(), resolved))
            result = join(resolved, name);
    }
    if (result.size() >= B_PATH_NAME_LENGTH)
        return fStatus = B_NAME_TOO_LONG;
    fPath = result;
    return fStatus = B_OK;
}

status_t BPath::SetTo(const BEntry* entry)
{
    Unset();
    if (!entry)
        return fStatus = B_BAD_VALUE;
    return fStatus = entry->GetPath(this);
}

void BPath::Unset()
{
    fPath.clear();
    fStatus = B_NO_INIT;
}

status_t BPath::Append(const char* path, bool normalize)
{
    if (fStatus != B_OK)
        return B_BAD_VALUE;
    if (!path || *path == '/')
        return B_BAD_VALUE;
    const std::string base = fPath;
    return SetTo(base.c_str(), path, normalize);
}

const char* BPath::Path() const
{
    return fStatus == B_OK ? fPath.c_str() : nullptr;
}

const char* BPath::Leaf() const
{
    if (fStatus != B_OK)
        return nullptr;
    return fPath.c_str() + fPath.rfind('/') + 1;
}

status_t BPath::GetParent(BPath* parent) const
{
    return set_to_parent(fPath, fStatus, parent);
}

bool BPath::operator==(const BPath& other) const
{
    return fStatus == other.fStatus && fPath == other.fPath;
}

bool BPath::operator==(const char* path) const
{
    if (fStatus != B_OK)
        return path == nullptr;
    return path && fPath == path;
}
