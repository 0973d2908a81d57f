// Storage kit: BResources, the typed, numbered and named pieces of data a
// file carries in its own bytes, so that they travel with every copy of
// it (unlike attributes, which a plain copy or an install may drop).
//
// Two kinds of file hold resources:
// - an ELF executable, library or add-on, in its section ".rsrc" (built
//   in by the resource compiler, tools/rc);
// - a plain resource file, which is the container alone.
// The container: "BRSC", version 1, the count, 0 (four little-endian
// 32-bit words), then per resource its type, id, name offset, name
// length, data offset and data size (six words, offsets from the
// container's start), then the names and the data. docs/resources.md has
// the details.
//
// A file read for resources is read whole when SetTo is called; later
// changes to it are not seen. What the file holds is untrusted: a
// container that is cut short or points outside itself is refused
// (B_BAD_DATA) as a whole.
#pragma once

#include <SupportDefs.h>

#include <string>
#include <vector>

class BFile;

class BResources {
public:
    BResources();
    // Reads the resources of the file, or starts with none when clobber
    // is true or the file holds none (an ELF file without the section).
    explicit BResources(const BFile* file, bool clobber = false);
    ~BResources();
    BResources(const BResources&) = delete;
    BResources& operator=(const BResources&) = delete;

    // B_OK; B_BAD_VALUE for no file or one not open for reading;
    // B_BAD_DATA for a damaged container or a file that is neither kind.
    status_t SetTo(const BFile* file, bool clobber = false);
    void Unset();
    status_t InitCheck() const { return fStatus; }

    int32 CountResources() const { return int32(fResources.size()); }
    // The data stays valid as long as this object and its resources do.
    const void* LoadResource(type_code type, int32 id, size_t* outSize) const;
    const void* LoadResource(type_code type, const char* name, size_t* outSize) const;
    bool HasResource(type_code type, int32 id) const;
    bool HasResource(type_code type, const char* name) const;
    bool GetResourceInfo(int32 index, type_code* type, int32* id, const char** name,
        size_t* length) const;

    // Adds a resource, or replaces the one of that type and id.
    status_t AddResource(type_code type, int32 id, const void* data, size_t length,
        const char* name = nullptr);
    bool RemoveResource(type_code type, int32 id);

    // The resources as a container, and as a plain resource file (written
    // from its start, the file cut to its length).
    std::vector<uint8> Flatten() const;
    status_t WriteTo(BFile* file) const;

    // The container's first bytes and the ELF section that holds it.
    static const char kMagic[4];           // "BRSC"
    static const char* const kSectionName; // ".rsrc"

private:
    struct Resource {
        type_code type;
        int32 id;
        std::string name;
        std::vector<uint8> data;
    };

    const Resource* Find(type_code type, int32 id) const;
    const Resource* Find(type_code type, const char* name) const;
    status_t ReadContainer(const uint8* bytes, size_t size);

    status_t fStatus;
    std::vector<Resource> fResources;
};
