#include "OrvaneDec.h"

#include <gst/audio/audio.h>

#include <cstdio>
#include <memory>
#include <string>

#include "ElementTask.h"
#include "OrvaneFile.h"
#include "PadStream.h"

GST_DEBUG_CATEGORY_STATIC(orvane_dec_debug);
#define GST_CAT_DEFAULT orvane_dec_debug

namespace {

// Frames a buffer at the most.
const guint64 kFramesPerBuffer = 4096;

}  // namespace

// The streaming task is the element's own, so that it can wait for the
// bytes upstream pushes on its own thread. Streaming state is changed by it
// and by seeks, both under the task's stream lock; what the queries read is
// also written under the object lock.
struct _GstOrvaneDec {
    GstElement parent;

    GstPad* sinkpad;
    GstPad* srcpad;         // added once the file is open
    TPadStream* stream;     // the sink pad's bytes, as the codec library reads them
    TElementTask* task;

    TOrvaneFile* file;      // null until opened
    gboolean failed;        // the open failed and was reported
    gboolean streaming;     // between pad activation and deactivation
    GstAudioInfo info;
    guint64 frames;         // the file's length
    guint64 next;           // the next frame to push
    guint64 end;            // the frame to stop before (the segment's stop)
    GstSegment segment;
    gboolean segmentSeek;   // end with segment-done rather than EOS
    guint32 seqnum;         // of the last seek
    gboolean sendTags;
    gboolean sendSegment;
    gboolean discont;
};

G_DEFINE_TYPE(GstOrvaneDec, gst_orvane_dec, GST_TYPE_ELEMENT)

namespace {

GstStaticPadTemplate sink_template
    = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(ORVANE_APE_CAPS));

// A pad of sometimes: it comes with its caps, so that decodebin links it
// before the first buffer.
GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_SOMETIMES,
    GST_STATIC_CAPS("audio/x-raw, format = (string) { U8, S16LE, S24LE, S32LE }, "
                    "layout = (string) interleaved, rate = (int) [ 1, MAX ], channels = (int) [ 1, 64 ]"));

GstClockTime frame_time(const GstOrvaneDec* self, guint64 frame)
{
    return gst_util_uint64_scale_int(frame, GST_SECOND, GST_AUDIO_INFO_RATE(&self->info));
}

// The first frame that starts at or after the time.
guint64 frame_at(const GstOrvaneDec* self, GstClockTime time)
{
    return gst_util_uint64_scale_int_ceil(time, GST_AUDIO_INFO_RATE(&self->info), GST_SECOND);
}

// The order of WAVE files' default speaker masks, which is the order of
// GStreamer's positions; more than eight channels stay unpositioned.
const GstAudioChannelPosition* channel_positions(int channels)
{
    using P = GstAudioChannelPosition;
    const P FL = GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT, FR = GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT,
            FC = GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER, LFE = GST_AUDIO_CHANNEL_POSITION_LFE1,
            RL = GST_AUDIO_CHANNEL_POSITION_REAR_LEFT, RR = GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT,
            RC = GST_AUDIO_CHANNEL_POSITION_REAR_CENTER, SL = GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT,
            SR = GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT;
    static const P mono[] = {GST_AUDIO_CHANNEL_POSITION_MONO};
    static const P stereo[] = {FL, FR};
    static const P three[] = {FL, FR, FC};
    static const P quad[] = {FL, FR, RL, RR};
    static const P five[] = {FL, FR, FC, RL, RR};
    static const P surround51[] = {FL, FR, FC, LFE, RL, RR};
    static const P surround61[] = {FL, FR, FC, LFE, RC, SL, SR};
    static const P surround71[] = {FL, FR, FC, LFE, RL, RR, SL, SR};
    static const P* const layouts[] = {nullptr, mono, stereo, three, quad, five, surround51, surround61, surround71};
    return channels >= 1 && channels <= 8 ? layouts[channels] : nullptr;
}

GstAudioFormat sample_format(int32 bytesPerSample)
{
    switch (bytesPerSample) {
    case 1: return GST_AUDIO_FORMAT_U8;   // 8-bit WAVE samples are unsigned
    case 2: return GST_AUDIO_FORMAT_S16LE;
    case 3: return GST_AUDIO_FORMAT_S24LE;
    default: return GST_AUDIO_FORMAT_S32LE;
    }
}

// How the messages name the stream: the local file upstream reads, the
// URI it reads, or neither.
std::string stream_name(GstOrvaneDec* self)
{
    GstQuery* query = gst_query_new_uri();
    gchar* uri = nullptr;
    if (gst_pad_peer_query(self->sinkpad, query))
        gst_query_parse_uri(query, &uri);
    gst_query_unref(query);
    if (uri == nullptr)
        return "The stream";
    gchar* path = g_filename_from_uri(uri, nullptr, nullptr);
    std::string name = path != nullptr ? path : uri;
    g_free(path);
    g_free(uri);
    return name;
}

// Posts an error of the task until the element is stopped, a few times at
// most: a decodebin drops the errors of an element until it has connected
// it, and the element started streaming before. What upstream still pushes
// is not needed then. True when the element was stopped.
template <typename Post>
bool report(GstOrvaneDec* self, Post post)
{
    self->stream->Done();
    for (int attempt = 0; attempt < 3; attempt++) {
        post();
        if (self->stream->WaitForStop(G_USEC_PER_SEC / 2))
            return true;
    }
    return false;
}

void post_open_error(GstOrvaneDec* self, TOpenFault fault, const std::string& message)
{
    const char* text = message.c_str();
    switch (fault) {
    case TOpenFault::kNoCodecLibrary:
        GST_ELEMENT_ERROR(self, LIBRARY, INIT, ("%s", text), (nullptr));
        break;
    case TOpenFault::kUnreadable:
        GST_ELEMENT_ERROR(self, RESOURCE, OPEN_READ, ("%s", text), (nullptr));
        break;
    case TOpenFault::kNotOurs:
        GST_ELEMENT_ERROR(self, STREAM, WRONG_TYPE, ("%s", text), (nullptr));
        break;
    default:
        GST_ELEMENT_ERROR(self, STREAM, DECODE, ("%s", text), (nullptr));
        break;
    }
}

gboolean src_event(GstPad* pad, GstObject* parent, GstEvent* event);
gboolean src_query(GstPad* pad, GstObject* parent, GstQuery* query);

// The source pad, added once the format is known and with its
// stream-start and caps already on it.
void add_src_pad(GstOrvaneDec* self)
{
    GstPad* pad = gst_pad_new_from_static_template(&src_template, "src");
    gst_pad_set_event_function(pad, src_event);
    gst_pad_set_query_function(pad, src_query);
    gst_pad_use_fixed_caps(pad);
    gst_pad_set_active(pad, TRUE);
    gchar* id = gst_pad_create_stream_id(pad, GST_ELEMENT(self), nullptr);
    GstEvent* start = gst_event_new_stream_start(id);
    g_free(id);
    gst_event_set_group_id(start, gst_util_group_id_next());
    gst_pad_push_event(pad, start);
    GstCaps* caps = gst_audio_info_to_caps(&self->info);
    gst_pad_push_event(pad, gst_event_new_caps(caps));
    gst_caps_unref(caps);
    GST_OBJECT_LOCK(self);
    self->srcpad = pad;
    GST_OBJECT_UNLOCK(self);
    gst_element_add_pad(GST_ELEMENT(self), pad);
    gst_element_no_more_pads(GST_ELEMENT(self));
}

// Opens the file on the sink pad's bytes, once; false when it cannot be
// played (reported once) or the opening was interrupted.
bool ensure_open(GstOrvaneDec* self)
{
    if (self->file != nullptr)
        return true;
    if (self->failed || !self->stream->Open())
        return false;
    TOpenFault fault;
    std::string message;
    const std::string name = stream_name(self);
    std::unique_ptr<TOrvaneFile> file = TOrvaneFile::Open(self->stream->Stream(), name, &fault, &message);
    if (file == nullptr) {
        if (self->stream->Interrupted())
            return false;
        self->failed = TRUE;
        report(self, [&] { post_open_error(self, fault, message); });
        return false;
    }
    GstAudioInfo audio;
    gst_audio_info_set_format(&audio, sample_format(file->BytesPerSample()), file->SampleRate(), file->Channels(),
        channel_positions(file->Channels()));
    GST_INFO_OBJECT(self, "%s: %" G_GUINT64_FORMAT " frames of %d channels, %d bytes a sample, at %d Hz, %s",
        name.c_str(), file->Frames(), file->Channels(), file->BytesPerSample(), file->SampleRate(),
        self->stream->Stream().seek != nullptr ? "seekable" : "front to back");

    GST_OBJECT_LOCK(self);
    self->info = audio;
    self->frames = file->Frames();
    self->end = self->frames;
    self->segment.duration = frame_time(self, self->frames);
    self->file = file.release();
    GST_OBJECT_UNLOCK(self);
    add_src_pad(self);
    return true;
}

void close_file(GstOrvaneDec* self)
{
    g_rec_mutex_lock(self->task->Lock());
    if (self->srcpad != nullptr) {
        gst_pad_set_active(self->srcpad, FALSE);
        gst_element_remove_pad(GST_ELEMENT(self), self->srcpad);
    }
    GST_OBJECT_LOCK(self);
    self->srcpad = nullptr;
    TOrvaneFile* file = self->file;
    self->file = nullptr;
    self->failed = FALSE;
    self->frames = 0;
    self->next = 0;
    self->end = 0;
    gst_segment_init(&self->segment, GST_FORMAT_TIME);
    self->segmentSeek = FALSE;
    self->seqnum = gst_util_seqnum_next();
    self->sendTags = TRUE;
    self->sendSegment = TRUE;
    self->discont = TRUE;
    GST_OBJECT_UNLOCK(self);
    delete file;
    g_rec_mutex_unlock(self->task->Lock());
}

void add_text(GstTagList* list, const char* tag, const std::string& value)
{
    if (value.empty())
        return;
    // Tag texts are UTF-8; anything else is shown as well as it can be.
    gchar* text = g_utf8_make_valid(value.data(), gssize(value.size()));
    gst_tag_list_add(list, GST_TAG_MERGE_APPEND, tag, text, nullptr);
    g_free(text);
}

GstTagList* file_tags(const TOrvaneFile& file)
{
    const TFileTags& tags = file.Tags();
    GstTagList* list = gst_tag_list_new_empty();
    add_text(list, GST_TAG_TITLE, tags.title);
    add_text(list, GST_TAG_ARTIST, tags.artist);
    add_text(list, GST_TAG_ALBUM, tags.album);
    add_text(list, GST_TAG_COMMENT, tags.comment);
    add_text(list, GST_TAG_GENRE, tags.genre);
    add_text(list, GST_TAG_AUDIO_CODEC, "Monkey's Audio");
    // A year, or a date written as ISO 8601 ("2003", "2003-05-17").
    if (GstDateTime* date = tags.year.empty() ? nullptr : gst_date_time_new_from_iso8601_string(tags.year.c_str())) {
        gst_tag_list_add(list, GST_TAG_MERGE_APPEND, GST_TAG_DATE_TIME, date, nullptr);
        const gint year = gst_date_time_get_year(date);
        if (g_date_valid_year(GDateYear(year))) {
            GDate* day = g_date_new_dmy(gst_date_time_has_day(date) ? GDateDay(gst_date_time_get_day(date)) : 1,
                gst_date_time_has_month(date) ? GDateMonth(gst_date_time_get_month(date)) : G_DATE_JANUARY,
                GDateYear(year));
            if (g_date_valid(day))
                gst_tag_list_add(list, GST_TAG_MERGE_APPEND, GST_TAG_DATE, day, nullptr);
            g_date_free(day);
        }
        gst_date_time_unref(date);
    }
    // "3" or "3/12".
    unsigned number = 0, count = 0;
    const int read = g_ascii_isdigit(tags.track.c_str()[0]) ? sscanf(tags.track.c_str(), "%u/%u", &number, &count) : 0;
    if (read >= 1 && number > 0)
        gst_tag_list_add(list, GST_TAG_MERGE_APPEND, GST_TAG_TRACK_NUMBER, number, nullptr);
    if (read == 2 && count > 0)
        gst_tag_list_add(list, GST_TAG_MERGE_APPEND, GST_TAG_TRACK_COUNT, count, nullptr);
    gst_tag_list_set_scope(list, GST_TAG_SCOPE_GLOBAL);
    return list;
}

void push_eos(GstOrvaneDec* self)
{
    GstEvent* eos = gst_event_new_eos();
    gst_event_set_seqnum(eos, self->seqnum);
    gst_pad_push_event(self->srcpad, eos);
}

// Stops the task at the end of the segment or when downstream refused a
// buffer; errors are posted and end the stream downstream too.
void pause_streaming(GstOrvaneDec* self, GstFlowReturn flow)
{
    GST_DEBUG_OBJECT(self, "pausing: %s", gst_flow_get_name(flow));
    self->task->Pause();
    if (flow == GST_FLOW_EOS && self->segmentSeek) {
        const GstClockTime stop = frame_time(self, self->end);
        GstMessage* message = gst_message_new_segment_done(GST_OBJECT(self), GST_FORMAT_TIME, gint64(stop));
        gst_message_set_seqnum(message, self->seqnum);
        gst_element_post_message(GST_ELEMENT(self), message);
        GstEvent* done = gst_event_new_segment_done(GST_FORMAT_TIME, gint64(stop));
        gst_event_set_seqnum(done, self->seqnum);
        gst_pad_push_event(self->srcpad, done);
    } else if (flow == GST_FLOW_EOS) {
        push_eos(self);
    } else if (flow == GST_FLOW_NOT_LINKED || flow < GST_FLOW_EOS) {
        GST_ELEMENT_FLOW_ERROR(self, flow);
        push_eos(self);
    }
}

void stream_loop(GstOrvaneDec* self)
{
    if (!ensure_open(self)) {
        self->task->Pause();   // reported, or interrupted
        return;
    }
    if (self->sendSegment) {
        GstEvent* segment = gst_event_new_segment(&self->segment);
        gst_event_set_seqnum(segment, self->seqnum);
        gst_pad_push_event(self->srcpad, segment);
        self->sendSegment = FALSE;
    }
    if (self->sendTags) {
        gst_pad_push_event(self->srcpad, gst_event_new_tag(file_tags(*self->file)));
        self->sendTags = FALSE;
    }
    if (self->next >= self->end) {
        // Past the audio the stream holds only the tag: not needed.
        if (self->end == self->frames)
            self->stream->Done();
        pause_streaming(self, GST_FLOW_EOS);
        return;
    }

    const guint32 frameSize = self->file->FrameSize();
    const guint64 want = MIN(kFramesPerBuffer, self->end - self->next);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, gsize(want * frameSize), nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    guint32 read = 0;
    const int result = self->file->Read(map.data, guint32(want), &read);
    gst_buffer_unmap(buffer, &map);
    if (result != 0 || read == 0 || read > want) {
        gst_buffer_unref(buffer);
        self->task->Pause();
        // A seek or the end of streaming stopped the reading: no fault.
        if (self->stream->Interrupted())
            return;
        const std::string name = stream_name(self);
        const bool stopped = report(self, [&] {
            if (result == APE_ERROR_READ) {
                GST_ELEMENT_ERROR(self, RESOURCE, READ,
                    ("%s cannot be read: its audio stops at frame %" G_GUINT64_FORMAT " of %" G_GUINT64_FORMAT,
                        name.c_str(), self->next, self->frames), (nullptr));
            } else if (result == APE_ERROR_TRUNCATED) {
                GST_ELEMENT_ERROR(self, STREAM, DECODE,
                    ("%s is cut short: its audio stops at frame %" G_GUINT64_FORMAT " of %" G_GUINT64_FORMAT,
                        name.c_str(), self->next, self->frames), (nullptr));
            } else {
                GST_ELEMENT_ERROR(self, STREAM, DECODE,
                    ("The file is damaged: its audio stops at frame %" G_GUINT64_FORMAT " of %" G_GUINT64_FORMAT,
                        self->next, self->frames), ("codec library error %d", result));
            }
        });
        if (!stopped)
            push_eos(self);
        return;
    }

    const guint64 first = self->next;
    gst_buffer_set_size(buffer, gssize(guint64(read) * frameSize));
    GST_BUFFER_OFFSET(buffer) = first;
    GST_BUFFER_OFFSET_END(buffer) = first + guint64(read);
    GST_BUFFER_PTS(buffer) = frame_time(self, first);
    GST_BUFFER_DURATION(buffer) = frame_time(self, first + guint64(read)) - GST_BUFFER_PTS(buffer);
    if (self->discont) {
        GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
        self->discont = FALSE;
    }
    GST_OBJECT_LOCK(self);
    self->next = first + guint64(read);
    self->segment.position = frame_time(self, self->next);
    GST_OBJECT_UNLOCK(self);

    const GstFlowReturn flow = gst_pad_push(self->srcpad, buffer);
    if (flow != GST_FLOW_OK)
        pause_streaming(self, flow);
}

gboolean start_streaming(GstOrvaneDec* self, bool pull)
{
    self->stream->Start(pull);
    GST_OBJECT_LOCK(self);
    self->streaming = TRUE;
    GST_OBJECT_UNLOCK(self);
    return self->task->Start();
}

void stop_streaming(GstOrvaneDec* self)
{
    GST_OBJECT_LOCK(self);
    self->streaming = FALSE;
    GST_OBJECT_UNLOCK(self);
    self->stream->Stop();
    self->task->Stop();
}

// Where a seek leads in the open file: the segment, the first frame and
// the frame to stop before; false when it cannot be done.
bool seek_target(GstOrvaneDec* self, GstEvent* event, GstSegment* segment, guint64* first, guint64* end)
{
    gdouble rate;
    GstFormat format;
    GstSeekFlags flags;
    GstSeekType startType, stopType;
    gint64 start, stop;
    gst_event_parse_seek(event, &rate, &format, &flags, &startType, &start, &stopType, &stop);
    *segment = self->segment;
    gboolean update = FALSE;
    if (!gst_segment_do_seek(segment, rate, format, flags, startType, guint64(start), stopType, guint64(stop),
            &update))
        return false;
    *first = MIN(frame_at(self, segment->start), self->frames);
    *end = GST_CLOCK_TIME_IS_VALID(segment->stop) ? MIN(MAX(frame_at(self, segment->stop), *first), self->frames)
                                                  : self->frames;
    segment->position = frame_time(self, *first);
    // A stream read front to back is played from its start; the
    // decompressor seeks to 31-bit frame numbers.
    return self->stream->Stream().seek != nullptr && *first <= G_MAXINT32;
}

gboolean perform_seek(GstOrvaneDec* self, GstEvent* event)
{
    gdouble rate;
    GstFormat format;
    GstSeekFlags flags;
    gst_event_parse_seek(event, &rate, &format, &flags, nullptr, nullptr, nullptr, nullptr);
    if (format != GST_FORMAT_TIME || rate <= 0) {
        GST_DEBUG_OBJECT(self, "only TIME seeks at forward rates");
        return FALSE;
    }
    const guint32 seqnum = gst_event_get_seqnum(event);
    GstSegment segment;
    guint64 first = 0, end = 0;

    // Nothing is flushed for a seek that cannot be done; until the file is
    // open there is no source pad, and nothing to flush.
    GST_OBJECT_LOCK(self);
    GstPad* srcpad = self->srcpad != nullptr ? GST_PAD(gst_object_ref(self->srcpad)) : nullptr;
    const bool possible = srcpad == nullptr || seek_target(self, event, &segment, &first, &end);
    GST_OBJECT_UNLOCK(self);
    const bool flush = (flags & GST_SEEK_FLAG_FLUSH) != 0 && srcpad != nullptr;
    if (possible && flush) {
        GstEvent* flushStart = gst_event_new_flush_start();
        gst_event_set_seqnum(flushStart, seqnum);
        gst_pad_push_event(srcpad, flushStart);
    }
    bool done = false;
    if (possible) {
        // The task may wait for upstream's bytes: it is woken first.
        self->stream->Interrupt();
        self->task->Pause();
        g_rec_mutex_lock(self->task->Lock());
        self->stream->Resume();
        done = ensure_open(self) && seek_target(self, event, &segment, &first, &end)
            && self->file->Seek(first) == 0;
        if (done) {
            GST_DEBUG_OBJECT(self, "seek to frame %" G_GUINT64_FORMAT ", stop before %" G_GUINT64_FORMAT, first,
                end);
            GST_OBJECT_LOCK(self);
            self->segment = segment;
            self->next = first;
            self->end = end;
            GST_OBJECT_UNLOCK(self);
            self->segmentSeek = (flags & GST_SEEK_FLAG_SEGMENT) != 0;
            self->seqnum = seqnum;
            self->sendSegment = TRUE;
            self->discont = TRUE;
            if (self->segmentSeek) {
                GstMessage* message
                    = gst_message_new_segment_start(GST_OBJECT(self), GST_FORMAT_TIME, gint64(segment.start));
                gst_message_set_seqnum(message, seqnum);
                gst_element_post_message(GST_ELEMENT(self), message);
            }
        }
        if (flush) {
            GstEvent* flushStop = gst_event_new_flush_stop(TRUE);
            gst_event_set_seqnum(flushStop, seqnum);
            gst_pad_push_event(srcpad, flushStop);
        }
        GST_OBJECT_LOCK(self);
        const gboolean streaming = self->streaming;
        GST_OBJECT_UNLOCK(self);
        if (streaming)
            self->task->Start();
        g_rec_mutex_unlock(self->task->Lock());
    }
    if (srcpad != nullptr)
        gst_object_unref(srcpad);
    return done;
}

gboolean src_event(GstPad* pad, GstObject* parent, GstEvent* event)
{
    GstOrvaneDec* self = GST_ORVANE_DEC(parent);
    if (GST_EVENT_TYPE(event) == GST_EVENT_SEEK) {
        const gboolean done = perform_seek(self, event);
        gst_event_unref(event);
        return done;
    }
    return gst_pad_event_default(pad, parent, event);
}

gboolean src_query(GstPad* pad, GstObject* parent, GstQuery* query)
{
    GstOrvaneDec* self = GST_ORVANE_DEC(parent);
    gboolean done = FALSE;
    GST_OBJECT_LOCK(self);
    const bool open = self->file != nullptr;
    switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_POSITION: {
        GstFormat format;
        gst_query_parse_position(query, &format, nullptr);
        if (open && format == GST_FORMAT_TIME) {
            gst_query_set_position(query, format, gint64(frame_time(self, self->next)));
            done = TRUE;
        } else if (open && format == GST_FORMAT_DEFAULT) {
            gst_query_set_position(query, format, gint64(self->next));
            done = TRUE;
        }
        break;
    }
    case GST_QUERY_DURATION: {
        GstFormat format;
        gst_query_parse_duration(query, &format, nullptr);
        if (open && format == GST_FORMAT_TIME) {
            gst_query_set_duration(query, format, gint64(frame_time(self, self->frames)));
            done = TRUE;
        } else if (open && format == GST_FORMAT_DEFAULT) {
            gst_query_set_duration(query, format, gint64(self->frames));
            done = TRUE;
        }
        break;
    }
    case GST_QUERY_SEEKING: {
        GstFormat format;
        gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
        if (open) {
            const bool time = format == GST_FORMAT_TIME;
            gst_query_set_seeking(query, format, time && self->stream->Stream().seek != nullptr, 0,
                time ? gint64(frame_time(self, self->frames)) : -1);
            done = TRUE;
        }
        break;
    }
    case GST_QUERY_CONVERT: {
        GstFormat from, to;
        gint64 value, converted;
        gst_query_parse_convert(query, &from, &value, &to, nullptr);
        if (open && gst_audio_info_convert(&self->info, from, value, to, &converted)) {
            gst_query_set_convert(query, from, value, to, converted);
            done = TRUE;
        }
        break;
    }
    default:
        GST_OBJECT_UNLOCK(self);
        return gst_pad_query_default(pad, parent, query);
    }
    GST_OBJECT_UNLOCK(self);
    return done;
}

// Push mode: upstream's bytes are queued for the task, and the events
// about them kept in mind; nothing of upstream's goes further downstream.
GstFlowReturn sink_chain(GstPad*, GstObject* parent, GstBuffer* buffer)
{
    return GST_ORVANE_DEC(parent)->stream->Chain(buffer);
}

gboolean sink_event(GstPad*, GstObject* parent, GstEvent* event)
{
    GST_ORVANE_DEC(parent)->stream->Event(event);
    gst_event_unref(event);
    return TRUE;
}

// Pull mode when upstream offers it with seeks, so that the file is read
// where it is needed; otherwise upstream pushes it.
gboolean sink_activate(GstPad* pad, GstObject*)
{
    GstQuery* query = gst_query_new_scheduling();
    const gboolean pull = gst_pad_peer_query(pad, query)
        && gst_query_has_scheduling_mode_with_flags(query, GST_PAD_MODE_PULL, GST_SCHEDULING_FLAG_SEEKABLE);
    gst_query_unref(query);
    if (pull && gst_pad_activate_mode(pad, GST_PAD_MODE_PULL, TRUE))
        return TRUE;
    return gst_pad_activate_mode(pad, GST_PAD_MODE_PUSH, TRUE);
}

gboolean sink_activate_mode(GstPad*, GstObject* parent, GstPadMode mode, gboolean active)
{
    GstOrvaneDec* self = GST_ORVANE_DEC(parent);
    if (active)
        return start_streaming(self, mode == GST_PAD_MODE_PULL);
    stop_streaming(self);
    return TRUE;
}

}  // namespace

static GstStateChangeReturn gst_orvane_dec_change_state(GstElement* element, GstStateChange transition)
{
    // Without the codec library the element cannot work: it says so
    // before it takes any stream.
    std::string message;
    if (transition == GST_STATE_CHANGE_NULL_TO_READY && !load_codec_library(&message)) {
        GST_ELEMENT_ERROR(element, LIBRARY, INIT, ("%s", message.c_str()), (nullptr));
        return GST_STATE_CHANGE_FAILURE;
    }
    const GstStateChangeReturn result
        = GST_ELEMENT_CLASS(gst_orvane_dec_parent_class)->change_state(element, transition);
    // The pads are inactive now and the task has ended.
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        close_file(GST_ORVANE_DEC(element));
    return result;
}

static void gst_orvane_dec_finalize(GObject* object)
{
    GstOrvaneDec* self = GST_ORVANE_DEC(object);
    delete self->task;
    delete self->stream;
    G_OBJECT_CLASS(gst_orvane_dec_parent_class)->finalize(object);
}

static void gst_orvane_dec_class_init(GstOrvaneDecClass* klass)
{
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    G_OBJECT_CLASS(klass)->finalize = gst_orvane_dec_finalize;
    element->change_state = gst_orvane_dec_change_state;
    GST_DEBUG_CATEGORY_INIT(orvane_dec_debug, "orvanedec", 0, "APE files through the codec library");
    gst_element_class_add_static_pad_template(element, &sink_template);
    gst_element_class_add_static_pad_template(element, &src_template);
    gst_element_class_set_static_metadata(element, "Orvane APE decoder", "Codec/Decoder/Audio",
        "Decodes the VELMOR suite's lossless APE files (made by Fennick) from any source, through the codec library",
        "VELMOR");
}

static void gst_orvane_dec_init(GstOrvaneDec* self)
{
    self->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
    gst_pad_set_activate_function(self->sinkpad, sink_activate);
    gst_pad_set_activatemode_function(self->sinkpad, sink_activate_mode);
    gst_pad_set_chain_function(self->sinkpad, sink_chain);
    gst_pad_set_event_function(self->sinkpad, sink_event);
    gst_element_add_pad(GST_ELEMENT(self), self->sinkpad);
    self->stream = new TPadStream(self->sinkpad);
    self->task = new TElementTask(GstTaskFunction(stream_loop), self);

    gst_audio_info_init(&self->info);
    close_file(self);
}
