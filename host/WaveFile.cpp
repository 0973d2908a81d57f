#include "WaveFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include <LittleEndian.h>

namespace {

// The header: RIFF, fmt (WAVE_FORMAT_EXTENSIBLE beyond two channels or 16
// bits, as readers expect), data.
const size_t kPlainHeader = 44;
const size_t kExtensibleHeader = 68;

void put16(std::vector<uint8>& out, uint32 v)
{
    out.resize(out.size() + 2);
    little_endian::put16(out.data() + out.size() - 2, uint16(v));
}

void put32(std::vector<uint8>& out, uint32 v)
{
    out.resize(out.size() + 4);
    little_endian::put32(out.data() + out.size() - 4, v);
}

void put_text(std::vector<uint8>& out, const char* text)
{
    out.insert(out.end(), text, text + 4);
}

std::string error_text()
{
    return strerror(errno);
}

}  // namespace

bool TWaveWriter::Open(const std::string& path, uint32 sampleRate, int32 channels, int32 bytesPerSample,
    std::string* why)
{
    fFile.Abandon();
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        *why = path + ": exists already";
        return false;
    }
    // Beside the destination, with the usual permissions; put in place only
    // whole, and never over a file that appeared meanwhile.
    if (fFile.SetTo(path.c_str(), 0666, B_KEEP_EXISTING) != B_OK) {
        const size_t slash = path.rfind('/');
        *why = (slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1)) + ": " +
            error_text();
        return false;
    }
    fPath = path;
    fSampleRate = sampleRate;
    fChannels = channels;
    fBytesPerSample = bytesPerSample;
    fDataBytes = 0;
    const bool extensible = channels > 2 || bytesPerSample > 2;
    // Room for the header, written at the end.
    std::vector<uint8> room(extensible ? kExtensibleHeader : kPlainHeader, 0);
    if (fFile.Write(room.data(), room.size()) < 0) {
        *why = path + ": " + error_text();
        fFile.Abandon();
        return false;
    }
    return true;
}

bool TWaveWriter::Write(const void* data, size_t size, std::string* why)
{
    if (fDataBytes + size > 0xFFFFFFFFull - kExtensibleHeader) {
        *why = fPath + ": too long for a WAVE file";
        return false;
    }
    if (fFile.Write(data, size) < 0) {
        *why = fPath + ": " + error_text();
        return false;
    }
    fDataBytes += size;
    return true;
}

bool TWaveWriter::Finish(std::string* why)
{
    const bool extensible = fChannels > 2 || fBytesPerSample > 2;
    const uint32 blockAlign = uint32(fChannels * fBytesPerSample);
    std::vector<uint8> header;
    put_text(header, "RIFF");
    put32(header, uint32((extensible ? kExtensibleHeader : kPlainHeader) - 8 + fDataBytes + (fDataBytes & 1)));
    put_text(header, "WAVE");
    put_text(header, "fmt ");
    put32(header, extensible ? 40 : 16);
    put16(header, extensible ? 0xFFFE : 1);
    put16(header, uint32(fChannels));
    put32(header, fSampleRate);
    put32(header, fSampleRate * blockAlign);
    put16(header, blockAlign);
    put16(header, uint32(fBytesPerSample * 8));
    if (extensible) {
        put16(header, 22);
        put16(header, uint32(fBytesPerSample * 8));
        put32(header, 0);   // no speaker positions
        // KSDATAFORMAT_SUBTYPE_PCM
        const uint8 pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        header.insert(header.end(), pcm, pcm + 16);
    }
    put_text(header, "data");
    put32(header, uint32(fDataBytes));
    const uint8 pad = 0;
    status_t status = (fDataBytes & 1) == 0 || fFile.Write(&pad, 1) == 1 ? B_OK : B_IO_ERROR;
    if (status == B_OK && fFile.WriteAt(0, header.data(), header.size()) < 0)
        status = B_IO_ERROR;
    if (status == B_OK)
        status = fFile.Commit();
    if (status != B_OK) {
        *why =
            fPath + ": " + (status == B_FILE_EXISTS ? std::string("exists already") : error_text());
        fFile.Abandon();
        return false;
    }
    return true;
}
