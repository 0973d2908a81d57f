#include "AppFileInfo.h"

#include <cstring>
#include <vector>

#include "File.h"
#include "MimeType.h"
#include "Resources.h"

const char* const kAppSignatureName = "BEOS:APP_SIG";
const char* const kAppVersionName = "BEOS:APP_VERSION";

namespace {

// The attribute's bytes, or else the resource's.
status_t read_info(BFile* file, const char* name, type_code type, int32 id, std::vector<uint8>* data)
{
    attr_info attr;
    if (file->GetAttrInfo(name, &attr) == B_OK && attr.type == type && attr.size >= 0
        && attr.size <= 64 * 1024) {
        data->resize(size_t(attr.size));
        ssize_t n = file->ReadAttr(name, type, 0, data->data(), data->size());
        if (n >= 0) {
            data->resize(size_t(n));
            return B_OK;
        }
    }
    BResources resources(file);
    if (resources.InitCheck() != B_OK)
        return resources.InitCheck();
    size_t size = 0;
    const void* bytes = resources.LoadResource(type, id, &size);
    if (bytes == nullptr)
        return B_ENTRY_NOT_FOUND;
    const uint8* begin = static_cast<const uint8*>(bytes);
    data->assign(begin, begin + size);
    return B_OK;
}

}  // namespace

BAppFileInfo::BAppFileInfo()
    : fFile(nullptr)
{
}

BAppFileInfo::BAppFileInfo(BFile* file)
    : fFile(nullptr)
{
    SetTo(file);
}

BAppFileInfo::~BAppFileInfo() = default;

status_t BAppFileInfo::SetTo(BFile* file)
{
    fFile = nullptr;
    status_t status = BNodeInfo::SetTo(file);
    if (status != B_OK)
        return status;
    fFile = file;
    return B_OK;
}

status_t BAppFileInfo::GetSignature(char* signature) const
{
    if (fFile == nullptr)
        return B_NO_INIT;
    if (signature == nullptr)
        return B_BAD_VALUE;
    std::vector<uint8> data;
    status_t status = read_info(fFile, kAppSignatureName, B_APP_SIGNATURE_TYPE,
        kAppSignatureResourceId, &data);
    if (status != B_OK)
        return status;
    std::string text(data.begin(), data.end());
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    if (text.size() >= B_MIME_TYPE_LENGTH || !BMimeType::IsValid(text.c_str()))
        return B_BAD_DATA;
    memcpy(signature, text.c_str(), text.size() + 1);
    return B_OK;
}

status_t BAppFileInfo::GetVersionInfo(version_info* info, version_kind kind) const
{
    if (fFile == nullptr)
        return B_NO_INIT;
    if (info == nullptr)
        return B_BAD_VALUE;
    std::vector<uint8> data;
    const int32 id = kind == B_SYSTEM_VERSION_KIND ? kSystemVersionResourceId : kAppVersionResourceId;
    // Attributes hold both records one after the other.
    status_t status = read_info(fFile, kAppVersionName, B_VERSION_INFO_TYPE, id, &data);
    if (status != B_OK)
        return status;
    if (data.size() == 2 * sizeof(version_info))
        data.erase(data.begin(), data.begin() + (kind == B_SYSTEM_VERSION_KIND ? sizeof(version_info) : 0));
    if (data.size() < sizeof(version_info))
        return B_BAD_DATA;
    memcpy(info, data.data(), sizeof(version_info));
    info->short_info[sizeof info->short_info - 1] = '\0';
    info->long_info[sizeof info->long_info - 1] = '\0';
    return B_OK;
}
