// The plug-in in real pipelines in this process: decodebin and playbin
// find the element for the suite's files and get exactly their PCM, with
// exact timestamps, from the start and after seeks; state changes at any
// moment of playback.
#include <gtest/gtest.h>

#include "GstTestSupport.h"

using namespace gst_test;
using player_test::Sample;
using player_test::sample;

namespace {

std::string decode_to_appsink(const Sample& s)
{
    return "filesrc location=\"" + s.ape + "\" ! decodebin ! appsink name=out sync=false";
}

struct Kind {
    const char* name;
    const char* format;
    uint64_t channelMask;
};

void PrintTo(const Kind& kind, std::ostream* out)
{
    *out << kind.name;
}

class GstDecode : public testing::TestWithParam<Kind> {};

}  // namespace

TEST_P(GstDecode, DecodebinPicksTheElementAndGivesTheOriginalPcm)
{
    const Sample& s = sample_of(GetParam().name);
    Pipeline pipeline(decode_to_appsink(s));
    ASSERT_TRUE(pipeline.SetState(GST_STATE_PLAYING));
    const Received got = pipeline.Pull();
    EXPECT_TRUE(got.eos);
    EXPECT_NE(pipeline.Find("orvanedec"), nullptr);
    EXPECT_EQ(got.pcm, s.pcm);
    EXPECT_EQ(got.format, GetParam().format);
    EXPECT_EQ(got.rate, int(s.rate));
    EXPECT_EQ(got.channels, s.channels);
    EXPECT_EQ(got.channelMask, GetParam().channelMask);
    // Each buffer is stamped with the time of its first frame and lasts
    // until the next one's.
    uint64_t frame = 0;
    for (size_t i = 0; i < got.pts.size(); i++) {
        const uint64_t frames = got.sizes[i] / s.FrameSize();
        ASSERT_EQ(got.pts[i], frame_time(frame, s.rate)) << "buffer " << i;
        ASSERT_EQ(got.durations[i], frame_time(frame + frames, s.rate) - got.pts[i]) << "buffer " << i;
        frame += frames;
    }
    gint64 duration = -1;
    EXPECT_TRUE(gst_element_query_duration(pipeline.Get(), GST_FORMAT_TIME, &duration));
    EXPECT_EQ(GstClockTime(duration), frame_time(s.frames, s.rate));
}

INSTANTIATE_TEST_SUITE_P(Kinds, GstDecode,
    testing::Values(Kind{"StereoCD", "S16LE", 0x3}, Kind{"Mono", "S16LE", 0}, Kind{"EightBit", "U8", 0x3},
        Kind{"HighRate24Bit", "S24LE", 0x3},
        // front left, right, centre, LFE, rear left, right
        Kind{"SixChannels", "S16LE", 0x3F}, Kind{"TenChannels32Bit", "S32LE", 0}),
    [](const testing::TestParamInfo<Kind>& info) { return std::string(info.param.name); });

// After each seek the first buffer holds exactly the frames from the
// first one at or after the time asked for; a seek with a stop time plays
// exactly up to it.
TEST(GstSeeking, LandsOnTheRightSampleForwardBackNearTheEndAndWithAStop)
{
    for (const char* kind : {"StereoCD", "HighRate24Bit"}) {
        const Sample& s = sample(kind);
        Pipeline pipeline(decode_to_appsink(s));
        ASSERT_TRUE(pipeline.SetState(GST_STATE_PAUSED)) << kind;
        const GstClockTime length = frame_time(s.frames, s.rate);
        // On frames, between frames, across the add-on's refill (10240
        // frames), back to the start, near the end.
        const GstClockTime targets[] = {length / 2, frame_time(7, s.rate), frame_time(10239, s.rate) + 1,
            frame_time(10241, s.rate), 0, frame_time(4096 * 2, s.rate) - 1, frame_time(s.frames - 3, s.rate), 123456};
        for (GstClockTime target : targets) {
            ASSERT_TRUE(pipeline.Seek(target)) << kind << " to " << target;
            const Received got = pipeline.Pull(true);
            const uint64_t first = gst_util_uint64_scale_int_ceil(target, int(s.rate), GST_SECOND);
            ASSERT_FALSE(got.pts.empty()) << kind << " after a seek to " << target;
            EXPECT_EQ(got.pts[0], frame_time(first, s.rate)) << kind << " to " << target;
            EXPECT_EQ(got.pcm, s.Frames(first, got.pcm.size() / s.FrameSize())) << kind << " to " << target;
            EXPECT_FALSE(got.pcm.empty());
        }
        // The end: nothing more.
        ASSERT_TRUE(pipeline.Seek(length)) << kind;
        EXPECT_TRUE(pipeline.Pull(true).pcm.empty()) << kind;

        const uint64_t from = 1000, to = 12000;
        ASSERT_TRUE(pipeline.Seek(frame_time(from, s.rate), frame_time(to, s.rate))) << kind;
        ASSERT_TRUE(pipeline.SetState(GST_STATE_PLAYING));
        const Received part = pipeline.Pull();
        EXPECT_TRUE(part.eos);
        EXPECT_EQ(part.pcm, s.Frames(from, to - from)) << kind;
        // The element's own position: just past the last frame it gave.
        gint64 position = -1;
        EXPECT_TRUE(gst_element_query_position(pipeline.Find("orvanedec"), GST_FORMAT_TIME, &position));
        EXPECT_EQ(GstClockTime(position), frame_time(to, s.rate)) << kind;
    }
}

TEST(GstPlaybin, PlaysToTheEndAndSurvivesStateChangesAtAnyMoment)
{
    const Sample& s = sample("StereoCD");
    // Played in time, so that the changes come during playback.
    Pipeline pipeline("playbin uri=\"" + uri_of(s.ape) + "\" audio-sink=\"fakesink sync=true\"");
    const GstState steps[] = {GST_STATE_PLAYING, GST_STATE_PAUSED, GST_STATE_PLAYING, GST_STATE_READY,
        GST_STATE_PLAYING, GST_STATE_NULL, GST_STATE_PAUSED, GST_STATE_NULL, GST_STATE_PLAYING};
    for (GstState state : steps)
        ASSERT_TRUE(pipeline.SetState(state)) << gst_element_state_get_name(state);
    // A seek while playing, then on to the end.
    ASSERT_TRUE(pipeline.Seek(frame_time(s.frames - 4410, s.rate)));
    EXPECT_TRUE(pipeline.WaitForEos());
    gint64 duration = -1;
    EXPECT_TRUE(gst_element_query_duration(pipeline.Get(), GST_FORMAT_TIME, &duration));
    EXPECT_EQ(GstClockTime(duration), frame_time(s.frames, s.rate));

    // Torn down at once, many times, while the file is being opened,
    // prerolled or played.
    for (int i = 0; i < 20; i++) {
        Pipeline quick("playbin uri=\"" + uri_of(s.ape) + "\" audio-sink=\"fakesink sync=true\"");
        gst_element_set_state(quick.Get(), i % 2 ? GST_STATE_PLAYING : GST_STATE_PAUSED);
        if (i % 3 == 0)
            gst_element_get_state(quick.Get(), nullptr, nullptr, GST_SECOND * 10);
    }
}
