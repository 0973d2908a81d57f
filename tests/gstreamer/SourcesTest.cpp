// orvanedec from any source: a file (pulled), HTTP with byte ranges
// (pushed, seeking by ranges) and a pipe through fdsrc (pushed, no seeks,
// played from the start); and orvaneenc, from a FLAC file to an APE file
// the codec library calls sound and decodes to the same WAVE file, and
// back through orvanedec.
#include <gtest/gtest.h>

#include <thread>

#include <unistd.h>

#include "CodecTestSupport.h"
#include "GstTestSupport.h"

using namespace gst_test;
using player_test::Sample;
using player_test::sample;

TEST(GstSources, PlaysFromAnySourceAndSeeksWhereUpstreamCan)
{
    const Sample& s = sample("StereoCD");
    suite_test::TempDir folder("gst-sources");
    suite_test::copy_file(s.ape, folder / "song.ape");
    RangeServer http(folder.Path());
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    std::thread writer([&] {
        const std::string bytes = suite_test::read_file(s.ape);
        for (size_t at = 0; at < bytes.size();) {
            const ssize_t n = write(pipeFds[1], bytes.data() + at, bytes.size() - at);
            if (n <= 0)
                break;
            at += size_t(n);
        }
        close(pipeFds[1]);
    });
    const struct {
        const char* name;
        std::string source;
        bool seekable;
    } cases[] = {
        {"a file, pulled", "filesrc location=\"" + s.ape + "\"", true},
        {"HTTP with byte ranges", "souphttpsrc location=" + http.Url("song.ape"), true},
        {"a pipe", "fdsrc fd=" + std::to_string(pipeFds[0]), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Pipeline pipeline(c.source + " ! decodebin ! appsink name=out sync=false");
        ASSERT_TRUE(pipeline.SetState(GST_STATE_PAUSED));
        gint64 duration = -1;
        EXPECT_TRUE(gst_element_query_duration(pipeline.Get(), GST_FORMAT_TIME, &duration));
        EXPECT_EQ(GstClockTime(duration), frame_time(s.frames, s.rate));
        // Sample-exact seeks where upstream can; elsewhere none, and the
        // whole file from its start.
        const GstClockTime target = frame_time(s.frames / 3, s.rate) + 1;
        EXPECT_EQ(pipeline.Seek(target), c.seekable);
        uint64_t first = 0;
        if (c.seekable) {
            first = gst_util_uint64_scale_int_ceil(target, int(s.rate), GST_SECOND);
            const Received got = pipeline.Pull(true);
            ASSERT_FALSE(got.pts.empty());
            EXPECT_EQ(got.pts[0], frame_time(first, s.rate));
        }
        ASSERT_TRUE(pipeline.SetState(GST_STATE_PLAYING));
        const Received rest = pipeline.Pull();
        EXPECT_TRUE(rest.eos);
        EXPECT_EQ(rest.pcm, s.Frames(first, s.frames - first));
    }
    writer.join();
    close(pipeFds[0]);
}

// What a transcoder does: anything GStreamer decodes, here a tagged FLAC
// file, into an APE file.
TEST(GstEncoder, MakesFilesTheCodecLibraryDecodesToTheSameWave)
{
    const Sample& s = sample("SixChannels");
    suite_test::TempDir folder("gst-encoder");
    const std::string flac = folder / "song.flac", ape = folder / "song.ape", wave = folder / "song.wav";
    ASSERT_EQ(suite_test::run_program({"flac", "-s", "--channel-map=none", "-T", "TITLE=Winter", "-T", "TRACKNUMBER=3",
                  s.wave, "-o", flac}).status, 0);
    {
        Pipeline encode("filesrc location=\"" + flac + "\" ! decodebin ! audioconvert ! orvaneenc level=high ! "
                        "filesink location=\"" + ape + "\"");
        ASSERT_TRUE(encode.SetState(GST_STATE_PLAYING));
        EXPECT_TRUE(encode.WaitForEos());
    }
    EXPECT_EQ(codectest::lib().verify(ape.c_str(), nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(codectest::lib().decompress(ape.c_str(), wave.c_str(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(player_test::wave_data(wave), s.pcm);
    CAPETag* tag = codectest::lib().createTag2(ape.c_str(), nullptr);
    ASSERT_NE(tag, nullptr);
    for (const auto& [field, value] : {std::pair<const char*, const char*>{"Title", "Winter"}, {"Track", "3"}}) {
        char text[64];
        int size = sizeof text;
        tag->GetFieldString(field, text, &size);
        EXPECT_STREQ(text, value) << field;
    }
    codectest::lib().destroyTag(tag);

    Pipeline decode("filesrc location=\"" + ape + "\" ! decodebin ! appsink name=out sync=false");
    ASSERT_TRUE(decode.SetState(GST_STATE_PLAYING));
    const Received back = decode.Pull();
    EXPECT_EQ(back.pcm, s.pcm);
    EXPECT_EQ(back.channelMask, 0x3Fu);
}
