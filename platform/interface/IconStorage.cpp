// The icon operations of BNodeInfo and BMimeType: they fill and read
// bitmaps, so they belong to the interface kit's library.
#include <MimeType.h>
#include <NodeInfo.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "File.h"
#include "ReplacementFile.h"
#include "Resources.h"

namespace {

const type_code kLargeIconType = 0x49434F4E;  // 'ICON'
const type_code kMiniIconType = 0x4D49434E;   // 'MICN'

// Icons are square B_CMAP8 bitmaps of the icon's size.
status_t check_icon(const BBitmap* icon, icon_size which)
{
    if (icon == nullptr || !icon->IsValid() || icon->ColorSpace() != B_CMAP8
        || (which != B_LARGE_ICON && which != B_MINI_ICON))
        return B_BAD_VALUE;
    if (icon->PixelWidth() != int32(which) || icon->PixelHeight() != int32(which))
        return B_BAD_VALUE;
    return B_OK;
}

// Packed rows; the bitmap's rows are the same width (32 and 16 are
// multiples of 4, so there is no padding).
void fill_icon(BBitmap* icon, const std::vector<uint8>& pixels)
{
    icon->SetBits(pixels.data(), int32(pixels.size()), 0, B_CMAP8);
}

std::vector<uint8> icon_pixels(const BBitmap* icon)
{
    const uint8* bits = static_cast<const uint8*>(icon->Bits());
    return std::vector<uint8>(bits, bits + icon->BitsLength());
}

const char* node_icon_attr(icon_size which)
{
    return which == B_LARGE_ICON ? "BEOS:L:STD_ICON" : "BEOS:M:STD_ICON";
}

// Files carry their icons as resources of this id too.
const int32 kIconResourceId = 101;

// The icon among the resources of a file, for a node without the
// attribute (an installed or copied file keeps only its bytes).
status_t resource_icon(BNode* node, icon_size which, std::vector<uint8>& pixels)
{
    BFile* file = dynamic_cast<BFile*>(node);
    if (file == nullptr)
        return B_ENTRY_NOT_FOUND;
    BResources resources(file);
    if (resources.InitCheck() != B_OK)
        return resources.InitCheck();
    size_t size = 0;
    const void* data = resources.LoadResource(which == B_LARGE_ICON ? kLargeIconType : kMiniIconType,
        kIconResourceId, &size);
    if (data == nullptr)
        return B_ENTRY_NOT_FOUND;
    if (size != pixels.size())
        return B_BAD_DATA;
    memcpy(pixels.data(), data, size);
    return B_OK;
}

std::string type_icon_file(const std::string& folder, icon_size which)
{
    return folder + (which == B_LARGE_ICON ? "/large-icon" : "/mini-icon");
}

}  // namespace

status_t BNodeInfo::GetIcon(BBitmap* icon, icon_size which) const
{
    if (fNode == nullptr)
        return B_NO_INIT;
    status_t status = check_icon(icon, which);
    if (status != B_OK)
        return status;
    std::vector<uint8> pixels(size_t(which) * size_t(which));
    ssize_t n = fNode->ReadAttr(node_icon_attr(which),
        which == B_LARGE_ICON ? kLargeIconType : kMiniIconType, 0, pixels.data(), pixels.size());
    if (n == B_ENTRY_NOT_FOUND || n == B_UNSUPPORTED) {
        status = resource_icon(fNode, which, pixels);
        if (status != B_OK)
            return status;
    } else if (n < 0) {
        return status_t(n);
    } else if (size_t(n) != pixels.size()) {
        return B_BAD_DATA;
    }
    fill_icon(icon, pixels);
    return B_OK;
}

status_t BNodeInfo::SetIcon(const BBitmap* icon, icon_size which)
{
    if (fNode == nullptr)
        return B_NO_INIT;
    if (icon == nullptr)
        return fNode->RemoveAttr(node_icon_attr(which));
    status_t status = check_icon(icon, which);
    if (status != B_OK)
        return status;
    std::vector<uint8> pixels = icon_pixels(icon);
    ssize_t n = fNode->WriteAttr(node_icon_attr(which),
        which == B_LARGE_ICON ? kLargeIconType : kMiniIconType, 0, pixels.data(), pixels.size());
    return n < 0 ? status_t(n) : B_OK;
}

status_t BMimeType::GetIcon(BBitmap* icon, icon_size which) const
{
    std::string folder;
    status_t status = GetDatabasePath(&folder);
    if (status != B_OK)
        return status;
    status = check_icon(icon, which);
    if (status != B_OK)
        return status;
    std::FILE* f = std::fopen(type_icon_file(folder, which).c_str(), "rb");
    if (f == nullptr)
        return errno == ENOENT ? B_ENTRY_NOT_FOUND : status_from_errno(errno);
    std::vector<uint8> pixels(size_t(which) * size_t(which) + 1);
    size_t n = std::fread(pixels.data(), 1, pixels.size(), f);
    std::fclose(f);
    // Exactly the icon's pixels, no more and no less.
    if (n != pixels.size() - 1)
        return B_BAD_DATA;
    pixels.pop_back();
    fill_icon(icon, pixels);
    return B_OK;
}

status_t BMimeType::SetIcon(const BBitmap* icon, icon_size which)
{
    std::string folder;
    status_t status = GetDatabasePath(&folder);
    if (status != B_OK)
        return status;
    std::string file = type_icon_file(folder, which);
    if (icon == nullptr)
        return std::remove(file.c_str()) == 0 || errno == ENOENT ? B_OK : status_from_errno(errno);
    status = check_icon(icon, which);
    if (status == B_OK)
        status = Install();
    if (status != B_OK)
        return status;
    // Replaced whole, so a reader never sees half an icon.
    std::vector<uint8> pixels = icon_pixels(icon);
    return replace_file(file.c_str(), pixels.data(), pixels.size());
}
