// Kernel kit: threads.
#pragma once

#include <SupportDefs.h>
