// One APE file read through the codec library's decompressor on a stream
// (the element's sink pad): its format, its exact length in frames, its tag
// fields, its PCM and sample-exact seeks. Nothing here knows GStreamer.
#pragma once

#include <MonkeysAudioLib.h>
#include <SupportDefs.h>

#include <memory>
#include <string>

// Why a file could not be opened.
enum class TOpenFault {
    kNone,
    kNoCodecLibrary,   // libMonkeysAudio.so missing, incomplete, too old or without streams
    kUnreadable,       // the stream cannot be read
    kNotOurs,          // not an APE file of this codec
    kDamaged,          // ours, but damaged or cut short
};

struct TFileTags {
    std::string title, artist, album, comment, year, genre, track;
};

// The codec library, loaded once for the process; false with a message
// for the user when it cannot be used (tried again on the next call).
bool load_codec_library(std::string* message);

class TOrvaneFile {
public:
    // Null, with the fault and a message for the user naming the file as
    // name, when the stream cannot be played.
    static std::unique_ptr<TOrvaneFile> Open(const APEStream& stream, const std::string& name, TOpenFault* fault,
        std::string* message);
    ~TOrvaneFile();

    int32 Channels() const { return fChannels; }
    int32 BytesPerSample() const { return fBytesPerSample; }
    int32 SampleRate() const { return fSampleRate; }
    uint32 FrameSize() const { return uint32(fChannels * fBytesPerSample); }
    // The length in frames, as the file's header gives it.
    uint64 Frames() const { return fFrames; }
    // Empty where the stream cannot seek to the tag at its end.
    const TFileTags& Tags() const { return fTags; }

    // Decodes up to count frames into buffer; *got tells how many. Returns
    // the library's result, 0 on success.
    int Read(void* buffer, uint32 count, uint32* got);
    // Makes frame the next one Read decodes.
    int Seek(uint64 frame);

private:
    TOrvaneFile() = default;

    IAPEDecompress* fDecompressor = nullptr;
    int32 fChannels = 0;
    int32 fBytesPerSample = 0;
    int32 fSampleRate = 0;
    uint64 fFrames = 0;
    TFileTags fTags;
};
