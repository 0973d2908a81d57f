#include "UsingLibMonkeysAudio.h"

#include "Installation.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstring>

// Every entry once: its function type, its pointer and its symbol, in the
// order of resolution.
#define LIB_MONKEYS_AUDIO_ENTRIES(X) \
    X(CreateCAPETag1Fn, create_capetag_1, "create_capetag_1") \
    X(CreateCAPETag2Fn, create_capetag_2, "create_capetag_2") \
    X(DestroyCAPETagFn, destroy_capetag, "destroy_capetag") \
    X(LibTextFn, lib_monkeys_audio_components, "lib_monkeys_audio_components") \
    X(LibTextFn, lib_monkeys_audio_copyright, "lib_monkeys_audio_copyright") \
    X(LibTextFn, lib_monkeys_audio_name, "lib_monkeys_audio_name") \
    X(LibTextFn, lib_monkeys_audio_version, "lib_monkeys_audio_version") \
    X(CompressFileFn, compress_file, "CompressFile") \
    X(CreateIAPEDecompressFn, create_iapedecompress, "CreateIAPEDecompress") \
    X(DecompressFileFn, decompress_file, "DecompressFile") \
    X(VerifyFileFn, verify_file, "VerifyFile")

// The stream entries, which a library may lack.
#define LIB_MONKEYS_AUDIO_STREAM_ENTRIES(X) \
    X(CompressStreamFn, compress_stream, "CompressStream") \
    X(DecompressStreamFn, decompress_stream, "DecompressStream") \
    X(VerifyStreamFn, verify_stream, "VerifyStream") \
    X(CreateIAPEDecompressStreamFn, create_iapedecompress_stream, "CreateIAPEDecompressStream")

#define DEFINE_POINTER(type, name, symbol) type* name = nullptr;

namespace lib_monkeys_audio_entries {
LIB_MONKEYS_AUDIO_ENTRIES(DEFINE_POINTER)
LIB_MONKEYS_AUDIO_STREAM_ENTRIES(DEFINE_POINTER)
} // namespace lib_monkeys_audio_entries

const char* const kLibMonkeysAudioFileName = "libMonkeysAudio.so";

namespace {

struct EntryTable {
    LIB_MONKEYS_AUDIO_ENTRIES(DEFINE_POINTER)
    LIB_MONKEYS_AUDIO_STREAM_ENTRIES(DEFINE_POINTER)
};

void install(const EntryTable& table)
{
#define INSTALL_POINTER(type, name, symbol) lib_monkeys_audio_entries::name = table.name;
    LIB_MONKEYS_AUDIO_ENTRIES(INSTALL_POINTER)
    LIB_MONKEYS_AUDIO_STREAM_ENTRIES(INSTALL_POINTER)
#undef INSTALL_POINTER
}

template <typename Fn>
bool resolve(image_id image, const char* symbol, Fn*& pointer)
{
    void* address = nullptr;
    if (get_image_symbol(image, symbol, B_SYMBOL_TYPE_TEXT, &address) != B_OK)
        return false;
    pointer = reinterpret_cast<Fn*>(address);
    return true;
}

// The longest prefix of text that is a decimal number: digits with an
// optional sign, fraction and exponent. No "inf", "nan" or hexadecimal.
size_t decimal_prefix(const char* text)
{
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    if (text[i] == '+' || text[i] == '-')
        ++i;
    size_t mantissa = digits();
    if (text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0)
        return 0;
    const size_t beforeExponent = i;
    if (text[i] == 'e' || text[i] == 'E') {
        ++i;
        if (text[i] == '+' || text[i] == '-')
            ++i;
        if (digits() == 0)
            i = beforeExponent;
    }
    return i;
}

// strtod's reading of the text, without its dependence on the C locale's
// decimal point and without the non-decimal forms.
double read_version(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    const size_t length = decimal_prefix(text);
    if (length == 0)
        return 0;
    const char* begin = *text == '+' ? text + 1 : text;
    double value = 0;
    const auto result = std::from_chars(begin, text + length, value);
    if (result.ec != std::errc())
        return 0;
    return value;
}

} // namespace

BString path_name_lib_monkeys_audio()
{
    // The first file there is: a user's own install takes precedence, and
    // one that is there but broken is reported, never passed over.
    for (const BString& candidate : codec_library_candidates()) {
        struct stat st;
        if (stat(candidate.String(), &st) == 0)
            return candidate;
    }
    return BString();
}

int load_lib_monkeys_audio(image_id* image)
{
    const BString path = path_name_lib_monkeys_audio();
    const image_id loaded = load_add_on(path.String());
    if (image)
        *image = loaded;
    if (loaded < 0)
        return -1;
    if (!image) {
        // Nobody could ever unload it.
        unload_add_on(loaded);
        return -1;
    }
    return 0;
}

int get_lib_monkeys_audio_entries(image_id image)
{
    EntryTable table;
    // Stops at the first symbol that is missing.
#define RESOLVE_POINTER(type, name, symbol) &&resolve(image, symbol, table.name)
    const bool complete = true LIB_MONKEYS_AUDIO_ENTRIES(RESOLVE_POINTER);
#undef RESOLVE_POINTER
    if (!complete)
        return -1;
#define RESOLVE_OPTIONAL(type, name, symbol) resolve(image, symbol, table.name);
    LIB_MONKEYS_AUDIO_STREAM_ENTRIES(RESOLVE_OPTIONAL)
#undef RESOLVE_OPTIONAL
    install(table);
    return 0;
}

int check_lib_monkeys_audio_version(float version)
{
    if (!lib_monkeys_audio_version)
        return -1;
    const char* text = lib_monkeys_audio_version();
    if (!text)
        return -1;
    // Skip the four characters of the prefix, but never past the end.
    const char* number = text + strnlen(text, 4);
    const float found = static_cast<float>(read_version(number));
    if (std::isnan(found) || found < version)
        return -1;
    return 0;
}

void unload_lib_monkeys_audio(image_id* image)
{
    if (!image || *image < 0)
        return;
    unload_add_on(*image);
    *image = -1;
    install(EntryTable());
}
