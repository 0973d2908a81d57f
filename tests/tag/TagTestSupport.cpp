#include "TagTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tagtest {

Bytes read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const Bytes& bytes)
{
    // A new file rather than a truncated one: ext4 flushes a file truncated
    // on open, which made the many rewrites of the damage tests slow.
    std::remove(path.c_str());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

Bytes fake_audio(size_t size)
{
    static const char pattern[] = "audio APETAGEX\xd0\x07\0\0 TAG\x01\x80\xff";
    Bytes audio(size);
    for (size_t i = 0; i < size; ++i)
        audio[i] = uint8_t(pattern[i % (sizeof pattern - 1)] ^ (i / 97));
    return audio;
}

Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

AudioFile::AudioFile(size_t audioBytes)
    : path(dir.file("song.ape")), audio(fake_audio(audioBytes))
{
    write_file(path, audio);
}

bool AudioFile::audio_intact() const
{
    Bytes now = read_file(path);
    return now.size() >= audio.size() && std::equal(audio.begin(), audio.end(), now.begin());
}

std::string field(CAPETag& tag, const char* name, int capacity)
{
    std::vector<char> buffer(size_t(capacity) + 16, '\x7f');
    int bytes = capacity;
    tag.GetFieldString(name, buffer.data(), &bytes);
    EXPECT_GE(bytes, 0);
    EXPECT_LT(bytes, capacity);
    EXPECT_EQ(buffer[size_t(bytes)], '\0') << "not NUL-terminated";
    EXPECT_EQ(buffer[size_t(capacity)], '\x7f') << "wrote past the buffer";
    return std::string(buffer.data(), size_t(bytes));
}

Bytes id3v1(const std::string& title)
{
    Bytes block(128, 0);
    block[0] = 'T';
    block[1] = 'A';
    block[2] = 'G';
    for (size_t i = 0; i < title.size() && i < 30; ++i)
        block[3 + i] = uint8_t(title[i]);
    block[127] = 12;
    return block;
}

void kill_while_saving(const std::function<void(int)>& save, std::chrono::microseconds after)
{
    pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        for (int i = 0;; ++i)
            save(i);
    }
    std::this_thread::sleep_for(after);
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
}

std::string python(const std::string& script, const std::vector<std::string>& args, int* status)
{
    TempDir dir;
    std::string scriptPath = dir.file("script.py");
    write_file(scriptPath, Bytes(script.begin(), script.end()));
    std::string command = "/usr/bin/python3 '" + scriptPath + "'";
    for (const std::string& arg : args)
        command += " '" + arg + "'";   // test paths hold no quotes
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("popen failed");
    std::string out;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        out.append(chunk, got);
    int rc = pclose(pipe);
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

} // namespace tagtest
