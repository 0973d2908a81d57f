// Helpers of the tag tests: scratch files with a known audio part, and
// reading fields back.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FileTag.h"
#include "MonkeysAudioLib.h"

#include <TestSupport.h>

namespace tagtest {

using Bytes = std::vector<uint8_t>;

// A scratch folder, removed with everything in it.
class TempDir : public suite_test::TempDir {
public:
    TempDir() : suite_test::TempDir("tagtest") {}
    std::string file(const std::string& name) const { return *this / name; }
    const std::string& path() const { return Path(); }
};

Bytes read_file(const std::string& path);
void write_file(const std::string& path, const Bytes& bytes);
// Bytes that stand in for audio: a fixed pattern that contains "TAG" and
// "APETAGEX" itself, so that the tag is never looked for inside it (but
// does not begin with a tag, which other taggers would take for one).
Bytes fake_audio(size_t size);
Bytes concat(Bytes a, const Bytes& b);

// A scratch file that holds only stand-in audio of a known size.
class AudioFile {
public:
    explicit AudioFile(size_t audioBytes);
    // The file still begins with exactly that audio.
    bool audio_intact() const;

    TempDir dir;
    std::string path;
    Bytes audio;
};

struct TagDeleter {
    void operator()(CAPETag* tag) const { delete tag; }
};
using TagPtr = std::unique_ptr<CAPETag, TagDeleter>;

TagPtr open_tag(const std::string& path, int64_t audioEnd, int* error = nullptr);
// The field as GetFieldString gives it with a buffer of capacity bytes.
std::string field(CAPETag& tag, const char* name, int capacity = 2048);
// Sets and saves; fails the test on an error.
void set_fields(const std::string& path, int64_t audioEnd,
                const std::vector<std::pair<std::string, std::string>>& fields);

// An ID3v1 block with the given title.
Bytes id3v1(const std::string& title);

// The largest single operator new since the last reset (reset: start over).
size_t largest_allocation(bool reset);

// Runs save(i) for i = 0, 1, ... in a child process and kills it with
// SIGKILL after the given time, whatever it is doing then.
void kill_while_saving(const std::function<void(int)>& save, std::chrono::microseconds after);

// Runs /usr/bin/python3 with the script and its arguments; returns its
// standard output, and its exit status through status.
std::string python(const std::string& script, const std::vector<std::string>& args, int* status);

} // namespace tagtest
