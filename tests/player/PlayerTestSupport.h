// What the player's tests share: APE files of several kinds made by the
// real codec library (with their PCM), tags written into copies, and a
// temporary home that holds the library.
#pragma once

#include <TestSupport.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace player_test {

struct Sample {
    std::string kind;
    int channels;
    int bits;
    uint32_t rate;
    uint32_t frames;
    std::string wave;            // the original WAVE file
    std::string ape;             // made from it by the codec library
    std::vector<uint8_t> pcm;    // its PCM as the WAVE file holds it

    uint32_t FrameSize() const { return uint32_t(channels * ((bits + 7) / 8)); }
    // The PCM of frames [first, first + count), cut at the end.
    std::vector<uint8_t> Frames(uint64_t first, uint64_t count) const;
};

// The kinds the decoding tests go through, made once per process: stereo
// CD, mono, 8-bit, 24-bit at 96 kHz, six channels, a file shorter than one
// refill of the add-on and one of exactly one refill.
const std::vector<Sample>& samples();
const Sample& sample(const std::string& kind);
// Half a second of stereo CD audio in which no byte is 0, so that the
// silence an output adds can be told from the file's own samples.
const Sample& sample_without_zero_bytes();

// Mono 16-bit CD audio over three of the codec's frames, no byte 0:
// damage in a later frame leaves the audio before it.
const Sample& sample_of_three_codec_frames();

// A copy of the sample's APE file at path, with these tag fields.
void tagged_copy(const Sample& from, const std::string& path, const std::map<std::string, std::string>& fields);

// The real codec library as built, the add-on and the player.
std::string codec_library();
std::string addon_file();
std::string player();

// The player with a temporary home that holds the real codec library (and
// a private folder for the application registry), in English.
suite_test::Environment player_env(const suite_test::TempHome& home);

// A program running beside the test, its standard output read as it
// comes. Ended (SIGTERM, then waited for) with the object.
class Child {
public:
    Child(const std::vector<std::string>& argv, const suite_test::Environment& env);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Waits until the output so far holds text after what earlier calls
    // consumed; false after the time limit or when the program ended.
    bool WaitFor(const std::string& text, int seconds = 30);
    // The output up to and including the last text waited for.
    const std::string& Seen() const { return fSeen; }
    // Waits for the program to end: its exit status, -1 after a signal.
    int Wait();

private:
    int fPid = -1;
    int fOut = -1;
    std::string fOutput;
    std::string fSeen;
    size_t fConsumed = 0;
};

// The large icon of a file as BNodeInfo reads it (1024 B_CMAP8 pixels),
// and the short text of its version record; empty when it has none.
std::string icon_of(const std::string& file);
std::string version_text_of(const std::string& file);

// The data chunk of a WAVE file.
std::vector<uint8_t> wave_data(const std::string& path);

// The output of an audio output with its added silence left out: runs of
// whole frames whose bytes are all zero are dropped.
std::vector<uint8_t> without_silence(const std::vector<uint8_t>& bytes, uint32_t frameSize);

}  // namespace player_test
