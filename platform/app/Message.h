// App kit: BMessage, a command code (`what`) and named, typed fields, each
// holding one or more items in order.
//
// Fields keep the order in which they were first added; GetInfo walks
// them in that order. A name has one type: adding an item of another type
// to it gives B_BAD_TYPE. Find on a missing name gives B_NAME_NOT_FOUND, on
// the wrong type B_BAD_TYPE, past the last item B_BAD_INDEX.
//
// Flatten writes the message in the suite's flattened format (version 1,
// little-endian, docs/messaging-format.md), the one format every
// cooperating program reads. Unflatten of any bytes either gives a valid
// message or an error (the message is then empty, `what` 0), and never
// allocates more than the bytes it was given. Pointer fields only mean
// something in the process that made them: Unflatten in any other process
// drops them.
#pragma once

#include <SupportDefs.h>
#include <KernelThreads.h>
#include <AppDefs.h>
#include <String.h>

#include <Point.h>
#include <Rect.h>

#include <string>
#include <vector>

class BHandler;
class BMessenger;

#define B_FIELD_NAME_LENGTH 255

class BMessage {
public:
    uint32 what;

    BMessage();
    explicit BMessage(uint32 what);
    BMessage(const BMessage& other);
    BMessage& operator=(const BMessage& other);
    virtual ~BMessage();

    // Walking the fields, in order. With B_ANY_TYPE, index counts all
    // fields; with a type, only the fields of that type.
    status_t GetInfo(type_code typeRequested, int32 index, char** nameFound, type_code* typeFound,
                     int32* countFound = NULL) const;
    status_t GetInfo(type_code typeRequested, int32 index, const char** nameFound,
                     type_code* typeFound, int32* countFound = NULL) const;
    status_t GetInfo(const char* name, type_code* typeFound, int32* countFound = NULL) const;
    status_t GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const;
    int32 CountNames(type_code type) const;
    bool IsEmpty() const;
    status_t MakeEmpty();
    void PrintToStream() const;

    // Delivery.
    bool WasDelivered() const;
    bool IsSourceRemote() const;
    bool IsSourceWaiting() const;
    bool IsReply() const;
    BMessenger ReturnAddress() const;
    // Replies go to the reply handler the sender named, or else to the
    // sender's application. B_BAD_REPLY when the message has no return
    // address (it was not delivered, or the sender has no application),
    // B_DUPLICATE_REPLY when it was already answered.
    status_t SendReply(uint32 command, BHandler* replyTo = NULL);
    status_t SendReply(BMessage* reply, BHandler* replyTo = NULL,
                       bigtime_t timeout = B_INFINITE_TIMEOUT);
    status_t SendReply(BMessage* reply, BMessenger replyTo, bigtime_t timeout = B_INFINITE_TIMEOUT);

    // Flattening.
    ssize_t FlattenedSize() const;
    status_t Flatten(char* buffer, ssize_t size) const;
    // The size is taken from the flattened header: only for buffers known
    // to hold a whole message. Prefer the sized form for bytes from outside.
    status_t Unflatten(const char* flatBuffer);
    status_t Unflatten(const char* flatBuffer, ssize_t size);

    // Fields.
    status_t AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
                     bool isFixedSize = true, int32 count = 1);
    status_t FindData(const char* name, type_code type, const void** data, ssize_t* numBytes) const;
    status_t FindData(const char* name, type_code type, int32 index, const void** data,
                      ssize_t* numBytes) const;
    status_t ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes);
    status_t ReplaceData(const char* name, type_code type, int32 index, const void* data,
                         ssize_t numBytes);
    bool HasData(const char* name, type_code type, int32 index = 0) const;
    status_t RemoveName(const char* name);
    status_t RemoveData(const char* name, int32 index = 0);

#define B_MESSAGE_VALUE_ACCESS(Name, Type)                                          \
    status_t Add##Name(const char* name, Type value);                               \
    status_t Find##Name(const char* name, Type* value) const;                       \
    status_t Find##Name(const char* name, int32 index, Type* value) const;          \
    status_t Replace##Name(const char* name, Type value);                           \
    status_t Replace##Name(const char* name, int32 index, Type value);              \
    bool Has##Name(const char* name, int32 index = 0) const;

    B_MESSAGE_VALUE_ACCESS(Bool, bool)
    B_MESSAGE_VALUE_ACCESS(Int8, int8)
    B_MESSAGE_VALUE_ACCESS(Int16, int16)
    B_MESSAGE_VALUE_ACCESS(Int32, int32)
    B_MESSAGE_VALUE_ACCESS(Int64, int64)
    B_MESSAGE_VALUE_ACCESS(Float, float)
    B_MESSAGE_VALUE_ACCESS(Double, double)
    B_MESSAGE_VALUE_ACCESS(Point, BPoint)
    B_MESSAGE_VALUE_ACCESS(Rect, BRect)
#undef B_MESSAGE_VALUE_ACCESS

    status_t AddPointer(const char* name, const void* pointer);
    status_t FindPointer(const char* name, void** pointer) const;
    status_t FindPointer(const char* name, int32 index, void** pointer) const;
    status_t ReplacePointer(const char* name, const void* pointer);
    status_t ReplacePointer(const char* name, int32 index, const void* pointer);
    bool HasPointer(const char* name, int32 index = 0) const;

    status_t AddString(const char* name, const char* string);
    status_t AddString(const char* name, const BString& string);
    status_t FindString(const char* name, const char** string) const;
    status_t FindString(const char* name, int32 index, const char** string) const;
    status_t FindString(const char* name, BString* string) const;
    status_t FindString(const char* name, int32 index, BString* string) const;
    status_t ReplaceString(const char* name, const char* string);
    status_t ReplaceString(const char* name, int32 index, const char* string);
    status_t ReplaceString(const char* name, const BString& string);
    status_t ReplaceString(const char* name, int32 index, const BString& string);
    bool HasString(const char* name, int32 index = 0) const;

    // Messages are stored flattened: a copy goes in, a copy comes out.
    status_t AddMessage(const char* name, const BMessage* message);
    status_t FindMessage(const char* name, BMessage* message) const;
    status_t FindMessage(const char* name, int32 index, BMessage* message) const;
    status_t ReplaceMessage(const char* name, const BMessage* message);
    status_t ReplaceMessage(const char* name, int32 index, const BMessage* message);
    bool HasMessage(const char* name, int32 index = 0) const;

private:
    friend class BLooper;
    friend class BMessenger;
    friend struct MessageRouting;

    struct Field {
        std::string name;
        type_code type;
        bool fixedSize;
        std::vector<std::vector<uint8>> items;
    };

    // Where a message goes and where its reply goes, as messenger data:
    // process, port (-1 for this process), handler token, preferred handler.
    struct Address {
        team_id team = -1;
        int32 port = -1;
        int32 token = -1;
        bool preferred = false;
    };

    Field* FindField(const char* name);
    const Field* FindField(const char* name) const;
    status_t Locate(const char* name, type_code type, int32 index, const std::vector<uint8>** item) const;
    status_t Replace(const char* name, type_code type, int32 index, const void* data, ssize_t size);
    status_t DecodeFrom(const uint8* data, size_t size, int depth);
    static bool ValidNested(const uint8* data, size_t size, int depth = 1);

    std::vector<Field> fFields;
    int32 fTargetToken;
    bool fTargetPreferred;
    Address fReplyTo;
    uint32 fFlags;
};
