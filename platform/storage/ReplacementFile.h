// Storage kit: BReplacementFile, the one way the kits and the suite
// replace a file whole. The new content is written into a file of its own,
// under a unique name beside the target, synced, and only then put in the
// target's place in one step: renamed over it, or, where an existing
// target must never be replaced, linked to its name. Readers, a kill, a
// full disk and other writers saving the same file at the same moment
// meet the old file or one new file, never a part or a mix. Until it is
// committed the new file is removed on any failure, and with the object.
//
// The target is the name as given: a link there is replaced by the file,
// so a caller that means to keep the link resolves it first.
#pragma once

#include <File.h>

#include <string>

enum {
    // Commit fails with B_FILE_EXISTS when the target exists, and leaves
    // it as it is.
    B_KEEP_EXISTING = 0x01,
};

class BReplacementFile : public BFile {
public:
    BReplacementFile();
    ~BReplacementFile() override;

    // Creates the new file, empty and open for reading and writing, beside
    // target with these permissions (less the umask).
    status_t SetTo(const char* target, mode_t permissions = 0644, uint32 flags = 0);

    // The new file's own name while it is being written; empty when there
    // is none.
    const char* Path() const { return fPath.c_str(); }
    const char* Target() const { return fTarget.c_str(); }

    // Syncs and closes the new file and puts it in the target's place. On
    // any failure the new file is removed and the target left as it was.
    status_t Commit();
    // Removes the new file; nothing is put in place.
    void Abandon();

private:
    std::string fPath;
    std::string fTarget;
    uint32 fFlags;
};

// Replaces the file at target with size bytes of data, through a
// BReplacementFile.
status_t replace_file(const char* target, const void* data, size_t size, mode_t permissions = 0644,
                      uint32 flags = 0);
