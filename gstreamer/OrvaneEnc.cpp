#include "OrvaneEnc.h"

#include <gst/audio/audio.h>

#include <UsingLibMonkeysAudio.h>

#include <string>
#include <utility>
#include <vector>

#include "ElementTask.h"
#include "OrvaneDec.h"
#include "OrvaneFile.h"
#include "PadStream.h"

GST_DEBUG_CATEGORY_STATIC(orvane_enc_debug);
#define GST_CAT_DEFAULT orvane_enc_debug

// The upstream's PCM is queued for the element's own task, which runs the
// codec library's one encoding call and pushes what it writes.
struct _GstOrvaneEnc {
    GstElement parent;

    GstPad* sinkpad;
    GstPad* srcpad;
    TPadStream* input;          // the PCM, as the codec library reads it
    TElementTask* task;
    gint level;                 // under the object lock
    APEPcmFormat format;        // set by the caps, before the task starts
    bool formatSet;
    int kill;                   // the library's kill flag
    guint64 written;            // bytes pushed downstream
    GstFlowReturn downstream;   // the flow of the push that failed
};

namespace {

enum { kPropLevel = 1 };
const gint kDefaultLevel = 4000;

GType level_type()
{
    static GType type = 0;
    if (type == 0) {
        static const GEnumValue levels[] = {
            {1000, "Fast: the quickest", "fast"},
            {2000, "Normal: smaller, a little slower", "normal"},
            {3000, "High: smaller again", "high"},
            {4000, "Extrahigh: the smallest, several times slower than High", "extrahigh"},
            {0, nullptr, nullptr},
        };
        type = g_enum_register_static("GstOrvaneEncLevel", levels);
    }
    return type;
}

GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format = (string) { U8, S16LE, S24LE, S32LE }, "
                    "layout = (string) interleaved, rate = (int) [ 1, MAX ], channels = (int) [ 1, 8 ]"));

GstStaticPadTemplate src_template
    = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS(ORVANE_APE_CAPS));

// The WAVE speaker mask of GStreamer's positions (their order is WAVE's);
// 0, for no positions, where one has no WAVE speaker.
guint32 wave_mask(const GstAudioInfo& info)
{
    using P = GstAudioChannelPosition;
    static const std::pair<P, guint32> speakers[] = {{GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT, 0x1},
        {GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT, 0x2}, {GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, 0x4},
        {GST_AUDIO_CHANNEL_POSITION_LFE1, 0x8}, {GST_AUDIO_CHANNEL_POSITION_REAR_LEFT, 0x10},
        {GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT, 0x20}, {GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER, 0x40},
        {GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER, 0x80}, {GST_AUDIO_CHANNEL_POSITION_REAR_CENTER, 0x100},
        {GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT, 0x200}, {GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT, 0x400}};
    guint32 mask = 0;
    for (gint c = 0; c < GST_AUDIO_INFO_CHANNELS(&info); c++) {
        guint32 bit = 0;
        for (const auto& [position, wave] : speakers)
            if (info.position[c] == position)
                bit = wave;
        if (bit == 0 || bit <= mask)
            return 0;
        mask |= bit;
    }
    return mask;
}

void put32(std::vector<guint8>& bytes, guint32 value)
{
    for (int i = 0; i < 4; i++)
        bytes.push_back(guint8(value >> (8 * i)));
}

// The stream's tags as an APEv2 tag (header, items, footer), with the
// fields the suite's tag tool writes; empty without any.
std::vector<guint8> ape_tag(const GstTagList* tags)
{
    std::vector<std::pair<std::string, std::string>> items;
    const std::pair<const char*, const char*> texts[] = {{"Title", GST_TAG_TITLE}, {"Artist", GST_TAG_ARTIST},
        {"Album", GST_TAG_ALBUM}, {"Comment", GST_TAG_COMMENT}, {"Genre", GST_TAG_GENRE}};
    for (const auto& [key, tag] : texts) {
        gchar* value = nullptr;
        if (tags != nullptr && gst_tag_list_get_string(tags, tag, &value) && *value != '\0')
            items.emplace_back(key, value);
        g_free(value);
    }
    GstDateTime* date = nullptr;
    GDate* day = nullptr;
    if (tags != nullptr && gst_tag_list_get_date_time(tags, GST_TAG_DATE_TIME, &date)) {
        items.emplace_back("Year", std::to_string(gst_date_time_get_year(date)));
        gst_date_time_unref(date);
    } else if (tags != nullptr && gst_tag_list_get_date(tags, GST_TAG_DATE, &day)) {
        items.emplace_back("Year", std::to_string(g_date_get_year(day)));
        g_date_free(day);
    }
    guint number = 0, count = 0;
    if (tags != nullptr && gst_tag_list_get_uint(tags, GST_TAG_TRACK_NUMBER, &number) && number > 0) {
        gst_tag_list_get_uint(tags, GST_TAG_TRACK_COUNT, &count);
        items.emplace_back("Track", std::to_string(number) + (count > 0 ? "/" + std::to_string(count) : ""));
    }
    if (items.empty())
        return {};
    std::vector<guint8> body;
    for (const auto& [key, value] : items) {
        put32(body, guint32(value.size()));
        put32(body, 0);   // UTF-8 text
        body.insert(body.end(), key.begin(), key.end());
        body.push_back(0);
        body.insert(body.end(), value.begin(), value.end());
    }
    auto frame = [&](bool header) {
        std::vector<guint8> bytes = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
        put32(bytes, 2000);
        put32(bytes, guint32(body.size() + 32));
        put32(bytes, guint32(items.size()));
        put32(bytes, header ? 0xA0000000u : 0x80000000u);   // with a header; this one is it
        bytes.resize(32, 0);
        return bytes;
    };
    std::vector<guint8> tag = frame(true);
    tag.insert(tag.end(), body.begin(), body.end());
    const std::vector<guint8> footer = frame(false);
    tag.insert(tag.end(), footer.begin(), footer.end());
    return tag;
}

int push_bytes(void* context, const void* data, int64_t bytes)
{
    GstOrvaneEnc* self = static_cast<GstOrvaneEnc*>(context);
    GstBuffer* buffer = gst_buffer_new_memdup(data, gsize(bytes));
    GST_BUFFER_OFFSET(buffer) = self->written;
    self->written += guint64(bytes);
    GST_BUFFER_OFFSET_END(buffer) = self->written;
    const GstFlowReturn flow = gst_pad_push(self->srcpad, buffer);
    if (flow == GST_FLOW_OK)
        return 0;
    self->downstream = flow;
    // Downstream has gone (flushing, or at its end): the library's closed output.
    return flow == GST_FLOW_FLUSHING || flow == GST_FLOW_EOS ? -2 : -1;
}

// The task: one encoding call, then the tag and the end of the stream.
void encode_run(GstOrvaneEnc* self)
{
    GST_OBJECT_LOCK(self);
    const gint level = self->level;
    GST_OBJECT_UNLOCK(self);
    APEStream out{};
    out.fd = -1;
    out.context = self;
    out.write = push_bytes;
    const int result = compress_stream(&self->input->Stream(), &out, level, &self->format, nullptr, nullptr,
        &self->kill);
    self->task->Pause();
    if (result == 0) {
        GstTagList* tags = gst_tag_setter_get_tag_list(GST_TAG_SETTER(self)) != nullptr
            ? gst_tag_list_copy(gst_tag_setter_get_tag_list(GST_TAG_SETTER(self)))
            : nullptr;
        const std::vector<guint8> tag = ape_tag(tags);
        if (tags != nullptr)
            gst_tag_list_unref(tags);
        if (!tag.empty() && push_bytes(self, tag.data(), int64_t(tag.size())) != 0)
            return;
        GST_INFO_OBJECT(self, "%" G_GUINT64_FORMAT " bytes of APE file", self->written);
        gst_pad_push_event(self->srcpad, gst_event_new_eos());
        return;
    }
    if (__atomic_load_n(&self->kill, __ATOMIC_RELAXED) != 0 || self->downstream == GST_FLOW_FLUSHING)
        return;   // stopped, or flushed
    if (result == APE_ERROR_OUTPUT_CLOSED || result == APE_ERROR_WRITE) {
        GST_ELEMENT_FLOW_ERROR(self, self->downstream);
    } else {
        GST_ELEMENT_ERROR(self, STREAM, ENCODE, ("Encoding failed (codec library error %d)", result),
            ("the APE file is put together in $TMPDIR, which needs room for it"));
    }
    gst_pad_push_event(self->srcpad, gst_event_new_eos());
}

// The start of a run: the library, the output's stream start, caps and
// segment, then the task.
gboolean start_run(GstOrvaneEnc* self)
{
    std::string message;
    if (!load_codec_library(&message)) {
        GST_ELEMENT_ERROR(self, LIBRARY, INIT, ("%s", message.c_str()), (nullptr));
        return FALSE;
    }
    self->written = 0;
    self->downstream = GST_FLOW_OK;
    __atomic_store_n(&self->kill, 0, __ATOMIC_RELAXED);
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_BYTES);
    gst_pad_push_event(self->srcpad, gst_event_new_segment(&segment));
    return self->task->Start();
}

// Ends a run: its reading and the library's call, and waits for the task.
void stop_run(GstOrvaneEnc* self)
{
    __atomic_store_n(&self->kill, 1, __ATOMIC_RELAXED);
    self->input->Stop();
    self->task->Stop();
}

gboolean set_caps(GstOrvaneEnc* self, GstCaps* caps)
{
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, caps))
        return FALSE;
    const APEPcmFormat format{GST_AUDIO_INFO_CHANNELS(&info), GST_AUDIO_INFO_WIDTH(&info), 0,
        GST_AUDIO_INFO_RATE(&info), wave_mask(info)};
    if (self->formatSet) {
        const APEPcmFormat& was = self->format;
        if (was.channels == format.channels && was.bitsPerSample == format.bitsPerSample
            && was.sampleRate == format.sampleRate && was.channelMask == format.channelMask)
            return TRUE;
        GST_ELEMENT_ERROR(self, CORE, NEGOTIATION, ("The audio format changed within the stream"),
            ("an APE file holds audio of one format"));
        return FALSE;
    }
    self->format = format;
    self->formatSet = true;
    gchar* id = gst_pad_create_stream_id(self->srcpad, GST_ELEMENT(self), nullptr);
    gst_pad_push_event(self->srcpad, gst_event_new_stream_start(id));
    g_free(id);
    GstCaps* out = gst_caps_new_empty_simple(ORVANE_APE_CAPS);
    gst_pad_push_event(self->srcpad, gst_event_new_caps(out));
    gst_caps_unref(out);
    return start_run(self);
}

gboolean sink_event(GstPad* pad, GstObject* parent, GstEvent* event)
{
    GstOrvaneEnc* self = GST_ORVANE_ENC(parent);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_CAPS: {
        GstCaps* caps = nullptr;
        gst_event_parse_caps(event, &caps);
        const gboolean done = set_caps(self, caps);
        gst_event_unref(event);
        return done;
    }
    case GST_EVENT_TAG: {
        GstTagList* tags = nullptr;
        gst_event_parse_tag(event, &tags);
        gst_tag_setter_merge_tags(GST_TAG_SETTER(self), tags, gst_tag_setter_get_tag_merge_mode(GST_TAG_SETTER(self)));
        gst_event_unref(event);
        return TRUE;
    }
    case GST_EVENT_FLUSH_START:
        stop_run(self);
        return gst_pad_event_default(pad, parent, event);
    case GST_EVENT_FLUSH_STOP: {
        // What came before the flush is dropped, and a new file begins.
        self->input->Start(false);
        const gboolean forwarded = gst_pad_event_default(pad, parent, event);
        return forwarded && (!self->formatSet || start_run(self));
    }
    case GST_EVENT_STREAM_START:
    case GST_EVENT_SEGMENT:
        // The output has a stream and a segment of its own.
        gst_event_unref(event);
        return TRUE;
    case GST_EVENT_EOS:
        // The end of the output follows the file, from the task.
        self->input->Event(event);
        gst_event_unref(event);
        return TRUE;
    default:
        return gst_pad_event_default(pad, parent, event);
    }
}

GstFlowReturn sink_chain(GstPad*, GstObject* parent, GstBuffer* buffer)
{
    GstOrvaneEnc* self = GST_ORVANE_ENC(parent);
    if (!self->formatSet) {
        gst_buffer_unref(buffer);
        return GST_FLOW_NOT_NEGOTIATED;
    }
    return self->input->Chain(buffer);
}

}  // namespace

G_DEFINE_TYPE_WITH_CODE(GstOrvaneEnc, gst_orvane_enc, GST_TYPE_ELEMENT,
    G_IMPLEMENT_INTERFACE(GST_TYPE_TAG_SETTER, nullptr))

static GstStateChangeReturn gst_orvane_enc_change_state(GstElement* element, GstStateChange transition)
{
    GstOrvaneEnc* self = GST_ORVANE_ENC(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED) {
        self->input->Start(false);
        self->formatSet = false;
    } else if (transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
        // Before the pads go: upstream may wait for room in the queue.
        stop_run(self);
    }
    const GstStateChangeReturn result = GST_ELEMENT_CLASS(gst_orvane_enc_parent_class)->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        gst_tag_setter_reset_tags(GST_TAG_SETTER(self));
    return result;
}

static void gst_orvane_enc_set_property(GObject* object, guint id, const GValue* value, GParamSpec* spec)
{
    GstOrvaneEnc* self = GST_ORVANE_ENC(object);
    if (id != kPropLevel) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
        return;
    }
    GST_OBJECT_LOCK(self);
    self->level = g_value_get_enum(value);
    GST_OBJECT_UNLOCK(self);
}

static void gst_orvane_enc_get_property(GObject* object, guint id, GValue* value, GParamSpec* spec)
{
    GstOrvaneEnc* self = GST_ORVANE_ENC(object);
    if (id != kPropLevel) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
        return;
    }
    GST_OBJECT_LOCK(self);
    g_value_set_enum(value, self->level);
    GST_OBJECT_UNLOCK(self);
}

static void gst_orvane_enc_finalize(GObject* object)
{
    GstOrvaneEnc* self = GST_ORVANE_ENC(object);
    delete self->task;
    delete self->input;
    G_OBJECT_CLASS(gst_orvane_enc_parent_class)->finalize(object);
}

static void gst_orvane_enc_class_init(GstOrvaneEncClass* klass)
{
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = gst_orvane_enc_set_property;
    object->get_property = gst_orvane_enc_get_property;
    object->finalize = gst_orvane_enc_finalize;
    g_object_class_install_property(object, kPropLevel,
        g_param_spec_enum("level", "Level",
            "The compression level; every level is lossless, a higher one smaller and slower", level_type(),
            kDefaultLevel, GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    element->change_state = gst_orvane_enc_change_state;
    GST_DEBUG_CATEGORY_INIT(orvane_enc_debug, "orvaneenc", 0, "APE files through the codec library");
    gst_element_class_add_static_pad_template(element, &sink_template);
    gst_element_class_add_static_pad_template(element, &src_template);
    gst_element_class_set_static_metadata(element, "Orvane APE encoder", "Codec/Encoder/Audio",
        "Encodes integer PCM losslessly into the VELMOR suite's APE files, which Dovrell decodes, through the codec "
        "library",
        "VELMOR");
}

static void gst_orvane_enc_init(GstOrvaneEnc* self)
{
    self->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
    gst_pad_set_chain_function(self->sinkpad, sink_chain);
    gst_pad_set_event_function(self->sinkpad, sink_event);
    gst_element_add_pad(GST_ELEMENT(self), self->sinkpad);
    self->srcpad = gst_pad_new_from_static_template(&src_template, "src");
    gst_pad_use_fixed_caps(self->srcpad);
    gst_element_add_pad(GST_ELEMENT(self), self->srcpad);
    self->input = new TPadStream(self->sinkpad);
    self->level = kDefaultLevel;
    self->task = new TElementTask(GstTaskFunction(encode_run), self);
}
