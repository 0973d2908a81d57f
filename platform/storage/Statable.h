// Storage kit: BStatable, what every file-system node can tell about itself.
#pragma once

#include <StorageDefs.h>

#include <sys/stat.h>
#include <ctime>

class BStatable {
public:
    virtual ~BStatable() = default;

    // The stat record of the node the object stands for; for an entry made
    // without following links that is the link itself.
    virtual status_t GetStat(struct stat* st) const = 0;

    bool IsFile() const;
    bool IsDirectory() const;
    bool IsSymLink() const;

    // Permission bits only (the low 12 bits of the mode).
    status_t GetPermissions(mode_t* permissions) const;
    status_t GetOwner(uid_t* owner) const;
    status_t GetGroup(gid_t* group) const;
    status_t GetSize(off_t* size) const;
    status_t GetModificationTime(time_t* mtime) const;
};
