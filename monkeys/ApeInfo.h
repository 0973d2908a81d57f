// Information fields of this library's decompressor beyond those the
// programs use (MonkeysAudioLib.h); docs/ape-format.md lists them all.
#pragma once

namespace monkeys {

enum ExtraInfoField {
    INFO_FORMAT_VERSION = 1000,    // version of the file format
    INFO_COMPRESSION_LEVEL = 1001, // level given to the encoder
    INFO_BYTES_PER_SAMPLE = 1005,
    INFO_BLOCKS_PER_FRAME = 1008,
    INFO_TOTAL_FRAMES = 1009,
    INFO_WAVE_HEADER_BYTES = 1010, // bytes of the WAVE file before its audio
    INFO_WAVE_TRAILER_BYTES = 1011,// bytes of the WAVE file after its audio
    INFO_WAVE_DATA_BYTES = 1012,   // bytes of audio
    INFO_WAVE_TOTAL_BYTES = 1013,  // size of the WAVE file DecompressFile writes
    INFO_AUDIO_END = 1014,         // offset where the audio part of the APE file ends
    INFO_CURRENT_BLOCK = 2000,     // decoding position in blocks
};

} // namespace monkeys
