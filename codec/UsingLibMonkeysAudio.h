// The binding to the codec library libMonkeysAudio.so: found in the user
// library folder, or else in the installation the calling program (or
// add-on) belongs to, loaded at run time, resolved into a table of eleven
// entries, version-checked, unloaded.
//
// Calling order: load, resolve, check, use, unload. All results are 0 for
// success and -1 for failure; nothing here prints.
#pragma once

#include <MonkeysAudioLib.h>
#include <String.h>
#include <image.h>

// The entry table. Its pointers live in a namespace of their own so that
// they can never be mistaken for the library's exports of the same names
// (create_capetag_1, lib_monkeys_audio_name, ...); the using-declarations
// below make them read as the plain globals the programs call.
namespace lib_monkeys_audio_entries {
extern CreateCAPETag1Fn* create_capetag_1;
extern CreateCAPETag2Fn* create_capetag_2;
extern DestroyCAPETagFn* destroy_capetag;
extern LibTextFn* lib_monkeys_audio_components;
extern LibTextFn* lib_monkeys_audio_copyright;
extern LibTextFn* lib_monkeys_audio_name;
extern LibTextFn* lib_monkeys_audio_version;
extern CompressFileFn* compress_file;
extern CreateIAPEDecompressFn* create_iapedecompress;
extern DecompressFileFn* decompress_file;
extern VerifyFileFn* verify_file;
// Beyond the eleven, resolved with them where the library has them (null
// where it has not): the same calls on streams, for "-" and pipes.
extern CompressStreamFn* compress_stream;
extern DecompressStreamFn* decompress_stream;
extern VerifyStreamFn* verify_stream;
extern CreateIAPEDecompressStreamFn* create_iapedecompress_stream;
} // namespace lib_monkeys_audio_entries

using lib_monkeys_audio_entries::create_capetag_1;
using lib_monkeys_audio_entries::create_capetag_2;
using lib_monkeys_audio_entries::destroy_capetag;
using lib_monkeys_audio_entries::lib_monkeys_audio_components;
using lib_monkeys_audio_entries::lib_monkeys_audio_copyright;
using lib_monkeys_audio_entries::lib_monkeys_audio_name;
using lib_monkeys_audio_entries::lib_monkeys_audio_version;
using lib_monkeys_audio_entries::compress_file;
using lib_monkeys_audio_entries::create_iapedecompress;
using lib_monkeys_audio_entries::decompress_file;
using lib_monkeys_audio_entries::verify_file;
using lib_monkeys_audio_entries::compress_stream;
using lib_monkeys_audio_entries::decompress_stream;
using lib_monkeys_audio_entries::verify_stream;
using lib_monkeys_audio_entries::create_iapedecompress_stream;

// The library's file name, as the error messages show it.
extern const char* const kLibMonkeysAudioFileName;   // "libMonkeysAudio.so"

// The first of "<user library folder>/libMonkeysAudio.so" and the own
// installation's library (codec/Installation.h) that exists, or empty
// when neither does. No other place is searched.
BString path_name_lib_monkeys_audio();

// Stores the loader's result in *image (negative on failure).
int load_lib_monkeys_audio(image_id* image);

// Fills the whole table, or leaves it as it was: the entries are taken
// into use only when all eleven text symbols were found (the stream
// entries with them, each where it was found).
int get_lib_monkeys_audio_entries(image_id image);

// Compares the number after the first four characters of the library's
// version text ("Ver 1.40") with the lowest acceptable version. A text
// that does not continue with a decimal number reads as 0.
int check_lib_monkeys_audio_version(float version);

// Unloads a loaded library, sets *image to -1 and empties the table, so
// that no entry points into an unloaded library. Harmless when nothing is
// loaded, also when called twice.
void unload_lib_monkeys_audio(image_id* image);
