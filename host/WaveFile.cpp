#include "WaveFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool write_all(int fd, const void* data, size_t size)
{
    const uint8* at = static_cast<const uint8*>(data);
    while (size > 0) {
        ssize_t n = write(fd, at, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        at += n;
        size -= size_t(n);
    }
    return true;
}

std::string error_text()
{
    return strerror(errno);
}

}  // namespace

TWaveWriter::~TWaveWriter()
{
    Abandon();
}

void TWaveWriter::Abandon()
{
    if (fFd >= 0) {
        close(fFd);
        unlink(fTemporary.c_str());
    }
    fFd = -1;
}

bool TWaveWriter::Open(const std::string& path, uint32 sampleRate, int32 channels, int32 bytesPerSample,
    std::string* why)
{
    Abandon();
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        *why = path + ": exists already";
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A new file beside the destination, with the usual permissions.
    for (int attempt = 0; fFd < 0 && attempt < 100; attempt++) {
        fTemporary = (slash == std::string::npos ? "" : folder) + "." + name + "." + std::to_string(getpid())
            + "-" + std::to_string(attempt);
        fFd = open(fTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fFd < 0 && errno != EEXIST)
            break;
    }
    if (fFd < 0) {
        *why = folder + ": " + error_text();
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
    if (!write_all(fFd, room.data(), room.size())) {
        *why = path + ": " + error_text();
        Abandon();
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
    if (!write_all(fFd, data, size)) {
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
    bool ok = ((fDataBytes & 1) == 0 || write_all(fFd, &pad, 1)) && pwrite(fFd, header.data(), header.size(), 0) == ssize_t(header.size())
        && fsync(fFd) == 0;
    if (ok && renameat2(AT_FDCWD, fTemporary.c_str(), AT_FDCWD, fPath.c_str(), RENAME_NOREPLACE) != 0) {
        // Where the file system cannot rename that way, a link does the
        // same.
        ok = errno == EINVAL && link(fTemporary.c_str(), fPath.c_str()) == 0;
        if (ok)
            unlink(fTemporary.c_str());
    }
    if (!ok) {
        *why = fPath + ": " + (errno == EEXIST ? std::string("exists already") : error_text());
        Abandon();
        return false;
    }
    close(fFd);
    fFd = -1;
    return true;
}
