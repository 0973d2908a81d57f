// Storage kit: entry_ref, a reference to a file-system entry by its folder
// (device and inode) and its name. On Linux the folder's path is kept
// beside, since a folder cannot be opened by its inode; it is checked
// against the device and inode whenever the reference is resolved.
#pragma once

#include <StorageDefs.h>

#include <sys/types.h>

#include <string>

struct entry_ref {
    entry_ref();
    entry_ref(dev_t dev, ino_t dir, const char* name);
    entry_ref(const entry_ref& ref);
    entry_ref& operator=(const entry_ref& ref);
    ~entry_ref();

    status_t set_name(const char* name);

    bool operator==(const entry_ref& ref) const;
    bool operator!=(const entry_ref& ref) const { return !(*this == ref); }

    dev_t device;
    ino_t directory;
    char* name;

private:
    friend status_t get_ref_for_path(const char* path, entry_ref* ref);
    friend status_t get_path_for_ref(const entry_ref* ref, std::string* path);

    std::string fFolder;
};

// The reference of a path; the folder must exist, the entry need not.
// Links in the folder part are followed, the last component is kept as it
// is. B_OK, B_BAD_VALUE, B_ENTRY_NOT_FOUND.
status_t get_ref_for_path(const char* path, entry_ref* ref);
// The absolute path a reference stands for: B_ENTRY_NOT_FOUND when its
// folder is gone or another folder now has its path.
status_t get_path_for_ref(const entry_ref* ref, std::string* path);
