#include "GstTestSupport.h"

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "CodecTestSupport.h"

namespace gst_test {

namespace {

const GstClockTime kWait = 30 * GST_SECOND;   // a hang guard, not a measurement

GstAppSink* sink_of(GstElement* pipeline)
{
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    EXPECT_NE(sink, nullptr) << "no appsink named out";
    if (sink != nullptr)
        gst_object_unref(sink);   // the pipeline keeps it
    return GST_APP_SINK(sink);
}

void add_sample(Received& received, GstSample* sample)
{
    if (received.format.empty()) {
        const GstStructure* caps = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
        received.format = gst_structure_get_string(caps, "format");
        gst_structure_get_int(caps, "rate", &received.rate);
        gst_structure_get_int(caps, "channels", &received.channels);
        guint64 mask = 0;
        if (gst_structure_get(caps, "channel-mask", GST_TYPE_BITMASK, &mask, nullptr))
            received.channelMask = mask;
    }
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_READ);
    received.pcm.insert(received.pcm.end(), map.data, map.data + map.size);
    gst_buffer_unmap(buffer, &map);
    received.pts.push_back(GST_BUFFER_PTS(buffer));
    received.durations.push_back(GST_BUFFER_DURATION(buffer));
    received.sizes.push_back(map.size);
}

}  // namespace

suite_test::Environment gst_env(const suite_test::TempHome& home)
{
    suite_test::Environment env = player_test::player_env(home);
    // A locale that every machine has, so that the tools print UTF-8.
    env["LC_ALL"] = "C.UTF-8";
    env["GST_REGISTRY"] = home / "gst-registry.bin";
    // The registry is scanned in the program itself, which also lets a
    // sanitizer build load the plug-in.
    env["GST_REGISTRY_FORK"] = "no";
    env["GST_PLUGIN_PATH"] = GST_TEST_PLUGIN_DIR;
    // The user's plug-in folder is the one in the home.
    env["XDG_DATA_HOME"] = std::nullopt;
    return env;
}

void init_gstreamer()
{
    static bool done = [] {
        static suite_test::TempHome home;
        home.InstallLibrary(player_test::codec_library());
        for (const auto& [name, value] : gst_env(home)) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        gst_init(nullptr, nullptr);
        return true;
    }();
    (void)done;
}

const player_test::Sample& sample_of(const std::string& kind)
{
    if (kind != "TenChannels32Bit")
        return player_test::sample(kind);
    static suite_test::TempDir folder("gst-samples");
    static const player_test::Sample wide = [] {
        player_test::Sample s{"TenChannels32Bit", 10, 32, 48000, 4800, folder / "wide.wav", folder / "wide.ape", {}};
        codectest::WaveSpec spec;
        spec.channels = s.channels;
        spec.bits = s.bits;
        spec.rate = s.rate;
        codectest::write_file(s.wave, codectest::make_wave(spec, codectest::noise(s.frames * 10, 32, 3)));
        int progress = 0, kill = 0;
        EXPECT_EQ(codectest::lib().compress(s.wave.c_str(), s.ape.c_str(), 2000, &progress, nullptr, &kill), 0);
        s.pcm = player_test::wave_data(s.wave);
        return s;
    }();
    return wide;
}

std::string uri_of(const std::string& path)
{
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string text = uri != nullptr ? uri : "";
    g_free(uri);
    return text;
}

GstClockTime frame_time(uint64_t frame, uint32_t rate)
{
    return gst_util_uint64_scale_int(frame, GST_SECOND, int(rate));
}

Pipeline::Pipeline(const std::string& description)
{
    init_gstreamer();
    GError* error = nullptr;
    fPipeline = gst_parse_launch(description.c_str(), &error);
    EXPECT_EQ(error, nullptr) << description << ": " << (error != nullptr ? error->message : "");
    g_clear_error(&error);
}

Pipeline::~Pipeline()
{
    if (fPipeline == nullptr)
        return;
    EXPECT_NE(gst_element_set_state(fPipeline, GST_STATE_NULL), GST_STATE_CHANGE_FAILURE);
    gst_object_unref(fPipeline);
}

bool Pipeline::SetState(GstState state)
{
    if (gst_element_set_state(fPipeline, state) == GST_STATE_CHANGE_FAILURE)
        return false;
    return gst_element_get_state(fPipeline, nullptr, nullptr, kWait) == GST_STATE_CHANGE_SUCCESS;
}

bool Pipeline::Seek(GstClockTime start, GstClockTime stop)
{
    const bool toEnd = !GST_CLOCK_TIME_IS_VALID(stop);
    if (!gst_element_seek(fPipeline, 1.0, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
            GST_SEEK_TYPE_SET, gint64(start), toEnd ? GST_SEEK_TYPE_NONE : GST_SEEK_TYPE_SET,
            toEnd ? -1 : gint64(stop)))
        return false;
    return gst_element_get_state(fPipeline, nullptr, nullptr, kWait) == GST_STATE_CHANGE_SUCCESS;
}

Received Pipeline::Pull(bool paused)
{
    Received received;
    GstAppSink* sink = sink_of(fPipeline);
    if (sink == nullptr)
        return received;
    if (paused) {
        if (GstSample* sample = gst_app_sink_try_pull_preroll(sink, kWait)) {
            add_sample(received, sample);
            gst_sample_unref(sample);
        }
        received.eos = gst_app_sink_is_eos(sink);
        return received;
    }
    while (GstSample* sample = gst_app_sink_try_pull_sample(sink, kWait)) {
        add_sample(received, sample);
        gst_sample_unref(sample);
    }
    received.eos = gst_app_sink_is_eos(sink);
    return received;
}

bool Pipeline::WaitForEos()
{
    GstBus* bus = gst_element_get_bus(fPipeline);
    GstMessage* message
        = gst_bus_timed_pop_filtered(bus, kWait, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    gst_object_unref(bus);
    const bool eos = message != nullptr && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message != nullptr && !eos) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        ADD_FAILURE() << "error instead of EOS: " << error->message;
        g_error_free(error);
    }
    if (message != nullptr)
        gst_message_unref(message);
    return eos;
}

GstElement* Pipeline::Find(const char* factory) const
{
    GstElement* found = nullptr;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(fPipeline));
    GValue item = G_VALUE_INIT;
    while (found == nullptr && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElement* element = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* made = gst_element_get_factory(element);
        if (made != nullptr && strcmp(GST_OBJECT_NAME(made), factory) == 0)
            found = element;   // the pipeline keeps it
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

RangeServer::RangeServer(const std::string& folder)
    : fServer({"/usr/bin/python3", GST_TEST_RANGE_SERVER, folder}, {})
{
    EXPECT_TRUE(fServer.WaitFor("\n")) << "the HTTP server did not start";
    fPort = fServer.Seen().substr(0, fServer.Seen().find('\n'));
}

std::string RangeServer::Url(const std::string& name) const
{
    return "http://127.0.0.1:" + fPort + "/" + name;
}

suite_test::ProgramResult run_tool(const std::vector<std::string>& argv, const suite_test::TempHome& home,
    const suite_test::Environment& changes, const std::string& input)
{
    suite_test::RunOptions options;
    options.env = gst_env(home);
    // In a sanitizer build the plug-in needs the sanitizers' run-time in
    // the tool too; the tool's own leaks are not ours to report.
    if (*GST_TEST_TOOL_PRELOAD != '\0') {
        options.env["LD_PRELOAD"] = GST_TEST_TOOL_PRELOAD;
        const char* asan = getenv("ASAN_OPTIONS");
        options.env["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":detect_leaks=0";
    }
    for (const auto& [name, value] : changes)
        options.env[name] = value;
    options.input = input;
    options.timeout_seconds = 60;
    return suite_test::run_program(argv, options);
}

}  // namespace gst_test
