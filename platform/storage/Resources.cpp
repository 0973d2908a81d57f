#include "Resources.h"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "File.h"

const char BResources::kMagic[4] = {'B', 'R', 'S', 'C'};
const char* const BResources::kSectionName = ".rsrc";

namespace {

const uint32 kVersion = 1;
const size_t kHeaderBytes = 16;
const size_t kEntryBytes = 24;
// Neither a resource container nor a section of one is read beyond this.
const uint64 kMaxContainerBytes = 64 * 1024 * 1024;

uint32 get32(const uint8* p)
{
    return uint32(p[0]) | uint32(p[1]) << 8 | uint32(p[2]) << 16 | uint32(p[3]) << 24;
}

void put32(std::vector<uint8>& out, uint32 v)
{
    for (int i = 0; i < 4; i++)
        out.push_back(uint8(v >> (8 * i)));
}

// Exactly size bytes at offset, or false.
bool read_exactly(BFile* file, uint64 offset, void* buffer, size_t size)
{
    if (offset > uint64(std::numeric_limits<off_t>::max()))
        return false;
    uint8* at = static_cast<uint8*>(buffer);
    while (size > 0) {
        ssize_t n = file->ReadAt(off_t(offset), at, size);
        if (n <= 0)
            return false;
        at += n;
        offset += uint64(n);
        size -= size_t(n);
    }
    return true;
}

// Where the section kSectionName lies in an ELF file of this class:
// B_OK with the offset and size, B_ENTRY_NOT_FOUND when there is no such
// section, B_BAD_DATA when the headers do not hold together.
template <typename Ehdr, typename Shdr>
status_t find_section(BFile* file, uint64 fileSize, uint64* offset, uint64* size)
{
    Ehdr header;
    if (!read_exactly(file, 0, &header, sizeof header))
        return B_BAD_DATA;
    if (header.e_shoff == 0 || header.e_shnum == 0)
        return B_ENTRY_NOT_FOUND;
    if (header.e_shentsize != sizeof(Shdr) || header.e_shstrndx >= header.e_shnum
        || header.e_shoff > fileSize || uint64(header.e_shnum) * sizeof(Shdr) > fileSize - header.e_shoff)
        return B_BAD_DATA;
    std::vector<Shdr> sections(header.e_shnum);
    if (!read_exactly(file, header.e_shoff, sections.data(), sections.size() * sizeof(Shdr)))
        return B_BAD_DATA;
    const Shdr& names = sections[header.e_shstrndx];
    if (names.sh_offset > fileSize || names.sh_size > fileSize - names.sh_offset
        || names.sh_size > kMaxContainerBytes)
        return B_BAD_DATA;
    std::vector<char> text(size_t(names.sh_size) + 1, '\0');
    if (!read_exactly(file, names.sh_offset, text.data(), size_t(names.sh_size)))
        return B_BAD_DATA;
    for (const Shdr& section : sections) {
        if (section.sh_name >= names.sh_size || strcmp(&text[section.sh_name], BResources::kSectionName) != 0)
            continue;
        if (section.sh_type == SHT_NOBITS || section.sh_offset > fileSize
            || section.sh_size > fileSize - section.sh_offset)
            return B_BAD_DATA;
        *offset = section.sh_offset;
        *size = section.sh_size;
        return B_OK;
    }
    return B_ENTRY_NOT_FOUND;
}

}  // namespace

BResources::BResources()
    : fStatus(B_OK)
{
}

BResources::BResources(const BFile* file, bool clobber)
    : fStatus(B_NO_INIT)
{
    SetTo(file, clobber);
}

BResources::~BResources() = default;

void BResources::Unset()
{
    fResources.clear();
    fStatus = B_NO_INIT;
}

status_t BResources::SetTo(const BFile* constFile, bool clobber)
{
    Unset();
    if (constFile == nullptr || !constFile->IsReadable())
        return fStatus = B_BAD_VALUE;
    if (clobber)
        return fStatus = B_OK;
    BFile* file = const_cast<BFile*>(constFile);
    off_t fileSize = 0;
    if (file->GetSize(&fileSize) != B_OK || fileSize < 0)
        return fStatus = B_BAD_DATA;
    uint8 ident[EI_NIDENT] = {};
    const size_t identBytes = size_t(std::min<off_t>(fileSize, EI_NIDENT));
    if (!read_exactly(file, 0, ident, identBytes))
        return fStatus = B_BAD_DATA;

    uint64 offset = 0;
    uint64 size = uint64(fileSize);
    if (identBytes == EI_NIDENT && memcmp(ident, ELFMAG, SELFMAG) == 0) {
        if (ident[EI_DATA] != ELFDATA2LSB)
            return fStatus = B_BAD_DATA;
        status_t status = ident[EI_CLASS] == ELFCLASS64
            ? find_section<Elf64_Ehdr, Elf64_Shdr>(file, uint64(fileSize), &offset, &size)
            : ident[EI_CLASS] == ELFCLASS32
            ? find_section<Elf32_Ehdr, Elf32_Shdr>(file, uint64(fileSize), &offset, &size)
            : B_BAD_DATA;
        // A program or library without resources.
        if (status == B_ENTRY_NOT_FOUND)
            return fStatus = B_OK;
        if (status != B_OK)
            return fStatus = status;
    } else if (identBytes < sizeof kMagic || memcmp(ident, kMagic, sizeof kMagic) != 0) {
        return fStatus = B_BAD_DATA;
    }
    if (size > kMaxContainerBytes)
        return fStatus = B_BAD_DATA;
    std::vector<uint8> bytes(static_cast<size_t>(size));
    if (!read_exactly(file, offset, bytes.data(), bytes.size()))
        return fStatus = B_BAD_DATA;
    return fStatus = ReadContainer(bytes.data(), bytes.size());
}

status_t BResources::ReadContainer(const uint8* bytes, size_t size)
{
    if (size < kHeaderBytes || memcmp(bytes, kMagic, sizeof kMagic) != 0 || get32(bytes + 4) != kVersion)
        return B_BAD_DATA;
    const uint64 count = get32(bytes + 8);
    if (count > (size - kHeaderBytes) / kEntryBytes)
        return B_BAD_DATA;
    std::vector<Resource> resources;
    for (uint64 i = 0; i < count; i++) {
        const uint8* entry = bytes + kHeaderBytes + i * kEntryBytes;
        const uint64 nameOffset = get32(entry + 8), nameLength = get32(entry + 12);
        const uint64 dataOffset = get32(entry + 16), dataSize = get32(entry + 20);
        if (nameOffset > size || nameLength > size - nameOffset || dataOffset > size
            || dataSize > size - dataOffset)
            return B_BAD_DATA;
        Resource resource;
        resource.type = get32(entry);
        resource.id = int32(get32(entry + 4));
        resource.name.assign(reinterpret_cast<const char*>(bytes + nameOffset), size_t(nameLength));
        if (resource.name.find('\0') != std::string::npos)
            return B_BAD_DATA;
        resource.data.assign(bytes + dataOffset, bytes + dataOffset + dataSize);
        resources.push_back(std::move(resource));
    }
    fResources = std::move(resources);
    return B_OK;
}

const BResources::Resource* BResources::Find(type_code type, int32 id) const
{
    for (const Resource& resource : fResources) {
        if (resource.type == type && resource.id == id)
            return &resource;
    }
    return nullptr;
}

const BResources::Resource* BResources::Find(type_code type, const char* name) const
{
    if (name == nullptr)
        return nullptr;
    for (const Resource& resource : fResources) {
        if (resource.type == type && resource.name == name)
            return &resource;
    }
    return nullptr;
}

const void* BResources::LoadResource(type_code type, int32 id, size_t* outSize) const
{
    const Resource* resource = Find(type, id);
    if (resource != nullptr && outSize != nullptr)
        *outSize = resource->data.size();
    return resource != nullptr ? resource->data.data() : nullptr;
}

const void* BResources::LoadResource(type_code type, const char* name, size_t* outSize) const
{
    const Resource* resource = Find(type, name);
    if (resource != nullptr && outSize != nullptr)
        *outSize = resource->data.size();
    return resource != nullptr ? resource->data.data() : nullptr;
}

bool BResources::HasResource(type_code type, int32 id) const
{
    return Find(type, id) != nullptr;
}

bool BResources::HasResource(type_code type, const char* name) const
{
    return Find(type, name) != nullptr;
}

bool BResources::GetResourceInfo(int32 index, type_code* type, int32* id, const char** name,
    size_t* length) const
{
    if (index < 0 || size_t(index) >= fResources.size())
        return false;
    const Resource& resource = fResources[size_t(index)];
    if (type != nullptr)
        *type = resource.type;
    if (id != nullptr)
        *id = resource.id;
    if (name != nullptr)
        *name = resource.name.c_str();
    if (length != nullptr)
        *length = resource.data.size();
    return true;
}

status_t BResources::AddResource(type_code type, int32 id, const void* data, size_t length,
    const char* name)
{
    if (fStatus != B_OK)
        return fStatus;
    if ((data == nullptr && length > 0) || length > kMaxContainerBytes)
        return B_BAD_VALUE;
    RemoveResource(type, id);
    Resource resource;
    resource.type = type;
    resource.id = id;
    resource.name = name != nullptr ? name : "";
    const uint8* bytes = static_cast<const uint8*>(data);
    resource.data.assign(bytes, bytes + length);
    fResources.push_back(std::move(resource));
    return B_OK;
}

bool BResources::RemoveResource(type_code type, int32 id)
{
    for (auto it = fResources.begin(); it != fResources.end(); ++it) {
        if (it->type == type && it->id == id) {
            fResources.erase(it);
            return true;
        }
    }
    return false;
}

std::vector<uint8> BResources::Flatten() const
{
    std::vector<uint8> out(kMagic, kMagic + sizeof kMagic);
    put32(out, kVersion);
    put32(out, uint32(fResources.size()));
    put32(out, 0);
    uint32 at = uint32(kHeaderBytes + fResources.size() * kEntryBytes);
    std::vector<uint8> tail;
    for (const Resource& resource : fResources) {
        put32(out, resource.type);
        put32(out, uint32(resource.id));
        put32(out, at + uint32(tail.size()));
        put32(out, uint32(resource.name.size()));
        tail.insert(tail.end(), resource.name.begin(), resource.name.end());
        put32(out, at + uint32(tail.size()));
        put32(out, uint32(resource.data.size()));
        tail.insert(tail.end(), resource.data.begin(), resource.data.end());
    }
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

status_t BResources::WriteTo(BFile* file) const
{
    if (file == nullptr || !file->IsWritable())
        return B_BAD_VALUE;
    const std::vector<uint8> bytes = Flatten();
    ssize_t n = file->WriteAt(0, bytes.data(), bytes.size());
    if (n < 0)
        return status_t(n);
    if (size_t(n) != bytes.size())
        return B_IO_ERROR;
    return file->SetSize(off_t(bytes.size()));
}
