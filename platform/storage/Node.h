// Storage kit: BNode, a file or folder with attributes.
//
// Attributes are kept as Linux extended attributes in the "user."
// namespace: "user." + name holds the value followed by an eight-byte
// trailer, the type code (big-endian) and the characters "batr". A user
// attribute without that trailer, written by another program, reads as
// raw data (type 'RAWT'). On a file system without user extended attributes every
// attribute operation fails with B_UNSUPPORTED.
#pragma once

#include <Statable.h>
#include <fs_attr.h>

#include <string>
#include <vector>

class BEntry;
struct entry_ref;

class BNode : public BStatable {
public:
    BNode();
    // Links are followed: the node is what the path leads to.
    explicit BNode(const char* path);
    explicit BNode(const BEntry* entry);
    explicit BNode(const entry_ref* ref);
    ~BNode() override;
    BNode(const BNode&) = delete;
    BNode& operator=(const BNode&) = delete;

    status_t SetTo(const char* path);
    status_t SetTo(const BEntry* entry);
    status_t SetTo(const entry_ref* ref);
    void Unset();
    status_t InitCheck() const { return fStatus; }

    status_t GetStat(struct stat* st) const override;
    // Puts the node's data on the disk before it answers.
    status_t Sync();

    // Bytes read or written, or an error: B_ENTRY_NOT_FOUND for no such
    // attribute, B_NAME_TOO_LONG, B_UNSUPPORTED, B_DEVICE_FULL, ...
    // Writing at offset 0 replaces the whole value; further on, it
    // overwrites from there and extends the value as needed.
    ssize_t ReadAttr(const char* name, type_code type, off_t offset, void* buffer, size_t length) const;
    ssize_t WriteAttr(const char* name, type_code type, off_t offset, const void* buffer, size_t length);
    status_t RemoveAttr(const char* name);
    status_t GetAttrInfo(const char* name, attr_info* info) const;
    // Names one after the other into buffer (B_ATTR_NAME_LENGTH bytes);
    // B_ENTRY_NOT_FOUND after the last. RewindAttrs starts over.
    status_t GetNextAttrName(char* buffer);
    status_t RewindAttrs();

protected:
    // The descriptor, for BFile; -1 when not open.
    int Descriptor() const { return fFd; }
    status_t OpenAt(const char* path, int flags, mode_t mode);
    // Closes the node and leaves status as what InitCheck tells.
    status_t Fail(status_t status);

private:
    status_t FullName(const char* name, std::string* full) const;
    status_t LoadAttr(const char* name, std::vector<char>* data, uint32* type) const;

    int fFd;
    status_t fStatus;
    std::vector<std::string> fAttrNames;
    size_t fAttrCursor;
    bool fAttrsListed;
};
