// Routing of messages inside the app kit; not part of the BeOS interface.
#pragma once

#include "Message.h"
#include "Messenger.h"

class BHandler;
class BLooper;

// Port message code of a flattened BMessage.
#define B_MESSAGE_PORT_CODE 0x706A7070   /* 'pjpp' */

struct MessageRouting {
    enum {
        kDelivered = 0x01,
        kRemote = 0x02,
        kIsReply = 0x04,
        kReplied = 0x08,
        kTargetPreferred = 0x10,
        kReplyPreferred = 0x20,
    };

    static BMessenger MakeMessenger(const BMessage::Address& address);
    static BMessage::Address AddressOf(const BMessenger& messenger);
    static BMessage::Address DefaultReplyAddress();
    // The preferred handler of the application of that process.
    static BMessenger ApplicationMessenger(team_id team, port_id port);
    static BMessage::Address ForOtherProcess(BMessage::Address address);

    // Queues a copy of message for the handler with that token (or the
    // preferred handler of the looper with that token; -1: be_app's),
    // with the given return address. B_BAD_PORT_ID when the target is gone.
    static status_t DeliverLocal(int32 token, bool preferred, const BMessage& message,
                                 const BMessage::Address& replyTo, bool remote);
    // Takes a message read from the application port and queues it.
    static void DeliverFromPort(const char* buffer, ssize_t size);

    static void SetCurrentTarget(BMessage* message, int32 token, bool preferred);
    static int32 TargetToken(const BMessage* message) { return message->fTargetToken; }
    static bool TargetPreferred(const BMessage* message) { return message->fTargetPreferred; }
    static void MarkDelivered(BMessage* message) { message->fFlags |= kDelivered; }
};

// The handler registry: tokens for handlers, guarded by one lock that also
// keeps loopers alive while a message is queued to them.
namespace app_private {

pthread_mutex_t* registry_lock();
int32 register_handler(BHandler* handler);
void unregister_handler(int32 token);
BHandler* handler_for_token(int32 token);   // with the registry lock held

// The port of be_app, or -1.
port_id application_port();

} // namespace app_private
