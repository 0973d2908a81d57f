// Kernel kit: add-on images, on the dynamic loader.
#pragma once

#include <SupportDefs.h>

#include <climits>

typedef int32 image_id;
typedef int32 team_id;

enum {
    B_SYMBOL_TYPE_DATA = 0x1,
    B_SYMBOL_TYPE_TEXT = 0x2,
    B_SYMBOL_TYPE_ANY = 0x5,
};

typedef enum {
    B_APP_IMAGE = 1,
    B_LIBRARY_IMAGE,
    B_ADD_ON_IMAGE,
    B_SYSTEM_IMAGE,
} image_type;

typedef struct {
    image_id id;
    image_type type;
    int32 sequence;
    int32 init_order;
    void (*init_routine)();
    void (*term_routine)();
    dev_t device;
    ino_t node;
    char name[PATH_MAX];   // absolute path of the image file
    void* text;            // where its code is mapped, text_size bytes
    void* data;            // where its writable data is mapped, data_size bytes
    int32 text_size;
    int32 data_size;
} image_info;

// Loads a shared object with every symbol resolved at once and its symbols
// kept local to it. Returns the image's id (> 0), or a negative status:
// B_BAD_VALUE for a null or empty path, B_ENTRY_NOT_FOUND when there is no
// such file, B_NOT_AN_EXECUTABLE when it cannot be loaded.
image_id load_add_on(const char* path);

// B_OK, or B_BAD_IMAGE_ID for an id that is not a loaded add-on.
status_t unload_add_on(image_id image);

// Looks a symbol up in the image itself (not in the libraries it depends
// on). B_SYMBOL_TYPE_TEXT accepts only functions, B_SYMBOL_TYPE_DATA only
// objects. *location is written only on success. B_BAD_IMAGE_ID,
// B_BAD_VALUE, or B_MISSING_SYMBOL when there is no such symbol of that type.
status_t get_image_symbol(image_id image, const char* name, int32 symbolType, void** location);

// Walks the images mapped into this process (team 0 or this process's id),
// the program first. *cookie starts at 0. Copies at most size bytes of the
// record. B_OK, B_BAD_VALUE (size too small for the record's fixed part), or
// B_BAD_INDEX after the last image.
status_t _get_next_image_info(team_id team, int32* cookie, image_info* info, size_t size);
#define get_next_image_info(team, cookie, info) \
    _get_next_image_info((team), (cookie), (info), sizeof(*(info)))

// The record of one image of this process, as the walk above gives it.
// B_OK, B_BAD_VALUE, or B_BAD_IMAGE_ID when no mapped image has that id.
status_t _get_image_info(image_id image, image_info* info, size_t size);
#define get_image_info(image, info) _get_image_info((image), (info), sizeof(*(info)))
