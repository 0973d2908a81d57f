#include "PadStream.h"

#include <cstring>

namespace {

// Bytes queued from upstream at the most, before its pushes wait.
const gsize kQueueLimit = gsize(1) << 20;
// A way forward as short as this is read through rather than asked of
// upstream again (a new request, for a network source).
const guint64 kReadThrough = guint64(1) << 18;

}  // namespace

TPadStream::TPadStream(GstPad* sinkpad) : fSinkpad(sinkpad), fAdapter(gst_adapter_new())
{
    g_mutex_init(&fLock);
    g_cond_init(&fChanged);
}

TPadStream::~TPadStream()
{
    g_object_unref(fAdapter);
    g_cond_clear(&fChanged);
    g_mutex_clear(&fLock);
}

void TPadStream::Start(bool pull)
{
    g_mutex_lock(&fLock);
    fPull = pull;
    fOffset = 0;
    gst_adapter_clear(fAdapter);
    fAdapterOffset = 0;
    fEos = fFlushing = fInterrupted = fDone = false;
    g_mutex_unlock(&fLock);
    fStream = APEStream{};
    fStream.fd = -1;
    fStream.context = this;
    fStream.read = [](void* self, void* buffer, int64_t bytes) { return static_cast<TPadStream*>(self)->Read(buffer, bytes); };
}

bool TPadStream::Open()
{
    // Until upstream has begun, a network source cannot tell whether it
    // can seek: the first bytes are waited for.
    if (!fPull) {
        g_mutex_lock(&fLock);
        while (gst_adapter_available(fAdapter) == 0 && !fEos && !fInterrupted)
            g_cond_wait(&fChanged, &fLock);
        const bool interrupted = fInterrupted;
        g_mutex_unlock(&fLock);
        if (interrupted)
            return false;
    }
    gboolean seekable = fPull;
    if (!fPull) {
        GstQuery* query = gst_query_new_seeking(GST_FORMAT_BYTES);
        if (gst_pad_peer_query(fSinkpad, query))
            gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
        gst_query_unref(query);
    }
    gint64 size = -1;
    if (!gst_pad_peer_query_duration(fSinkpad, GST_FORMAT_BYTES, &size) || size <= 0)
        size = -1;
    fSize = size;
    fStream.seek = nullptr;
    fStream.size = nullptr;
    if (seekable) {
        fStream.seek = [](void* self, int64_t offset) { return static_cast<TPadStream*>(self)->Seek(offset); };
        fStream.size = [](void* self) { return static_cast<TPadStream*>(self)->fSize; };
    }
    return true;
}

void TPadStream::Interrupt()
{
    g_mutex_lock(&fLock);
    fInterrupted = true;
    g_cond_broadcast(&fChanged);
    g_mutex_unlock(&fLock);
}

void TPadStream::Stop()
{
    g_mutex_lock(&fLock);
    fInterrupted = fFlushing = true;
    g_cond_broadcast(&fChanged);
    g_mutex_unlock(&fLock);
}

void TPadStream::Resume()
{
    g_mutex_lock(&fLock);
    fInterrupted = fDone = false;
    g_mutex_unlock(&fLock);
}

bool TPadStream::Interrupted() const
{
    g_mutex_lock(const_cast<GMutex*>(&fLock));
    const bool interrupted = fInterrupted;
    g_mutex_unlock(const_cast<GMutex*>(&fLock));
    return interrupted;
}

bool TPadStream::WaitForStop(gint64 microseconds)
{
    const gint64 until = g_get_monotonic_time() + microseconds;
    g_mutex_lock(&fLock);
    while (!fInterrupted && g_cond_wait_until(&fChanged, &fLock, until)) {
    }
    const bool interrupted = fInterrupted;
    g_mutex_unlock(&fLock);
    return interrupted;
}

void TPadStream::Done()
{
    g_mutex_lock(&fLock);
    fDone = true;
    gst_adapter_clear(fAdapter);
    g_cond_broadcast(&fChanged);
    g_mutex_unlock(&fLock);
}

int64_t TPadStream::Read(void* buffer, int64_t bytes)
{
    if (fPull) {
        if (Interrupted())
            return -1;
        GstBuffer* got = nullptr;
        const GstFlowReturn flow = gst_pad_pull_range(fSinkpad, fOffset, guint(MIN(bytes, G_MAXINT)), &got);
        if (flow == GST_FLOW_EOS)
            return 0;
        if (flow != GST_FLOW_OK)
            return -1;
        const gsize size = gst_buffer_extract(got, 0, buffer, gsize(bytes));
        gst_buffer_unref(got);
        fOffset += size;
        return int64_t(size);
    }
    g_mutex_lock(&fLock);
    int64_t result = 0;
    for (;;) {
        if (fInterrupted) {
            result = -1;
            break;
        }
        const gsize available = gst_adapter_available(fAdapter);
        if (available > 0 && fAdapterOffset < fOffset) {
            // Upstream went back further than asked: what comes before is dropped.
            const gsize drop = gsize(MIN(guint64(available), fOffset - fAdapterOffset));
            gst_adapter_flush(fAdapter, drop);
            fAdapterOffset += drop;
            continue;
        }
        if (available > 0) {
            if (fAdapterOffset != fOffset) {
                result = -1;   // bytes from elsewhere than asked for
                break;
            }
            const gsize take = gsize(MIN(guint64(available), guint64(bytes)));
            gst_adapter_copy(fAdapter, buffer, 0, take);
            gst_adapter_flush(fAdapter, take);
            fAdapterOffset += take;
            fOffset += take;
            g_cond_broadcast(&fChanged);
            result = int64_t(take);
            break;
        }
        if (fEos)
            break;
        g_cond_wait(&fChanged, &fLock);
    }
    g_mutex_unlock(&fLock);
    return result;
}

int TPadStream::Seek(int64_t offset)
{
    const guint64 to = guint64(offset);
    if (fPull || to == fOffset) {
        fOffset = to;
        return 0;
    }
    if (to > fOffset && to - fOffset <= kReadThrough) {
        guint8 skipped[4096];
        while (fOffset < to) {
            const int64_t n = Read(skipped, int64_t(MIN(guint64(sizeof skipped), to - fOffset)));
            if (n <= 0)
                return -1;
        }
        return 0;
    }
    GstEvent* seek = gst_event_new_seek(1.0, GST_FORMAT_BYTES, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
        GST_SEEK_TYPE_SET, offset, GST_SEEK_TYPE_NONE, -1);
    if (!gst_pad_push_event(fSinkpad, seek))
        return -1;
    // The flush emptied the queue; the new segment says where its bytes begin.
    g_mutex_lock(&fLock);
    fOffset = to;
    fEos = false;
    g_mutex_unlock(&fLock);
    return 0;
}

GstFlowReturn TPadStream::Chain(GstBuffer* buffer)
{
    g_mutex_lock(&fLock);
    while (!fFlushing && !fDone && gst_adapter_available(fAdapter) >= kQueueLimit)
        g_cond_wait(&fChanged, &fLock);
    const GstFlowReturn flow = fFlushing ? GST_FLOW_FLUSHING : GST_FLOW_OK;
    if (fFlushing || fDone)
        gst_buffer_unref(buffer);
    else
        gst_adapter_push(fAdapter, buffer);
    g_cond_broadcast(&fChanged);
    g_mutex_unlock(&fLock);
    return flow;
}

void TPadStream::Event(GstEvent* event)
{
    g_mutex_lock(&fLock);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_FLUSH_START:
        fFlushing = true;
        break;
    case GST_EVENT_FLUSH_STOP:
        gst_adapter_clear(fAdapter);
        fFlushing = fEos = false;
        break;
    case GST_EVENT_SEGMENT: {
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(event, &segment);
        if (segment->format == GST_FORMAT_BYTES && gst_adapter_available(fAdapter) == 0)
            fAdapterOffset = segment->start;
        break;
    }
    case GST_EVENT_EOS:
        fEos = true;
        break;
    default:
        break;
    }
    g_cond_broadcast(&fChanged);
    g_mutex_unlock(&fLock);
}
