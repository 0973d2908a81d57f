#include "Messenger.h"
#include "Application.h"
#include "Handler.h"
#include "Looper.h"
#include "Message.h"
#include "MessagePrivate.h"
#include "Roster.h"

#include <KernelPrivate.h>

#include <cstring>
#include <strings.h>
#include <vector>

#include <unistd.h>

using kernel_private::MutexLocker;

// --- routing

BMessenger MessageRouting::MakeMessenger(const BMessage::Address& address)
{
    BMessenger messenger;
    messenger.fTeam = address.team;
    messenger.fPort = address.port;
    messenger.fHandlerToken = address.token;
    messenger.fPreferred = address.preferred;
    return messenger;
}

BMessage::Address MessageRouting::AddressOf(const BMessenger& messenger)
{
    BMessage::Address address;
    address.team = messenger.fTeam;
    address.port = messenger.fPort;
    address.token = messenger.fHandlerToken;
    address.preferred = messenger.fPreferred;
    return address;
}

BMessenger MessageRouting::ApplicationMessenger(team_id team, port_id port)
{
    BMessenger messenger;
    messenger.fTeam = team;
    messenger.fPort = team == getpid() ? -1 : port;
    messenger.fHandlerToken = -1;
    messenger.fPreferred = true;
    return messenger;
}

void MessageRouting::SetCurrentTarget(BMessage* message, int32 token, bool preferred)
{
    message->fTargetToken = token;
    message->fTargetPreferred = preferred;
}

status_t MessageRouting::DeliverLocal(int32 token, bool preferred, const BMessage& message,
                                      const BMessage::Address& replyTo, bool remote)
{
    MutexLocker locker(app_private::registry_lock());
    BHandler* handler = token == -1 ? static_cast<BHandler*>(be_app)
                                    : app_private::handler_for_token(token);
    if (handler == nullptr)
        return B_BAD_PORT_ID;
    BLooper* looper = preferred ? dynamic_cast<BLooper*>(handler) : handler->Looper();
    if (looper == nullptr)
        return B_BAD_PORT_ID;
    BMessage* copy = new BMessage(message);
    copy->fTargetToken = preferred ? looper->fToken : handler->fToken;
    copy->fTargetPreferred = preferred;
    copy->fReplyTo = replyTo;
    copy->fFlags = (message.fFlags & kIsReply) | (remote ? kRemote : 0);
    // The registry lock keeps the looper alive while the copy is queued.
    looper->Enqueue(copy);
    return B_OK;
}

void MessageRouting::DeliverFromPort(const char* buffer, ssize_t size)
{
    BMessage message;
    if (message.Unflatten(buffer, size) != B_OK)
        return;   // not a message: nothing to deliver
    DeliverLocal(message.fTargetToken, message.fTargetPreferred, message, message.fReplyTo, true);
}

// The return address for a message without a reply handler: be_app.
BMessage::Address MessageRouting::DefaultReplyAddress()
{
    BMessage::Address address;
    MutexLocker locker(app_private::registry_lock());
    if (be_app != nullptr) {
        address.team = getpid();
        address.token = -1;
        address.preferred = true;
    }
    return address;
}

// A local return address, as another process must use it: through this
// process's application port, or none without an application.
BMessage::Address MessageRouting::ForOtherProcess(BMessage::Address address)
{
    if (address.team != getpid())
        return address;
    port_id port = app_private::application_port();
    if (port < 0)
        return BMessage::Address();
    address.port = port;
    return address;
}

// --- BMessenger

BMessenger::BMessenger() : fTeam(-1), fPort(-1), fHandlerToken(-1), fPreferred(false) {}

BMessenger::BMessenger(const BHandler* handler, const BLooper* looper, status_t* result)
    : BMessenger()
{
    status_t status = B_OK;
    if (handler == nullptr && looper == nullptr) {
        status = B_BAD_VALUE;
    } else {
        MutexLocker locker(app_private::registry_lock());
        if (handler != nullptr) {
            BLooper* owner = handler->Looper();
            if (owner == nullptr || (looper != nullptr && looper != owner)) {
                status = B_MISMATCHED_VALUES;
            } else {
                fTeam = getpid();
                fHandlerToken = handler->fToken;
            }
        } else {
            fTeam = getpid();
            fHandlerToken = looper->fToken;
            fPreferred = true;
        }
    }
    if (result != nullptr)
        *result = status;
}

BMessenger::BMessenger(const char* signature, team_id team, status_t* result) : BMessenger()
{
    app_info info;
    status_t status;
    if (signature == nullptr) {
        status = B_BAD_VALUE;
    } else if (team >= 0) {
        status = be_roster->GetRunningAppInfo(team, &info);
        if (status == B_OK && strcasecmp(info.signature, signature) != 0)
            status = B_MISMATCHED_VALUES;
    } else {
        status = be_roster->GetAppInfo(signature, &info);
        if (status != B_OK)
            status = B_BAD_VALUE;
    }
    if (status == B_OK) {
        fTeam = info.team;
        fPort = info.team == getpid() ? -1 : info.port;
        fHandlerToken = -1;
        fPreferred = true;
    }
    if (result != nullptr)
        *result = status;
}

BMessenger::~BMessenger() {}

bool BMessenger::IsTargetLocal() const
{
    return fTeam >= 0 && fTeam == getpid();
}

BHandler* BMessenger::Target(BLooper** looper) const
{
    if (looper != nullptr)
        *looper = nullptr;
    if (!IsTargetLocal())
        return nullptr;
    MutexLocker locker(app_private::registry_lock());
    BHandler* handler = fHandlerToken == -1 ? static_cast<BHandler*>(be_app)
                                            : app_private::handler_for_token(fHandlerToken);
    if (handler == nullptr)
        return nullptr;
    if (fPreferred) {
        if (looper != nullptr)
            *looper = dynamic_cast<BLooper*>(handler);
        return nullptr;
    }
    if (looper != nullptr)
        *looper = handler->Looper();
    return handler;
}

bool BMessenger::LockTarget() const
{
    return LockTargetWithTimeout(B_INFINITE_TIMEOUT) == B_OK;
}

status_t BMessenger::LockTargetWithTimeout(bigtime_t timeout) const
{
    BLooper* looper = nullptr;
    Target(&looper);
    if (looper == nullptr)
        return B_BAD_VALUE;
    // Lock() itself copes with a looper deleted in the meantime.
    return looper->LockWithTimeout(timeout);
}

bool BMessenger::IsValid() const
{
    if (IsTargetLocal()) {
        BLooper* looper = nullptr;
        Target(&looper);
        return looper != nullptr;
    }
    if (fTeam < 0 || fPort < 0)
        return false;
    port_info info;
    return get_port_info(fPort, &info) == B_OK && info.team == fTeam;
}

team_id BMessenger::Team() const
{
    return fTeam;
}

status_t BMessenger::SendMessage(uint32 command, BHandler* replyTo) const
{
    BMessage message(command);
    return SendMessage(&message, replyTo);
}

status_t BMessenger::SendMessage(BMessage* message, BHandler* replyTo, bigtime_t timeout) const
{
    BMessenger replyMessenger;
    if (replyTo != nullptr)
        replyMessenger = BMessenger(replyTo);
    return SendMessage(message, replyMessenger, timeout);
}

status_t BMessenger::SendMessage(BMessage* message, BMessenger replyTo, bigtime_t timeout) const
{
    if (message == nullptr)
        return B_BAD_VALUE;
    if (fTeam < 0)
        return B_BAD_PORT_ID;
    BMessage::Address reply = replyTo.fTeam >= 0 ? MessageRouting::AddressOf(replyTo)
                                                 : MessageRouting::DefaultReplyAddress();
    if (IsTargetLocal())
        return MessageRouting::DeliverLocal(fHandlerToken, fPreferred, *message, reply, false);

    BMessage copy(*message);
    MessageRouting::SetCurrentTarget(&copy, fHandlerToken, fPreferred);
    copy.fReplyTo = MessageRouting::ForOtherProcess(reply);
    ssize_t size = copy.FlattenedSize();
    if (size > B_MAX_PORT_MESSAGE_SIZE)
        return B_BAD_VALUE;
    std::vector<char> buffer(static_cast<size_t>(size));
    status_t status = copy.Flatten(buffer.data(), size);
    if (status != B_OK)
        return status;
    uint32 flags = timeout == B_INFINITE_TIMEOUT ? 0 : B_RELATIVE_TIMEOUT;
    return write_port_etc(fPort, B_MESSAGE_PORT_CODE, buffer.data(), buffer.size(), flags, timeout);
}

bool BMessenger::operator==(const BMessenger& other) const
{
    return fTeam == other.fTeam && fHandlerToken == other.fHandlerToken
        && fPreferred == other.fPreferred && (IsTargetLocal() || fPort == other.fPort);
}
