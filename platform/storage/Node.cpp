#include "Node.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Entry.h"
#include "EntryRef.h"
#include "Path.h"

namespace {

const char kPrefix[] = "user.";
const size_t kPrefixLength = sizeof kPrefix - 1;
const char kMagic[4] = {'b', 'a', 't', 'r'};
const size_t kTrailer = 8;
const type_code kRawType = 0x52415754;  // 'RAWT'
// A value larger than this is refused rather than read into memory.
const size_t kMaxValue = 64 * 1024 * 1024;

status_t attr_error(int err)
{
    switch (err) {
        case ENODATA:
            return B_ENTRY_NOT_FOUND;
        case ENOTSUP:
            return B_UNSUPPORTED;
        case ERANGE:
        case E2BIG:
            return B_BAD_VALUE;
        case ENOSPC:
        case EDQUOT:
            return B_DEVICE_FULL;
        default:
            return status_from_errno(err);
    }
}

status_t attr_name(const char* name, std::string* full)
{
    if (name == nullptr || *name == '\0')
        return B_BAD_VALUE;
    if (std::strlen(name) + kPrefixLength >= B_ATTR_NAME_LENGTH)
        return B_NAME_TOO_LONG;
    *full = std::string(kPrefix) + name;
    return B_OK;
}

}  // namespace

BNode::BNode()
    : fFd(-1), fStatus(B_NO_INIT), fAttrCursor(0), fAttrsListed(false)
{
}

BNode::BNode(const char* path) : BNode() { SetTo(path); }
BNode::BNode(const BEntry* entry) : BNode() { SetTo(entry); }
BNode::BNode(const entry_ref* ref) : BNode() { SetTo(ref); }

BNode::~BNode()
{
    Unset();
}

status_t BNode::OpenAt(const char* path, int flags, mode_t mode)
{
    Unset();
    if (path == nullptr || *path == '\0')
        return fStatus = B_BAD_VALUE;
    int fd = ::open(path, flags | O_CLOEXEC, mode);
    if (fd < 0)
        return fStatus = (errno == ENOENT ? B_ENTRY_NOT_FOUND : status_from_errno(errno));
    fFd = fd;
    return fStatus = B_OK;
}

status_t BNode::SetTo(const char* path)
{
    // Read-only opens folders too; attributes are written through any
    // descriptor of a node one owns.
    return OpenAt(path, O_RDONLY, 0);
}

status_t BNode::SetTo(const BEntry* entry)
{
    if (entry == nullptr || entry->InitCheck() != B_OK)
        return Fail(B_BAD_VALUE);
    BPath path(entry);
    return SetTo(path.Path());
}

status_t BNode::SetTo(const entry_ref* ref)
{
    std::string path;
    status_t status = get_path_for_ref(ref, &path);
    if (status != B_OK)
        return Fail(status);
    return SetTo(path.c_str());
}

status_t BNode::Fail(status_t status)
{
    Unset();
    return fStatus = status;
}

void BNode::Unset()
{
    if (fFd >= 0)
        ::close(fFd);
    fFd = -1;
    fStatus = B_NO_INIT;
    fAttrNames.clear();
    fAttrCursor = 0;
    fAttrsListed = false;
}

status_t BNode::GetStat(struct stat* st) const
{
    if (fFd < 0)
        return B_NO_INIT;
    if (st == nullptr)
        return B_BAD_VALUE;
    return ::fstat(fFd, st) == 0 ? B_OK : status_from_errno(errno);
}

status_t BNode::FullName(const char* name, std::string* full) const
{
    return fFd < 0 ? B_NO_INIT : attr_name(name, full);
}

status_t BNode::LoadAttr(const char* name, std::vector<char>* data, uint32* type) const
{
    std::string full;
    status_t status = FullName(name, &full);
    if (status != B_OK)
        return status;
    // The value may change between asking its size and reading it.
    for (int attempt = 0; attempt < 4; attempt++) {
        ssize_t size = ::fgetxattr(fFd, full.c_str(), nullptr, 0);
        if (size < 0)
            return attr_error(errno);
        if (size_t(size) > kMaxValue)
            return B_NO_MEMORY;
        data->resize(size_t(size));
        ssize_t got = ::fgetxattr(fFd, full.c_str(), data->data(), data->size());
        if (got < 0 && errno == ERANGE)
            continue;
        if (got < 0)
            return attr_error(errno);
        data->resize(size_t(got));
        *type = kRawType;
        if (data->size() >= kTrailer
            && std::memcmp(data->data() + data->size() - 4, kMagic, 4) == 0) {
            const uint8* t = reinterpret_cast<const uint8*>(data->data() + data->size() - kTrailer);
            *type = (uint32(t[0]) << 24) | (uint32(t[1]) << 16) | (uint32(t[2]) << 8) | t[3];
            data->resize(data->size() - kTrailer);
        }
        return B_OK;
    }
    return B_BUSY;
}

ssize_t BNode::ReadAttr(const char* name, type_code, off_t offset, void* buffer, size_t length) const
{
    if (buffer == nullptr && length > 0)
        return B_BAD_VALUE;
    if (offset < 0)
        return B_BAD_VALUE;
    std::vector<char> data;
    uint32 type;
    status_t status = LoadAttr(name, &data, &type);
    if (status != B_OK)
        return status;
    if (uint64(offset) >= data.size())
        return 0;
    size_t n = std::min(length, data.size() - size_t(offset));
    std::memcpy(buffer, data.data() + offset, n);
    return ssize_t(n);
}

ssize_t BNode::WriteAttr(const char* name, type_code type, off_t offset, const void* buffer,
    size_t length)
{
    if ((buffer == nullptr && length > 0) || offset < 0 || uint64(offset) + length > kMaxValue)
        return fFd < 0 ? B_NO_INIT : B_BAD_VALUE;
    std::string full;
    status_t status = FullName(name, &full);
    if (status != B_OK)
        return status;
    std::vector<char> data;
    if (offset > 0) {
        uint32 oldType;
        status = LoadAttr(name, &data, &oldType);
        if (status != B_OK && status != B_ENTRY_NOT_FOUND)
            return status;
        if (data.size() < uint64(offset) + length)
            data.resize(size_t(offset) + length);
    } else
        data.resize(length);
    if (length > 0)
        std::memcpy(data.data() + offset, buffer, length);
    const uint8 trailer[kTrailer] = {uint8(type >> 24), uint8(type >> 16), uint8(type >> 8),
        uint8(type), uint8(kMagic[0]), uint8(kMagic[1]), uint8(kMagic[2]), uint8(kMagic[3])};
    data.insert(data.end(), trailer, trailer + kTrailer);
    if (::fsetxattr(fFd, full.c_str(), data.data(), data.size(), 0) != 0)
        return attr_error(errno);
    fAttrsListed = false;
    return ssize_t(length);
}

status_t BNode::RemoveAttr(const char* name)
{
    std::string full;
    status_t status = FullName(name, &full);
    if (status != B_OK)
        return status;
    if (::fremovexattr(fFd, full.c_str()) != 0)
        return attr_error(errno);
    return B_OK;
}

status_t BNode::GetAttrInfo(const char* name, attr_info* info) const
{
    if (info == nullptr)
        return B_BAD_VALUE;
    std::vector<char> data;
    uint32 type;
    status_t status = LoadAttr(name, &data, &type);
    if (status != B_OK)
        return status;
    info->type = type;
    info->size = off_t(data.size());
    return B_OK;
}

status_t BNode::GetNextAttrName(char* buffer)
{
    if (buffer == nullptr)
        return B_BAD_VALUE;
    if (fFd < 0)
        return B_NO_INIT;
    if (!fAttrsListed) {
        // The names are listed once per walk; a walk sees the names as
        // they were when it began.
        std::vector<char> list;
        for (int attempt = 0; attempt < 4; attempt++) {
            ssize_t size = ::flistxattr(fFd, nullptr, 0);
            if (size < 0)
                return attr_error(errno);
            list.resize(size_t(size));
            ssize_t got = size > 0 ? ::flistxattr(fFd, list.data(), list.size()) : 0;
            if (got < 0 && errno == ERANGE)
                continue;
            if (got < 0)
                return attr_error(errno);
            list.resize(size_t(got));
            break;
        }
        fAttrNames.clear();
        for (size_t at = 0; at < list.size();) {
            std::string n(list.data() + at);
            at += n.size() + 1;
            if (n.compare(0, kPrefixLength, kPrefix) == 0 && n.size() > kPrefixLength)
                fAttrNames.push_back(n.substr(kPrefixLength));
        }
        fAttrsListed = true;
        if (fAttrCursor > fAttrNames.size())
            fAttrCursor = fAttrNames.size();
    }
    if (fAttrCursor >= fAttrNames.size())
        return B_ENTRY_NOT_FOUND;
    const std::string& n = fAttrNames[fAttrCursor++];
    std::memcpy(buffer, n.c_str(), std::min(n.size() + 1, size_t(B_ATTR_NAME_LENGTH)));
    buffer[B_ATTR_NAME_LENGTH - 1] = '\0';
    return B_OK;
}

status_t BNode::Sync()
{
    if (fFd < 0)
        return B_NO_INIT;
    return ::fsync(fFd) == 0 ? B_OK : B_IO_ERROR;
}

status_t BNode::RewindAttrs()
{
    if (fFd < 0)
        return B_NO_INIT;
    fAttrCursor = 0;
    fAttrsListed = false;
    return B_OK;
}
