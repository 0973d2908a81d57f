// One APE file opened for the GStreamer element. Its PCM comes from the
// Orvane add-on, loaded through the player's add-on loader exactly as the
// player loads it; only what the add-on does not report, the exact length
// in frames and the tag fields, is read from the codec library's
// description of the file. Nothing here knows GStreamer.
#pragma once

#include <AddOnLoader.h>

#include <memory>
#include <string>

// Why a file could not be opened.
enum class TOpenFault {
    kNone,
    kNoCodecLibrary,   // libMonkeysAudio.so missing, incomplete or too old
    kNoAddOn,          // the add-on file missing or not a player add-on
    kUnreadable,       // the file cannot be read
    kNotOurs,          // not an APE file of this codec
    kDamaged,          // ours, but damaged or cut short
    kBadFormat,        // the add-on took it but reports a format no one can play
};

struct TFileTags {
    std::string title, artist, album, comment, year, genre, track;
};

class TOrvaneFile {
public:
    // The add-on the element loads: $ORVANE_ADDON when set, else the first
    // there is of the one the user install puts beside the player
    // (~/.local/lib/velmor/ApePlayer/add-ons/Orvane.so) and the one of the
    // installation the plug-in belongs to; empty when there is none.
    static std::string AddOnPath();

    // Null, with the fault and a message for the user, when the file
    // cannot be played.
    static std::unique_ptr<TOrvaneFile> Open(const std::string& path, TOpenFault* fault, std::string* message);

    const TAudioFileInfo& Info() const { return fInfo; }
    uint32 FrameSize() const { return fInfo.FrameSize(); }
    // The length in frames, as the file's header gives it.
    uint64 Frames() const { return fFrames; }
    const TFileTags& Tags() const { return fTags; }
    // The add-on's decoder of this file; its calls must not overlap.
    TAddOnDecoder& Decoder() { return *fDecoder; }

private:
    TOrvaneFile() = default;

    std::unique_ptr<TAddOnDecoder> fDecoder;
    TAudioFileInfo fInfo;
    uint64 fFrames = 0;
    TFileTags fTags;
};
