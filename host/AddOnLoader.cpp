#include "AddOnLoader.h"

#include <FileIO.h>
#include <PlayerInterface.h>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

// An add-on's lists are read no further than this.
const int32 kMaxPlugins = 64;
const int32 kMaxTypes = 256;
// The header bytes offered with each file.
const size_t kHeaderBytes = 4096;

std::string text_of(const char* text)
{
    return text != nullptr ? text : "";
}

// A text field of the player's record, whatever the add-on left in it.
std::string field_text(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

const plugin_descriptor* descriptor_of(const void* descriptor)
{
    return static_cast<const plugin_descriptor*>(descriptor);
}

const decoder_table* table_of(const void* table)
{
    return static_cast<const decoder_table*>(table);
}

bool usable_table(const decoder_table* table)
{
    return table != nullptr && table->magic == DECODER_TABLE_MAGIC && table->version == DECODER_TABLE_VERSION
        && table->info != nullptr && table->read != nullptr;
}

std::string extension_of(const std::string& file)
{
    const size_t slash = file.rfind('/');
    const size_t dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return file.substr(dot + 1);
}

}  // namespace

uint32 TAudioFileInfo::FrameSize() const
{
    return bytesPerSample > 0 && channels > 0 ? uint32(bytesPerSample) * uint32(channels) : 0;
}

TAddOnDecoder::TAddOnDecoder(std::shared_ptr<TPlayerAddOn> addOn, int32 plugin, const void* descriptor,
    const void* table, void* data)
    : fAddOn(std::move(addOn)),
      fPlugin(plugin),
      fDescriptor(descriptor),
      fTable(table),
      fData(data)
{
}

TAddOnDecoder::~TAddOnDecoder()
{
    descriptor_of(fDescriptor)->destroy(table_of(fTable), fData);
}

TAudioFileInfo TAddOnDecoder::Info()
{
    file_info record;
    memset(&record, 0, sizeof record);
    table_of(fTable)->info(fData, &record);
    TAudioFileInfo info;
    info.title = field_text(record.name, sizeof record.name);
    info.typeDescription = field_text(record.type_description, sizeof record.type_description);
    info.mimeType = field_text(record.mime_type, sizeof record.mime_type);
    info.sampleRate = record.sample_rate;
    info.bitsPerSample = record.bits_per_sample;
    info.channels = record.channels;
    info.framesPerRead = record.frames_per_read;
    info.frames = record.frames;
    info.bytesPerSample = record.bytes_per_sample;
    info.seekable = record.seekable;
    info.littleEndian = record.little_endian;
    info.reserved = record.reserved;
    return info;
}

int32 TAddOnDecoder::Read(void* buffer, uint32 size)
{
    return table_of(fTable)->read(fData, static_cast<char*>(buffer), size);
}

bool TAddOnDecoder::CanSeek() const
{
    return table_of(fTable)->seek != nullptr;
}

int32 TAddOnDecoder::Seek(uint32 frame)
{
    if (!CanSeek())
        return B_UNSUPPORTED;
    return table_of(fTable)->seek(fData, frame);
}

int64 TAddOnDecoder::Position()
{
    if (table_of(fTable)->position == nullptr)
        return -1;
    return table_of(fTable)->position(fData);
}

std::shared_ptr<TPlayerAddOn> TPlayerAddOn::Load(const std::string& path, std::string* why)
{
    std::string reason;
    std::shared_ptr<TPlayerAddOn> addOn(new TPlayerAddOn());
    addOn->fPath = path;
    addOn->fImage = load_add_on(path.c_str());
    void* pluginList = nullptr;
    void* supportedTypes = nullptr;
    if (addOn->fImage < 0) {
        reason = "cannot be loaded";
    } else if (get_image_symbol(addOn->fImage, PLAYER_GET_PLUGIN_LIST, B_SYMBOL_TYPE_TEXT, &pluginList) != B_OK
        || get_image_symbol(addOn->fImage, PLAYER_GET_SUPPORTED_TYPES, B_SYMBOL_TYPE_TEXT, &supportedTypes)
            != B_OK) {
        reason = "is not a player add-on (no " PLAYER_GET_PLUGIN_LIST " or " PLAYER_GET_SUPPORTED_TYPES ")";
    } else {
        plugin_descriptor** plugins = reinterpret_cast<get_plugin_list_hook*>(pluginList)();
        for (int32 i = 0; plugins != nullptr && plugins[i] != nullptr && i < kMaxPlugins; i++) {
            const plugin_descriptor* descriptor = plugins[i];
            if (descriptor->magic != PLUGIN_DESCRIPTOR_MAGIC || descriptor->version != PLUGIN_DESCRIPTOR_VERSION
                || descriptor->instantiate == nullptr || descriptor->destroy == nullptr)
                continue;
            TPlugin plugin;
            plugin.id = text_of(descriptor->id);
            plugin.name = text_of(descriptor->name);
            plugin.aboutText = text_of(descriptor->about_text);
            plugin.kind = descriptor->kind;
            plugin.hasAbout = descriptor->about != nullptr;
            addOn->fDescriptors.push_back(descriptor);
            addOn->fPlugins.push_back(plugin);
        }
        supported_type* types = reinterpret_cast<get_supported_types_hook*>(supportedTypes)();
        for (int32 i = 0; types != nullptr && i < kMaxTypes; i++) {
            const supported_type& type = types[i];
            if (type.mime_type == nullptr && type.long_description == nullptr && type.short_description == nullptr
                && type.extension1 == nullptr && type.extension2 == nullptr)
                break;
            TSupportedType entry;
            entry.mimeType = text_of(type.mime_type);
            entry.longDescription = text_of(type.long_description);
            entry.shortDescription = text_of(type.short_description);
            for (const char* extension : {type.extension1, type.extension2}) {
                if (extension != nullptr && *extension != '\0')
                    entry.extensions.push_back(extension);
            }
            addOn->fTypes.push_back(entry);
        }
        if (addOn->fPlugins.empty())
            reason = "offers no plug-in of a known kind and version";
    }
    if (!reason.empty()) {
        if (why != nullptr)
            *why = path + ": " + reason;
        return nullptr;
    }
    return addOn;
}

TPlayerAddOn::~TPlayerAddOn()
{
    // An about window of the add-on may live on; its code must stay.
    if (fImage >= 0 && !fAboutShown)
        unload_add_on(fImage);
}

const TSupportedType* TPlayerAddOn::TypeForFile(const std::string& file) const
{
    const std::string extension = extension_of(file);
    if (extension.empty())
        return nullptr;
    for (const TSupportedType& type : fTypes) {
        for (const std::string& candidate : type.extensions) {
            if (strcasecmp(candidate.c_str(), extension.c_str()) == 0)
                return &type;
        }
    }
    return nullptr;
}

bool TPlayerAddOn::About(int32 plugin)
{
    if (plugin < 0 || size_t(plugin) >= fDescriptors.size() || descriptor_of(fDescriptors[size_t(plugin)])->about == nullptr)
        return false;
    fAboutShown = true;
    descriptor_of(fDescriptors[size_t(plugin)])->about();
    return true;
}

std::unique_ptr<TAddOnDecoder> TPlayerAddOn::Open(const std::string& file)
{
    char header[kHeaderBytes];
    ssize_t headerSize = 0;
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        headerSize = read_fully(fd, header, sizeof header);
        close(fd);
    }
    if (headerSize < 0)
        headerSize = 0;
    for (size_t i = 0; i < fDescriptors.size(); i++) {
        const plugin_descriptor* descriptor = descriptor_of(fDescriptors[i]);
        if (descriptor->kind != PLUGIN_KIND_DECODER)
            continue;
        void* data = nullptr;
        const decoder_table* table
            = descriptor->instantiate(&data, file.c_str(), header, uint32(headerSize), nullptr);
        if (table == nullptr)
            continue;
        if (!usable_table(table)) {
            descriptor->destroy(table, data);
            continue;
        }
        return std::unique_ptr<TAddOnDecoder>(new TAddOnDecoder(shared_from_this(), int32(i), descriptor, table, data));
    }
    return nullptr;
}

TAddOnFolder::TAddOnFolder(const std::string& folder)
    : TAddOnFolder(std::vector<std::string> {folder})
{}

TAddOnFolder::TAddOnFolder(const std::vector<std::string>& folders)
{
    std::set<std::string> loaded;
    std::vector<std::string> missing;
    for (const std::string& folder : folders) {
        std::vector<std::string> names;
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr) {
            missing.push_back(folder + ": no such folder");
            continue;
        }
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        }
        closedir(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string path = folder + "/" + name;
            struct stat st;
            if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !loaded.insert(name).second)
                continue;
            std::string why;
            if (std::shared_ptr<TPlayerAddOn> addOn = TPlayerAddOn::Load(path, &why))
                fAddOns.push_back(std::move(addOn));
            else
                fFailures.push_back(why);
        }
    }
    if (missing.size() == folders.size())
        fFailures.insert(fFailures.end(), missing.begin(), missing.end());
}

std::unique_ptr<TAddOnDecoder> TAddOnFolder::Open(const std::string& file) const
{
    for (bool matching : {true, false}) {
        for (const std::shared_ptr<TPlayerAddOn>& addOn : fAddOns) {
            if ((addOn->TypeForFile(file) != nullptr) != matching)
                continue;
            if (std::unique_ptr<TAddOnDecoder> decoder = addOn->Open(file))
                return decoder;
        }
    }
    return nullptr;
}
