// The roster keeps one record file per running application, "app-<pid>",
// in the user's private port folder:
//
//   signature\n team\n port\n thread\n flags\n
//
// replaced whole. A record whose port is gone (or belongs to another
// process) is stale and removed when met.
#include "Roster.h"
#include "Application.h"
#include "Message.h"
#include "MessagePrivate.h"
#include "Messenger.h"
#include "RosterPrivate.h"

#include <EntryRef.h>
#include <FileIO.h>
#include <ReplacementFile.h>

#include <KernelPrivate.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const BRoster gRoster;

// How long Broadcast waits for room in one application's port.
constexpr bigtime_t kBroadcastTimeout = 2000000;

std::string record_path(const std::string& folder, team_id team)
{
    return folder + "/app-" + std::to_string(team);
}

bool read_record(const std::string& path, app_info* info)
{
    std::ifstream in(path);
    std::string signature;
    long team = -1, port = -1, thread = -1;
    unsigned long flags = 0;
    if (!std::getline(in, signature) || !(in >> team >> port >> thread >> flags))
        return false;
    if (signature.empty() || signature.size() >= B_MIME_TYPE_LENGTH || team <= 0 || port < 0)
        return false;
    *info = app_info();
    strncpy(info->signature, signature.c_str(), B_MIME_TYPE_LENGTH - 1);
    info->team = static_cast<team_id>(team);
    info->port = static_cast<port_id>(port);
    info->thread = static_cast<thread_id>(thread);
    info->flags = static_cast<uint32>(flags);
    return true;
}

bool find_app(const char* signature, team_id team, app_info* info)
{
    for (const app_info& app : roster_private::running_applications()) {
        if ((signature == nullptr || strcasecmp(app.signature, signature) == 0)
            && (team < 0 || app.team == team)) {
            *info = app;
            return true;
        }
    }
    return false;
}

// xdg-open from PATH, or empty.
std::string find_opener()
{
    const char* path = getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty())
            continue;
        std::string candidate = folder + "/xdg-open";
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return std::string();
}

} // namespace

const BRoster* be_roster = &gRoster;

app_info::app_info() : thread(-1), team(-1), port(-1), flags(0)
{
    memset(signature, 0, sizeof signature);
}

status_t roster_private::register_application(const char* signature, port_id port,
                                              thread_id thread, uint32 flags)
{
    std::string folder = kernel_private::runtime_folder();
    if (folder.empty())
        return B_PERMISSION_DENIED;
    std::ostringstream record;
    record << signature << '\n'
           << getpid() << '\n'
           << port << '\n'
           << thread << '\n'
           << flags << '\n';
    const std::string text = record.str();
    return replace_file(record_path(folder, getpid()).c_str(), text.data(), text.size(), 0600);
}

void roster_private::unregister_application()
{
    std::string folder = kernel_private::runtime_folder();
    if (!folder.empty())
        unlink(record_path(folder, getpid()).c_str());
}

std::vector<app_info> roster_private::running_applications()
{
    std::vector<app_info> apps;
    std::string folder = kernel_private::runtime_folder();
    if (folder.empty())
        return apps;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return apps;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name.rfind("app-", 0) == 0 && name.find('.') == std::string::npos)
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        std::string path = folder + "/" + name;
        app_info info;
        if (!read_record(path, &info))
            continue;
        port_info port;
        status_t status = get_port_info(info.port, &port);
        if ((status == B_OK && port.team == info.team) || status == B_TIMED_OUT)
            apps.push_back(info);   // live, or too busy to say: not dead
        else if (status == B_BAD_PORT_ID || status == B_OK)
            unlink(path.c_str());
    }
    return apps;
}

BRoster::BRoster() {}
BRoster::~BRoster() {}

bool BRoster::IsRunning(const char* signature) const
{
    app_info info;
    return signature != nullptr && find_app(signature, -1, &info);
}

team_id BRoster::TeamFor(const char* signature) const
{
    app_info info;
    status_t status = GetAppInfo(signature, &info);
    return status == B_OK ? info.team : status;
}

status_t BRoster::GetAppInfo(const char* signature, app_info* info) const
{
    if (signature == nullptr || info == nullptr)
        return B_BAD_VALUE;
    return find_app(signature, -1, info) ? status_t(B_OK) : status_t(B_ERROR);
}

status_t BRoster::GetRunningAppInfo(team_id team, app_info* info) const
{
    if (info == nullptr)
        return B_BAD_VALUE;
    return find_app(nullptr, team, info) ? status_t(B_OK) : status_t(B_BAD_TEAM_ID);
}

status_t BRoster::Broadcast(BMessage* message) const
{
    return Broadcast(message, BMessenger());
}

status_t BRoster::Broadcast(BMessage* message, BMessenger replyTo) const
{
    if (message == nullptr)
        return B_BAD_VALUE;
    for (const app_info& app : roster_private::running_applications()) {
        BMessenger target = MessageRouting::ApplicationMessenger(app.team, app.port);
        target.SendMessage(message, replyTo, kBroadcastTimeout);
    }
    return B_OK;
}

status_t BRoster::Launch(const char* mimeType, BMessage* initialMessage, team_id* appTeam) const
{
    if (mimeType == nullptr)
        return B_BAD_VALUE;
    app_info info;
    if (!find_app(mimeType, -1, &info))
        return B_LAUNCH_FAILED_APP_NOT_FOUND;
    if (initialMessage != nullptr)
        BMessenger(mimeType, info.team).SendMessage(initialMessage);
    if (appTeam != nullptr)
        *appTeam = info.team;
    return B_ALREADY_RUNNING;
}

status_t BRoster::Launch(const entry_ref* ref, const BMessage*, team_id* appTeam) const
{
    if (ref == nullptr)
        return B_BAD_VALUE;
    std::string path;
    status_t status = get_path_for_ref(ref, &path);
    if (status != B_OK)
        return status;
    return LaunchDocument(path.c_str(), appTeam);
}

status_t BRoster::LaunchDocument(const char* path, team_id* appTeam) const
{
    if (path == nullptr || path[0] == '\0')
        return B_BAD_VALUE;
    struct stat st;
    if (stat(path, &st) != 0)
        return B_ENTRY_NOT_FOUND;
    std::string opener = find_opener();
    if (opener.empty())
        return B_LAUNCH_FAILED_NO_PREFERRED_APP;

    // The opener runs detached (a grandchild, so no zombie is left behind);
    // a pipe that closes on exec tells whether it could be started.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return B_LAUNCH_FAILED;
    const char* argv[] = {opener.c_str(), path, nullptr};
    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return B_LAUNCH_FAILED;
    }
    if (child == 0) {
        close(report[0]);
        if (fork() == 0) {
            setsid();
            int devNull = open("/dev/null", O_RDONLY);
            if (devNull >= 0) {
                dup2(devNull, 0);
                close(devNull);
            }
            execv(argv[0], const_cast<char* const*>(argv));
            int error = errno;
            (void)!write(report[1], &error, sizeof error);
            _exit(127);
        }
        _exit(0);
    }
    close(report[1]);
    int status;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n = read_fully(report[0], &error, sizeof error);
    close(report[0]);
    if (n > 0)
        return B_LAUNCH_FAILED;
    if (appTeam != nullptr)
        *appTeam = -1;
    return B_OK;
}
