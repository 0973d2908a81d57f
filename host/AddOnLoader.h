// Decoder add-ons loaded the way the player loads them: the add-on file by
// its path, its two exports by name (get_plugin_list,
// get_supported_types), the descriptors and supported types read and
// checked, files opened through each decoder plug-in's instantiate
// function and then read, sought, described and closed through the
// decoder table it returns. This library is the one place that knows the
// player interface; its users see only the classes below.
//
// An add-on is untrusted in what it reports: records with the wrong type
// code or version, or without the functions a decoder needs, are refused
// when the add-on is loaded or a file is opened. The calls themselves run
// the add-on's code in this process, on the caller's thread.
#pragma once

#include <SupportDefs.h>
#include <image.h>

#include <memory>
#include <string>
#include <vector>

// What a decoder reports about its file.
struct TAudioFileInfo {
    std::string title;             // display title; may be empty
    std::string typeDescription;   // e.g. "Monkey's Audio"
    std::string mimeType;
    float sampleRate = 0;
    float bitsPerSample = 0;
    int32 channels = 0;
    int32 framesPerRead = 0;       // frames the add-on decodes at a time
    int32 frames = 0;              // length in frames, low 32 bits
    int32 bytesPerSample = 0;
    int32 seekable = 0;
    int32 littleEndian = 0;
    int64 reserved = 0;

    // Bytes of one frame (one sample of every channel); 0 when the record
    // makes no sense.
    uint32 FrameSize() const;
};

struct TSupportedType {
    std::string mimeType;
    std::string longDescription;
    std::string shortDescription;
    std::vector<std::string> extensions;
};

struct TPlugin {
    std::string id;         // the add-on's application signature
    std::string name;       // display name
    std::string aboutText;
    uint32 kind = 0;        // 1: a decoder
    bool hasAbout = false;
};

class TPlayerAddOn;

// One open file, between the add-on's instantiate and destroy functions.
class TAddOnDecoder {
public:
    ~TAddOnDecoder();
    TAddOnDecoder(const TAddOnDecoder&) = delete;
    TAddOnDecoder& operator=(const TAddOnDecoder&) = delete;

    const std::shared_ptr<TPlayerAddOn>& AddOn() const { return fAddOn; }
    int32 PluginIndex() const { return fPlugin; }

    // decoder_info.
    TAudioFileInfo Info();
    // decoder_read: whole frames copied into buffer (at most size bytes
    // written); 0 at the end of the data.
    int32 Read(void* buffer, uint32 size);
    // decoder_seek; B_UNSUPPORTED when the add-on cannot seek.
    int32 Seek(uint32 frame);
    bool CanSeek() const;
    // decoder_position; -1 when the add-on does not tell.
    int64 Position();

private:
    friend class TPlayerAddOn;
    TAddOnDecoder(std::shared_ptr<TPlayerAddOn> addOn, int32 plugin, const void* descriptor,
        const void* table, void* data);

    std::shared_ptr<TPlayerAddOn> fAddOn;
    int32 fPlugin;
    const void* fDescriptor;
    const void* fTable;
    void* fData;
};

// One loaded add-on file. It is unloaded when the last reference goes,
// unless its about box was shown (windows of the add-on may still run).
class TPlayerAddOn : public std::enable_shared_from_this<TPlayerAddOn> {
public:
    // Null, with the reason in *why, when the file cannot be loaded, lacks
    // an export, or offers no valid descriptor.
    static std::shared_ptr<TPlayerAddOn> Load(const std::string& path, std::string* why);
    ~TPlayerAddOn();
    TPlayerAddOn(const TPlayerAddOn&) = delete;
    TPlayerAddOn& operator=(const TPlayerAddOn&) = delete;

    const std::string& Path() const { return fPath; }
    const std::vector<TPlugin>& Plugins() const { return fPlugins; }
    const std::vector<TSupportedType>& SupportedTypes() const { return fTypes; }
    // The type whose extensions include the file's (in any case), or null.
    const TSupportedType* TypeForFile(const std::string& file) const;

    // Calls the plug-in's about function; false when it has none.
    bool About(int32 plugin = 0);

    // Offers the file to each decoder plug-in in turn, with its first
    // bytes as the header; null when none takes it.
    std::unique_ptr<TAddOnDecoder> Open(const std::string& file);

private:
    TPlayerAddOn() = default;

    std::string fPath;
    image_id fImage = -1;
    bool fAboutShown = false;
    std::vector<const void*> fDescriptors;
    std::vector<TPlugin> fPlugins;
    std::vector<TSupportedType> fTypes;
};

// Every add-on in a folder, loaded in name order.
class TAddOnFolder {
public:
    explicit TAddOnFolder(const std::string& folder);
    // The add-ons of each folder in turn; a file named as one loaded from
    // an earlier folder is left out (a user's own add-ons come first), and
    // folders that do not exist are passed over while another one does.
    explicit TAddOnFolder(const std::vector<std::string>& folders);

    const std::vector<std::shared_ptr<TPlayerAddOn>>& AddOns() const { return fAddOns; }
    // The files that could not be loaded, each with its reason.
    const std::vector<std::string>& Failures() const { return fFailures; }

    // Offers the file to the add-ons whose types name its extension first,
    // then to the others; null when none takes it.
    std::unique_ptr<TAddOnDecoder> Open(const std::string& file) const;

private:
    std::vector<std::shared_ptr<TPlayerAddOn>> fAddOns;
    std::vector<std::string> fFailures;
};
