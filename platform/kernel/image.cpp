#include "image.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct AddOn {
    void* handle;
    link_map* map;
};

std::mutex gImagesLock;
std::map<image_id, AddOn> gAddOns;
image_id gNextImageId = 1;

// Images that are not our add-ons get ids from a range add-ons never reach.
const image_id kForeignImageBase = 0x40000000;

bool lookup_add_on(image_id image, AddOn& addOn)
{
    std::lock_guard<std::mutex> lock(gImagesLock);
    auto it = gAddOns.find(image);
    if (it == gAddOns.end())
        return false;
    addOn = it->second;
    return true;
}

bool symbol_type_matches(unsigned char elfType, int32 symbolType)
{
    const bool text = elfType == STT_FUNC || elfType == STT_GNU_IFUNC;
    const bool data = elfType == STT_OBJECT || elfType == STT_TLS || elfType == STT_COMMON;
    switch (symbolType) {
    case B_SYMBOL_TYPE_TEXT: return text;
    case B_SYMBOL_TYPE_DATA: return data;
    default: return text || data;
    }
}

std::string absolute_path(const char* name)
{
    char resolved[PATH_MAX];
    if (name && *name && realpath(name, resolved))
        return resolved;
    return name ? name : "";
}

std::string program_path()
{
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return "";
    buffer[n] = '\0';
    return buffer;
}

struct MappedImage {
    const char* name;  // the loader's; the program's own is nullptr
    const void* base;
    bool system;
    // The loaded segments that hold code and writable data; where an
    // image has several of a kind, the span from the first to the last.
    uintptr_t text = 0, textEnd = 0;
    uintptr_t data = 0, dataEnd = 0;
};

void widen(uintptr_t& begin, uintptr_t& end, uintptr_t segment, uintptr_t segmentEnd)
{
    if (begin == end) {
        begin = segment;
        end = segmentEnd;
    } else {
        begin = std::min(begin, segment);
        end = std::max(end, segmentEnd);
    }
}

int collect_image(dl_phdr_info* info, size_t, void* data)
{
    auto* images = static_cast<std::vector<MappedImage>*>(data);
    MappedImage image;
    image.base = reinterpret_cast<const void*>(info->dlpi_addr);
    image.system = false;
    image.name = nullptr;
    if (images->empty()) {
    } else if (info->dlpi_name && info->dlpi_name[0] != '\0') {
        // The kernel's vDSO has a bare name and no file.
        image.system = strchr(info->dlpi_name, '/') == nullptr;
        image.name = info->dlpi_name;
    } else {
        return 0;
    }
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; i++) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_LOAD)
            continue;
        const uintptr_t begin = info->dlpi_addr + segment.p_vaddr;
        if (segment.p_flags & PF_X)
            widen(image.text, image.textEnd, begin, begin + segment.p_memsz);
        else if (segment.p_flags & PF_W)
            widen(image.data, image.dataEnd, begin, begin + segment.p_memsz);
    }
    images->push_back(image);
    return 0;
}

} // namespace

image_id load_add_on(const char* path)
{
    if (!path || !*path)
        return B_BAD_VALUE;
    struct stat st;
    if (stat(path, &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? B_ENTRY_NOT_FOUND : status_from_errno(errno);
    if (!S_ISREG(st.st_mode))
        return B_NOT_AN_EXECUTABLE;
    // A name without a folder means the current folder, never the
    // loader's search path.
    std::string file(path);
    if (file.find('/') == std::string::npos)
        file = "./" + file;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return B_NOT_AN_EXECUTABLE;
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0) {
        dlclose(handle);
        return B_NOT_AN_EXECUTABLE;
    }
    std::lock_guard<std::mutex> lock(gImagesLock);
    if (gNextImageId >= kForeignImageBase) {
        dlclose(handle);
        return B_NO_MEMORY;
    }
    const image_id id = gNextImageId++;
    gAddOns[id] = AddOn{handle, map};
    return id;
}

status_t unload_add_on(image_id image)
{
    void* handle;
    {
        std::lock_guard<std::mutex> lock(gImagesLock);
        auto it = gAddOns.find(image);
        if (it == gAddOns.end())
            return B_BAD_IMAGE_ID;
        handle = it->second.handle;
        gAddOns.erase(it);
    }
    dlclose(handle);
    return B_OK;
}

status_t get_image_symbol(image_id image, const char* name, int32 symbolType, void** location)
{
    AddOn addOn;
    if (!lookup_add_on(image, addOn))
        return B_BAD_IMAGE_ID;
    if (!name || !*name || !location)
        return B_BAD_VALUE;
    void* address = dlsym(addOn.handle, name);
    if (!address)
        return B_MISSING_SYMBOL;
    // dlsym also searches the libraries the image depends on; only the
    // image's own exports count.
    Dl_info info;
    link_map* owner = nullptr;
    if (!dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) || owner != addOn.map)
        return B_MISSING_SYMBOL;
    void* entry = nullptr;
    if (!dladdr1(address, &info, &entry, RTLD_DL_SYMENT) || !entry
        || !symbol_type_matches(ELF64_ST_TYPE(static_cast<const ElfW(Sym)*>(entry)->st_info), symbolType))
        return B_MISSING_SYMBOL;
    *location = address;
    return B_OK;
}

status_t _get_next_image_info(team_id team, int32* cookie, image_info* info, size_t size)
{
    if (!cookie || !info || size < offsetof(image_info, text))
        return B_BAD_VALUE;
    if (team != 0 && team != getpid())
        return B_BAD_TEAM_ID;
    if (*cookie < 0)
        return B_BAD_INDEX;
    std::vector<MappedImage> images;
    dl_iterate_phdr(collect_image, &images);
    const size_t index = static_cast<size_t>(*cookie);
    if (index >= images.size())
        return B_BAD_INDEX;
    const MappedImage& mapped = images[index];
    // Only the image asked for: resolving every path costs a system call
    // per folder of each.
    const std::string path =
        !mapped.name ? program_path() : mapped.system ? std::string(mapped.name) : absolute_path(mapped.name);

    image_info record;
    memset(&record, 0, sizeof record);
    record.id = kForeignImageBase + static_cast<image_id>(index);
    record.type = index == 0 ? B_APP_IMAGE : mapped.system ? B_SYSTEM_IMAGE : B_LIBRARY_IMAGE;
    record.sequence = static_cast<int32>(index);
    record.init_order = static_cast<int32>(index);
    {
        std::lock_guard<std::mutex> lock(gImagesLock);
        for (const auto& [id, addOn] : gAddOns) {
            if (reinterpret_cast<const void*>(addOn.map->l_addr) == mapped.base) {
                record.id = id;
                record.type = B_ADD_ON_IMAGE;
                break;
            }
        }
    }
    struct stat st;
    if (!mapped.system && stat(path.c_str(), &st) == 0) {
        record.device = st.st_dev;
        record.node = st.st_ino;
    }
    strncpy(record.name, path.c_str(), sizeof record.name - 1);
    record.text = reinterpret_cast<void*>(mapped.text);
    record.text_size = static_cast<int32>(mapped.textEnd - mapped.text);
    record.data = reinterpret_cast<void*>(mapped.data);
    record.data_size = static_cast<int32>(mapped.dataEnd - mapped.data);
    memcpy(info, &record, size < sizeof record ? size : sizeof record);
    ++*cookie;
    return B_OK;
}

status_t _get_image_info(image_id image, image_info* info, size_t size)
{
    if (!info || size < offsetof(image_info, text))
        return B_BAD_VALUE;
    int32 cookie = 0;
    image_info record;
    while (_get_next_image_info(0, &cookie, &record, sizeof record) == B_OK) {
        if (record.id == image) {
            memcpy(info, &record, size < sizeof record ? size : sizeof record);
            return B_OK;
        }
    }
    return B_BAD_IMAGE_ID;
}
