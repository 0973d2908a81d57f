// Kernel kit: system_time and snooze.
#pragma once

#include <SupportDefs.h>
