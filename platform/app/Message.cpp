#include "Message.h"
#include "Messenger.h"
#include "MessagePrivate.h"

#include <KernelPrivate.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <set>
#include <string_view>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

using kernel_private::get16;
using kernel_private::get32;
using kernel_private::get64;
using kernel_private::put16;
using kernel_private::put32;
using kernel_private::put64;

namespace {

constexpr uint8 kMagic[4] = {'V', 'M', 'S', 'G'};
constexpr uint16 kVersion = 1;
constexpr uint32 kHeaderSize = 48;
constexpr uint32 kFieldHeaderSize = 12;
// Deeper nesting than this is refused (it would only serve to exhaust
// the stack of whoever reads it).
constexpr int kMaxDepth = 64;

// Sizes of the fixed-size types; 0 for the others.
size_t fixed_size_of(type_code type)
{
    switch (type) {
    case B_BOOL_TYPE: case B_INT8_TYPE: case B_UINT8_TYPE: return 1;
    case B_INT16_TYPE: case B_UINT16_TYPE: return 2;
    case B_INT32_TYPE: case B_UINT32_TYPE: case B_FLOAT_TYPE: case B_RGB_COLOR_TYPE: return 4;
    case B_INT64_TYPE: case B_UINT64_TYPE: case B_DOUBLE_TYPE: case B_POINT_TYPE: return 8;
    case B_RECT_TYPE: return 16;
    case B_POINTER_TYPE: return sizeof(void*);
    default: return 0;
    }
}

bool is_variable_type(type_code type)
{
    return type == B_STRING_TYPE || type == B_MESSAGE_TYPE;
}

// Item bytes are kept in the flattened (little-endian) form, so that the
// in-memory and the flattened forms are the same bytes.
template <typename T> std::vector<uint8> encode_value(T value)
{
    std::vector<uint8> bytes(sizeof(T));
    if constexpr (sizeof(T) == 1) {
        memcpy(bytes.data(), &value, 1);
    } else if constexpr (sizeof(T) == 2) {
        uint16 v;
        memcpy(&v, &value, 2);
        put16(bytes.data(), v);
    } else if constexpr (sizeof(T) == 4) {
        uint32 v;
        memcpy(&v, &value, 4);
        put32(bytes.data(), v);
    } else {
        uint64 v;
        memcpy(&v, &value, 8);
        put64(bytes.data(), v);
    }
    return bytes;
}

template <typename T> T decode_value(const uint8* bytes)
{
    T value;
    if constexpr (sizeof(T) == 1) {
        memcpy(&value, bytes, 1);
    } else if constexpr (sizeof(T) == 2) {
        uint16 v = get16(bytes);
        memcpy(&value, &v, 2);
    } else if constexpr (sizeof(T) == 4) {
        uint32 v = get32(bytes);
        memcpy(&value, &v, 4);
    } else {
        uint64 v = get64(bytes);
        memcpy(&value, &v, 8);
    }
    return value;
}

std::vector<uint8> encode_point(BPoint p)
{
    std::vector<uint8> bytes = encode_value(p.x);
    std::vector<uint8> y = encode_value(p.y);
    bytes.insert(bytes.end(), y.begin(), y.end());
    return bytes;
}

std::vector<uint8> encode_rect(BRect r)
{
    std::vector<uint8> bytes;
    for (float f : {r.left, r.top, r.right, r.bottom}) {
        std::vector<uint8> part = encode_value(f);
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

// Marks flattened pointers as this process's own; see the header.
uint64 process_token()
{
    static const uint64 token = [] {
        uint64 value = 0;
        if (getrandom(&value, sizeof value, 0) != sizeof value)
            value = (static_cast<uint64>(getpid()) << 32) ^ reinterpret_cast<uintptr_t>(&value);
        return value == 0 ? 1 : value;
    }();
    return token;
}

bool valid_string_item(const uint8* data, size_t size)
{
    return size >= 1 && data[size - 1] == '\0';
}

} // namespace

BMessage::BMessage()
    : what(0), fTargetToken(-1), fTargetPreferred(false), fFlags(0)
{
}

BMessage::BMessage(uint32 command)
    : what(command), fTargetToken(-1), fTargetPreferred(false), fFlags(0)
{
}

// A copy carries the fields and the return address, not the delivery state.
BMessage::BMessage(const BMessage& other)
    : what(other.what), fFields(other.fFields), fTargetToken(-1), fTargetPreferred(false),
      fReplyTo(other.fReplyTo), fFlags(other.fFlags & MessageRouting::kIsReply)
{
}

BMessage& BMessage::operator=(const BMessage& other)
{
    if (this != &other) {
        what = other.what;
        fFields = other.fFields;
        fTargetToken = -1;
        fTargetPreferred = false;
        fReplyTo = other.fReplyTo;
        fFlags = other.fFlags & MessageRouting::kIsReply;
    }
    return *this;
}

BMessage::~BMessage() {}

BMessage::Field* BMessage::FindField(const char* name)
{
    for (Field& field : fFields) {
        if (field.name == name)
            return &field;
    }
    return nullptr;
}

const BMessage::Field* BMessage::FindField(const char* name) const
{
    return const_cast<BMessage*>(this)->FindField(name);
}

status_t BMessage::GetInfo(type_code typeRequested, int32 index, const char** nameFound,
                           type_code* typeFound, int32* countFound) const
{
    if (index < 0)
        return B_BAD_INDEX;
    bool anyOfType = false;
    for (const Field& field : fFields) {
        if (typeRequested != B_ANY_TYPE && field.type != typeRequested)
            continue;
        anyOfType = true;
        if (index-- > 0)
            continue;
        if (nameFound != nullptr)
            *nameFound = field.name.c_str();
        if (typeFound != nullptr)
            *typeFound = field.type;
        if (countFound != nullptr)
            *countFound = static_cast<int32>(field.items.size());
        return B_OK;
    }
    return anyOfType ? status_t(B_BAD_INDEX) : status_t(B_BAD_TYPE);
}

status_t BMessage::GetInfo(type_code typeRequested, int32 index, char** nameFound,
                           type_code* typeFound, int32* countFound) const
{
    const char* name = nullptr;
    status_t status = GetInfo(typeRequested, index, &name, typeFound, countFound);
    if (status == B_OK && nameFound != nullptr)
        *nameFound = const_cast<char*>(name);
    return status;
}

status_t BMessage::GetInfo(const char* name, type_code* typeFound, int32* countFound) const
{
    bool fixedSize;
    status_t status = GetInfo(name, typeFound, &fixedSize);
    if (status == B_OK && countFound != nullptr)
        *countFound = static_cast<int32>(FindField(name)->items.size());
    return status;
}

status_t BMessage::GetInfo(const char* name, type_code* typeFound, bool* fixedSize) const
{
    if (name == nullptr)
        return B_BAD_VALUE;
    const Field* field = FindField(name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (typeFound != nullptr)
        *typeFound = field->type;
    if (fixedSize != nullptr)
        *fixedSize = field->fixedSize;
    return B_OK;
}

int32 BMessage::CountNames(type_code type) const
{
    int32 count = 0;
    for (const Field& field : fFields) {
        if (type == B_ANY_TYPE || field.type == type)
            count++;
    }
    return count;
}

bool BMessage::IsEmpty() const
{
    return fFields.empty();
}

status_t BMessage::MakeEmpty()
{
    fFields.clear();
    return B_OK;
}

void BMessage::PrintToStream() const
{
    uint32 w = what;
    printf("BMessage(0x%08" PRIx32 ") {\n", w);
    for (const Field& field : fFields) {
        uint32 t = field.type;
        printf("  %s, type 0x%08" PRIx32 ", %zu item(s)", field.name.c_str(), t, field.items.size());
        if (field.type == B_STRING_TYPE && !field.items.empty())
            printf(": \"%s\"", reinterpret_cast<const char*>(field.items[0].data()));
        else if (field.type == B_INT32_TYPE && !field.items.empty())
            printf(": %" PRId32, decode_value<int32>(field.items[0].data()));
        printf("\n");
    }
    printf("}\n");
}

// --- delivery

bool BMessage::WasDelivered() const { return (fFlags & MessageRouting::kDelivered) != 0; }
bool BMessage::IsSourceRemote() const { return (fFlags & MessageRouting::kRemote) != 0; }
bool BMessage::IsSourceWaiting() const { return false; }
bool BMessage::IsReply() const { return (fFlags & MessageRouting::kIsReply) != 0; }

BMessenger BMessage::ReturnAddress() const
{
    return MessageRouting::MakeMessenger(fReplyTo);
}

status_t BMessage::SendReply(uint32 command, BHandler* replyTo)
{
    BMessage reply(command);
    return SendReply(&reply, replyTo);
}

status_t BMessage::SendReply(BMessage* reply, BHandler* replyTo, bigtime_t timeout)
{
    BMessenger replyMessenger;
    if (replyTo != nullptr)
        replyMessenger = BMessenger(replyTo);
    return SendReply(reply, replyMessenger, timeout);
}

status_t BMessage::SendReply(BMessage* reply, BMessenger replyTo, bigtime_t timeout)
{
    if (reply == nullptr)
        return B_BAD_VALUE;
    if (!WasDelivered() || fReplyTo.team < 0)
        return B_BAD_REPLY;
    if (fFlags & MessageRouting::kReplied)
        return B_DUPLICATE_REPLY;
    BMessenger destination = ReturnAddress();
    BMessage copy(*reply);
    copy.fFlags |= MessageRouting::kIsReply;
    status_t status = destination.SendMessage(&copy, replyTo, timeout);
    if (status == B_OK)
        fFlags |= MessageRouting::kReplied;
    return status;
}

// --- flattening

ssize_t BMessage::FlattenedSize() const
{
    size_t size = kHeaderSize;
    for (const Field& field : fFields) {
        size += kFieldHeaderSize + field.name.size();
        if (field.fixedSize) {
            size += 4 + field.items.size() * (field.items.empty() ? 0 : field.items[0].size());
        } else {
            for (const auto& item : field.items)
                size += 4 + item.size();
        }
    }
    return static_cast<ssize_t>(size);
}

status_t BMessage::Flatten(char* buffer, ssize_t size) const
{
    if (buffer == nullptr)
        return B_BAD_VALUE;
    ssize_t needed = FlattenedSize();
    if (size < needed || needed > static_cast<ssize_t>(UINT32_MAX))
        return B_BAD_VALUE;
    uint8* p = reinterpret_cast<uint8*>(buffer);
    memset(p, 0, kHeaderSize);
    memcpy(p, kMagic, 4);
    put16(p + 4, kVersion);
    put16(p + 6, static_cast<uint16>(kHeaderSize));
    put32(p + 8, what);
    put32(p + 12, static_cast<uint32>(needed));
    put32(p + 16, static_cast<uint32>(fFields.size()));
    uint32 flags = fFlags & (MessageRouting::kIsReply | MessageRouting::kReplied);
    if (fTargetPreferred)
        flags |= MessageRouting::kTargetPreferred;
    if (fReplyTo.preferred)
        flags |= MessageRouting::kReplyPreferred;
    put32(p + 20, flags);
    put64(p + 24, process_token());
    put32(p + 32, static_cast<uint32>(fTargetToken));
    put32(p + 36, static_cast<uint32>(fReplyTo.team));
    put32(p + 40, static_cast<uint32>(fReplyTo.port));
    put32(p + 44, static_cast<uint32>(fReplyTo.token));
    p += kHeaderSize;
    for (const Field& field : fFields) {
        put32(p, field.type);
        put32(p + 4, static_cast<uint32>(field.items.size()));
        put16(p + 8, static_cast<uint16>(field.name.size()));
        put16(p + 10, field.fixedSize ? 1 : 0);
        p += kFieldHeaderSize;
        memcpy(p, field.name.data(), field.name.size());
        p += field.name.size();
        if (field.fixedSize) {
            uint32 itemSize = field.items.empty() ? 0 : static_cast<uint32>(field.items[0].size());
            put32(p, itemSize);
            p += 4;
            for (const auto& item : field.items) {
                if (!item.empty()) // an empty item's data() may be null, which memcpy must not get
                    memcpy(p, item.data(), item.size());
                p += item.size();
            }
        } else {
            for (const auto& item : field.items) {
                put32(p, static_cast<uint32>(item.size()));
                if (!item.empty())
                    memcpy(p + 4, item.data(), item.size());
                p += 4 + item.size();
            }
        }
    }
    return B_OK;
}

status_t BMessage::Unflatten(const char* flatBuffer)
{
    if (flatBuffer == nullptr)
        return B_BAD_VALUE;
    const uint8* p = reinterpret_cast<const uint8*>(flatBuffer);
    if (memcmp(p, kMagic, 4) != 0) {
        MakeEmpty();
        what = 0;
        return B_NOT_A_MESSAGE;
    }
    return Unflatten(flatBuffer, static_cast<ssize_t>(get32(p + 12)));
}

status_t BMessage::Unflatten(const char* flatBuffer, ssize_t size)
{
    if (flatBuffer == nullptr || size < 0)
        return B_BAD_VALUE;
    BMessage result;
    status_t status = result.DecodeFrom(reinterpret_cast<const uint8*>(flatBuffer),
                                        static_cast<size_t>(size), 0);
    if (status != B_OK) {
        MakeEmpty();
        what = 0;
        fFlags = 0;
        fTargetToken = -1;
        fTargetPreferred = false;
        fReplyTo = Address();
        return status;
    }
    what = result.what;
    fFields.swap(result.fFields);
    fTargetToken = result.fTargetToken;
    fTargetPreferred = result.fTargetPreferred;
    fReplyTo = result.fReplyTo;
    fFlags = result.fFlags;
    return B_OK;
}

// Reads one flattened message; with depth > 0 only checks it (nested
// messages stay in their flattened form).
status_t BMessage::DecodeFrom(const uint8* data, size_t size, int depth)
{
    if (size < kHeaderSize)
        return size >= 4 && memcmp(data, kMagic, 4) != 0 ? status_t(B_NOT_A_MESSAGE)
                                                          : status_t(B_BAD_DATA);
    if (memcmp(data, kMagic, 4) != 0)
        return B_NOT_A_MESSAGE;
    if (get16(data + 4) != kVersion)
        return B_BAD_DATA;
    uint32 headerSize = get16(data + 6);
    uint32 total = get32(data + 12);
    uint32 fieldCount = get32(data + 16);
    if (headerSize < kHeaderSize || total < headerSize || total > size)
        return B_BAD_DATA;
    bool keep = depth == 0;
    bool ownPointers = get64(data + 24) == process_token();
    if (keep) {
        what = get32(data + 8);
        uint32 flags = get32(data + 20);
        fFlags = flags & (MessageRouting::kIsReply | MessageRouting::kReplied);
        fTargetPreferred = (flags & MessageRouting::kTargetPreferred) != 0;
        fTargetToken = static_cast<int32>(get32(data + 32));
        fReplyTo.team = static_cast<team_id>(get32(data + 36));
        fReplyTo.port = static_cast<int32>(get32(data + 40));
        fReplyTo.token = static_cast<int32>(get32(data + 44));
        fReplyTo.preferred = (flags & MessageRouting::kReplyPreferred) != 0;
    }
    size_t offset = headerSize;
    std::set<std::string_view> names;
    for (uint32 i = 0; i < fieldCount; i++) {
        if (total - offset < kFieldHeaderSize)
            return B_BAD_DATA;
        const uint8* f = data + offset;
        type_code type = get32(f);
        uint32 count = get32(f + 4);
        uint32 nameLength = get16(f + 8);
        uint16 fieldFlags = get16(f + 10);
        offset += kFieldHeaderSize;
        if (count == 0 || nameLength > B_FIELD_NAME_LENGTH || fieldFlags > 1
            || total - offset < nameLength || type == B_ANY_TYPE)
            return B_BAD_DATA;
        std::string_view name(reinterpret_cast<const char*>(data + offset), nameLength);
        if (name.find('\0') != std::string_view::npos || !names.insert(name).second)
            return B_BAD_DATA;
        offset += nameLength;
        bool fixed = fieldFlags == 1;
        size_t knownSize = fixed_size_of(type);
        if ((knownSize != 0 && !fixed) || (is_variable_type(type) && fixed))
            return B_BAD_DATA;
        Field field {std::string(name), type, fixed, {}};
        if (fixed) {
            if (total - offset < 4)
                return B_BAD_DATA;
            uint32 itemSize = get32(data + offset);
            offset += 4;
            if (itemSize == 0 || (knownSize != 0 && itemSize != knownSize)
                || static_cast<uint64>(itemSize) * count > total - offset)
                return B_BAD_DATA;
            for (uint32 k = 0; k < count; k++) {
                if (keep)
                    field.items.emplace_back(data + offset, data + offset + itemSize);
                offset += itemSize;
            }
        } else {
            for (uint32 k = 0; k < count; k++) {
                if (total - offset < 4)
                    return B_BAD_DATA;
                uint32 itemSize = get32(data + offset);
                offset += 4;
                if (itemSize > total - offset)
                    return B_BAD_DATA;
                const uint8* item = data + offset;
                if (type == B_STRING_TYPE && !valid_string_item(item, itemSize))
                    return B_BAD_DATA;
                if (type == B_MESSAGE_TYPE
                    && (depth + 1 > kMaxDepth || !ValidNested(item, itemSize, depth + 1)))
                    return B_BAD_DATA;
                if (keep)
                    field.items.emplace_back(item, item + itemSize);
                offset += itemSize;
            }
        }
        if (keep && (type != B_POINTER_TYPE || ownPointers))
            fFields.push_back(std::move(field));
    }
    if (offset != total)
        return B_BAD_DATA;
    return B_OK;
}

// A message as a field item: whole (its own size is the item's size) and
// not nested too deeply for any reader, taking this level into account.
bool BMessage::ValidNested(const uint8* data, size_t size, int depth)
{
    BMessage check;
    return check.DecodeFrom(data, size, depth) == B_OK && get32(data + 12) == size;
}

// --- fields

status_t BMessage::AddData(const char* name, type_code type, const void* data, ssize_t numBytes,
                           bool isFixedSize, int32 count)
{
    if (name == nullptr || numBytes < 0 || (data == nullptr && numBytes > 0) || type == B_ANY_TYPE
        || strlen(name) > B_FIELD_NAME_LENGTH || numBytes > INT32_MAX)
        return B_BAD_VALUE;
    size_t knownSize = fixed_size_of(type);
    if (knownSize != 0) {
        if (static_cast<size_t>(numBytes) != knownSize)
            return B_BAD_VALUE;
        isFixedSize = true;
    } else if (is_variable_type(type)) {
        isFixedSize = false;
    } else if (isFixedSize && numBytes == 0) {
        return B_BAD_VALUE;
    }
    const uint8* bytes = static_cast<const uint8*>(data);
    if (type == B_STRING_TYPE && !valid_string_item(bytes, static_cast<size_t>(numBytes)))
        return B_BAD_VALUE;
    if (type == B_MESSAGE_TYPE && !ValidNested(bytes, static_cast<size_t>(numBytes)))
        return B_BAD_VALUE;
    Field* field = FindField(name);
    if (field != nullptr) {
        if (field->type != type)
            return B_BAD_TYPE;
        if (field->fixedSize && field->items[0].size() != static_cast<size_t>(numBytes))
            return B_BAD_VALUE;
    } else {
        fFields.push_back(Field {name, type, isFixedSize, {}});
        field = &fFields.back();
    }
    field->items.emplace_back(bytes, bytes + numBytes);
    return B_OK;
}

status_t BMessage::Locate(const char* name, type_code type, int32 index,
                          const std::vector<uint8>** item) const
{
    if (name == nullptr)
        return B_BAD_VALUE;
    const Field* field = FindField(name);
    if (field == nullptr)
        return B_NAME_NOT_FOUND;
    if (type != B_ANY_TYPE && field->type != type)
        return B_BAD_TYPE;
    if (index < 0 || static_cast<size_t>(index) >= field->items.size())
        return B_BAD_INDEX;
    *item = &field->items[static_cast<size_t>(index)];
    return B_OK;
}

status_t BMessage::FindData(const char* name, type_code type, const void** data,
                            ssize_t* numBytes) const
{
    return FindData(name, type, 0, data, numBytes);
}

status_t BMessage::FindData(const char* name, type_code type, int32 index, const void** data,
                            ssize_t* numBytes) const
{
    const std::vector<uint8>* item;
    status_t status = Locate(name, type, index, &item);
    if (status != B_OK)
        return status;
    if (data != nullptr)
        *data = item->data();
    if (numBytes != nullptr)
        *numBytes = static_cast<ssize_t>(item->size());
    return B_OK;
}

status_t BMessage::Replace(const char* name, type_code type, int32 index, const void* data,
                           ssize_t size)
{
    const std::vector<uint8>* found;
    status_t status = Locate(name, type, index, &found);
    if (status != B_OK)
        return status;
    Field* field = FindField(name);
    if (size < 0 || (data == nullptr && size > 0)
        || (field->fixedSize && static_cast<size_t>(size) != found->size()))
        return B_BAD_VALUE;
    const uint8* bytes = static_cast<const uint8*>(data);
    if (type == B_STRING_TYPE && !valid_string_item(bytes, static_cast<size_t>(size)))
        return B_BAD_VALUE;
    if (type == B_MESSAGE_TYPE && !ValidNested(bytes, static_cast<size_t>(size)))
        return B_BAD_VALUE;
    field->items[static_cast<size_t>(index)].assign(bytes, bytes + size);
    return B_OK;
}

status_t BMessage::ReplaceData(const char* name, type_code type, const void* data, ssize_t numBytes)
{
    return Replace(name, type, 0, data, numBytes);
}

status_t BMessage::ReplaceData(const char* name, type_code type, int32 index, const void* data,
                               ssize_t numBytes)
{
    return Replace(name, type, index, data, numBytes);
}

bool BMessage::HasData(const char* name, type_code type, int32 index) const
{
    const std::vector<uint8>* item;
    return Locate(name, type, index, &item) == B_OK;
}

status_t BMessage::RemoveName(const char* name)
{
    if (name == nullptr)
        return B_BAD_VALUE;
    for (auto it = fFields.begin(); it != fFields.end(); ++it) {
        if (it->name == name) {
            fFields.erase(it);
            return B_OK;
        }
    }
    return B_NAME_NOT_FOUND;
}

status_t BMessage::RemoveData(const char* name, int32 index)
{
    const std::vector<uint8>* item;
    status_t status = Locate(name, B_ANY_TYPE, index, &item);
    if (status != B_OK)
        return status;
    Field* field = FindField(name);
    field->items.erase(field->items.begin() + index);
    if (field->items.empty())
        return RemoveName(name);
    return B_OK;
}

// Typed access: the items are the little-endian bytes of the value.
namespace {

template <typename T> struct Codec {
    static std::vector<uint8> Encode(T value) { return encode_value(value); }
    static T Decode(const uint8* bytes) { return decode_value<T>(bytes); }
};

template <> struct Codec<bool> {
    static std::vector<uint8> Encode(bool value) { return {static_cast<uint8>(value ? 1 : 0)}; }
    static bool Decode(const uint8* bytes) { return bytes[0] != 0; }
};

template <> struct Codec<BPoint> {
    static std::vector<uint8> Encode(BPoint value) { return encode_point(value); }
    static BPoint Decode(const uint8* b)
    {
        return BPoint(decode_value<float>(b), decode_value<float>(b + 4));
    }
};

template <> struct Codec<BRect> {
    static std::vector<uint8> Encode(BRect value) { return encode_rect(value); }
    static BRect Decode(const uint8* b)
    {
        return BRect(decode_value<float>(b), decode_value<float>(b + 4), decode_value<float>(b + 8),
                     decode_value<float>(b + 12));
    }
};

template <> struct Codec<const void*> {
    static std::vector<uint8> Encode(const void* value)
    {
        std::vector<uint8> bytes(sizeof value);
        memcpy(bytes.data(), &value, sizeof value);
        return bytes;
    }
    static void* Decode(const uint8* bytes)
    {
        void* value;
        memcpy(&value, bytes, sizeof value);
        return value;
    }
};

} // namespace

#define B_MESSAGE_VALUE_ACCESS_IMPL(Name, Type, TypeCode)                                   \
    status_t BMessage::Add##Name(const char* name, Type value)                              \
    {                                                                                       \
        std::vector<uint8> bytes = Codec<Type>::Encode(value);                              \
        return AddData(name, TypeCode, bytes.data(), static_cast<ssize_t>(bytes.size()));   \
    }                                                                                       \
    status_t BMessage::Find##Name(const char* name, Type* value) const                      \
    {                                                                                       \
        return Find##Name(name, 0, value);                                                  \
    }                                                                                       \
    status_t BMessage::Find##Name(const char* name, int32 index, Type* value) const         \
    {                                                                                       \
        const std::vector<uint8>* item;                                                     \
        status_t status = Locate(name, TypeCode, index, &item);                             \
        if (status == B_OK && value != nullptr)                                             \
            *value = Codec<Type>::Decode(item->data());                                     \
        return status;                                                                      \
    }                                                                                       \
    status_t BMessage::Replace##Name(const char* name, Type value)                          \
    {                                                                                       \
        return Replace##Name(name, 0, value);                                               \
    }                                                                                       \
    status_t BMessage::Replace##Name(const char* name, int32 index, Type value)             \
    {                                                                                       \
        std::vector<uint8> bytes = Codec<Type>::Encode(value);                              \
        return Replace(name, TypeCode, index, bytes.data(), static_cast<ssize_t>(bytes.size())); \
    }                                                                                       \
    bool BMessage::Has##Name(const char* name, int32 index) const                           \
    {                                                                                       \
        return HasData(name, TypeCode, index);                                              \
    }

B_MESSAGE_VALUE_ACCESS_IMPL(Bool, bool, B_BOOL_TYPE)
B_MESSAGE_VALUE_ACCESS_IMPL(Int8, int8, B_INT8_TYPE)
B_MESSAGE_VALUE_ACCESS_IMPL(Int16, int16, B_INT16_TYPE)
B_MESSAGE_VALUE_ACCESS_IMPL(Int32, int32, B_INT32_TYPE)
B_MESSAGE_VALUE_ACCESS_IMPL(Int64, int64, B_INT64_TYPE)
B_MESSAGE_VALUE_ACCESS_IMPL(Float, float, B_FLOAT_TYPE)
B_MESSAGE_VALUE_ACCESS_IMPL(Double, double, B_DOUBLE_TYPE)
B_MESSAGE_VALUE_ACCESS_IMPL(Point, BPoint, B_POINT_TYPE)
B_MESSAGE_VALUE_ACCESS_IMPL(Rect, BRect, B_RECT_TYPE)

status_t BMessage::AddPointer(const char* name, const void* pointer)
{
    std::vector<uint8> bytes = Codec<const void*>::Encode(pointer);
    return AddData(name, B_POINTER_TYPE, bytes.data(), static_cast<ssize_t>(bytes.size()));
}

status_t BMessage::FindPointer(const char* name, void** pointer) const
{
    return FindPointer(name, 0, pointer);
}

status_t BMessage::FindPointer(const char* name, int32 index, void** pointer) const
{
    const std::vector<uint8>* item;
    status_t status = Locate(name, B_POINTER_TYPE, index, &item);
    if (status == B_OK && pointer != nullptr)
        *pointer = Codec<const void*>::Decode(item->data());
    return status;
}

status_t BMessage::ReplacePointer(const char* name, const void* pointer)
{
    return ReplacePointer(name, 0, pointer);
}

status_t BMessage::ReplacePointer(const char* name, int32 index, const void* pointer)
{
    std::vector<uint8> bytes = Codec<const void*>::Encode(pointer);
    return Replace(name, B_POINTER_TYPE, index, bytes.data(), static_cast<ssize_t>(bytes.size()));
}

bool BMessage::HasPointer(const char* name, int32 index) const
{
    return HasData(name, B_POINTER_TYPE, index);
}

status_t BMessage::AddString(const char* name, const char* string)
{
    if (string == nullptr)
        return B_BAD_VALUE;
    return AddData(name, B_STRING_TYPE, string, static_cast<ssize_t>(strlen(string) + 1));
}

status_t BMessage::AddString(const char* name, const BString& string)
{
    return AddString(name, string.String());
}

status_t BMessage::FindString(const char* name, const char** string) const
{
    return FindString(name, 0, string);
}

status_t BMessage::FindString(const char* name, int32 index, const char** string) const
{
    const std::vector<uint8>* item;
    status_t status = Locate(name, B_STRING_TYPE, index, &item);
    if (status == B_OK && string != nullptr)
        *string = reinterpret_cast<const char*>(item->data());
    return status;
}

status_t BMessage::FindString(const char* name, BString* string) const
{
    return FindString(name, 0, string);
}

status_t BMessage::FindString(const char* name, int32 index, BString* string) const
{
    const char* text = nullptr;
    status_t status = FindString(name, index, &text);
    if (status == B_OK && string != nullptr)
        string->SetTo(text);
    return status;
}

status_t BMessage::ReplaceString(const char* name, const char* string)
{
    return ReplaceString(name, 0, string);
}

status_t BMessage::ReplaceString(const char* name, int32 index, const char* string)
{
    if (string == nullptr)
        return B_BAD_VALUE;
    return Replace(name, B_STRING_TYPE, index, string, static_cast<ssize_t>(strlen(string) + 1));
}

status_t BMessage::ReplaceString(const char* name, const BString& string)
{
    return ReplaceString(name, 0, string.String());
}

status_t BMessage::ReplaceString(const char* name, int32 index, const BString& string)
{
    return ReplaceString(name, index, string.String());
}

bool BMessage::HasString(const char* name, int32 index) const
{
    return HasData(name, B_STRING_TYPE, index);
}

namespace {

std::vector<char> flatten_copy(const BMessage* message)
{
    std::vector<char> bytes(static_cast<size_t>(message->FlattenedSize()));
    message->Flatten(bytes.data(), static_cast<ssize_t>(bytes.size()));
    return bytes;
}

} // namespace

status_t BMessage::AddMessage(const char* name, const BMessage* message)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::vector<char> bytes = flatten_copy(message);
    return AddData(name, B_MESSAGE_TYPE, bytes.data(), static_cast<ssize_t>(bytes.size()));
}

status_t BMessage::FindMessage(const char* name, BMessage* message) const
{
    return FindMessage(name, 0, message);
}

status_t BMessage::FindMessage(const char* name, int32 index, BMessage* message) const
{
    const std::vector<uint8>* item;
    status_t status = Locate(name, B_MESSAGE_TYPE, index, &item);
    if (status != B_OK || message == nullptr)
        return status;
    return message->Unflatten(reinterpret_cast<const char*>(item->data()),
                              static_cast<ssize_t>(item->size()));
}

status_t BMessage::ReplaceMessage(const char* name, const BMessage* message)
{
    return ReplaceMessage(name, 0, message);
}

status_t BMessage::ReplaceMessage(const char* name, int32 index, const BMessage* message)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    std::vector<char> bytes = flatten_copy(message);
    return Replace(name, B_MESSAGE_TYPE, index, bytes.data(), static_cast<ssize_t>(bytes.size()));
}

bool BMessage::HasMessage(const char* name, int32 index) const
{
    return HasData(name, B_MESSAGE_TYPE, index);
}
