// TWaveWriter: a PCM WAVE file written beside its final name and put in
// place only once complete, never over an existing file, so a failed run
// leaves no partial output.
#pragma once

#include <ReplacementFile.h>
#include <SupportDefs.h>

#include <string>

class TWaveWriter {
public:
    // An unfinished file is abandoned with the object.
    TWaveWriter() = default;
    TWaveWriter(const TWaveWriter&) = delete;
    TWaveWriter& operator=(const TWaveWriter&) = delete;

    // Interleaved little-endian samples of bytesPerSample bytes (8-bit
    // ones unsigned). False, with the reason, when the destination exists
    // or its folder cannot be written.
    bool Open(const std::string& path, uint32 sampleRate, int32 channels, int32 bytesPerSample,
        std::string* why);
    bool Write(const void* data, size_t size, std::string* why);
    // Writes the header and puts the file in place.
    bool Finish(std::string* why);
    uint64 DataBytes() const { return fDataBytes; }

private:
    BReplacementFile fFile;
    std::string fPath;
    uint32 fSampleRate = 0;
    int32 fChannels = 0;
    int32 fBytesPerSample = 0;
    uint64 fDataBytes = 0;
};
