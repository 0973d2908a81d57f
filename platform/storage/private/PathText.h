// Path text helpers shared by the storage kit's classes.
#pragma once

#include <SupportDefs.h>

#include <string>

namespace storage_detail {

// Makes a path absolute against the current folder and folds ".", ".."
// and repeated "/" by text. Empty when the current folder is unknown.
std::string absolute_normalized(const std::string& path);

// Splits an absolute, normalized path into folder and last component
// ("/" has the folder "/" and an empty leaf).
void split_leaf(const std::string& path, std::string& folder, std::string& leaf);

std::string join(const std::string& folder, const std::string& leaf);

// Sets parent (a BPath or a BEntry) to the folder of an initialised path.
template <typename Node>
status_t set_to_parent(const std::string& path, status_t status, Node* parent)
{
    if (!parent)
        return B_BAD_VALUE;
    if (status != B_OK)
        return B_NO_INIT;
    if (path == "/")
        return B_ENTRY_NOT_FOUND;
    std::string folder, leaf;
    split_leaf(path, folder, leaf);
    return parent->SetTo(folder.c_str());
}

} // namespace storage_detail
