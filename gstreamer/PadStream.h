// The bytes that reach an element's sink pad, as the codec library reads a
// stream (APEStream): pulled from upstream at any offset in pull mode;
// queued as upstream pushes them in push mode, where a seek asks upstream
// for the bytes from an offset (a BYTES seek) and is offered only where
// upstream says it can. Reading happens on the element's own thread, never
// on upstream's.
#pragma once

#include <gst/base/gstadapter.h>
#include <gst/gst.h>

#include <MonkeysAudioLib.h>

class TPadStream {
public:
    explicit TPadStream(GstPad* sinkpad);
    ~TPadStream();
    TPadStream(const TPadStream&) = delete;
    TPadStream& operator=(const TPadStream&) = delete;

    // Starts reading from byte 0 in the mode the pad was activated in.
    void Start(bool pull);
    // Before the stream is read: waits for upstream to begin (push mode),
    // then asks it whether it can seek and how long the stream is. False
    // when interrupted first.
    bool Open();
    // Ends every wait of the reading thread: reads fail until Resume. What
    // upstream pushes is kept.
    void Interrupt();
    // Ends every wait, upstream's pushes too, for the pad's deactivation.
    void Stop();
    // After an interrupt, for reading on.
    void Resume();
    // Whether a read failed because of an interrupt rather than the stream.
    bool Interrupted() const;
    // Waits at most that long for an interrupt; true when there was one.
    bool WaitForStop(gint64 microseconds);

    // The stream for the codec library; valid while the object lives.
    const APEStream& Stream() const { return fStream; }

    // Push mode, from the sink pad: a buffer, and the events about the bytes.
    GstFlowReturn Chain(GstBuffer* buffer);
    void Event(GstEvent* event);
    // The encoded stream has been read to its end: what upstream still
    // pushes (a tag after the audio) is dropped rather than queued.
    void Done();

private:
    int64_t Read(void* buffer, int64_t bytes);
    int Seek(int64_t offset);

    GstPad* fSinkpad;
    APEStream fStream{};
    bool fPull = false;
    guint64 fOffset = 0;       // the next byte the library reads
    int64_t fSize = -1;        // of the whole stream, -1 unknown
    // push mode, under fLock
    GMutex fLock;
    GCond fChanged;
    GstAdapter* fAdapter;
    guint64 fAdapterOffset = 0; // the offset of the adapter's first byte
    bool fEos = false;
    bool fFlushing = false;
    bool fInterrupted = false;
    bool fDone = false;
};
