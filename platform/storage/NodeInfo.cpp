#include "NodeInfo.h"

#include <cstring>

namespace {

const char kTypeAttr[] = "BEOS:TYPE";
const type_code kMimeStringType = 0x4D494D53;  // 'MIMS'

}  // namespace

BNodeInfo::BNodeInfo() : fNode(nullptr) {}

BNodeInfo::BNodeInfo(BNode* node) : fNode(nullptr)
{
    SetTo(node);
}

BNodeInfo::~BNodeInfo() = default;

status_t BNodeInfo::SetTo(BNode* node)
{
    fNode = nullptr;
    if (node == nullptr)
        return B_BAD_VALUE;
    if (node->InitCheck() != B_OK)
        return node->InitCheck();
    fNode = node;
    return B_OK;
}

status_t BNodeInfo::GetType(char* type) const
{
    if (fNode == nullptr)
        return B_NO_INIT;
    if (type == nullptr)
        return B_BAD_VALUE;
    ssize_t n = fNode->ReadAttr(kTypeAttr, kMimeStringType, 0, type, B_MIME_TYPE_LENGTH - 1);
    if (n < 0)
        return status_t(n);
    type[n] = '\0';
    // The stored text may carry its terminator.
    return B_OK;
}

status_t BNodeInfo::SetType(const char* type)
{
    if (fNode == nullptr)
        return B_NO_INIT;
    if (type == nullptr)
        return fNode->RemoveAttr(kTypeAttr);
    size_t n = std::strlen(type);
    if (n >= B_MIME_TYPE_LENGTH)
        return B_BAD_VALUE;
    ssize_t written = fNode->WriteAttr(kTypeAttr, kMimeStringType, 0, type, n + 1);
    return written < 0 ? status_t(written) : B_OK;
}
