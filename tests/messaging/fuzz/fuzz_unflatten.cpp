// Any bytes given to Unflatten give an error or a valid message: one that
// can be walked, read field by field (nested messages included) and
// flattened again to the same meaning.
#include <Message.h>

#include <cstdlib>
#include <vector>

namespace {

void walk(const BMessage& message, int depth)
{
    for (int32 i = 0; i < message.CountNames(B_ANY_TYPE); i++) {
        const char* name = nullptr;
        type_code type = 0;
        int32 count = 0;
        if (message.GetInfo(B_ANY_TYPE, i, &name, &type, &count) != B_OK || count < 1)
            abort();
        for (int32 k = 0; k < count; k++) {
            const void* data;
            ssize_t size;
            if (message.FindData(name, type, k, &data, &size) != B_OK)
                abort();
            if (type == B_MESSAGE_TYPE) {
                BMessage inner;
                if (message.FindMessage(name, k, &inner) != B_OK)
                    abort();
                if (depth < 8)
                    walk(inner, depth + 1);
            }
            if (type == B_STRING_TYPE) {
                const char* text;
                if (message.FindString(name, k, &text) != B_OK)
                    abort();
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    BMessage message;
    if (message.Unflatten(reinterpret_cast<const char*>(data), static_cast<ssize_t>(size)) != B_OK) {
        if (!message.IsEmpty() || message.what != 0)
            abort();
        return 0;
    }
    walk(message, 0);
    std::vector<char> again(static_cast<size_t>(message.FlattenedSize()));
    if (message.Flatten(again.data(), static_cast<ssize_t>(again.size())) != B_OK)
        abort();
    BMessage copy;
    if (copy.Unflatten(again.data(), static_cast<ssize_t>(again.size())) != B_OK
        || copy.CountNames(B_ANY_TYPE) != message.CountNames(B_ANY_TYPE) || copy.what != message.what)
        abort();
    return 0;
}
