// Kernel kit: debugger, where a kit reports a use of its classes that
// breaks their rules (a filter installed twice, a view given two parents).
#pragma once

#include <SupportDefs.h>

// Writes "debugger: <message>" on standard error and returns; there is no
// debugger to stop in, and the kit that calls it refuses the request.
void debugger(const char* message);
