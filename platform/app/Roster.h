// App kit: BRoster, what knows the running applications of this user.
//
// Every BApplication is registered from its construction to its
// destruction, with its signature, process, port and main thread; the
// records are files in the user's private port folder, and records of
// applications that ended without saying so are recognised (their port is
// dead) and removed. Broadcast reaches every registered application,
// the calling one included, in this process or another.
#pragma once

#include <SupportDefs.h>
#include <KernelThreads.h>
#include <KernelPorts.h>

class BMessage;
class BMessenger;
struct entry_ref;

#ifndef B_MIME_TYPE_LENGTH
#define B_MIME_TYPE_LENGTH 241
#endif

// Launch flags.
enum {
    B_SINGLE_LAUNCH = 0x0,
    B_MULTIPLE_LAUNCH = 0x1,
    B_EXCLUSIVE_LAUNCH = 0x2,
    B_LAUNCH_MASK = 0x3,
    B_BACKGROUND_APP = 0x4,
    B_ARGV_ONLY = 0x8,
};

struct app_info {
    app_info();

    thread_id thread;
    team_id team;
    port_id port;
    uint32 flags;
    char signature[B_MIME_TYPE_LENGTH];
};

class BRoster {
public:
    BRoster();
    ~BRoster();

    bool IsRunning(const char* signature) const;
    // The first running application of that signature; B_ERROR when none.
    team_id TeamFor(const char* signature) const;
    // B_BAD_VALUE for no signature, B_ERROR when none runs.
    status_t GetAppInfo(const char* signature, app_info* info) const;
    // B_BAD_TEAM_ID when that process runs no application.
    status_t GetRunningAppInfo(team_id team, app_info* info) const;

    // A copy to every running application (to its preferred handler).
    // Applications whose port stays full for 2 seconds are skipped.
    status_t Broadcast(BMessage* message) const;
    status_t Broadcast(BMessage* message, BMessenger replyTo) const;

    // The application of that signature, when it runs, gets the initial
    // message (if any) and the answer is B_ALREADY_RUNNING, as for a
    // single-launch application: the roster only knows applications while
    // they run. Otherwise B_LAUNCH_FAILED_APP_NOT_FOUND.
    status_t Launch(const char* mimeType, BMessage* initialMessage = NULL,
                    team_id* appTeam = NULL) const;
    // Opens a document with its preferred application, through xdg-open:
    // B_OK once that has started, B_ENTRY_NOT_FOUND for a missing document,
    // B_LAUNCH_FAILED_NO_PREFERRED_APP without xdg-open, B_LAUNCH_FAILED
    // when it cannot be started. What the opener does then is its own
    // affair: the caller does not wait for it, its team is not known
    // (*appTeam is -1), and the initial message is not delivered.
    status_t Launch(const entry_ref* ref, const BMessage* initialMessage = NULL,
                    team_id* appTeam = NULL) const;

private:
    status_t LaunchDocument(const char* path, team_id* appTeam) const;
};

extern const BRoster* be_roster;
