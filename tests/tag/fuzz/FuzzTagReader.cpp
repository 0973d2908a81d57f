// libFuzzer target of the tag reader: any bytes as the end of a file.
// The first byte picks the audio end; what is found must read, and
// survive a write and a read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "ApeTagFormat.h"
#include "FileTag.h"
#include "MonkeysAudioLib.h"

using namespace monkeys::apetag;

// The same bytes as a file, read through the library's tag object.
static void read_through_object(const uint8_t* data, size_t size, int64_t audioEnd,
                                const std::vector<Item>& items)
{
    static int fd = memfd_create("tag", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        abort();
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    CAPETag* tag = monkeys::open_file_tag(path.c_str(), audioEnd, nullptr);
    if (!tag)
        abort();
    for (const Item& item : items) {
        for (int capacity : {1, 2, 5, 64}) {
            char buffer[64];
            std::memset(buffer, 0x7f, sizeof buffer);
            int bytes = capacity;
            tag->GetFieldString(item.key.c_str(), buffer, &bytes);
            if (bytes < 0 || bytes >= capacity || buffer[bytes] != 0)
                abort();
        }
    }
    delete tag;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int64_t audioEnd = data[0] == 0xFF ? -1 : int64_t(data[0] % 64);
    MemorySource src(data + 1, size - 1);
    Location where = locate(src, audioEnd);
    if (where.found && (where.start < std::max<int64_t>(audioEnd, 0) || where.end > src.size()))
        abort();
    std::vector<Item> items;
    read_items(src, where, items);

    for (const Item& item : items) {
        char buffer[7];
        size_t cut = utf8_prefix(item.value.data(), item.value.size(), sizeof buffer - 1);
        if (cut > item.value.size() || cut > sizeof buffer - 1)
            abort();
    }
    read_through_object(data + 1, size - 1, audioEnd, items);
    if (items.empty())
        return 0;
    std::vector<uint8_t> bytes = serialize(items);
    MemorySource again(bytes.data(), bytes.size());
    std::vector<Item> back;
    if (read_items(again, locate(again, 0), back) != APE_OK || back.size() != items.size())
        abort();
    for (size_t i = 0; i < items.size(); ++i)
        if (back[i].key != items[i].key || back[i].value != items[i].value ||
            back[i].flags != items[i].flags)
            abort();
    return 0;
}
