// Storage kit: BNodeInfo, the type and icons a node carries in its
// attributes "BEOS:TYPE", "BEOS:L:STD_ICON" (32 x 32, B_CMAP8) and
// "BEOS:M:STD_ICON" (16 x 16). A file (a BFile node) without an icon
// attribute shows the icon its resources carry ('ICON' and 'MICN', id
// 101; see Resources.h), so that executables and add-ons keep their
// icons through copies and installs.
#pragma once

#include <Mime.h>
#include <Node.h>

class BBitmap;

class BNodeInfo {
public:
    BNodeInfo();
    explicit BNodeInfo(BNode* node);
    ~BNodeInfo();

    // The node is not owned and must outlive this object.
    status_t SetTo(BNode* node);
    status_t InitCheck() const { return fNode != nullptr ? B_OK : B_NO_INIT; }

    // type: B_MIME_TYPE_LENGTH bytes.
    status_t GetType(char* type) const;
    status_t SetType(const char* type);
    // The bitmap must be B_CMAP8 with bounds (0, 0, size - 1, size - 1):
    // B_BAD_VALUE otherwise, B_ENTRY_NOT_FOUND when the node has no icon
    // (neither attribute nor resource).
    // Both are part of the interface kit (they need BBitmap).
    status_t GetIcon(BBitmap* icon, icon_size which = B_LARGE_ICON) const;
    status_t SetIcon(const BBitmap* icon, icon_size which = B_LARGE_ICON);

private:
    BNode* fNode;
};
