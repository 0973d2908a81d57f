// What the file calls read and write: a named file, a descriptor the
// caller opened, or the caller's callbacks (APEStream). Inputs are read
// front to back, and where they can seek also at any offset; outputs are
// written front to back, and where they can seek also at any offset,
// which lets the encoder fill in the header last.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <sys/stat.h>

#include "FileIo.h"
#include "MonkeysAudioLib.h"

namespace monkeys {

class Input {
public:
    virtual ~Input() = default;

    // Exactly size bytes at the position: APE_OK, APE_ERROR_TRUNCATED where
    // the input ends first, APE_ERROR_READ.
    int read(void* data, size_t size);
    // As many bytes as there are, up to size: the count, or -1 on an error.
    int64_t readSome(void* data, size_t size);
    // Passes over size bytes: seeks where it can, reads them where it cannot.
    int skip(uint64_t size);
    // Moves to offset; an input that cannot seek moves only forward.
    int seek(uint64_t offset);
    // Exactly size bytes at offset, as seek and read.
    int readAt(uint64_t offset, void* data, size_t size);

    bool seekable() const { return seekable_; }
    uint64_t position() const { return position_; }
    // Bytes from the start to the end, or -1 when unknown.
    int64_t size() const { return size_; }
    // The file read, where it is one (for the same-file check), else null.
    virtual const struct stat* file() const { return nullptr; }

protected:
    // Up to size bytes at the position: the count, 0 at the end, -1 on an error.
    virtual int64_t rawRead(void* data, size_t size) = 0;
    // Moves to offset; only called where the input can seek.
    virtual bool rawSeek(uint64_t offset) = 0;

    bool seekable_ = false;
    int64_t size_ = -1;
    uint64_t position_ = 0;
};

class Output {
public:
    virtual ~Output() = default;

    // All of data at the position: APE_OK, APE_ERROR_WRITE, or
    // APE_ERROR_OUTPUT_CLOSED where the reader has gone (a closed pipe).
    int write(const void* data, size_t size);
    // All of data at offset, keeping the position; seekable outputs only.
    int writeAt(uint64_t offset, const void* data, size_t size);
    // Moves the position (leaving a hole to fill later); seekable only.
    int seek(uint64_t offset);
    // Everything was written: a named file appears under its name.
    virtual int finish() { return APE_OK; }

    bool seekable() const { return seekable_; }
    uint64_t position() const { return position_; }

protected:
    virtual int rawWrite(const void* data, size_t size) = 0;
    virtual int rawWriteAt(uint64_t offset, const void* data, size_t size) = 0;
    virtual bool rawSeek(uint64_t offset) = 0;

    bool seekable_ = false;
    uint64_t position_ = 0;
};

// A descriptor, not owned. A regular file is read and written at the
// descriptor's offset when attached plus the position, so it can seek; a
// file opened for appending, a pipe, a terminal or a socket only front to
// back.
class FdInput : public Input {
public:
    // own: the descriptor is closed with the input
    explicit FdInput(int fd, bool own = false);
    // leaves a descriptor of the caller's with its offset after what was
    // read, as reading it front to back would have
    ~FdInput() override;
    const struct stat* file() const override { return regular_ ? &st_ : nullptr; }

protected:
    int64_t rawRead(void* data, size_t size) override;
    bool rawSeek(uint64_t) override { return true; }

private:
    int fd_;
    int64_t base_ = -1;   // the offset of position 0; -1 reading front to back
    struct stat st_ {};
    bool regular_ = false;
    FileHandle owned_;
};

class FdOutput : public Output {
public:
    FdOutput();
    ~FdOutput() override;
    // writeback: syncs what is written as the file grows, on a thread of
    // its own, so that the sync of a file that will be synced has little
    // left to do (a sync's time follows the bytes written since the last)
    explicit FdOutput(int fd, bool writeback = false);
    void attach(int fd, bool writeback);
    // leaves a regular file's offset after what was written
    int finish() override;
    // Waits for the syncs under way; before the descriptor is closed.
    void settle();

protected:
    int rawWrite(const void* data, size_t size) override;
    int rawWriteAt(uint64_t offset, const void* data, size_t size) override;
    bool rawSeek(uint64_t) override { return true; }

private:
    int fd_ = -1;
    int64_t base_ = -1;   // as FdInput's
    bool writeback_ = false;
    uint64_t sent_ = 0;   // bytes sent to the disk so far
    uint64_t end_ = 0;    // the end of what was written
    class Syncer;
    std::unique_ptr<Syncer> syncer_;  // started at the first step
};

// The input or the output a stream names: a named file by the file calls'
// rules (a source must be a regular file; a destination must not exist,
// is not the source, and appears only once finished), a descriptor, or
// the callbacks. A destination that is the source's file is refused.
int open_input(const APEStream& stream, std::unique_ptr<Input>& input);
int open_output(const APEStream& stream, const Input& source, std::unique_ptr<Output>& output);

// Copies size bytes of in from its position through crc (CRC-32) to out
// (null: nowhere). With size -1 copies to the end of in, and gives the
// count in size.
int copy_through(Input& in, int64_t& size, uint32_t& crc, Output* out);

// An unnamed temporary file that holds the encoder's output until its
// header is known: in the destination's folder for a named destination,
// in $TMPDIR (or /tmp) otherwise. Written front to back, read anywhere.
class Spool {
public:
    int create(const APEStream& destination);
    Output& out() { return out_; }
    // for reading back, once everything is written
    Input& in();

private:
    FileHandle fd_;
    FdOutput out_;
    std::unique_ptr<Input> in_;
};

} // namespace monkeys
