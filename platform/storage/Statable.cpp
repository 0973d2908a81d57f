#include "Statable.h"

namespace {

template <typename Field>
status_t stat_field(const BStatable& node, Field* out, Field (*pick)(const struct stat&))
{
    if (!out)
        return B_BAD_VALUE;
    struct stat st;
    const status_t status = node.GetStat(&st);
    if (status == B_OK)
        *out = pick(st);
    return status;
}

mode_t stat_mode(const struct stat& st) { return st.st_mode; }

} // namespace

bool BStatable::IsFile() const
{
    mode_t mode;
    return stat_field(*this, &mode, stat_mode) == B_OK && S_ISREG(mode);
}

bool BStatable::IsDirectory() const
{
    mode_t mode;
    return stat_field(*this, &mode, stat_mode) == B_OK && S_ISDIR(mode);
}

bool BStatable::IsSymLink() const
{
    mode_t mode;
    return stat_field(*this, &mode, stat_mode) == B_OK && S_ISLNK(mode);
}

status_t BStatable::GetPermissions(mode_t* permissions) const
{
    return stat_field<mode_t>(*this, permissions,
                              [](const struct stat& st) -> mode_t { return st.st_mode & 07777; });
}

status_t BStatable::GetOwner(uid_t* owner) const
{
    return stat_field<uid_t>(*this, owner, [](const struct stat& st) { return st.st_uid; });
}

status_t BStatable::GetGroup(gid_t* group) const
{
    return stat_field<gid_t>(*this, group, [](const struct stat& st) { return st.st_gid; });
}

status_t BStatable::GetSize(off_t* size) const
{
    return stat_field<off_t>(*this, size, [](const struct stat& st) { return st.st_size; });
}

status_t BStatable::GetModificationTime(time_t* mtime) const
{
    return stat_field<time_t>(*this, mtime, [](const struct stat& st) { return st.st_mtime; });
}
