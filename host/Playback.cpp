#include "Playback.h"

#include <algorithm>
#include <cstring>

namespace {

// Frames read from the decoder at a time.
const uint32 kReadFrames = 4096;

}  // namespace

TPlayback::TPlayback(TAddOnDecoder* decoder, const TAudioFileInfo& info, Samples samples)
    : fDecoder(decoder),
      fInfo(info),
      fFileFrameSize(info.FrameSize()),
      fOutputFrameSize(0),
      fOutputBytesPerSample(0),
      fWiden(samples == kWiden24 && info.bytesPerSample == 3),
      fFrame(0),
      fLimit(-1),
      fEnded(false),
      fDamaged(false)
{
    const int32 bytes = info.bytesPerSample;
    if (fFileFrameSize == 0 || info.channels > 8 || bytes > 4 || info.sampleRate < 1)
        return;
    fOutputBytesPerSample = fWiden ? 4 : bytes;
    fOutputFrameSize = uint32(fOutputBytesPerSample) * uint32(info.channels);
    fScratch.resize(size_t(kReadFrames) * fFileFrameSize);
}

void TPlayback::Seek(int64 frame)
{
    fFrame = std::max<int64>(frame, 0);
    fDecoder->Seek(uint32(std::min<int64>(fFrame, UINT32_MAX)));
    fEnded = false;
    fDamaged = false;
}

size_t TPlayback::Fill(uint8* buffer, size_t size)
{
    size_t filled = 0;
    while (!fEnded && size - filled >= fOutputFrameSize) {
        // An action or the limit at the current frame comes first.
        auto action = fActions.find(fFrame);
        if (action != fActions.end()) {
            Action what = action->second;
            fActions.erase(action);
            if (what.kind == Action::kJump) {
                Seek(what.value);
                continue;
            }
            if (fOnPause)
                fOnPause(what.value);
            break;
        }
        if (fLimit >= 0 && fFrame >= fLimit) {
            fEnded = true;
            break;
        }
        int64 frames = int64((size - filled) / fOutputFrameSize);
        frames = std::min<int64>(frames, kReadFrames);
        auto next = fActions.upper_bound(fFrame);
        if (next != fActions.end())
            frames = std::min(frames, next->first - fFrame);
        if (fLimit >= 0)
            frames = std::min(frames, fLimit - fFrame);
        // No more than asked for, whatever the add-on answers.
        const int32 got = std::min<int64>(fDecoder->Read(fScratch.data(), uint32(frames) * fFileFrameSize), frames);
        if (got <= 0) {
            fEnded = true;
            fDamaged = fFrame < fInfo.frames;
            break;
        }
        const size_t samples = size_t(got) * size_t(fInfo.channels);
        uint8* out = buffer + filled;
        if (fWiden) {
            // 24-bit little-endian samples become the top three bytes of
            // 32-bit ones.
            for (size_t i = 0; i < samples; i++) {
                out[4 * i] = 0;
                memcpy(out + 4 * i + 1, &fScratch[3 * i], 3);
            }
        } else {
            memcpy(out, fScratch.data(), samples * size_t(fInfo.bytesPerSample));
        }
        filled += size_t(got) * fOutputFrameSize;
        fFrame += got;
    }
    return filled;
}
