// Free helper functions of the toolkit: the text helpers (MiscTextUtils.h,
// no window system needed) and the window helpers (MiscWindowUtils.h).
#pragma once

#include "MiscTextUtils.h"
#include "MiscWindowUtils.h"
