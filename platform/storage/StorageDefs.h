// Storage kit: common definitions.
#pragma once

#include <SupportDefs.h>

#include <climits>

#define B_PATH_NAME_LENGTH PATH_MAX
#define B_FILE_NAME_LENGTH NAME_MAX
