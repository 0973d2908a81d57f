// TPlayback: the PCM of one open file, as an output takes it. It reads
// the add-on's decoder in whole frames, widens 24-bit samples to 32 bits
// for a sound output (which knows no 24-bit format), stops at a frame limit,
// and it can be told to pause or jump at given frames, exactly there: what
// it hands out is the file's PCM up to that frame and from the new one on.
//
// Not locked: the audio output calls Fill on its own thread and the
// caller holds the output's lock for everything else.
#pragma once

#include <SupportDefs.h>

#include <functional>
#include <map>
#include <vector>

#include "AddOnLoader.h"

class TPlayback {
public:
    // At a pause point the output is paused for that long (milliseconds);
    // at a jump point playback continues from another frame.
    struct Action {
        enum Kind { kPause, kJump } kind;
        int64 value;
    };

    enum Samples {
        kAsInFile,   // the file's own bytes (for a WAVE file)
        kWiden24,    // 24-bit samples as 32-bit ones (for a sound output)
    };

    // The decoder must outlive the playback.
    TPlayback(TAddOnDecoder* decoder, const TAudioFileInfo& info, Samples samples);

    // False for a file the outputs cannot take (no frames, unknown sample
    // size, more than 8 channels).
    bool IsPlayable() const { return fOutputFrameSize > 0; }
    uint32 OutputFrameSize() const { return fOutputFrameSize; }
    int32 OutputBytesPerSample() const { return fOutputBytesPerSample; }
    int32 Channels() const { return fInfo.channels; }
    uint32 SampleRate() const { return uint32(fInfo.sampleRate); }
    // Length in frames as the add-on reports it.
    int64 Length() const { return fInfo.frames; }

    // Ends the playback at this frame (negative: at the end of the file).
    void SetLimit(int64 frames) { fLimit = frames; }
    void AddAction(int64 frame, Action action) { fActions[frame] = action; }
    // Called (on the output's thread) when a pause point is reached.
    void SetPauseHandler(std::function<void(int64 milliseconds)> handler) { fOnPause = std::move(handler); }

    // Fills buffer with whole frames of PCM and answers the bytes filled;
    // fewer than size only at the end of the data or at a pause point.
    size_t Fill(uint8* buffer, size_t size);
    bool Ended() const { return fEnded; }
    // The data ended short of the length the add-on reports: the file is
    // damaged, or it shrank while it played. (The add-on's read answers
    // 0 both at the end and on a frame it cannot decode.)
    bool Damaged() const { return fDamaged; }

    // Continues from frame; the next Fill starts there.
    void Seek(int64 frame);
    // The frame the next Fill starts with.
    int64 Frame() const { return fFrame; }

private:
    TAddOnDecoder* fDecoder;
    TAudioFileInfo fInfo;
    uint32 fFileFrameSize;
    uint32 fOutputFrameSize;
    int32 fOutputBytesPerSample;
    bool fWiden;
    int64 fFrame;
    int64 fLimit;
    bool fEnded;
    bool fDamaged;
    std::map<int64, Action> fActions;
    std::function<void(int64)> fOnPause;
    std::vector<uint8> fScratch;
};
