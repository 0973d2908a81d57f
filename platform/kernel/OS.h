// Kernel kit: time, threads, ports and debugger.
#pragma once

#include <SupportDefs.h>

#include "KernelDebug.h"
#include "KernelTime.h"
#include "KernelThreads.h"
#include "KernelPorts.h"
