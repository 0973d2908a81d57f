// Storage kit: what an attribute is.
#pragma once

#include <SupportDefs.h>

#include <sys/types.h>

// The longest attribute name, with its terminating NUL.
#define B_ATTR_NAME_LENGTH 256

struct attr_info {
    uint32 type;
    off_t size;
};
