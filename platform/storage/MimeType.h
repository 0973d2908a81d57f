// Storage kit: BMimeType, a file type or application signature, and the
// small per-user type database that keeps their icons:
//   <settings folder>/velmor/mime_db/<supertype>/<subtype>/large-icon
//   <settings folder>/velmor/mime_db/<supertype>/<subtype>/mini-icon
// Each icon is the raw B_CMAP8 pixels (1024 and 256 bytes). Type names
// are compared without regard to case, and stored in lower case.
#pragma once

#include <Mime.h>

#include <string>

class BBitmap;

class BMimeType {
public:
    BMimeType();
    explicit BMimeType(const char* type);
    ~BMimeType();

    // B_BAD_VALUE for a name that is not "supertype/subtype" (or a lone
    // supertype) of printable characters outside the separators.
    status_t SetTo(const char* type);
    void Unset();
    status_t InitCheck() const { return fStatus; }
    const char* Type() const { return fStatus == B_OK ? fType.c_str() : nullptr; }
    static bool IsValid(const char* type);

    // In the database: the type's folder exists.
    bool IsInstalled() const;
    status_t Install();

    // As BNodeInfo's (interface kit): B_ENTRY_NOT_FOUND when the type has
    // no such icon.
    status_t GetIcon(BBitmap* icon, icon_size which) const;
    status_t SetIcon(const BBitmap* icon, icon_size which);

    // The type's folder in the database.
    status_t GetDatabasePath(std::string* path) const;

private:
    std::string fType;
    status_t fStatus;
};
