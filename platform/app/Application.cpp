#include "Application.h"
#include "Message.h"
#include "MessagePrivate.h"
#include "RosterPrivate.h"
#include "WindowList.h"

#include <KernelPrivate.h>

#include <cstring>
#include <strings.h>
#include <vector>

using kernel_private::MutexLocker;

BApplication* be_app = nullptr;
BMessenger be_app_messenger;

namespace {

port_id gApplicationPort = -1;

} // namespace

port_id app_private::application_port()
{
    MutexLocker locker(app_private::registry_lock());
    return gApplicationPort;
}

BApplication::BApplication(const char* signature)
    : BLooper("application"), fInitStatus(B_NO_INIT), fPort(-1), fReader(-1), fMainThread(-1)
{
    Init(signature);
}

BApplication::BApplication(const char* signature, status_t* error)
    : BLooper("application"), fInitStatus(B_NO_INIT), fPort(-1), fReader(-1), fMainThread(-1)
{
    Init(signature);
    if (error != nullptr)
        *error = fInitStatus;
}

// Unlike other loopers, the application is not left locked: Run may be
// called from another thread than the one that made it.
void BApplication::Init(const char* signature)
{
    while (IsLocked())
        Unlock();
    if (signature == nullptr || strncasecmp(signature, "application/", 12) != 0
        || strlen(signature) <= 12 || strlen(signature) >= B_MIME_TYPE_LENGTH) {
        fInitStatus = B_BAD_VALUE;
        return;
    }
    {
        MutexLocker locker(app_private::registry_lock());
        if (be_app != nullptr) {
            fInitStatus = B_NOT_ALLOWED;
            return;
        }
        be_app = this;
    }
    fSignature = signature;
    fMainThread = find_thread(nullptr);
    fPort = create_port(B_LOOPER_PORT_DEFAULT_CAPACITY, "AppLooperPort");
    if (fPort < 0) {
        fInitStatus = fPort;
        MutexLocker locker(app_private::registry_lock());
        be_app = nullptr;
        return;
    }
    {
        MutexLocker locker(app_private::registry_lock());
        gApplicationPort = fPort;
    }
    be_app_messenger = BMessenger(nullptr, this);
    fReader = spawn_thread(ReadPort, "app port reader", B_NORMAL_PRIORITY,
                           reinterpret_cast<void*>(static_cast<intptr_t>(fPort)));
    if (fReader >= 0)
        resume_thread(fReader);
    roster_private::register_application(fSignature.c_str(), fPort, fMainThread,
                                         B_MULTIPLE_LAUNCH);
    fInitStatus = B_OK;
}

BApplication::~BApplication()
{
    if (fInitStatus != B_OK)
        return;
    roster_private::unregister_application();
    {
        MutexLocker locker(app_private::registry_lock());
        gApplicationPort = -1;
        be_app = nullptr;
    }
    be_app_messenger = BMessenger();
    delete_port(fPort);
    if (fReader >= 0) {
        status_t ignored;
        wait_for_thread(fReader, &ignored);
    }
}

// Hands every message that comes in through the port to its handler, until
// the port is deleted. Bytes that are no message are dropped.
status_t BApplication::ReadPort(void* data)
{
    port_id port = static_cast<port_id>(reinterpret_cast<intptr_t>(data));
    std::vector<char> buffer;
    for (;;) {
        ssize_t size = port_buffer_size(port);
        if (size < 0)
            break;
        buffer.resize(static_cast<size_t>(size) + 1);
        int32 code = 0;
        ssize_t read = read_port(port, &code, buffer.data(), static_cast<size_t>(size));
        if (read < 0)
            break;
        if (code == B_MESSAGE_PORT_CODE)
            MessageRouting::DeliverFromPort(buffer.data(), read);
    }
    return B_OK;
}

thread_id BApplication::Run()
{
    if (fInitStatus != B_OK)
        return fInitStatus;
    fThread = find_thread(nullptr);
    PostMessage(B_READY_TO_RUN);
    Loop();
    return fThread;
}

void BApplication::Quit()
{
    RequestQuit();
}

bool BApplication::QuitRequested()
{
    return true;
}

void BApplication::ReadyToRun() {}

void BApplication::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (handler == this && message->what == B_READY_TO_RUN) {
        ReadyToRun();
        return;
    }
    BLooper::DispatchMessage(message, handler);
}

status_t BApplication::GetAppInfo(app_info* info) const
{
    if (info == nullptr)
        return B_BAD_VALUE;
    if (fInitStatus != B_OK)
        return fInitStatus;
    *info = app_info();
    info->thread = fMainThread;
    info->team = getpid();
    info->port = fPort;
    info->flags = B_MULTIPLE_LAUNCH;
    strncpy(info->signature, fSignature.c_str(), B_MIME_TYPE_LENGTH - 1);
    return B_OK;
}

int32 BApplication::CountWindows() const
{
    return app_private::count_windows();
}

BWindow* BApplication::WindowAt(int32 index) const
{
    return app_private::window_at(index);
}
