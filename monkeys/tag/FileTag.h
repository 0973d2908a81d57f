// The APEv2 tag at the end of a file of this codec.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "MonkeysAudioLib.h"

namespace monkeys {

// Opens the tag of the file at path. The tag lies after the audio:
// audioEnd is the offset where the audio part of the file ends (the tag
// is never looked for, nor written, before it), or -1 when unknown.
// Returns an object for every path (empty when the file has no readable
// tag; its Save then fails when the file cannot be written) and null only
// when memory runs out. *error (may be null) receives the reason the tag
// could not be read, 0 when it was read or there is none.
CAPETag* open_file_tag(const char* path, int64_t audioEnd, int* error);

// Reads exactly size bytes at offset of something size bytes long; false
// on any failure.
using TagRead = std::function<bool(int64_t offset, void* data, size_t size)>;
// The tag of bytes that are no named file (a stream that can seek): read
// as open_file_tag reads it, and never saved (Save fails as read-only).
// Null only when memory runs out.
CAPETag* read_tag(const TagRead& read, int64_t size, int64_t audioEnd);

} // namespace monkeys
