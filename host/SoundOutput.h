// TSoundOutput: a TPlayback played on the desktop's sound output through
// SDL2 (PulseAudio, PipeWire, ALSA ...; SDL_AUDIODRIVER chooses). The
// device takes the file's rate, channels and sample format as they are;
// SDL converts where the hardware needs it.
//
// SDL's audio thread fills the device from the playback. Everything else
// (seeking, pausing) runs on the caller's thread with the device locked.
#pragma once

#include <SupportDefs.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

class TPlayback;

class TSoundOutput {
public:
    // Called on SDL's audio thread: the playback reached its end (all of
    // it handed to the device), or a pause point of that many ms.
    struct Listener {
        std::function<void()> ended;
        std::function<void(int64 milliseconds)> pauseReached;
        // After each buffer: the playback's frame.
        std::function<void(int64 frame)> progress;
    };

    TSoundOutput();
    ~TSoundOutput();
    TSoundOutput(const TSoundOutput&) = delete;
    TSoundOutput& operator=(const TSoundOutput&) = delete;

    // Opens a device for the playback, paused; false with the reason.
    bool Open(TPlayback* playback, const Listener& listener, std::string* why);
    void Close();
    bool IsOpen() const { return fDevice != 0; }

    // Pausing holds the device; resuming also ends the silence that
    // follows a pause point.
    void SetPaused(bool paused);
    bool IsPaused() const { return fPaused; }

    // Runs work with the audio thread kept out (seeking, reading the
    // position).
    void WithLock(const std::function<void()>& work);

    // Frames a device buffer holds: how far the sound lags behind the
    // playback's position.
    uint32 BufferFrames() const { return fBufferFrames; }

private:
    static void Callback(void* data, uint8* stream, int length);

    uint32 fDevice;
    TPlayback* fPlayback;
    Listener fListener;
    bool fPaused;
    bool fHolding;   // silent since a pause point, until resumed
    bool fEndTold;
    uint32 fBufferFrames;
    uint8 fSilence;
};
