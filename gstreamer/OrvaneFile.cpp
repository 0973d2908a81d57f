#include "OrvaneFile.h"

#include <Installation.h>
#include <UsingLibMonkeysAudio.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace {

const char* const kAddOnVariable = "ORVANE_ADDON";
const char* const kAddOnFile = "Orvane.so";
const size_t kTagFieldBytes = 4096;

std::mutex gLock;
// Loaded add-ons stay loaded: their start-up, their dictionary and any
// about window live as long as the process.
std::map<std::string, std::shared_ptr<TPlayerAddOn>> gAddOns;
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

// The codec library, loaded once; a failed load is tried again with the
// next file.
bool load_library(std::string* message)
{
    std::lock_guard<std::mutex> lock(gLock);
    if (gLibrary >= 0)
        return true;
    const std::string path = path_name_lib_monkeys_audio().String();
    if (path.empty()) {
        *message = "The codec library libMonkeysAudio.so is missing: not at " +
            either(codec_library_candidates()) + kInstallHint;
        return false;
    }
    if (load_lib_monkeys_audio(&gLibrary) != 0) {
        *message = "The codec library " + path + " cannot be loaded";
        return false;
    }
    if (get_lib_monkeys_audio_entries(gLibrary) != 0 || check_lib_monkeys_audio_version(1.4f) != 0) {
        unload_lib_monkeys_audio(&gLibrary);
        *message = "The codec library " + path + " is incomplete or older than version 1.4";
        return false;
    }
    return true;
}

std::shared_ptr<TPlayerAddOn> load_add_on(const std::string& path, std::string* message)
{
    std::lock_guard<std::mutex> lock(gLock);
    auto it = gAddOns.find(path);
    if (it != gAddOns.end())
        return it->second;
    std::string why;
    std::shared_ptr<TPlayerAddOn> addOn = TPlayerAddOn::Load(path, &why);
    if (addOn == nullptr) {
        *message =
            "No usable Orvane add-on: " + why + ". Name the add-on file in " + kAddOnVariable;
        return nullptr;
    }
    gAddOns[path] = addOn;
    return addOn;
}

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
    value.assign(text, size_t(std::min(size, int(sizeof text) - 1)));
}

}  // namespace

std::string TOrvaneFile::AddOnPath()
{
    if (const char* path = getenv(kAddOnVariable); path != nullptr && *path != '\0')
        return path;
    for (const BString& folder : addon_folder_candidates()) {
        const std::string path = std::string(folder.String()) + "/" + kAddOnFile;
        if (access(path.c_str(), F_OK) == 0)
            return path;
    }
    return "";
}

std::unique_ptr<TOrvaneFile> TOrvaneFile::Open(const std::string& path, TOpenFault* fault, std::string* message)
{
    *fault = TOpenFault::kNone;
    if (!load_library(message)) {
        *fault = TOpenFault::kNoCodecLibrary;
        return nullptr;
    }
    const std::string addOnPath = AddOnPath();
    if (addOnPath.empty()) {
        std::vector<BString> places;
        for (const BString& folder : addon_folder_candidates())
            places.push_back(folder + "/" + kAddOnFile);
        *message = "The Orvane add-on is missing: not at " + either(places) + kInstallHint;
        *fault = TOpenFault::kNoAddOn;
        return nullptr;
    }
    std::shared_ptr<TPlayerAddOn> addOn = load_add_on(addOnPath, message);
    if (addOn == nullptr) {
        *fault = TOpenFault::kNoAddOn;
        return nullptr;
    }

    std::unique_ptr<TOrvaneFile> file(new TOrvaneFile());
    file->fDecoder = addOn->Open(path);
    int error = 0;
    IAPEDecompress* description = create_iapedecompress(path.c_str(), &error);
    if (description == nullptr) {
        *fault = library_fault(error, path, message);
        return nullptr;
    }
    if (file->fDecoder == nullptr) {
        delete description;
        *fault = TOpenFault::kDamaged;
        *message = "The Orvane add-on does not take " + path;
        return nullptr;
    }
    file->fFrames = uint64(description->GetInfo(APE_DECOMPRESS_TOTAL_BLOCKS));
    CAPETag* tag = reinterpret_cast<CAPETag*>(description->GetInfo(APE_INFO_TAG));
    TFileTags& tags = file->fTags;
    read_field(tag, "Title", tags.title);
    read_field(tag, "Artist", tags.artist);
    read_field(tag, "Album", tags.album);
    read_field(tag, "Comment", tags.comment);
    read_field(tag, "Year", tags.year);
    read_field(tag, "Genre", tags.genre);
    read_field(tag, "Track", tags.track);
    delete description;

    file->fInfo = file->fDecoder->Info();
    const TAudioFileInfo& info = file->fInfo;
    const bool widthOk = info.bytesPerSample >= 1 && info.bytesPerSample <= 4
        && info.bitsPerSample == float(info.bytesPerSample * 8);
    if (!widthOk || info.channels < 1 || info.channels > 64 || !(info.sampleRate >= 1)
        || info.sampleRate > float(INT32_MAX) || info.littleEndian != 1) {
        *fault = TOpenFault::kBadFormat;
        *message = "The Orvane add-on reports a format that cannot be played for " + path;
        return nullptr;
    }
    return file;
}
