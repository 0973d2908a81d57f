// The stream entries: WAVE containers and streamed sizes, inputs and
// outputs that cannot seek, the decompressor on a stream, raw PCM.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "CodecTestSupport.h"

using namespace codectest;
using Container = WaveSpec::Container;

namespace {

// Bytes in memory as a stream: read in uneven pieces as from a pipe, and
// written at the position; it seeks only where asked to.
struct Memory {
    std::vector<uint8_t> bytes;
    size_t at = 0;
    bool closed = false;   // its reader has gone

    APEStream stream(bool seekable)
    {
        APEStream s{};
        s.fd = -1;
        s.context = this;
        s.read = [](void* c, void* buffer, int64_t n) -> int64_t {
            Memory& m = *static_cast<Memory*>(c);
            size_t take = std::min<size_t>({size_t(n), m.bytes.size() - std::min(m.at, m.bytes.size()), 1 + m.at % 4093});
            std::memcpy(buffer, m.bytes.data() + m.at, take);
            m.at += take;
            return int64_t(take);
        };
        s.write = [](void* c, const void* data, int64_t n) -> int {
            Memory& m = *static_cast<Memory*>(c);
            if (m.closed)
                return -2;
            m.bytes.resize(std::max(m.bytes.size(), m.at + size_t(n)));
            std::memcpy(m.bytes.data() + m.at, data, size_t(n));
            m.at += size_t(n);
            return 0;
        };
        if (seekable) {
            s.seek = [](void* c, int64_t offset) {
                static_cast<Memory*>(c)->at = size_t(offset);
                return 0;
            };
            s.size = [](void* c) { return int64_t(static_cast<Memory*>(c)->bytes.size()); };
        }
        return s;
    }
};

APEStream named(const std::string& path)
{
    APEStream s{};
    s.path = path.c_str();
    s.fd = -1;
    return s;
}

APEStream descriptor(int fd)
{
    APEStream s{};
    s.fd = fd;
    return s;
}

int compress(const APEStream& wave, const APEStream& ape, const APEPcmFormat* pcm = nullptr)
{
    return lib().compressStream(&wave, &ape, 1000, pcm, nullptr, nullptr, nullptr);
}

// What the APE file at path decodes to, through a stream that cannot seek.
std::vector<uint8_t> decoded(const std::string& path, int* rc = nullptr)
{
    Memory in{read_file(path)}, out;
    APEStream a = in.stream(false), w = out.stream(false);
    int result = lib().decompressStream(&a, &w, nullptr, nullptr, nullptr);
    if (rc)
        *rc = result;
    return out.bytes;
}

} // namespace

// Every container and every size a streaming writer leaves comes back byte
// for byte from a stream; by name the rules for files are as they were.
TEST(Streams, WaveContainersAndStreamedSizes)
{
    struct Case {
        const char* name;
        Container container;
        std::optional<uint64_t> stated;
        int byName;          // CompressFile's result
        size_t extra = 0;    // bytes of audio past the last whole block
    };
    const size_t blocks = 100000;
    const Case cases[] = {
        {"RIFF", Container::Riff, {}, APE_OK},
        {"RIFF size 0", Container::Riff, 0, APE_OK},
        {"RIFF size all ones", Container::Riff, 0xFFFFFFFF, APE_ERROR_WAVE_TRUNCATED},
        {"RIFF larger than the stream, partial block", Container::Riff, blocks * 4 + 5000, APE_ERROR_WAVE_TRUNCATED, 3},
        {"RF64", Container::Rf64, {}, APE_OK},
        {"RF64 size all ones", Container::Rf64, ~0ull, APE_ERROR_WAVE_TRUNCATED},
        {"Wave64", Container::Wave64, {}, APE_OK},
        {"Wave64 size 0", Container::Wave64, 0, APE_OK},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WaveSpec spec;
        spec.container = c.container;
        spec.statedDataSize = c.stated;
        spec.before = {{"LIST", {'I', 'N', 'F', 'O'}}};
        std::vector<uint8_t> wave = make_wave(spec, tones(blocks, 2, 16));
        wave.insert(wave.end(), c.extra, 0x5A);
        const std::string wav = dir.path("in.wav"), byName = dir.path("a.ape"), streamed = dir.path("b.ape");
        write_file(wav, wave);
        std::remove(byName.c_str());
        std::remove(streamed.c_str());
        EXPECT_EQ(lib().compress(wav.c_str(), byName.c_str(), 1000, nullptr, nullptr, nullptr), c.byName);
        if (c.byName == APE_OK) {
            EXPECT_TRUE(decoded(byName) == wave);
        }

        Memory in{wave};
        ASSERT_EQ(compress(in.stream(false), named(streamed)), APE_OK);
        EXPECT_TRUE(decoded(streamed) == wave);
        IAPEDecompress* d = lib().create(streamed.c_str(), nullptr);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->GetInfo(APE_DECOMPRESS_TOTAL_BLOCKS), intptr_t(blocks)) << "all the audio is audio";
        delete d;
    }
    // A stream gives its format before its data; only a file may have it after.
    WaveSpec late;
    late.before = {{"data", {1, 2, 3, 4}}};
    Memory in{make_wave(late, tones(10, 2, 16))};
    EXPECT_EQ(compress(in.stream(false), named(dir.path("late.ape"))), APE_ERROR_WAVE_NO_FORMAT);
}

// The same APE file whatever the output: in place where it can seek, spooled
// where it cannot (a file opened for appending, callbacks; pipes are the
// programs' tests).
TEST(Streams, EveryOutputGetsTheSameFile)
{
    TempDir dir;
    const std::vector<uint8_t> wave = make_wave(WaveSpec{}, tones(200000, 2, 16));
    const std::string wav = dir.path("in.wav"), ape = dir.path("x.ape");
    write_file(wav, wave);
    ASSERT_EQ(lib().compress(wav.c_str(), ape.c_str(), 1000, nullptr, nullptr, nullptr), 0);
    const std::vector<uint8_t> expected = read_file(ape);

    for (int flags : {O_WRONLY | O_CREAT | O_TRUNC, O_WRONLY | O_CREAT | O_APPEND}) {
        const std::string out = dir.path("fd.ape");
        std::remove(out.c_str());
        int fd = open(out.c_str(), flags, 0644);
        ASSERT_GE(write(fd, "head", 4), 4);
        ASSERT_EQ(compress(named(wav), descriptor(fd)), APE_OK);
        EXPECT_EQ(lseek(fd, 0, SEEK_CUR), off_t(4 + expected.size())) << "the offset is left after the file";
        close(fd);
        std::vector<uint8_t> got = read_file(out);
        EXPECT_TRUE(std::vector<uint8_t>(got.begin() + 4, got.end()) == expected) << flags;
    }
    for (bool seekable : {false, true}) {
        Memory in{wave}, out;
        ASSERT_EQ(compress(in.stream(seekable), out.stream(seekable)), APE_OK);
        EXPECT_TRUE(out.bytes == expected) << seekable;
    }

    // Its reader gone, an output ends the call with an error of its own.
    Memory closed;
    closed.closed = true;
    EXPECT_EQ(compress(named(wav), closed.stream(false)), APE_ERROR_OUTPUT_CLOSED);
    // A descriptor of the source's own file is refused, as a name is.
    int same = open(wav.c_str(), O_WRONLY | O_APPEND);
    EXPECT_EQ(compress(named(wav), descriptor(same)), APE_ERROR_SAME_FILE);
    close(same);
    EXPECT_TRUE(read_file(wav) == wave);
}

// The decompressor reads a stream front to back; one that can seek also
// seeks and gives its tag, one that cannot goes only forward.
TEST(Streams, DecompressorOnAStream)
{
    TempDir dir;
    const std::string wav = dir.path("in.wav"), ape = dir.path("x.ape");
    write_file(wav, make_wave(WaveSpec{}, tones(300000, 2, 16)));
    ASSERT_EQ(lib().compress(wav.c_str(), ape.c_str(), 1000, nullptr, nullptr, nullptr), 0);
    CAPETag* tag = lib().createTag2(ape.c_str(), nullptr);
    ASSERT_NE(tag, nullptr);
    ASSERT_EQ(tag->SetFieldString("Title", "Streamed", -1, 0), 0);
    ASSERT_EQ(tag->Save(0), 0);
    lib().destroyTag(tag);
    const std::vector<uint8_t> pcm = decode_all(ape);
    ASSERT_EQ(pcm.size(), 300000u * 4);

    for (bool seekable : {true, false}) {
        SCOPED_TRACE(seekable ? "seekable" : "front to back");
        Memory in{read_file(ape)};
        APEStream s = in.stream(seekable);
        int error = -1;
        IAPEDecompress* d = lib().createStream(&s, &error);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(error, 0);
        std::vector<char> buffer(4 * 100000);
        int got = 0;
        ASSERT_EQ(d->GetData(buffer.data(), 1000, &got), 0);
        EXPECT_EQ(std::memcmp(buffer.data(), pcm.data(), 4000), 0);
        // forward, past a frame or two
        ASSERT_EQ(d->Seek(250000), 0);
        ASSERT_EQ(d->GetData(buffer.data(), 100000, &got), 0);
        ASSERT_EQ(got, 50000);
        EXPECT_EQ(std::memcmp(buffer.data(), pcm.data() + 4 * 250000, 4 * 50000), 0);
        // and back
        ASSERT_EQ(d->Seek(10), 0);
        EXPECT_EQ(d->GetData(buffer.data(), 10, &got), seekable ? APE_OK : APE_ERROR_NOT_SEEKABLE);
        if (seekable) {
            EXPECT_EQ(std::memcmp(buffer.data(), pcm.data() + 40, 40), 0);
        }
        char title[64];
        int size = sizeof title;
        CAPETag* streamTag = reinterpret_cast<CAPETag*>(d->GetInfo(APE_INFO_TAG));
        streamTag->GetFieldString("Title", title, &size);
        EXPECT_STREQ(title, seekable ? "Streamed" : "");
        streamTag->SetFieldString("Title", "Other", -1, 0);
        EXPECT_NE(streamTag->Save(0), 0) << "a stream's tag is read only";
        delete d;
    }
}

// Raw PCM is stored behind a canonical WAVE header: PCM for up to two
// channels of 16 bits, extensible beyond, with the data's pad byte.
TEST(Streams, RawPcmGetsACanonicalHeader)
{
    struct Case {
        APEPcmFormat format;
        size_t bytes;
        size_t headerSize;
    };
    const Case cases[] = {
        {{2, 16, 0, 44100, 0x3}, 400000, 44},
        {{6, 24, 0, 48000, 0x3F}, 6 * 3 * 7001, 68},
        {{1, 8, 0, 8000, 0}, 12345, 44},   // odd: a pad byte follows
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format.channels);
        std::vector<uint8_t> pcm(c.bytes);
        for (size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = uint8_t(i * 7 / 5);
        Memory in{pcm};
        const std::string ape = dir.path(std::to_string(c.format.channels) + ".ape");
        ASSERT_EQ(compress(in.stream(false), named(ape), &c.format), APE_OK);
        EXPECT_EQ(lib().verify(ape.c_str(), nullptr, nullptr, nullptr), 0);
        const std::vector<uint8_t> wave = decoded(ape);
        ASSERT_EQ(wave.size(), c.headerSize + c.bytes + (c.bytes & 1));
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), wave.begin() + std::ptrdiff_t(c.headerSize)));
        EXPECT_EQ(le(wave, 4, 4), wave.size() - 8);
        EXPECT_EQ(le(wave, 20, 2), c.headerSize == 44 ? 1u : 0xFFFEu);
        EXPECT_EQ(le(wave, 22, 2), uint64_t(c.format.channels));
        EXPECT_EQ(le(wave, 24, 4), uint64_t(c.format.sampleRate));
        EXPECT_EQ(le(wave, c.headerSize - 4, 4), c.bytes);
        if (c.headerSize == 68) {
            EXPECT_EQ(le(wave, 40, 4), c.format.channelMask);
        }
    }
}

// Read front to back, a damaged stream is refused as a damaged file is.
TEST(Streams, ADamagedStreamIsRefused)
{
    TempDir dir;
    const std::string wav = dir.path("in.wav"), ape = dir.path("x.ape");
    write_file(wav, make_wave(WaveSpec{}, tones(200000, 2, 16)));
    ASSERT_EQ(lib().compress(wav.c_str(), ape.c_str(), 1000, nullptr, nullptr, nullptr), 0);
    Memory in{read_file(ape)};
    in.bytes[in.bytes.size() / 2] ^= 0x10;
    APEStream s = in.stream(false);
    EXPECT_EQ(lib().verifyStream(&s, nullptr, nullptr, nullptr), APE_ERROR_FRAME_CRC);
}
