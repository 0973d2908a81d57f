#include "OrvaneFile.h"

#include <Installation.h>
#include <MiscTextUtils.h>
#include <UsingLibMonkeysAudio.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

const size_t kTagFieldBytes = 4096;

std::mutex gLock;
image_id gLibrary = -1;

// "a or b", for a message that tells where a file was looked for.
std::string either(const std::vector<BString>& places)
{
    std::string text;
    for (size_t i = 0; i < places.size(); i++)
        text += std::string(i == 0 ? "" : " or ") + places[i].String();
    return text.empty() ? "nowhere (no home folder, no installation)" : text;
}

const char* const kInstallHint =
    ". Install the suite's package, or its user install (cmake --install build --prefix"
    " \"$HOME/.local\")";

// Why the codec library does not open the file.
TOpenFault library_fault(int error, const std::string& file, std::string* message)
{
    switch (error) {
    case APE_ERROR_SOURCE_NOT_FOUND:
    case APE_ERROR_SOURCE_UNREADABLE:
    case APE_ERROR_SOURCE_NOT_REGULAR:
    case APE_ERROR_READ:
        *message = file + " cannot be read";
        return TOpenFault::kUnreadable;
    case APE_ERROR_NOT_APE:
        *message = file + " is not an APE file of this codec";
        return TOpenFault::kNotOurs;
    case APE_ERROR_FOREIGN_APE:
        *message = file + " was made by another APE encoder; only files made by Fennick can be played";
        return TOpenFault::kNotOurs;
    case APE_ERROR_UNSUPPORTED_VERSION:
        *message = file + " was made by a newer version of the codec";
        return TOpenFault::kNotOurs;
    case APE_ERROR_TRUNCATED:
        *message = file + " is cut short";
        return TOpenFault::kDamaged;
    default:
        *message = file + " is damaged (the codec library cannot open it, error " + std::to_string(error) + ")";
        return TOpenFault::kDamaged;
    }
}

void read_field(CAPETag* tag, const char* field, std::string& value)
{
    char text[kTagFieldBytes];
    int size = int(sizeof text);
    if (tag == nullptr || tag->GetFieldString(field, text, &size) != 0 || size <= 0)
        return;
    text[std::min(size, int(sizeof text) - 1)] = '\0';
    // The tag tool may have stored it in Shift-JIS or JIS; GStreamer's tags are UTF-8.
    value = text_as_utf8(text);
}

}  // namespace

bool load_codec_library(std::string* message)
{
    std::lock_guard<std::mutex> lock(gLock);
    if (gLibrary >= 0)
        return true;
    const std::string path = path_name_lib_monkeys_audio().String();
    if (path.empty()) {
        *message = "The codec library libMonkeysAudio.so is missing: not at " + either(codec_library_candidates()) +
            kInstallHint;
        return false;
    }
    if (load_lib_monkeys_audio(&gLibrary) != 0) {
        *message = "The codec library " + path + " cannot be loaded";
        return false;
    }
    if (get_lib_monkeys_audio_entries(gLibrary) != 0 || check_lib_monkeys_audio_version(1.4f) != 0
        || create_iapedecompress_stream == nullptr || compress_stream == nullptr) {
        unload_lib_monkeys_audio(&gLibrary);
        *message = "The codec library " + path + " is incomplete or older than this plug-in (it cannot read streams)";
        return false;
    }
    return true;
}

std::unique_ptr<TOrvaneFile> TOrvaneFile::Open(const APEStream& stream, const std::string& name, TOpenFault* fault,
    std::string* message)
{
    *fault = TOpenFault::kNone;
    if (!load_codec_library(message)) {
        *fault = TOpenFault::kNoCodecLibrary;
        return nullptr;
    }
    int error = 0;
    IAPEDecompress* decompressor = create_iapedecompress_stream(&stream, &error);
    if (decompressor == nullptr) {
        *fault = library_fault(error, name, message);
        return nullptr;
    }
    std::unique_ptr<TOrvaneFile> file(new TOrvaneFile());
    file->fDecompressor = decompressor;
    file->fChannels = int32(decompressor->GetInfo(APE_INFO_CHANNELS));
    file->fBytesPerSample = int32(decompressor->GetInfo(APE_INFO_BITS_PER_SAMPLE) / 8);
    file->fSampleRate = int32(decompressor->GetInfo(APE_INFO_SAMPLE_RATE));
    file->fFrames = uint64(decompressor->GetInfo(APE_DECOMPRESS_TOTAL_BLOCKS));
    CAPETag* tag = reinterpret_cast<CAPETag*>(decompressor->GetInfo(APE_INFO_TAG));
    TFileTags& tags = file->fTags;
    read_field(tag, "Title", tags.title);
    read_field(tag, "Artist", tags.artist);
    read_field(tag, "Album", tags.album);
    read_field(tag, "Comment", tags.comment);
    read_field(tag, "Year", tags.year);
    read_field(tag, "Genre", tags.genre);
    read_field(tag, "Track", tags.track);
    return file;
}

TOrvaneFile::~TOrvaneFile()
{
    delete fDecompressor;
}

int TOrvaneFile::Read(void* buffer, uint32 count, uint32* got)
{
    int retrieved = 0;
    const int result = fDecompressor->GetData(static_cast<char*>(buffer), int(count), &retrieved);
    *got = uint32(retrieved);
    return result;
}

int TOrvaneFile::Seek(uint64 frame)
{
    return frame > uint64(INT32_MAX) ? int(APE_ERROR_SEEK_RANGE) : fDecompressor->Seek(int(frame));
}
