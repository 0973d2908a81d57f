// App kit: BMessenger, the address of a handler: in this process (a
// handler in a looper, or a looper's preferred handler) or in another
// process's application, reached through that application's port.
//
// Messages are copied on sending; the caller keeps its own. Local sending
// never blocks. Sending to another process waits at most `timeout` for room
// in the target's port (B_WOULD_BLOCK for a time-out of 0, B_TIMED_OUT
// otherwise). A target that has gone gives B_BAD_PORT_ID.
#pragma once

#include <SupportDefs.h>
#include <KernelThreads.h>
#include <KernelPorts.h>

class BHandler;
class BLooper;
class BMessage;

class BMessenger {
public:
    BMessenger();
    // The handler in its looper, or (handler NULL) the looper's preferred
    // handler. B_BAD_VALUE without either, B_MISMATCHED_VALUES when the
    // handler is in no looper or in another one than the one given.
    BMessenger(const BHandler* handler, const BLooper* looper = NULL, status_t* result = NULL);
    // The running application of that signature (of that team, when one
    // is given). B_BAD_VALUE when none runs, B_BAD_TEAM_ID /
    // B_MISMATCHED_VALUES for a team that does not run it.
    BMessenger(const char* signature, team_id team = -1, status_t* result = NULL);
    BMessenger(const BMessenger& other) = default;
    BMessenger& operator=(const BMessenger& other) = default;
    ~BMessenger();

    bool IsTargetLocal() const;
    // The local target and its looper; NULL for a remote or gone target.
    BHandler* Target(BLooper** looper) const;
    bool LockTarget() const;
    status_t LockTargetWithTimeout(bigtime_t timeout) const;
    bool IsValid() const;
    team_id Team() const;

    status_t SendMessage(uint32 command, BHandler* replyTo = NULL) const;
    status_t SendMessage(BMessage* message, BHandler* replyTo = NULL,
                         bigtime_t timeout = B_INFINITE_TIMEOUT) const;
    status_t SendMessage(BMessage* message, BMessenger replyTo,
                         bigtime_t timeout = B_INFINITE_TIMEOUT) const;

    bool operator==(const BMessenger& other) const;
    bool operator!=(const BMessenger& other) const { return !(*this == other); }

private:
    friend struct MessageRouting;

    team_id fTeam;
    port_id fPort;        // the application port of a remote target
    int32 fHandlerToken;  // -1: the application's preferred handler
    bool fPreferred;
};
