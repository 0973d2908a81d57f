// Damaged, foreign and hostile files are refused, and nothing is written.
#include <gtest/gtest.h>

#include <cstring>

#include "CodecTestSupport.h"

using namespace codectest;

namespace {

// A small file of several frames, with a trailer chunk.
struct Sample {
    TempDir dir;
    std::string wav = dir.path("in.wav");
    std::string ape = dir.path("x.ape");
    std::vector<uint8_t> bytes;
    Sample(size_t blocks = 160000)
    {
        WaveSpec s;
        s.after = {{"note", {'h', 'i'}}};
        write_file(wav, make_wave(s, tones(blocks, 2, 16)));
        lib().compress(wav.c_str(), ape.c_str(), 1000, nullptr, nullptr, nullptr);
        bytes = read_file(ape);
        pcm = decode_all(ape);
    }
    std::vector<uint8_t> pcm;   // what the sound file decodes to
};

// What the three readers say about the file at path; also that
// DecompressFile leaves no output when it fails.
struct Verdict {
    int verify, decompress, create;
    bool outputLeft;
    bool misread;   // GetData gave bytes other than the original samples
};

// With original, every block the decompressor hands out must be the
// original one at that place: a damaged frame is refused, never misread.
Verdict judge(const TempDir& dir, const std::string& path, bool decompress = true,
              const std::vector<uint8_t>* original = nullptr)
{
    Verdict v{};
    v.verify = lib().verify(path.c_str(), nullptr, nullptr, nullptr);
    std::string out = dir.path("out.wav");
    if (decompress) {
        v.decompress = lib().decompress(path.c_str(), out.c_str(), nullptr, nullptr, nullptr);
        v.outputLeft = v.decompress != 0 && exists(out);
        if (v.decompress == 0)
            std::remove(out.c_str());
    }
    int error = 0;
    IAPEDecompress* d = lib().create(path.c_str(), &error);
    v.create = error;
    if (d) {
        // every frame must then be readable or refused, never misread
        const size_t align = size_t(d->GetInfo(APE_INFO_BLOCK_ALIGN));
        std::vector<char> buffer(align * 4096);
        size_t at = 0;
        int got = 0;
        while (d->GetData(buffer.data(), 4096, &got) == 0 && got > 0) {
            const size_t size = size_t(got) * align;
            if (original != nullptr &&
                (at + size > original->size() ||
                 std::memcmp(buffer.data(), original->data() + at, size) != 0))
                v.misread = true;
            at += size;
        }
        delete d;
    }
    return v;
}

} // namespace

TEST(Damage, EveryFlippedBitOfTheAudioPartIsFound)
{
    Sample s(3000);  // one short frame: small enough to try every byte
    ASSERT_GT(s.bytes.size(), 200u);
    std::string bad = s.dir.path("bad.ape");
    for (size_t at = 0; at < s.bytes.size(); ++at) {
        std::vector<uint8_t> b = s.bytes;
        b[at] ^= uint8_t(1u << (at % 8));
        write_file(bad, b);
        bool decompress = at % 97 == 0;
        Verdict v = judge(s.dir, bad, decompress, &s.pcm);
        ASSERT_NE(v.verify, 0) << "flip at " << at;
        ASSERT_FALSE(v.misread) << "flip at " << at;
        if (decompress) {
            ASSERT_NE(v.decompress, 0) << "flip at " << at;
            ASSERT_FALSE(v.outputLeft) << "flip at " << at;
        }
    }
}

TEST(Damage, ClassesOfDamage)
{
    Sample s;
    std::string bad = s.dir.path("bad.ape");
    auto expect_refused = [&](const std::vector<uint8_t>& b, const char* what, int code = 0) {
        write_file(bad, b);
        Verdict v = judge(s.dir, bad, true, &s.pcm);
        EXPECT_NE(v.verify, 0) << what;
        EXPECT_FALSE(v.misread) << what;
        EXPECT_NE(v.decompress, 0) << what;
        EXPECT_FALSE(v.outputLeft) << what;
        if (code) {
            EXPECT_EQ(v.verify, code) << what;
            EXPECT_EQ(v.decompress, code) << what;
        }
    };
    // cut tails, from inside the header to the last byte
    for (size_t keep : {size_t(0), size_t(3), size_t(100), size_t(400), s.bytes.size() / 2, s.bytes.size() - 1}) {
        std::vector<uint8_t> b(s.bytes.begin(), s.bytes.begin() + std::ptrdiff_t(keep));
        expect_refused(b, ("cut to " + std::to_string(keep)).c_str());
    }
    std::vector<uint8_t> b = s.bytes;
    b[b.size() / 2] ^= 0x10;
    expect_refused(b, "flipped bit in a frame", APE_ERROR_FRAME_CRC);

    // a frame swapped for another of the same size is not passed off as audio
    // (frames carry their index); here: the second frame overwritten by the first
    b = s.bytes;
    {
        int error = 0;
        IAPEDecompress* d = lib().create(s.ape.c_str(), &error);
        ASSERT_NE(d, nullptr);
        ASSERT_GE(d->GetInfo(1009), 3);
        delete d;
        const size_t table = size_t(le(b, 10, 2)) + 44;  // the seek table follows the stored WAVE header
        uint64_t f0 = le(b, table, 8), f1 = le(b, table + 8, 8), f2 = le(b, table + 16, 8);
        size_t len = size_t(std::min(f1 - f0, f2 - f1));
        std::copy(b.begin() + std::ptrdiff_t(f0), b.begin() + std::ptrdiff_t(f0 + len), b.begin() + std::ptrdiff_t(f1));
        expect_refused(b, "spliced frame");
    }

    const size_t crcAt = size_t(le(s.bytes, 10, 2)) - 4;
    auto header_crc_again = [&](std::vector<uint8_t>& f) {
        const uint32_t c = reference_crc(f.data(), crcAt);
        for (int i = 0; i < 4; ++i)
            f[crcAt + size_t(i)] = uint8_t(c >> (8 * i));
    };
    // a wrong MD5 beside a right PCM CRC-32: decoding, which checks the
    // CRC, gives the audio; verifying, which checks both, refuses
    b = s.bytes;
    b[100] ^= 1;
    header_crc_again(b);
    write_file(bad, b);
    {
        Verdict v = judge(s.dir, bad, true, &s.pcm);
        EXPECT_EQ(v.verify, APE_ERROR_MD5);
        EXPECT_EQ(v.decompress, 0);
        EXPECT_FALSE(v.misread);
    }

    // absurd header values, with the header's CRC made right again, are
    // refused as bad headers, not trusted
    struct Field { size_t at; int bytes; uint64_t value; };
    const Field fields[] = {{14, 2, 0}, {14, 2, 33}, {16, 2, 12}, {12, 2, 5000}, {20, 4, 0}, {24, 4, 0},
                            {24, 4, 1u << 30}, {28, 8, ~0ull}, {36, 8, 1ull << 40}, {52, 8, 1ull << 62},
                            {76, 8, 0}, {84, 8, ~0ull >> 1}, {92, 8, 12}, {8, 2, 2}};
    for (const Field& f : fields) {
        b = s.bytes;
        for (int i = 0; i < f.bytes; ++i)
            b[f.at + size_t(i)] = uint8_t(f.value >> (8 * i));
        header_crc_again(b);
        std::string what = "header field at " + std::to_string(f.at);
        write_file(bad, b);
        Verdict v = judge(s.dir, bad, true, &s.pcm);
        EXPECT_NE(v.verify, 0) << what;
        EXPECT_FALSE(v.misread) << what;
        EXPECT_NE(v.create, 0) << what;
        EXPECT_FALSE(v.outputLeft) << what;
    }
}

TEST(Damage, ForeignAndUnknownFiles)
{
    TempDir dir;
    std::string f = dir.path("f.ape");
    std::vector<uint8_t> mac = {'M', 'A', 'C', ' ', 0x96, 0x0F, 0, 0};
    mac.resize(4096, 0x11);
    write_file(f, mac);
    Verdict v = judge(dir, f);
    EXPECT_EQ(v.verify, APE_ERROR_FOREIGN_APE);
    EXPECT_EQ(v.decompress, APE_ERROR_FOREIGN_APE);
    EXPECT_EQ(v.create, APE_ERROR_FOREIGN_APE);
    EXPECT_FALSE(v.outputLeft);

    write_file(f, make_wave(WaveSpec{}, tones(100, 2, 16)));
    v = judge(dir, f);
    EXPECT_EQ(v.verify, APE_ERROR_NOT_APE);
    EXPECT_EQ(v.create, APE_ERROR_NOT_APE);
    write_file(f, {});
    EXPECT_EQ(judge(dir, f).verify, APE_ERROR_NOT_APE);

    Sample s(100);
    std::vector<uint8_t> b = s.bytes;
    b[8] = 9;  // a later format version
    write_file(f, b);
    EXPECT_EQ(judge(dir, f).create, APE_ERROR_UNSUPPORTED_VERSION);
}

TEST(Damage, BytesAfterTheAudioBelongToTheTag)
{
    // An interrupted tag save may leave anything after the audio part.
    Sample s(50000);
    std::vector<uint8_t> b = s.bytes;
    for (int i = 0; i < 1000; ++i)
        b.push_back(uint8_t(i * 37));
    std::string f = s.dir.path("tagged.ape");
    write_file(f, b);
    EXPECT_EQ(lib().verify(f.c_str(), nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(lib().decompress(f.c_str(), s.dir.path("o.wav").c_str(), nullptr, nullptr, nullptr), 0);
    EXPECT_TRUE(read_file(s.dir.path("o.wav")) == read_file(s.wav));
}

TEST(Damage, UnusableWaveInput)
{
    TempDir dir;
    std::string in = dir.path("in.wav"), out = dir.path("out.ape");
    auto compress = [&](const std::vector<uint8_t>& w) {
        write_file(in, w);
        int rc = lib().compress(in.c_str(), out.c_str(), 2000, nullptr, nullptr, nullptr);
        EXPECT_FALSE(exists(out));
        return rc;
    };
    std::vector<uint8_t> good = make_wave(WaveSpec{}, tones(1000, 2, 16));
    std::vector<uint8_t> w = good;
    w[20] = 3;  // IEEE float
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_UNSUPPORTED);
    w = good;
    w[20] = 2;  // ADPCM
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_UNSUPPORTED);
    w = good;
    w[22] = 0;  // no channels
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_BAD_FORMAT);
    w = good;
    w[22] = 33;
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_BAD_FORMAT);
    w = good;
    w[24] = w[25] = w[26] = w[27] = 0;  // no sample rate
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_BAD_FORMAT);
    w = good;
    w[32] = 200;  // block align does not fit
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_BAD_FORMAT);
    w = good;
    w[36] = 'D';  // no data chunk
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_NO_DATA);
    w = good;
    w[12] = 'F';  // no fmt chunk
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_NO_FORMAT);
    w.assign(good.begin(), good.end() - 10);  // data chunk longer than the file
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_TRUNCATED);
    w = good;
    w[0] = 'X';
    EXPECT_EQ(compress(w), APE_ERROR_NOT_WAVE);
    EXPECT_EQ(compress({}), APE_ERROR_NOT_WAVE);
    w = good;
    std::copy_n("RF64", 4, w.begin());  // without its ds64 chunk
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_BAD_FORMAT);
    WaveSpec ext;
    ext.extensible = true;
    w = make_wave(ext, tones(100, 2, 16));
    w[44] = 3;  // float sub-format
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_UNSUPPORTED);
    // millions of empty chunks: refused, not walked for minutes
    w.assign(good.begin(), good.begin() + 12);
    for (int i = 0; i < (1 << 20) + 1; ++i)
        w.insert(w.end(), {'p', 'a', 'd', ' ', 0, 0, 0, 0});
    w.insert(w.end(), good.begin() + 12, good.end());
    EXPECT_EQ(compress(w), APE_ERROR_WAVE_BAD_FORMAT);
}
