#include "CodecTestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <dlfcn.h>
#include <sys/stat.h>

namespace codectest {

namespace {

template <typename T>
void resolve(void* handle, const char* name, T*& out, bool& complete)
{
    out = reinterpret_cast<T*>(dlsym(handle, name));
    if (!out)
        complete = false;
}

} // namespace

const Library& lib()
{
    static Library l = [] {
        Library r;
        void* h = dlopen(MONKEYS_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!h)
            throw std::runtime_error(dlerror());
        r.complete = true;
        resolve(h, "CompressFile", r.compress, r.complete);
        resolve(h, "DecompressFile", r.decompress, r.complete);
        resolve(h, "VerifyFile", r.verify, r.complete);
        resolve(h, "CreateIAPEDecompress", r.create, r.complete);
        resolve(h, "create_capetag_1", r.createTag1, r.complete);
        resolve(h, "create_capetag_2", r.createTag2, r.complete);
        resolve(h, "destroy_capetag", r.destroyTag, r.complete);
        resolve(h, "lib_monkeys_audio_name", r.name, r.complete);
        resolve(h, "lib_monkeys_audio_version", r.version, r.complete);
        resolve(h, "lib_monkeys_audio_copyright", r.copyright, r.complete);
        resolve(h, "lib_monkeys_audio_components", r.components, r.complete);
        resolve(h, "CompressStream", r.compressStream, r.complete);
        resolve(h, "DecompressStream", r.decompressStream, r.complete);
        resolve(h, "VerifyStream", r.verifyStream, r.complete);
        resolve(h, "CreateIAPEDecompressStream", r.createStream, r.complete);
        return r;
    }();
    return l;
}

std::vector<int32_t> noise(size_t count, int bits, uint32_t seed)
{
    std::vector<int32_t> v(count);
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (auto& s : v) {
        x ^= x << 13; x ^= x >> 7; x ^= x << 17;
        s = int32_t(uint32_t(x >> 11)) >> (32 - bits);
    }
    return v;
}

std::vector<int32_t> square(size_t blocks, int channels, int bits, int period)
{
    const int32_t hi = bits == 32 ? INT32_MAX : (1 << (bits - 1)) - 1;
    const int32_t lo = bits == 32 ? INT32_MIN : -(1 << (bits - 1));
    std::vector<int32_t> v(blocks * size_t(channels));
    for (size_t b = 0; b < blocks; ++b)
        for (int c = 0; c < channels; ++c)
            v[b * size_t(channels) + size_t(c)] = ((b + size_t(c) * 7) / size_t(period / 2)) % 2 ? hi : lo;
    return v;
}

std::vector<int32_t> tones(size_t blocks, int channels, int bits)
{
    const double amp = std::ldexp(0.4, bits - 1);
    std::vector<int32_t> v(blocks * size_t(channels));
    for (size_t b = 0; b < blocks; ++b)
        for (int c = 0; c < channels; ++c)
            v[b * size_t(channels) + size_t(c)] = int32_t(amp * std::sin(double(b) * (0.01 + 0.003 * c)) +
                                                           amp * 0.3 * std::sin(double(b) * 0.173));
    return v;
}

uint64_t le(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint64_t(b[at + size_t(i)]) << (8 * i);
    return v;
}

std::vector<uint8_t> decode_all(const std::string& apePath, int blocksPerCall)
{
    std::vector<uint8_t> out;
    decode_all(apePath, out, blocksPerCall);
    return out;
}

int decode_all(const std::string& apePath, std::vector<uint8_t>& out, int blocksPerCall)
{
    out.clear();
    int error = 0;
    IAPEDecompress* d = lib().create(apePath.c_str(), &error);
    if (!d)
        return error;
    const int align = int(d->GetInfo(APE_INFO_BLOCK_ALIGN));
    std::vector<char> buffer(size_t(align) * size_t(blocksPerCall));
    for (;;) {
        int got = 0;
        if ((error = d->GetData(buffer.data(), blocksPerCall, &got)) != 0 || got == 0)
            break;
        out.insert(out.end(), buffer.begin(), buffer.begin() + got * align);
    }
    delete d;
    return error;
}

std::string md5sum(const std::string& path)
{
    std::string cmd = "md5sum '" + path + "'";
    FILE* p = popen(cmd.c_str(), "r");
    char hex[33] = {};
    if (!p || std::fscanf(p, "%32s", hex) != 1)
        hex[0] = 0;
    if (p)
        pclose(p);
    return hex;
}

} // namespace codectest
