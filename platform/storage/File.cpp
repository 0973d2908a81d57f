#include "File.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "Entry.h"
#include "EntryRef.h"
#include "FileIO.h"
#include "Path.h"

namespace {

status_t io_error(int err)
{
    return err == ENOSPC ? B_DEVICE_FULL : status_from_errno(err);
}

}  // namespace

BFile::BFile() : fMode(0) {}
BFile::BFile(const char* path, uint32 openMode) : fMode(0) { SetTo(path, openMode); }
BFile::BFile(const BEntry* entry, uint32 openMode) : fMode(0) { SetTo(entry, openMode); }
BFile::BFile(const entry_ref* ref, uint32 openMode) : fMode(0) { SetTo(ref, openMode); }
BFile::~BFile() = default;

status_t BFile::SetTo(const char* path, uint32 openMode)
{
    fMode = openMode;
    status_t status = OpenAt(path, int(openMode), 0644);
    if (status != B_OK)
        return status;
    struct stat st;
    if (GetStat(&st) == B_OK && S_ISDIR(st.st_mode))
        return Fail(B_IS_A_DIRECTORY);
    return B_OK;
}

status_t BFile::SetTo(const BEntry* entry, uint32 openMode)
{
    if (entry == nullptr || entry->InitCheck() != B_OK)
        return Fail(B_BAD_VALUE);
    BPath path(entry);
    return SetTo(path.Path(), openMode);
}

status_t BFile::SetTo(const entry_ref* ref, uint32 openMode)
{
    std::string path;
    status_t status = get_path_for_ref(ref, &path);
    if (status != B_OK)
        return Fail(status);
    return SetTo(path.c_str(), openMode);
}

bool BFile::IsReadable() const
{
    return InitCheck() == B_OK && (fMode & O_ACCMODE) != O_WRONLY;
}

bool BFile::IsWritable() const
{
    return InitCheck() == B_OK && (fMode & O_ACCMODE) != O_RDONLY;
}

ssize_t BFile::Read(void* buffer, size_t size)
{
    if (Descriptor() < 0)
        return B_NO_INIT;
    ssize_t n = read_fully(Descriptor(), buffer, size);
    return n < 0 ? io_error(errno) : n;
}

ssize_t BFile::Write(const void* buffer, size_t size)
{
    if (Descriptor() < 0)
        return B_NO_INIT;
    status_t status = write_fully(Descriptor(), buffer, size);
    return status == B_OK ? ssize_t(size) : status;
}

ssize_t BFile::ReadAt(off_t position, void* buffer, size_t size)
{
    if (Descriptor() < 0)
        return B_NO_INIT;
    if (position < 0)
        return B_BAD_VALUE;
    ssize_t n = read_fully(Descriptor(), buffer, size, position);
    return n < 0 ? io_error(errno) : n;
}

ssize_t BFile::WriteAt(off_t position, const void* buffer, size_t size)
{
    if (Descriptor() < 0)
        return B_NO_INIT;
    if (position < 0)
        return B_BAD_VALUE;
    status_t status = write_fully(Descriptor(), buffer, size, position);
    return status == B_OK ? ssize_t(size) : status;
}

off_t BFile::Seek(off_t position, uint32 whence)
{
    if (Descriptor() < 0)
        return B_NO_INIT;
    off_t at = ::lseek(Descriptor(), position, int(whence));
    return at < 0 ? off_t(io_error(errno)) : at;
}

off_t BFile::Position() const
{
    if (Descriptor() < 0)
        return B_NO_INIT;
    off_t at = ::lseek(Descriptor(), 0, SEEK_CUR);
    return at < 0 ? off_t(io_error(errno)) : at;
}

status_t BFile::GetSize(off_t* size) const
{
    return BStatable::GetSize(size);
}

status_t BFile::SetSize(off_t size)
{
    if (Descriptor() < 0)
        return B_NO_INIT;
    if (size < 0)
        return B_BAD_VALUE;
    return ::ftruncate(Descriptor(), size) == 0 ? B_OK : io_error(errno);
}
