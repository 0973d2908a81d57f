// The add-on's identity, the records the player reads, and the entry
// points it reaches through them.
#include <AppIdentity.h>
#include <PlayerInterface.h>

#include "APEDecoder.h"
#include "OrvaneAbout.h"
#include "SPAPEAppPrivacy.h"

const char gAppName[] = "APE (Monkey's Audio) decoder";
const char gAppVer[] = "Ver 1.62";
const char gCright[] = SUITE_COPYRIGHT;
const char gAppAuthorE[] = "VELMOR";
const char gAppAuthorJ[] = "\xEF\xBC\xB6\xEF\xBC\xA5\xEF\xBC\xAC\xEF\xBC\xAD\xEF\xBC\xAF\xEF\xBC\xB2";  // ＶＥＬＭＯＲ
const char gAppSignature[] = "application/x-vnd.VELMOR-SoundPlayOrvane";

namespace {

const decoder_table* instantiate_plugin(void** data, const char* fileName, const char*, uint32_t,
    plugin_info*);
void destroy_plugin(const decoder_table*, void* data);

int32_t decoder_info(void* data, file_info* info)
{
    return static_cast<TAPEDecoder*>(data)->Info(info);
}

int32_t decoder_read(void* data, char* buffer, uint32_t size)
{
    return int32_t(static_cast<TAPEDecoder*>(data)->Read(buffer, size));
}

int32_t decoder_seek(void* data, uint32_t frame)
{
    return static_cast<TAPEDecoder*>(data)->Seek(frame);
}

int64_t decoder_position(void* data)
{
    return static_cast<TAPEDecoder*>(data)->Position();
}

// All constant-initialised: ready before any constructor of the add-on
// runs, whatever the order of static initialisation.
constinit plugin_descriptor gPluginDesc = {
    PLUGIN_DESCRIPTOR_MAGIC,
    PLUGIN_DESCRIPTOR_VERSION,
    gAppSignature,
    0,
    PLUGIN_KIND_DECODER,
    gAppName,
    "by VELMOR\n\nUses Lib Monkey's Audio",
    about_plugin,
    nullptr,
    instantiate_plugin,
    destroy_plugin,
};

constinit plugin_descriptor* gPlugins[] = {&gPluginDesc, nullptr};

constinit supported_type gSupportedTypes[] = {
    {"audio/x-ape", "Monkey's Audio Sound File", "Monkey's Audio Sound File", "ape", "APE"},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

constinit const decoder_table gDPOps = {
    DECODER_TABLE_MAGIC,
    DECODER_TABLE_VERSION,
    {nullptr, nullptr},
    decoder_info,
    decoder_read,
    {nullptr, nullptr, nullptr, nullptr},
    decoder_seek,
    decoder_position,
    nullptr,
};

// The file is taken exactly when the codec library can open it; the
// header bytes the player offers are not looked at.
const decoder_table* instantiate_plugin(void** data, const char* fileName, const char*, uint32_t,
    plugin_info*)
{
    if (init_if_needed() != 0)
        return nullptr;
    TAPEDecoder* decoder = new TAPEDecoder(fileName);
    if (decoder->InitCheck() != 0) {
        delete decoder;
        return nullptr;
    }
    *data = decoder;
    return &gDPOps;
}

void destroy_plugin(const decoder_table*, void* data)
{
    delete static_cast<TAPEDecoder*>(data);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) plugin_descriptor** get_plugin_list()
{
    return gPlugins;
}

__attribute__((visibility("default"))) supported_type* get_supported_types()
{
    return gSupportedTypes;
}

}
