// Storage kit: BPath, an absolute path text.
#pragma once

#include <StorageDefs.h>

#include <string>

class BEntry;

class BPath {
public:
    BPath();
    // A relative path is taken relative to the current folder; "." and
    // ".." components and repeated "/" are folded away by text (links are
    // not resolved; normalize resolves them when the folder exists).
    explicit BPath(const char* path, const char* leaf = nullptr, bool normalize = false);
    explicit BPath(const BEntry* entry);
    BPath(const BPath& other) = default;
    BPath& operator=(const BPath& other) = default;

    status_t SetTo(const char* path, const char* leaf = nullptr, bool normalize = false);
    status_t SetTo(const BEntry* entry);
    void Unset();
    status_t InitCheck() const { return fStatus; }

    // Appends a relative path; fails on an uninitialised path.
    status_t Append(const char* path, bool normalize = false);

    // Null when uninitialised.
    const char* Path() const;
    // The last component ("" for "/"); null when uninitialised.
    const char* Leaf() const;
    status_t GetParent(BPath* parent) const;

    bool operator==(const BPath& other) const;
    bool operator==(const char* path) const;

private:
    std::string fPath;
    status_t fStatus;
};
