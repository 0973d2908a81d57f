// Storage kit: icon sizes and the limits of type names.
#pragma once

#include <SupportDefs.h>

enum icon_size {
    B_LARGE_ICON = 32,
    B_MINI_ICON = 16,
};

#ifndef B_MIME_TYPE_LENGTH
#define B_MIME_TYPE_LENGTH 241
#endif
