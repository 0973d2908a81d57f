#include <new>
#include <vector>

#include "ApeReader.h"
#include "Checksum.h"
#include "Coding.h"
#include "Files.h"
#include "MonkeysAudioLib.h"
#include "Pcm.h"

namespace monkeys {

int decompress_file(const char* apePath, const char* wavePath, Progress& progress)
{
    if (!apePath || (wavePath && !*wavePath))
        return APE_ERROR_BAD_ARGUMENT;
    FileHandle in;
    struct stat st;
    int rc = open_source(apePath, in, st);
    if (rc != APE_OK)
        return rc;
    OutputFile out;
    if (wavePath && (rc = out.create(wavePath, st)) != APE_OK)
        return rc;
    ApeReader reader;
    if ((rc = reader.open(in.get(), uint64_t(st.st_size))) != APE_OK)
        return rc;
    const FileHeader& h = reader.header();
    const int outFd = wavePath ? out.fd() : -1;

    progress.update(0, h.frameCount);
    uint32_t crc = 0;
    if ((rc = copy_range(in.get(), h.waveHeaderOffset, h.waveHeaderSize, crc, outFd)) != APE_OK)
        return rc;
    if (!check_matches(h.waveHeaderCrc, crc))
        return APE_ERROR_WAVE_PARTS_CRC;

    std::vector<int32_t> samples;
    std::vector<uint8_t> pcm;
    try {
        samples.resize(reader.frameSamples());
        pcm.resize(reader.frameSamples() * (h.bitsPerSample / 8));
    } catch (const std::bad_alloc&) {
        return APE_ERROR_NO_MEMORY;
    }
    Md5 md5;
    for (uint64_t i = 0; i < h.frameCount; ++i) {
        if (progress.killed())
            return APE_ERROR_KILLED;
        if ((rc = reader.decodeFrame(i, samples.data())) != APE_OK)
            return rc;
        size_t count = size_t(h.frameBlocks(i)) * h.channels;
        samples_to_pcm(samples.data(), h.bitsPerSample, count, pcm.data());
        size_t bytes = count * (h.bitsPerSample / 8);
        md5.update(pcm.data(), bytes);
        if (outFd >= 0 && (rc = write_all(outFd, pcm.data(), bytes)) != APE_OK)
            return rc;
        progress.update(i + 1, h.frameCount);
    }
    if (md5.finish() != h.md5)
        return APE_ERROR_MD5;

    crc = 0;
    if ((rc = copy_range(in.get(), h.trailerOffset, h.trailerSize, crc, outFd)) != APE_OK)
        return rc;
    if (!check_matches(h.trailerCrc, crc))
        return APE_ERROR_WAVE_PARTS_CRC;
    if (wavePath && (rc = out.commit()) != APE_OK)
        return rc;
    progress.finish();
    return APE_OK;
}

} // namespace monkeys
