#include "Stream.h"

#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "Checksum.h"
#include "Files.h"

namespace monkeys {

namespace {

constexpr size_t kCopyBuffer = size_t(1) << 16;
// What is written between two syncs as a file grows.
constexpr uint64_t kWritebackStep = uint64_t(4) << 20;

int write_error(int err) { return err == EPIPE ? APE_ERROR_OUTPUT_CLOSED : APE_ERROR_WRITE; }

class CallbackInput final : public Input {
public:
    explicit CallbackInput(const APEStream& s) : s_(s)
    {
        seekable_ = s.seek != nullptr;
        size_ = s.size ? s.size(s.context) : -1;
        if (size_ < -1)
            size_ = -1;
    }

protected:
    int64_t rawRead(void* data, size_t size) override
    {
        int64_t n = s_.read(s_.context, data, int64_t(size));
        return n > int64_t(size) ? -1 : n;
    }
    bool rawSeek(uint64_t offset) override { return s_.seek(s_.context, int64_t(offset)) == 0; }

private:
    APEStream s_;
};

class CallbackOutput final : public Output {
public:
    explicit CallbackOutput(const APEStream& s) : s_(s) { seekable_ = s.seek != nullptr; }

protected:
    int rawWrite(const void* data, size_t size) override
    {
        int rc = s_.write(s_.context, data, int64_t(size));
        return rc == 0 ? APE_OK : rc == -2 ? APE_ERROR_OUTPUT_CLOSED : APE_ERROR_WRITE;
    }
    int rawWriteAt(uint64_t offset, const void* data, size_t size) override
    {
        int rc = rawSeek(offset) ? rawWrite(data, size) : APE_ERROR_WRITE;
        return rc == APE_OK && !rawSeek(position_) ? APE_ERROR_WRITE : rc;
    }
    bool rawSeek(uint64_t offset) override { return s_.seek(s_.context, int64_t(offset)) == 0; }

private:
    APEStream s_;
};

} // namespace

int64_t Input::readSome(void* data, size_t size)
{
    char* p = static_cast<char*>(data);
    size_t done = 0;
    while (done < size) {
        int64_t n = rawRead(p + done, size - done);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += size_t(n);
        position_ += uint64_t(n);
    }
    return int64_t(done);
}

int Input::read(void* data, size_t size)
{
    int64_t n = readSome(data, size);
    if (n < 0)
        return APE_ERROR_READ;
    return size_t(n) == size ? APE_OK : APE_ERROR_TRUNCATED;
}

int Input::skip(uint64_t size)
{
    if (seekable_) {
        if (!rawSeek(position_ + size))
            return APE_ERROR_READ;
        position_ += size;
        return size_ >= 0 && position_ > uint64_t(size_) ? APE_ERROR_TRUNCATED : APE_OK;
    }
    int64_t left = int64_t(size);
    uint32_t crc = 0;
    return copy_through(*this, left, crc, nullptr);
}

int Input::seek(uint64_t offset)
{
    if (offset == position_)
        return APE_OK;
    if (!seekable_)
        return offset > position_ ? skip(offset - position_) : APE_ERROR_NOT_SEEKABLE;
    if (!rawSeek(offset))
        return APE_ERROR_READ;
    position_ = offset;
    return APE_OK;
}

int Input::readAt(uint64_t offset, void* data, size_t size)
{
    int rc = seek(offset);
    return rc == APE_OK ? read(data, size) : rc;
}

int Output::write(const void* data, size_t size)
{
    int rc = rawWrite(data, size);
    if (rc == APE_OK)
        position_ += size;
    return rc;
}

int Output::writeAt(uint64_t offset, const void* data, size_t size)
{
    return seekable_ ? rawWriteAt(offset, data, size) : APE_ERROR_WRITE;
}

int Output::seek(uint64_t offset)
{
    if (!seekable_ || !rawSeek(offset))
        return APE_ERROR_WRITE;
    position_ = offset;
    return APE_OK;
}

FdInput::FdInput(int fd, bool own) : fd_(fd), owned_(own ? fd : -1)
{
    if (::fstat(fd, &st_) != 0 || !S_ISREG(st_.st_mode))
        return;
    regular_ = true;
    off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0)
        return;
    base_ = at;
    seekable_ = true;
    size_ = st_.st_size > at ? st_.st_size - at : 0;
}

FdInput::~FdInput()
{
    if (base_ >= 0 && owned_.get() < 0)
        ::lseek(fd_, off_t(base_ + int64_t(position_)), SEEK_SET);
}

int64_t FdInput::rawRead(void* data, size_t size)
{
    return read_full(fd_, data, size, base_ < 0 ? -1 : base_ + int64_t(position_));
}

// Syncs the file when asked, one sync at a time; a request made while one
// runs is served by the next.
class FdOutput::Syncer {
public:
    explicit Syncer(int fd) : fd_(fd), thread_(&Syncer::run, this) {}
    ~Syncer()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void ask()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            asked_ = true;
        }
        wake_.notify_one();
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return asked_ || stop_; });
            if (!asked_)
                return;
            asked_ = false;
            lock.unlock();
            ::fdatasync(fd_);  // the final sync reports what fails
            lock.lock();
        }
    }

    const int fd_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool asked_ = false, stop_ = false;
    std::thread thread_;
};

FdOutput::FdOutput() = default;

FdOutput::FdOutput(int fd, bool writeback) { attach(fd, writeback); }

FdOutput::~FdOutput() { settle(); }

void FdOutput::settle() { syncer_.reset(); }

void FdOutput::attach(int fd, bool writeback)
{
    fd_ = fd;
    writeback_ = writeback;
    struct stat st;
    // Appending writes every byte at the end whatever the offset asked for.
    int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || (flags & O_APPEND))
        return;
    off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at < 0)
        return;
    base_ = at;
    seekable_ = true;
}

int FdOutput::rawWrite(const void* data, size_t size)
{
    if (base_ < 0)
        return write_full(fd_, data, size) ? APE_OK : write_error(errno);
    int rc = rawWriteAt(position_, data, size);
    if (rc == APE_OK && writeback_ && position_ + size >= sent_ + kWritebackStep) {
        try {
            if (!syncer_)
                syncer_ = std::make_unique<Syncer>(fd_);
            syncer_->ask();
        } catch (const std::exception&) {
            // no thread: a hint, and where it is refused the final sync does it all
            ::sync_file_range(fd_, off64_t(base_ + int64_t(sent_)), off64_t(position_ + size - sent_),
                              SYNC_FILE_RANGE_WRITE);
        }
        sent_ = position_ + size;
    }
    return rc;
}

int FdOutput::rawWriteAt(uint64_t offset, const void* data, size_t size)
{
    if (!write_full(fd_, data, size, base_ + int64_t(offset)))
        return write_error(errno);
    if (offset + size > end_)
        end_ = offset + size;
    return APE_OK;
}

int FdOutput::finish()
{
    if (base_ >= 0 && ::lseek(fd_, off_t(base_ + int64_t(end_)), SEEK_SET) < 0)
        return APE_ERROR_WRITE;
    return APE_OK;
}

int open_input(const APEStream& stream, std::unique_ptr<Input>& input)
{
    if (stream.path) {
        FileHandle fd;
        struct stat st;
        int rc = open_source(stream.path, fd, st);
        if (rc != APE_OK)
            return rc;
        input.reset(new FdInput(fd.release(), true));
        return APE_OK;
    }
    if (stream.fd >= 0)
        input.reset(new FdInput(stream.fd));
    else if (stream.read)
        input.reset(new CallbackInput(stream));
    else
        return APE_ERROR_BAD_ARGUMENT;
    return APE_OK;
}

int open_output(const APEStream& stream, const Input& source, std::unique_ptr<Output>& output)
{
    if (stream.path) {
        std::unique_ptr<OutputFile> file(new OutputFile);
        int rc = file->create(stream.path, source.file());
        if (rc != APE_OK)
            return rc;
        output = std::move(file);
        return APE_OK;
    }
    if (stream.fd >= 0) {
        struct stat st;
        const struct stat* in = source.file();
        if (in && ::fstat(stream.fd, &st) == 0 && st.st_dev == in->st_dev && st.st_ino == in->st_ino)
            return APE_ERROR_SAME_FILE;
        output.reset(new FdOutput(stream.fd));
    } else if (stream.write) {
        output.reset(new CallbackOutput(stream));
    } else {
        return APE_ERROR_BAD_ARGUMENT;
    }
    return APE_OK;
}

int copy_through(Input& in, int64_t& size, uint32_t& crc, Output* out)
{
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kCopyBuffer]);
    const bool toTheEnd = size < 0;
    uint64_t done = 0;
    while (toTheEnd || done < uint64_t(size)) {
        size_t want = toTheEnd || uint64_t(size) - done > kCopyBuffer ? kCopyBuffer : size_t(uint64_t(size) - done);
        int64_t n = in.readSome(buffer.get(), want);
        if (n < 0)
            return APE_ERROR_READ;
        if (n == 0)
            break;
        crc = crc32(crc, buffer.get(), size_t(n));
        if (out) {
            int rc = out->write(buffer.get(), size_t(n));
            if (rc != APE_OK)
                return rc;
        }
        done += uint64_t(n);
    }
    if (toTheEnd)
        size = int64_t(done);
    return done == uint64_t(size) ? APE_OK : APE_ERROR_TRUNCATED;
}

int Spool::create(const APEStream& destination)
{
    std::string folder;
    if (destination.path)
        folder = folder_of(destination.path);
    else if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
        folder = tmp;
    else
        folder = "/tmp";
    std::string tempPath;
    int rc = open_unnamed(folder, "spool", fd_, tempPath);
    if (rc != APE_OK)
        return rc;
    // It is read back by its descriptor; no name is ever needed.
    if (!tempPath.empty())
        ::unlink(tempPath.c_str());
    out_.attach(fd_.get(), false);
    return out_.seekable() ? APE_OK : APE_ERROR_WRITE;
}

Input& Spool::in()
{
    if (!in_)
        in_.reset(new FdInput(fd_.get()));
    return *in_;
}

} // namespace monkeys
