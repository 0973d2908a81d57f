// Storage kit: BEntry, a named place in the file system.
//
// An entry is an absolute path whose folder exists; the entry itself need
// not exist. Made with traverse, symbolic links (the last component's
// included) are followed to their target.
#pragma once

#include <Statable.h>

#include <string>

class BPath;

class BEntry : public BStatable {
public:
    BEntry();
    explicit BEntry(const char* path, bool traverse = false);
    BEntry(const BEntry& other) = default;
    BEntry& operator=(const BEntry& other) = default;
    ~BEntry() override = default;

    // B_OK, B_BAD_VALUE (null or empty path), B_ENTRY_NOT_FOUND (the folder
    // does not exist, or a link cannot be followed), B_LINK_LIMIT, ...
    status_t SetTo(const char* path, bool traverse = false);
    void Unset();
    status_t InitCheck() const { return fStatus; }

    bool Exists() const;
    status_t GetPath(BPath* path) const;
    status_t GetName(char* buffer) const;   // B_FILE_NAME_LENGTH bytes
    status_t GetParent(BEntry* parent) const;
    status_t Remove();

    status_t GetStat(struct stat* st) const override;

    bool operator==(const BEntry& other) const;

private:
    std::string fPath;
    status_t fStatus;
};
