// What the GStreamer plug-in's tests share: an environment in which
// GStreamer sees the plug-in as built (and nothing of the user's: a
// private home, registry and runtime folder), pipelines run in this
// process, and the GStreamer tools run as programs.
#pragma once

#include <PlayerTestSupport.h>

#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

namespace gst_test {

// The environment of a GStreamer program: the home's codec library, the
// built plug-in and add-on, a registry in the home.
suite_test::Environment gst_env(const suite_test::TempHome& home);

// GStreamer initialised in this process, once, in gst_env of a home that
// lives as long as the process and holds the real codec library.
void init_gstreamer();

// The player's samples (player_test::sample), and "TenChannels32Bit":
// the widest samples the codec has, in more channels than any speaker
// layout names.
const player_test::Sample& sample_of(const std::string& kind);

// file:// URI of a path.
std::string uri_of(const std::string& path);

// The time of a frame, as the element stamps it.
GstClockTime frame_time(uint64_t frame, uint32_t rate);

// What reached the appsink named "out".
struct Received {
    std::vector<uint8_t> pcm;
    std::string format;        // of the caps: "S16LE", ...
    int rate = 0, channels = 0;
    uint64_t channelMask = 0;
    std::vector<GstClockTime> pts, durations;
    std::vector<size_t> sizes;   // bytes of each buffer
    bool eos = false;
};

// A pipeline made from a gst-launch description, set to NULL and freed
// with the object.
class Pipeline {
public:
    explicit Pipeline(const std::string& description);
    ~Pipeline();
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;

    GstElement* Get() const { return fPipeline; }
    // Sets the state and waits for it; false when it fails or takes long.
    bool SetState(GstState state);
    // Flushing, accurate seek to [start, stop) (stop: GST_CLOCK_TIME_NONE
    // for the end), waited for.
    bool Seek(GstClockTime start, GstClockTime stop = GST_CLOCK_TIME_NONE);
    // Pulls from the appsink "out" until EOS; or, with paused, its preroll
    // buffer alone.
    Received Pull(bool paused = false);
    // Waits for EOS or an error; true at EOS.
    bool WaitForEos();
    // The first element inside made by that factory, or null.
    GstElement* Find(const char* factory) const;

private:
    GstElement* fPipeline = nullptr;
};

// An HTTP server on 127.0.0.1 serving one folder with byte ranges
// (range_server.py: python's own server has none), for the network
// source; stopped with the object.
class RangeServer {
public:
    explicit RangeServer(const std::string& folder);
    // The URL of a file in the folder.
    std::string Url(const std::string& name) const;

private:
    player_test::Child fServer;
    std::string fPort;
};

// A GStreamer tool run as a program in gst_env(home).
suite_test::ProgramResult run_tool(const std::vector<std::string>& argv, const suite_test::TempHome& home,
    const suite_test::Environment& changes = {}, const std::string& input = {});

}  // namespace gst_test
