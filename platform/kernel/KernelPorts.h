// Kernel kit: ports.
#pragma once

#include <SupportDefs.h>
