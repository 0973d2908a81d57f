// Kernel kit: time, threads and ports.
#pragma once

#include <SupportDefs.h>

#include "KernelTime.h"
#include "KernelThreads.h"
#include "KernelPorts.h"
