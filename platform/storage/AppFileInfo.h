// Storage kit: BAppFileInfo, what an executable or add-on file says about
// the program in it: its signature, its version and its icons. Each is
// read from the file's attributes, or else from the resources the file
// carries (BResources), which survive copies and installs.
#pragma once

#include <NodeInfo.h>

class BFile;

enum version_kind {
    B_APP_VERSION_KIND,
    B_SYSTEM_VERSION_KIND,
};

enum {
    B_APPV_DEVELOPMENT,
    B_APPV_ALPHA,
    B_APPV_BETA,
    B_APPV_GAMMA,
    B_APPV_GOLDEN_MASTER,
    B_APPV_FINAL,
};

struct version_info {
    uint32 major;
    uint32 middle;
    uint32 minor;
    uint32 variety;
    uint32 internal;
    char short_info[64];
    char long_info[256];
};

// Types, names and ids under which files carry these, as attributes
// (name) and as resources (type, name, id).
const type_code B_APP_SIGNATURE_TYPE = 0x4D494D53;   // 'MIMS'
const type_code B_VERSION_INFO_TYPE = 0x41505056;    // 'APPV'
extern const char* const kAppSignatureName;           // "BEOS:APP_SIG"
extern const char* const kAppVersionName;             // "BEOS:APP_VERSION"
const int32 kAppSignatureResourceId = 1;
// The app version record (B_APP_VERSION_KIND) has id 1, the system one 2.
const int32 kAppVersionResourceId = 1;
const int32 kSystemVersionResourceId = 2;

class BAppFileInfo : public BNodeInfo {
public:
    BAppFileInfo();
    explicit BAppFileInfo(BFile* file);
    ~BAppFileInfo();

    // The file is not owned and must outlive this object.
    status_t SetTo(BFile* file);

    // signature: B_MIME_TYPE_LENGTH bytes. B_ENTRY_NOT_FOUND when the file
    // carries none, B_BAD_DATA when what it carries is not a valid type.
    status_t GetSignature(char* signature) const;
    // B_ENTRY_NOT_FOUND when the file carries no such record; B_BAD_DATA
    // when it has the wrong size. The texts always end in a NUL.
    status_t GetVersionInfo(version_info* info, version_kind kind) const;

private:
    BFile* fFile;
};
