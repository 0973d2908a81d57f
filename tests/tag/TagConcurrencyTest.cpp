// Two writers at once, and writers killed in the middle of a save: the
// audio stays whole and the tag is always one complete version (or, after
// a kill, possibly none).
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TagTestSupport.h"

using namespace tagtest;

namespace {

constexpr int64_t kAudio = 2000;

using Fields = std::vector<std::pair<std::string, std::string>>;
const Fields kVersionA = {{"Title", std::string(700, 'a')}, {"Artist", "Writer A"}};
const Fields kVersionB = {{"Title", "b"}, {"Album", "Writer B"}, {"Comment", std::string(90, 'b')}};
const char* const kNames[] = {"Title", "Artist", "Album", "Comment"};

// Replaces the whole tag with one version.
int write_version(const std::string& path, const Fields& fields)
{
    CAPETag* tag = monkeys::open_file_tag(path.c_str(), kAudio, nullptr);
    tag->Remove(1);
    for (const auto& [name, value] : fields)
        tag->SetFieldString(name.c_str(), value.c_str(), -1, 0);
    int result = tag->Save(0);
    delete tag;
    return result;
}

// Which version the file holds: 'A', 'B', '0' for no fields, '?' for a mix.
char version_of(const std::string& path)
{
    TagPtr tag = open_tag(path, kAudio);
    std::map<std::string, std::string> now;
    for (const char* name : kNames) {
        std::string value = field(*tag, name);
        if (!value.empty())
            now[name] = value;
    }
    auto same = [&](const Fields& fields) {
        return now == std::map<std::string, std::string>(fields.begin(), fields.end());
    };
    return now.empty() ? '0' : same(kVersionA) ? 'A' : same(kVersionB) ? 'B' : '?';
}

class TagConcurrency : public ::testing::Test, protected AudioFile {
protected:
    TagConcurrency() : AudioFile(kAudio) {}
};

TEST_F(TagConcurrency, TwoWritersLeaveOneCompleteVersion)
{
    ASSERT_EQ(write_version(path, kVersionA), APE_OK);
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            for (int i = 0; i < 40; ++i)
                if (write_version(path, w ? kVersionB : kVersionA) != APE_OK)
                    _exit(1);
            _exit(0);
        }
    }
    // Readers meanwhile never see a half-written tag.
    int reads = 0;
    bool running = true;
    while (running) {
        char seen = version_of(path);
        ASSERT_TRUE(seen == 'A' || seen == 'B') << "read '" << seen << "' during the saves";
        ++reads;
        running = false;
        for (pid_t w : writers)
            running |= waitpid(w, nullptr, WNOHANG) == 0;
    }
    for (pid_t w : writers) {
        int status = 0;
        waitpid(w, &status, 0);
    }
    char last = version_of(path);
    EXPECT_TRUE(last == 'A' || last == 'B') << last;
    EXPECT_TRUE(audio_intact());
    EXPECT_GT(reads, 0);
}

TEST_F(TagConcurrency, WriterKilledMidSaveLeavesAudioAndNoMixedTag)
{
    std::mt19937 random(12345);
    for (int round = 0; round < 25; ++round) {
        kill_while_saving([&](int i) { write_version(path, i % 2 ? kVersionB : kVersionA); },
                          std::chrono::microseconds(500 + random() % 15000));
        ASSERT_TRUE(audio_intact()) << "round " << round;
        char seen = version_of(path);
        ASSERT_TRUE(seen == 'A' || seen == 'B' || seen == '0') << "mixed tag in round " << round;
    }
    // Whatever the kill left, the next save gives a clean file.
    ASSERT_EQ(write_version(path, kVersionB), APE_OK);
    EXPECT_EQ(version_of(path), 'B');
    ASSERT_EQ(write_version(path, {}), APE_OK);
    EXPECT_EQ(read_file(path), audio);
}

} // namespace
