#include "PlayerCommands.h"

#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "PlayerText.h"
#include "SoundOutput.h"
#include "WaveFile.h"

std::unique_ptr<TAddOnDecoder> open_file(const TAddOnFolder& addOns, const std::string& file)
{
    struct stat st;
    if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        print_error(player_text("@Err_No_File %File%@", {{"%File%", file}}));
        return nullptr;
    }
    std::unique_ptr<TAddOnDecoder> decoder = addOns.Open(file);
    if (decoder == nullptr)
        print_error(player_text("@Err_No_AddOn %File%@", {{"%File%", file}}));
    return decoder;
}

void print_damaged(const std::string& file)
{
    print_error(player_text("@Err_Damaged %File%@", {{"%File%", file}}));
}

std::string display_title(const TAudioFileInfo& info, const std::string& file)
{
    if (!info.title.empty())
        return info.title;
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? file : file.substr(slash + 1);
}

int print_file_info(const TAddOnFolder& addOns, const TPlayerOptions& options)
{
    int status = 0;
    for (const std::string& file : options.files) {
        std::unique_ptr<TAddOnDecoder> decoder = open_file(addOns, file);
        if (decoder == nullptr) {
            status = 1;
            continue;
        }
        const TAudioFileInfo info = decoder->Info();
        const TPlugin& plugin = decoder->AddOn()->Plugins()[size_t(decoder->PluginIndex())];
        // Fixed names, for scripts; the values as the add-on gave them.
        printf("File: %s\n", file.c_str());
        printf("Add-on: %s (%s)\n", plugin.name.c_str(), decoder->AddOn()->Path().c_str());
        printf("Title: %s\n", info.title.c_str());
        printf("Type: %s\n", info.typeDescription.c_str());
        printf("MIME type: %s\n", info.mimeType.c_str());
        printf("Sample rate: %.9g\n", info.sampleRate);
        printf("Bits per sample: %.9g\n", info.bitsPerSample);
        printf("Channels: %d\n", int(info.channels));
        printf("Frames per read: %d\n", int(info.framesPerRead));
        printf("Frames: %d\n", int(info.frames));
        printf("Bytes per sample: %d\n", int(info.bytesPerSample));
        printf("Seekable: %d\n", int(info.seekable));
        printf("Little endian: %d\n", int(info.littleEndian));
        printf("Reserved: %lld\n", static_cast<long long>(info.reserved));
        printf("Length: %s\n\n", format_time(info.sampleRate > 0 ? info.frames / info.sampleRate : 0).c_str());
    }
    fflush(stdout);
    return status;
}

int decode_to_wave(const TAddOnFolder& addOns, const TPlayerOptions& options)
{
    if (options.files.size() != 1) {
        print_error(player_text("@Err_Decode_One_File@"));
        return 1;
    }
    const std::string& file = options.files[0];
    std::unique_ptr<TAddOnDecoder> decoder = open_file(addOns, file);
    if (decoder == nullptr)
        return 1;
    const TAudioFileInfo info = decoder->Info();
    const uint32 frameSize = info.FrameSize();
    if (frameSize == 0 || info.sampleRate < 1) {
        print_error(player_text("@Err_Bad_Format %File%@", {{"%File%", file}}));
        return 1;
    }
    std::vector<std::pair<int64, int64>> parts = options.seeks;
    if (parts.empty())
        parts.emplace_back(-1, -1);
    else if (!decoder->CanSeek()) {
        print_error(player_text("@Err_Cannot_Seek %File%@", {{"%File%", file}}));
        return 1;
    }
    TWaveWriter wave;
    std::string why;
    if (!wave.Open(options.output, uint32(info.sampleRate), info.channels, info.bytesPerSample, &why)) {
        print_error(player_text("@Err_Write %Reason%@", {{"%Reason%", why}}));
        return 1;
    }
    // Whole frames a read, so that no byte is left between two reads.
    const uint32 readFrames = 65536 / frameSize > 0 ? 65536 / frameSize : 1;
    std::vector<char> buffer(size_t(readFrames) * frameSize);
    int64 frame = 0;
    for (const auto& [start, count] : parts) {
        if (start >= 0) {
            decoder->Seek(uint32(std::min<int64>(start, UINT32_MAX)));
            frame = start;
        }
        int64 left = count;
        while (left != 0) {
            const uint32 frames = left > 0 ? uint32(std::min<int64>(left, readFrames)) : readFrames;
            const int32 got = std::min<int32>(decoder->Read(buffer.data(), frames * frameSize), int32(frames));
            // 0 before the length the add-on reports: a damaged file, of
            // which no WAVE file is kept.
            if (got <= 0 && frame < info.frames) {
                print_damaged(file);
                return 1;
            }
            if (got <= 0)
                break;
            frame += got;
            if (!wave.Write(buffer.data(), size_t(got) * frameSize, &why)) {
                print_error(player_text("@Err_Write %Reason%@", {{"%Reason%", why}}));
                return 1;
            }
            if (left > 0)
                left -= got;
        }
    }
    if (!wave.Finish(&why)) {
        print_error(player_text("@Err_Write %Reason%@", {{"%Reason%", why}}));
        return 1;
    }
    return 0;
}

namespace {

// One file played into a WAVE file: the playback's own pace, no pauses.
bool play_into_wave(TPlayback& playback, TWaveWriter& wave)
{
    std::vector<uint8> buffer(size_t(playback.OutputFrameSize()) * 4096);
    std::string why;
    while (!playback.Ended()) {
        const size_t n = playback.Fill(buffer.data(), buffer.size());
        if (n > 0 && !wave.Write(buffer.data(), n, &why)) {
            print_error(player_text("@Err_Write %Reason%@", {{"%Reason%", why}}));
            return false;
        }
    }
    return !playback.Damaged();
}

// One file on the sound output, pausing where asked; returns once the
// device has played it out.
bool play_on_output(TPlayback& playback)
{
    std::mutex lock;
    std::condition_variable changed;
    bool ended = false;
    std::vector<int64> pauses;
    TSoundOutput::Listener listener;
    listener.ended = [&] {
        std::lock_guard<std::mutex> guard(lock);
        ended = true;
        changed.notify_all();
    };
    listener.pauseReached = [&](int64 milliseconds) {
        std::lock_guard<std::mutex> guard(lock);
        pauses.push_back(milliseconds);
        changed.notify_all();
    };
    TSoundOutput output;
    std::string why;
    if (!output.Open(&playback, listener, &why)) {
        print_error(player_text("@Err_Sound_Output %Reason%@", {{"%Reason%", why}}));
        return false;
    }
    output.SetPaused(false);
    std::unique_lock<std::mutex> guard(lock);
    while (!ended) {
        changed.wait(guard, [&] { return ended || !pauses.empty(); });
        if (!pauses.empty()) {
            const int64 milliseconds = pauses.front();
            pauses.erase(pauses.begin());
            guard.unlock();
            output.SetPaused(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
            output.SetPaused(false);
            guard.lock();
        }
    }
    guard.unlock();
    // The device still holds its last buffers.
    const double seconds = 2.0 * output.BufferFrames() / playback.SampleRate();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    output.Close();
    return true;
}

}  // namespace

int play_without_window(const TAddOnFolder& addOns, const TPlayerOptions& options)
{
    int status = 0;
    TWaveWriter wave;
    bool waveOpen = false;
    uint32 waveRate = 0;
    int32 waveChannels = 0, waveBytes = 0;
    for (const std::string& file : options.files) {
        std::unique_ptr<TAddOnDecoder> decoder = open_file(addOns, file);
        if (decoder == nullptr) {
            status = 1;
            continue;
        }
        const TAudioFileInfo info = decoder->Info();
        TPlayback playback(decoder.get(), info,
            options.output.empty() ? TPlayback::kWiden24 : TPlayback::kAsInFile);
        if (!playback.IsPlayable()) {
            print_error(player_text("@Err_Bad_Format %File%@", {{"%File%", file}}));
            status = 1;
            continue;
        }
        if (options.seconds >= 0)
            playback.SetLimit(int64(options.seconds * playback.SampleRate() + 0.5));
        for (const auto& [frame, action] : options.actions)
            playback.AddAction(frame, action);
        printf("%s\n", player_text("@Playing %Title% %Length%@",
            {{"%Title%", display_title(info, file)},
             {"%Length%", format_time(info.frames / info.sampleRate)}}).String());
        fflush(stdout);
        if (options.output.empty()) {
            if (!play_on_output(playback))
                return 1;
            if (playback.Damaged()) {
                print_damaged(file);
                status = 1;
            }
            continue;
        }
        // All files go into the one WAVE file, which takes the first
        // file's format.
        std::string why;
        if (!waveOpen) {
            waveRate = playback.SampleRate();
            waveChannels = playback.Channels();
            waveBytes = playback.OutputBytesPerSample();
            waveOpen = wave.Open(options.output, waveRate, waveChannels, waveBytes, &why);
            if (!waveOpen) {
                print_error(player_text("@Err_Write %Reason%@", {{"%Reason%", why}}));
                return 1;
            }
        } else if (playback.SampleRate() != waveRate || playback.Channels() != waveChannels
            || playback.OutputBytesPerSample() != waveBytes) {
            print_error(player_text("@Err_Bad_Format %File%@", {{"%File%", file}}));
            status = 1;
            continue;
        }
        // A damaged file spoils the one WAVE file, which is not kept.
        if (!play_into_wave(playback, wave)) {
            if (playback.Damaged())
                print_damaged(file);
            return 1;
        }
    }
    std::string why;
    if (waveOpen && !wave.Finish(&why)) {
        print_error(player_text("@Err_Write %Reason%@", {{"%Reason%", why}}));
        return 1;
    }
    return status;
}
