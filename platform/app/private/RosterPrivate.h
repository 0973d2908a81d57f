// The roster's records of running applications; not part of the BeOS
// interface.
#pragma once

#include <Roster.h>

#include <vector>

namespace roster_private {

// Writes this process's record (one application per process).
status_t register_application(const char* signature, port_id port, thread_id thread, uint32 flags);
void unregister_application();
// The running applications, oldest record first; dead ones are removed.
std::vector<app_info> running_applications();

} // namespace roster_private
