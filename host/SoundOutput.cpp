#include "SoundOutput.h"

#include <SDL.h>

#include <cstring>

#include "Playback.h"

namespace {

// SDL's audio part, started once and ended at exit.
bool start_sdl_audio(std::string* why)
{
    static std::once_flag once;
    static bool started = false;
    static std::string error;
    std::call_once(once, [] {
        // Ctrl-C and SIGTERM end the player as they end any program.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        started = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        if (!started)
            error = SDL_GetError();
        else
            atexit([] { SDL_QuitSubSystem(SDL_INIT_AUDIO); });
    });
    if (!started && why != nullptr)
        *why = error;
    return started;
}

SDL_AudioFormat format_of(int32 bytesPerSample)
{
    switch (bytesPerSample) {
        case 1: return AUDIO_U8;
        case 2: return AUDIO_S16LSB;
        default: return AUDIO_S32LSB;
    }
}

}  // namespace

TSoundOutput::TSoundOutput()
    : fDevice(0),
      fPlayback(nullptr),
      fPaused(true),
      fHolding(false),
      fEndTold(false),
      fBufferFrames(0),
      fSilence(0)
{
}

TSoundOutput::~TSoundOutput()
{
    Close();
}

bool TSoundOutput::Open(TPlayback* playback, const Listener& listener, std::string* why)
{
    Close();
    if (!start_sdl_audio(why))
        return false;
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = int(playback->SampleRate());
    wanted.format = format_of(playback->OutputBytesPerSample());
    wanted.channels = uint8(playback->Channels());
    wanted.samples = 4096;
    wanted.callback = Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained;
    fPlayback = playback;
    fListener = listener;
    fEndTold = false;
    fPaused = true;
    fHolding = false;
    playback->SetPauseHandler([this](int64 milliseconds) {
        fHolding = true;
        if (fListener.pauseReached)
            fListener.pauseReached(milliseconds);
    });
    fDevice = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (fDevice == 0) {
        if (why != nullptr)
            *why = SDL_GetError();
        fPlayback = nullptr;
        return false;
    }
    fBufferFrames = obtained.samples;
    fSilence = obtained.silence;
    return true;
}

void TSoundOutput::Close()
{
    if (fDevice != 0)
        SDL_CloseAudioDevice(fDevice);
    fDevice = 0;
    fPlayback = nullptr;
}

void TSoundOutput::SetPaused(bool paused)
{
    if (fDevice == 0)
        return;
    SDL_LockAudioDevice(fDevice);
    fPaused = paused;
    if (!paused)
        fHolding = false;
    SDL_UnlockAudioDevice(fDevice);
    SDL_PauseAudioDevice(fDevice, paused ? 1 : 0);
}

void TSoundOutput::WithLock(const std::function<void()>& work)
{
    if (fDevice != 0)
        SDL_LockAudioDevice(fDevice);
    work();
    if (fDevice != 0)
        SDL_UnlockAudioDevice(fDevice);
}

void TSoundOutput::Callback(void* data, uint8* stream, int length)
{
    TSoundOutput* output = static_cast<TSoundOutput*>(data);
    TPlayback* playback = output->fPlayback;
    size_t filled = 0;
    if (playback != nullptr && !output->fEndTold) {
        // A pause point ends the buffer early; silence follows until the
        // output is resumed.
        while (!output->fHolding && filled < size_t(length) && !playback->Ended()) {
            const size_t n = playback->Fill(stream + filled, size_t(length) - filled);
            if (n == 0)
                break;
            filled += n;
        }
    }
    memset(stream + filled, output->fSilence, size_t(length) - filled);
    if (playback == nullptr)
        return;
    if (output->fListener.progress)
        output->fListener.progress(playback->Frame());
    if (playback->Ended() && !output->fEndTold) {
        output->fEndTold = true;
        if (output->fListener.ended)
            output->fListener.ended();
    }
}
