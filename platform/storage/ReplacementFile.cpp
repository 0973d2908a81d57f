#include "ReplacementFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

// Room kept for the unique suffix within the file system's name limit.
const size_t kMaxBaseLength = 200;

} // namespace

BReplacementFile::BReplacementFile() : fFlags(0) {}

BReplacementFile::~BReplacementFile()
{
    Abandon();
}

status_t BReplacementFile::SetTo(const char* target, mode_t permissions, uint32 flags)
{
    Abandon();
    if (target == nullptr || *target == '\0')
        return Fail(B_BAD_VALUE);
    const std::string path(target);
    const size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base =
        path.substr(slash == std::string::npos ? 0 : slash + 1, kMaxBaseLength);
    if (base.empty())
        return Fail(B_BAD_VALUE);
    // Unique in this process by the serial, among processes by the id; a
    // name left by a dead process of the same id only costs another try.
    static std::atomic<uint32> serial(0);
    status_t status = B_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && status == B_FILE_EXISTS; attempt++) {
        fPath =
            folder + "." + base + "." + std::to_string(getpid()) + "-" + std::to_string(serial++);
        status = OpenAt(fPath.c_str(), O_RDWR | O_CREAT | O_EXCL, permissions);
    }
    if (status != B_OK) {
        fPath.clear();
        return status;
    }
    fTarget = path;
    fFlags = flags;
    return B_OK;
}

status_t BReplacementFile::Commit()
{
    if (fPath.empty())
        return B_NO_INIT;
    status_t status = Sync();
    Unset();
    if (status == B_OK) {
        if ((fFlags & B_KEEP_EXISTING) == 0) {
            if (::rename(fPath.c_str(), fTarget.c_str()) != 0)
                status = status_from_errno(errno);
        } else if (::renameat2(AT_FDCWD, fPath.c_str(), AT_FDCWD, fTarget.c_str(),
                               RENAME_NOREPLACE) != 0) {
            // Where the file system cannot rename that way, a link does
            // the same: it too fails when the name is taken.
            if (errno == EINVAL && ::link(fPath.c_str(), fTarget.c_str()) == 0)
                ::unlink(fPath.c_str());
            else
                status = status_from_errno(errno);
        }
    }
    if (status != B_OK) {
        Abandon();
        return status;
    }
    fPath.clear();
    return B_OK;
}

void BReplacementFile::Abandon()
{
    Unset();
    if (!fPath.empty())
        ::unlink(fPath.c_str());
    fPath.clear();
}

status_t replace_file(const char* target, const void* data, size_t size, mode_t permissions,
                      uint32 flags)
{
    BReplacementFile file;
    status_t status = file.SetTo(target, permissions, flags);
    if (status != B_OK)
        return status;
    ssize_t written = file.Write(data, size);
    if (written < 0)
        return status_t(written);
    return file.Commit();
}
