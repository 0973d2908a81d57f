// Storage kit: BFile, a node whose data can be read and written.
#pragma once

#include <fcntl.h>

#include <Node.h>

// Open modes: one access mode, with any of the flags.
enum {
    B_READ_ONLY = O_RDONLY,
    B_WRITE_ONLY = O_WRONLY,
    B_READ_WRITE = O_RDWR,
    B_FAIL_IF_EXISTS = O_EXCL,
    B_CREATE_FILE = O_CREAT,
    B_ERASE_FILE = O_TRUNC,
    B_OPEN_AT_END = O_APPEND,
};

class BFile : public BNode {
public:
    BFile();
    BFile(const char* path, uint32 openMode);
    BFile(const BEntry* entry, uint32 openMode);
    BFile(const entry_ref* ref, uint32 openMode);
    ~BFile() override;

    // Links are followed. A file is created with mode 0644 (less the
    // umask). Opening a folder fails with B_IS_A_DIRECTORY.
    status_t SetTo(const char* path, uint32 openMode);
    status_t SetTo(const BEntry* entry, uint32 openMode);
    status_t SetTo(const entry_ref* ref, uint32 openMode);

    bool IsReadable() const;
    bool IsWritable() const;

    // Whole transfers (FileIO.h): a read comes back short only at the end
    // of the file, a write writes everything or gives the error.
    ssize_t Read(void* buffer, size_t size);
    ssize_t Write(const void* buffer, size_t size);
    ssize_t ReadAt(off_t position, void* buffer, size_t size);
    ssize_t WriteAt(off_t position, const void* buffer, size_t size);
    // whence is SEEK_SET, SEEK_CUR or SEEK_END; the new position or an error.
    off_t Seek(off_t position, uint32 whence);
    off_t Position() const;
    status_t GetSize(off_t* size) const;
    status_t SetSize(off_t size);

private:
    uint32 fMode;
};
