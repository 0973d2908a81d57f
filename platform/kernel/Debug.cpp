#include "KernelDebug.h"

#include <cstdio>

void debugger(const char* message)
{
    std::fprintf(stderr, "debugger: %s\n", message != nullptr ? message : "");
}
