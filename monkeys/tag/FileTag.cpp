// The tag object of the library: the APEv2 tag of one file, held in memory
// and written back on Save.
//
// Saving never writes before the start of the tag region (audioEnd when it
// is known) and is ordered so that an interruption at any point leaves the
// audio whole and either the old tag, the new one, or no readable tag:
//   1. under an exclusive flock, room for the new tag is made by extending
//      the file with zeros (a full disk or a size limit fails here, with the
//      old tag still whole, and the file is cut back);
//   2. the header of the old tag is cleared, the items and footer of the new
//      one (and a kept ID3v1 block) are written and flushed, and only then
//      its header, which makes it valid;
//   3. what is left of a longer old tag is cut off.

#include "FileTag.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "../ApeInfo.h"
#include "../FileIo.h"
#include "ApeTagFormat.h"

using namespace monkeys::apetag;

// The base class is an empty tag that cannot be saved; the library's own
// tag objects derive from it.
CAPETag::~CAPETag() = default;

int CAPETag::Save(int) { return APE_ERROR_TAG_WRITE; }

int CAPETag::Remove(int) { return APE_OK; }

int CAPETag::SetFieldString(const char*, const char*, int, int) { return APE_ERROR_TAG_READ_ONLY; }

int CAPETag::GetFieldString(const char* field, char* buffer, int* bufferBytes)
{
    if (!bufferBytes)
        return APE_ERROR_BAD_ARGUMENT;
    if (!buffer || *bufferBytes <= 0) {
        *bufferBytes = 0;
        return APE_ERROR_BAD_ARGUMENT;
    }
    buffer[0] = 0;
    *bufferBytes = 0;
    return APE_ERROR_TAG_NO_FIELD;
}

namespace monkeys {

namespace {

// How long a reader or writer waits for another writer of the same file.
constexpr int kLockWaitMs = 10000;

class ReadSource final : public ByteSource {
public:
    ReadSource(const TagRead& read, int64_t size) : read_(read), size_(size) {}
    int64_t size() const override { return size_; }
    bool read(int64_t offset, void* buffer, size_t n) override { return read_(offset, buffer, n); }

private:
    const TagRead& read_;
    int64_t size_;
};

class FdSource final : public ByteSource {
public:
    FdSource(int fd, int64_t size) : fd_(fd), size_(size) {}
    int64_t size() const override { return size_; }
    bool read(int64_t offset, void* buffer, size_t n) override
    {
        return read_full(fd_, buffer, n, offset) == int64_t(n);
    }

private:
    int fd_;
    int64_t size_;
};

// Waits a bounded time for a flock, so that a stuck writer elsewhere turns
// into an error instead of a hang.
bool lock_file(int fd, int operation)
{
    for (int waited = 0;; waited += 10) {
        if (::flock(fd, operation | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR)
            return errno == ENOLCK || errno == EINVAL;   // no locks here: go on unlocked
        if (waited >= kLockWaitMs)
            return false;
        timespec pause{0, 10 * 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
}

int open_error(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return APE_ERROR_SOURCE_NOT_FOUND;
    case ENOMEM:
        return APE_ERROR_NO_MEMORY;
    default:
        return APE_ERROR_SOURCE_UNREADABLE;
    }
}

bool fits_size_limit(int64_t size)
{
    rlimit limit{};
    return ::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
           uint64_t(size) <= uint64_t(limit.rlim_cur);
}

class FileTag final : public CAPETag {
public:
    FileTag(const char* path, int64_t audioEnd) : path_(path), audioEnd_(audioEnd) {}

    // Reads the tag from the file; returns why it could not, or 0.
    int Load();
    // Reads it from bytes that can never be written back.
    void LoadReadOnly(ByteSource& src)
    {
        openError_ = APE_ERROR_TAG_READ_ONLY;
        loadError_ = read_items(src, locate(src, audioEnd_), items_);
    }
    int OpenError() const { return openError_; }

    int Save(int useOldId3) override;
    int Remove(int update) override;
    int SetFieldString(const char* field, const char* value, int valueBytes, int flags) override;
    int GetFieldString(const char* field, char* buffer, int* bufferBytes) override;

private:
    int WriteTag();
    std::vector<Item>::iterator Find(std::string_view key);

    std::string path_;
    int64_t audioEnd_;
    std::vector<Item> items_;
    bool changed_ = false;
    int openError_ = APE_OK;   // the file could not be opened at all
    int loadError_ = APE_OK;   // it was opened; its tag could not be read (whole)
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

int FileTag::Load()
{
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return openError_ = open_error(errno);
    FileHandle file(fd);
    struct stat st{};
    if (::fstat(fd, &st) != 0)
        return openError_ = APE_ERROR_SOURCE_UNREADABLE;
    if (!S_ISREG(st.st_mode))
        return openError_ = APE_ERROR_SOURCE_NOT_REGULAR;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    // A shared lock keeps a save in another process from being read half
    // done; after the wait the tag is read anyway.
    bool locked = lock_file(fd, LOCK_SH);
    if (locked && ::fstat(fd, &st) != 0)
        return loadError_ = APE_ERROR_READ;
    FdSource src(fd, st.st_size);
    Location where = locate(src, audioEnd_);
    loadError_ = read_items(src, where, items_);
    return loadError_;
}

std::vector<Item>::iterator FileTag::Find(std::string_view key)
{
    return std::find_if(items_.begin(), items_.end(),
                        [&](const Item& item) { return same_key(item.key, key); });
}

int FileTag::GetFieldString(const char* field, char* buffer, int* bufferBytes)
{
    if (!bufferBytes)
        return APE_ERROR_BAD_ARGUMENT;
    if (!buffer || *bufferBytes <= 0) {
        *bufferBytes = 0;
        return APE_ERROR_BAD_ARGUMENT;
    }
    const size_t room = size_t(*bufferBytes) - 1;
    buffer[0] = 0;
    *bufferBytes = 0;
    if (!field || !valid_key(field, false))
        return APE_ERROR_TAG_BAD_FIELD;
    auto item = Find(field);
    if (item == items_.end())
        return APE_ERROR_TAG_NO_FIELD;
    if ((item->flags & kItemTypeMask) != kItemText && (item->flags & kItemTypeMask) != kItemLink)
        return APE_ERROR_TAG_NOT_TEXT;

    // A list of values (NUL-separated in the tag) reads as one text, the
    // values joined by "; ".
    size_t length = 0;
    const std::string& value = item->value;
    for (size_t pos = 0; pos < value.size() && length < room;) {
        size_t next = value.find('\0', pos);
        if (next == std::string::npos)
            next = value.size();
        if (next > pos) {
            if (length > 0) {
                if (room - length <= 2)
                    break;   // no room for a separator and a character
                std::memcpy(buffer + length, "; ", 2);
                length += 2;
            }
            size_t take = utf8_prefix(value.data() + pos, next - pos, room - length);
            std::memcpy(buffer + length, value.data() + pos, take);
            length += take;
            if (take < next - pos)
                break;
        }
        pos = next + 1;
    }
    buffer[length] = 0;
    *bufferBytes = int(length);
    return APE_OK;
}

int FileTag::SetFieldString(const char* field, const char* value, int valueBytes, int flags)
{
    if (!field || !valid_key(field, true))
        return APE_ERROR_TAG_BAD_FIELD;
    if (valueBytes < -1 || (!value && valueBytes != 0))
        return APE_ERROR_BAD_ARGUMENT;
    uint32_t itemFlags = uint32_t(flags);
    if ((itemFlags & ~kItemKnownFlags) || (itemFlags & kItemTypeMask) == kItemReserved)
        return APE_ERROR_BAD_ARGUMENT;
    size_t length = valueBytes == -1 ? std::strlen(value) : size_t(valueBytes);

    try {
        auto item = Find(field);
        if (length == 0) {
            // An empty value removes the field: APEv2 has no use for empty
            // items, and the tag tool clears a field by passing one.
            if (item != items_.end()) {
                items_.erase(item);
                changed_ = true;
            }
            return APE_OK;
        }
        uint64_t size = tag_size(items_) + length;
        if (item != items_.end())
            size -= item->value.size();
        else
            size += 8 + std::strlen(field) + 1;
        if (size > kMaxTagBytes || (item == items_.end() && items_.size() >= kMaxItems))
            return APE_ERROR_TAG_TOO_LARGE;
        Item updated{field, std::string(value, length), itemFlags};
        if (item == items_.end()) {
            items_.push_back(std::move(updated));
        } else {
            if (item->key == updated.key && item->value == updated.value && item->flags == itemFlags)
                return APE_OK;
            *item = std::move(updated);
        }
        changed_ = true;
        return APE_OK;
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
}

int FileTag::Remove(int update)
{
    items_.clear();
    if (update)
        changed_ = true;
    return APE_OK;
}

int FileTag::Save(int useOldId3)
{
    // Only the APEv2 tag is written; an ID3v1 block already in the file is
    // kept, but none is made.
    if (useOldId3)
        return APE_ERROR_BAD_ARGUMENT;
    if (!changed_)
        return APE_OK;
    if (openError_)
        return openError_;
    // A tag that was there but could not be read whole is not replaced
    // by what little was read of it.
    if (loadError_ == APE_ERROR_TAG_TOO_LARGE || loadError_ == APE_ERROR_READ)
        return loadError_;
    try {
        int result = WriteTag();
        if (result == APE_OK)
            changed_ = false;
        return result;
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
}

int FileTag::WriteTag()
{
    int fd = ::open(path_.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == EACCES || errno == EROFS || errno == EPERM || errno == ETXTBSY)
            return APE_ERROR_TAG_READ_ONLY;
        return errno == ENOENT ? APE_ERROR_SOURCE_NOT_FOUND : APE_ERROR_TAG_WRITE;
    }
    FileHandle file(fd);
    struct stat st{};
    if (::fstat(fd, &st) != 0)
        return APE_ERROR_TAG_WRITE;
    // The audio end belongs to the file that was read: never write it into
    // another file put under the same name since.
    if (!S_ISREG(st.st_mode) || st.st_dev != device_ || st.st_ino != inode_)
        return APE_ERROR_TAG_FILE_CHANGED;
    if (!lock_file(fd, LOCK_EX))
        return APE_ERROR_TAG_LOCKED;
    if (::fstat(fd, &st) != 0)
        return APE_ERROR_TAG_WRITE;
    const int64_t size = st.st_size;
    if (audioEnd_ > size)
        return APE_ERROR_TRUNCATED;

    // Where the tag goes is decided again under the lock: another writer
    // may have changed it since Load.
    FdSource src(fd, size);
    Location where = locate(src, audioEnd_);
    if (where.status == APE_ERROR_READ)
        return APE_ERROR_READ;
    int64_t start = audioEnd_;
    if (start < 0)
        start = where.found ? where.start : where.id3v1 >= 0 ? where.id3v1 : size;

    std::vector<uint8_t> bytes = serialize(items_);
    const size_t tagBytes = bytes.size();
    if (where.id3v1 >= 0) {
        bytes.resize(tagBytes + kId3v1Bytes);
        if (!src.read(where.id3v1, bytes.data() + tagBytes, kId3v1Bytes))
            return APE_ERROR_READ;
    }
    const int64_t newSize = start + int64_t(bytes.size());

    if (newSize > size) {
        // Make room first; this is where a full disk or a size limit shows.
        if (!fits_size_limit(newSize))
            return APE_ERROR_TAG_WRITE;
        std::vector<uint8_t> zeros(size_t(newSize - size));
        if (!write_full(fd, zeros.data(), zeros.size(), size)) {
            int ignored = ::ftruncate(fd, size);
            (void)ignored;
            return APE_ERROR_TAG_WRITE;
        }
    }
    if (tagBytes > 0) {
        static const uint8_t blank[kFrameBytes] = {};
        if (!write_full(fd, blank, kFrameBytes, start) ||
            !write_full(fd, bytes.data() + kFrameBytes, bytes.size() - kFrameBytes,
                       start + int64_t(kFrameBytes)) ||
            ::fdatasync(fd) != 0 || !write_full(fd, bytes.data(), kFrameBytes, start))
            return APE_ERROR_TAG_WRITE;
    } else if (!bytes.empty() && !write_full(fd, bytes.data(), bytes.size(), start)) {
        return APE_ERROR_TAG_WRITE;
    }
    if (newSize < size && ::ftruncate(fd, newSize) != 0)
        return APE_ERROR_TAG_WRITE;
    if (::fsync(fd) != 0)
        return APE_ERROR_TAG_WRITE;
    return APE_OK;
}

FileTag* make_tag(const char* path, int64_t audioEnd, int* error)
{
    FileTag* tag = new (std::nothrow) FileTag(path, audioEnd);
    if (!tag)
        return nullptr;
    int result;
    try {
        result = tag->Load();
    } catch (const std::bad_alloc&) {
        result = APE_ERROR_NO_MEMORY;
    }
    if (error)
        *error = result;
    return tag;
}

} // namespace

CAPETag* open_file_tag(const char* path, int64_t audioEnd, int* error)
{
    try {
        return make_tag(path ? path : "", audioEnd, error);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CAPETag* read_tag(const TagRead& read, int64_t size, int64_t audioEnd)
{
    try {
        std::unique_ptr<FileTag> tag(new FileTag("", audioEnd));
        ReadSource src(read, size);
        tag->LoadReadOnly(src);
        return tag.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace monkeys

// The decompressor of the library, when the tag is linked into it (weak:
// the tag also stands alone in tests and tools).
extern "C" IAPEDecompress* CreateIAPEDecompress(const char* apePath, int* error)
    __attribute__((weak));

namespace {

// Where the audio of the file ends when it is a file of this codec, so that
// a tag opened by name is no less guarded than one opened through the
// decompressor; -1 for any other file. (Not checked by the vptr sanitizer:
// the decompressor's type information is missing when the tag stands alone.)
__attribute__((no_sanitize("vptr"))) int64_t audio_end_of(const char* path)
{
    if (!CreateIAPEDecompress)
        return -1;
    int error = 0;
    IAPEDecompress* decompressor = CreateIAPEDecompress(path, &error);
    if (!decompressor)
        return -1;
    int64_t end = int64_t(decompressor->GetInfo(monkeys::INFO_AUDIO_END));
    delete decompressor;
    return end > 0 ? end : -1;
}

} // namespace

#define MONKEYS_EXPORT extern "C" __attribute__((visibility("default")))

MONKEYS_EXPORT CAPETag* create_capetag_2(const char* path, int* error)
{
    int ignored;
    if (!error)
        error = &ignored;
    if (!path || !*path) {
        *error = APE_ERROR_BAD_ARGUMENT;
        return nullptr;
    }
    CAPETag* tag = nullptr;
    try {
        tag = monkeys::make_tag(path, audio_end_of(path), error);
    } catch (const std::bad_alloc&) {
    }
    if (!tag) {
        *error = APE_ERROR_NO_MEMORY;
        return nullptr;
    }
    if (static_cast<monkeys::FileTag*>(tag)->OpenError()) {
        delete tag;
        return nullptr;
    }
    return tag;
}

MONKEYS_EXPORT CAPETag* create_capetag_1(const char* path)
{
    return create_capetag_2(path, nullptr);
}

MONKEYS_EXPORT void destroy_capetag(CAPETag* tag)
{
    delete tag;
}
