#include "MimeType.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>

#include "FindDirectory.h"

namespace {

bool valid_part(const std::string& part)
{
    if (part.empty())
        return false;
    for (unsigned char c : part)
        if (c <= 0x20 || c >= 0x7f || std::strchr("/<>@,;:\"()[]?=\\", c) != nullptr)
            return false;
    return true;
}

}  // namespace

BMimeType::BMimeType() : fStatus(B_NO_INIT) {}

BMimeType::BMimeType(const char* type) : fStatus(B_NO_INIT)
{
    SetTo(type);
}

BMimeType::~BMimeType() = default;

bool BMimeType::IsValid(const char* type)
{
    if (type == nullptr || std::strlen(type) >= B_MIME_TYPE_LENGTH)
        return false;
    std::string t(type);
    size_t slash = t.find('/');
    if (slash == std::string::npos)
        return valid_part(t);
    return valid_part(t.substr(0, slash)) && valid_part(t.substr(slash + 1));
}

status_t BMimeType::SetTo(const char* type)
{
    Unset();
    if (!IsValid(type))
        return fStatus = B_BAD_VALUE;
    fType = type;
    for (char& c : fType)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return fStatus = B_OK;
}

void BMimeType::Unset()
{
    fType.clear();
    fStatus = B_NO_INIT;
}

status_t BMimeType::GetDatabasePath(std::string* path) const
{
    if (fStatus != B_OK)
        return fStatus;
    if (path == nullptr)
        return B_BAD_VALUE;
    char settings[B_PATH_NAME_LENGTH];
    status_t status = find_directory(B_USER_SETTINGS_DIRECTORY, -1, false, settings, sizeof settings);
    if (status != B_OK)
        return status;
    *path = std::string(settings) + "/velmor/mime_db/" + fType;
    return B_OK;
}

bool BMimeType::IsInstalled() const
{
    std::string path;
    if (GetDatabasePath(&path) != B_OK)
        return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

status_t BMimeType::Install()
{
    std::string path;
    status_t status = GetDatabasePath(&path);
    if (status != B_OK)
        return status;
    return create_directory(path.c_str(), 0755);
}
