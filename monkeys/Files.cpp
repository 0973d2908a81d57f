#include "Files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "Checksum.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

int open_source(const char* path, FileHandle& fd, struct stat& st)
{
    if (!path || !*path)
        return APE_ERROR_BAD_ARGUMENT;
    // Non-blocking, so that opening a FIFO never waits for a writer.
    int f = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (f < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return APE_ERROR_SOURCE_NOT_FOUND;
        if (errno == ENOMEM)
            return APE_ERROR_NO_MEMORY;
        return APE_ERROR_SOURCE_UNREADABLE;
    }
    fd.reset(f);
    if (::fstat(f, &st) != 0)
        return APE_ERROR_SOURCE_UNREADABLE;
    if (!S_ISREG(st.st_mode))
        return APE_ERROR_SOURCE_NOT_REGULAR;
    int flags = ::fcntl(f, F_GETFL);
    if (flags >= 0)
        ::fcntl(f, F_SETFL, flags & ~O_NONBLOCK);
    return APE_OK;
}

std::string folder_of(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

namespace {

// The process's umask, read without changing it (umask() would race with
// other threads).
mode_t current_umask()
{
    mode_t mask = 022;
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "Umask:", 6) == 0) {
                mask = mode_t(std::strtoul(line + 6, nullptr, 8));
                break;
            }
        std::fclose(f);
    }
    return mask;
}

int open_error(int err)
{
    if (err == ENOSPC || err == EDQUOT || err == EFBIG)
        return APE_ERROR_WRITE;
    if (err == ENOMEM)
        return APE_ERROR_NO_MEMORY;
    return APE_ERROR_DESTINATION_UNWRITABLE;
}

} // namespace

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard()
{
    settle();
    if (!committed_ && !tempPath_.empty())
        ::unlink(tempPath_.c_str());
    tempPath_.clear();
    fd_.reset();
}

int OutputFile::create(const char* path, const struct stat* source)
{
    if (!path || !*path)
        return APE_ERROR_BAD_ARGUMENT;
    path_ = path;
    if (path_.back() == '/')
        return APE_ERROR_DESTINATION_UNWRITABLE;
    struct stat st;
    // stat follows links: a link (or another name) to the source is the source.
    if (source && ::stat(path, &st) == 0 && st.st_dev == source->st_dev && st.st_ino == source->st_ino)
        return APE_ERROR_SAME_FILE;
    if (::lstat(path, &st) == 0)
        return APE_ERROR_DESTINATION_EXISTS;
    size_t slash = path_.find_last_of('/');
    int rc = open_unnamed(folder_of(path_), slash == std::string::npos ? path_ : path_.substr(slash + 1), fd_,
                          tempPath_);
    if (rc == APE_OK)
        attach(fd_.get(), true);
    return rc;
}

int open_unnamed(const std::string& folder, const std::string& base, FileHandle& fd, std::string& tempPath)
{
    tempPath.clear();
    int f = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (f >= 0) {
        fd.reset(f);
        return APE_OK;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return open_error(errno);
    // No unnamed files here: a hidden temporary name.
    std::string buffer = (folder == "/" ? "" : folder) + "/." + base + ".XXXXXX";
    f = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (f < 0)
        return open_error(errno);
    tempPath = buffer;
    fd.reset(f);
    ::fchmod(f, 0666 & ~current_umask());
    return APE_OK;
}

int OutputFile::finish()
{
    int f = fd_.get();
    if (f < 0)
        return APE_ERROR_WRITE;
    settle();
    if (::fsync(f) != 0 && errno != EINVAL && errno != EROFS)
        return APE_ERROR_WRITE;
    int rc;
    if (tempPath_.empty()) {
        char proc[64];
        std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", f);
        rc = ::linkat(AT_FDCWD, proc, AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW);
        if (rc != 0 && errno == ENOENT)  // no /proc: needs the privilege, but try
            rc = ::linkat(f, "", AT_FDCWD, path_.c_str(), AT_EMPTY_PATH);
    } else {
        // link() never replaces; where links are not supported, a rename
        // that refuses to replace.
        rc = ::link(tempPath_.c_str(), path_.c_str());
        if (rc != 0 && errno != EEXIST)
            rc = ::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE);
    }
    if (rc != 0)
        return errno == EEXIST ? APE_ERROR_DESTINATION_EXISTS : open_error(errno);
    committed_ = true;
    if (!tempPath_.empty())
        ::unlink(tempPath_.c_str());  // after a rename this name is gone already
    tempPath_.clear();
    fd_.reset();
    // The folder is not synced: a crash now may lose the new name, never
    // leave a partial file under it, and the source is untouched. Syncing
    // it cost more than the data's own sync.
    return APE_OK;
}

} // namespace monkeys
