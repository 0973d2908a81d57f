// The records a decoder add-on and the player that loads it exchange.
//
// The add-on exports two functions by name, get_plugin_list and
// get_supported_types; the player reaches everything else through the
// addresses held in the descriptor and in the decoder table. The records
// keep the order, type codes and versions of their 32-bit forms; every
// word that holds an address is as wide as a pointer, so the layouts
// differ between 32- and 64-bit systems, and an add-on and its player
// must be built for the same one. file_info is the exception: its offsets
// are the same everywhere and are checked below.
//
// Only the add-on (plugin/) and the player's add-on loader (host/)
// include this header. docs/player-interface.md describes it.
#pragma once

#include <cstddef>
#include <cstdint>

struct file_info;
// The player's own record about itself; decoder add-ons do not read it
// and a player may pass null.
struct plugin_info;
struct decoder_table;

// 'desc' and 'inpt', most significant byte first.
const uint32_t PLUGIN_DESCRIPTOR_MAGIC = 0x64657363;
const uint32_t PLUGIN_DESCRIPTOR_VERSION = 3;
const uint32_t DECODER_TABLE_MAGIC = 0x696e7074;
const uint32_t DECODER_TABLE_VERSION = 3;
// plugin_descriptor::kind of an add-on that decodes files.
const uint32_t PLUGIN_KIND_DECODER = 1;

typedef void plugin_about_hook();
typedef void plugin_configure_hook();
// The decoder table and, in *data, the add-on's object for the file; null
// when the add-on does not take the file. header holds the file's first
// size bytes (an add-on may decide by them or by opening the file).
typedef const decoder_table* plugin_instantiate_hook(void** data, const char* fileName,
    const char* header, uint32_t size, plugin_info* info);
// Ends what instantiate began; a null data does nothing.
typedef void plugin_destroy_hook(const decoder_table* table, void* data);

struct plugin_descriptor {
    uint32_t magic;                        // PLUGIN_DESCRIPTOR_MAGIC
    uint32_t version;                      // PLUGIN_DESCRIPTOR_VERSION
    const char* id;                        // application signature of the add-on
    uint32_t flags;                        // 0
    uint32_t kind;                         // PLUGIN_KIND_DECODER
    const char* name;                      // display name (a dictionary key of the add-on)
    const char* about_text;                // a few lines about the add-on
    plugin_about_hook* about;              // shows the add-on's about box, or null
    plugin_configure_hook* configure;      // shows its settings, or null
    plugin_instantiate_hook* instantiate;
    plugin_destroy_hook* destroy;
};

// get_supported_types gives an array of these, ended by one whose five
// texts are all null.
struct supported_type {
    const char* mime_type;
    const char* long_description;
    const char* short_description;
    const char* extension1;
    const char* extension2;
};

typedef void decoder_unused_hook();
// Fills the record; 0.
typedef int32_t decoder_info_hook(void* data, file_info* info);
// Copies at most size bytes of interleaved little-endian PCM to buffer and
// answers the whole frames copied; 0 is the end of the data.
typedef int32_t decoder_read_hook(void* data, char* buffer, uint32_t size);
// Moves decoding to a frame (one sample of every channel); 0.
typedef int32_t decoder_seek_hook(void* data, uint32_t frame);
// The decoder's position in frames.
typedef int64_t decoder_position_hook(void* data);

struct decoder_table {
    uint32_t magic;                        // DECODER_TABLE_MAGIC
    uint32_t version;                      // DECODER_TABLE_VERSION
    decoder_unused_hook* unused1[2];
    decoder_info_hook* info;
    decoder_read_hook* read;
    decoder_unused_hook* unused2[4];
    decoder_seek_hook* seek;
    decoder_position_hook* position;
    decoder_unused_hook* unused3;
};

// What the player shows and needs to play a file.
struct file_info {
    char name[256];                        // display title, NUL-terminated; may be empty
    char type_description[256];            // e.g. "Monkey's Audio"
    char mime_type[256];
    float sample_rate;                     // frames a second
    float bits_per_sample;
    int32_t channels;
    int32_t frames_per_read;               // frames the add-on decodes at a time
    int32_t frames;                        // length in frames (low 32 bits)
    int32_t bytes_per_sample;
    int32_t seekable;                      // 1
    int32_t little_endian;                 // 1
    int64_t reserved;                      // 0
};

// On a 32-bit system these are the 44- and 52-byte records of old.
static_assert(sizeof(plugin_descriptor) == 4 * sizeof(uint32_t) + 7 * sizeof(void*));
static_assert(sizeof(decoder_table) == 2 * sizeof(uint32_t) + 11 * sizeof(void*));

static_assert(offsetof(file_info, name) == 0);
static_assert(offsetof(file_info, type_description) == 256);
static_assert(offsetof(file_info, mime_type) == 512);
static_assert(offsetof(file_info, sample_rate) == 768);
static_assert(offsetof(file_info, bits_per_sample) == 772);
static_assert(offsetof(file_info, channels) == 776);
static_assert(offsetof(file_info, frames_per_read) == 780);
static_assert(offsetof(file_info, frames) == 784);
static_assert(offsetof(file_info, bytes_per_sample) == 788);
static_assert(offsetof(file_info, seekable) == 792);
static_assert(offsetof(file_info, little_endian) == 796);
static_assert(offsetof(file_info, reserved) == 800);
static_assert(sizeof(file_info) == 808);

// The two exports, looked up by these names.
#define PLAYER_GET_PLUGIN_LIST "get_plugin_list"
#define PLAYER_GET_SUPPORTED_TYPES "get_supported_types"
// A null-terminated array of descriptors.
typedef plugin_descriptor** get_plugin_list_hook();
typedef supported_type* get_supported_types_hook();
