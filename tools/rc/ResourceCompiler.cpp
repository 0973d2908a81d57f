// velmor-rc: makes the resources a program or add-on carries in its file
// from a resource definition (docs/resources.md):
//
//   velmor-rc -o OUTPUT [-icon large|mini] DEFINITION
//
// An OUTPUT ending in ".cpp" is a C++ source that puts the container in
// the section ".rsrc" of whatever it is linked into; with -icon, OUTPUT is
// that icon as a PNG picture, in the colours the file's own icon shows
// (for the desktop's icon themes); any other OUTPUT is a plain resource
// file. Icon files named by the definition are read relative to the
// definition's folder.
#include <AppFileInfo.h>
#include <File.h>
#include <GraphicsDefs.h>
#include <Resources.h>

#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

const type_code kLargeIconType = 0x49434F4E;  // 'ICON'
const type_code kMiniIconType = 0x4D49434E;   // 'MICN'
const int32 kIconId = 101;

struct Failure {
    std::string message;
};

[[noreturn]] void fail(const std::string& where, int line, const std::string& what)
{
    throw Failure{where + ":" + std::to_string(line) + ": " + what};
}

// The words of a line: bare words and double-quoted texts (with \" and
// \\ inside). A line that begins with "#" is a comment.
std::vector<std::string> words_of(const std::string& text, const std::string& where, int line)
{
    std::vector<std::string> words;
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos || text[i] == '#')
        return words;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t' || text[i] == '\r') {
            i++;
        } else if (text[i] == '"') {
            std::string word;
            for (i++; i < text.size() && text[i] != '"'; i++) {
                if (text[i] == '\\' && i + 1 < text.size())
                    i++;
                word += text[i];
            }
            if (i >= text.size())
                fail(where, line, "unfinished text");
            i++;
            words.push_back(word);
        } else {
            size_t end = text.find_first_of(" \t\r", i);
            if (end == std::string::npos)
                end = text.size();
            words.push_back(text.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

uint32 number(const std::string& word, const std::string& where, int line)
{
    char* end = nullptr;
    unsigned long value = strtoul(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || value > 0xFFFFFFFFul)
        fail(where, line, "not a number: " + word);
    return uint32(value);
}

// An icon file: "color C #rrggbb" (or "color C transparent") lines give
// each pixel character its colour, then size rows of size characters.
std::vector<uint8> read_icon(const std::string& path, int size)
{
    std::ifstream in(path);
    if (!in)
        throw Failure{"cannot read " + path};
    std::map<char, uint8> colors;
    std::vector<uint8> pixels;
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        line++;
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        if (text.empty() || text[0] == '#')
            continue;
        if (text.rfind("color ", 0) == 0) {
            std::vector<std::string> words = words_of(text, path, line);
            if (words.size() != 3 || words[1].size() != 1)
                fail(path, line, "expected: color C #rrggbb");
            uint8 index = B_TRANSPARENT_MAGIC_CMAP8;
            if (words[2] != "transparent") {
                unsigned r, g, b;
                if (words[2].size() != 7 || sscanf(words[2].c_str(), "#%2x%2x%2x", &r, &g, &b) != 3)
                    fail(path, line, "not a colour: " + words[2]);
                index = index_for_color(make_color(uint8(r), uint8(g), uint8(b)));
            }
            colors[words[1][0]] = index;
            continue;
        }
        if (int(text.size()) != size)
            fail(path, line, "a row of " + std::to_string(size) + " pixels expected");
        for (char c : text) {
            auto found = colors.find(c);
            if (found == colors.end())
                fail(path, line, std::string("no colour for '") + c + "'");
            pixels.push_back(found->second);
        }
    }
    if (pixels.size() != size_t(size) * size_t(size))
        throw Failure{path + ": " + std::to_string(size) + " rows expected"};
    return pixels;
}

std::string folder_of(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

void compile(const std::string& path, BResources& resources)
{
    std::ifstream in(path);
    if (!in)
        throw Failure{"cannot read " + path};
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        line++;
        std::vector<std::string> words = words_of(text, path, line);
        if (words.empty())
            continue;
        const std::string& what = words[0];
        if (what == "signature" && words.size() == 2) {
            resources.AddResource(B_APP_SIGNATURE_TYPE, kAppSignatureResourceId, words[1].c_str(),
                words[1].size() + 1, kAppSignatureName);
        } else if (what == "version" && words.size() == 8) {
            static const std::map<std::string, uint32> varieties = {{"development", B_APPV_DEVELOPMENT},
                {"alpha", B_APPV_ALPHA}, {"beta", B_APPV_BETA}, {"gamma", B_APPV_GAMMA},
                {"golden_master", B_APPV_GOLDEN_MASTER}, {"final", B_APPV_FINAL}};
            auto variety = varieties.find(words[4]);
            if (variety == varieties.end())
                fail(path, line, "unknown variety: " + words[4]);
            version_info info = {};
            info.major = number(words[1], path, line);
            info.middle = number(words[2], path, line);
            info.minor = number(words[3], path, line);
            info.variety = variety->second;
            info.internal = number(words[5], path, line);
            if (words[6].size() >= sizeof info.short_info || words[7].size() >= sizeof info.long_info)
                fail(path, line, "version text too long");
            strcpy(info.short_info, words[6].c_str());
            strcpy(info.long_info, words[7].c_str());
            resources.AddResource(B_VERSION_INFO_TYPE, kAppVersionResourceId, &info, sizeof info,
                kAppVersionName);
        } else if ((what == "large_icon" || what == "mini_icon") && words.size() == 2) {
            const bool large = what == "large_icon";
            std::vector<uint8> pixels = read_icon(folder_of(path) + words[1], large ? 32 : 16);
            resources.AddResource(large ? kLargeIconType : kMiniIconType, kIconId, pixels.data(),
                pixels.size(), large ? "BEOS:L:STD_ICON" : "BEOS:M:STD_ICON");
        } else {
            fail(path, line, "expected signature, version, large_icon or mini_icon");
        }
    }
}

void write_cpp(const std::string& path, const std::string& source, const std::vector<uint8>& bytes)
{
    std::ostringstream out;
    out << "// Made by velmor-rc from " << source << "; do not edit.\n"
        << "__attribute__((section(\".rsrc\"), used, aligned(8)))\n"
        << "static const unsigned char kResources[" << bytes.size() << "] = {";
    for (size_t i = 0; i < bytes.size(); i++)
        out << (i % 16 == 0 ? "\n    " : " ") << unsigned(bytes[i]) << ",";
    out << "\n};\n";
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << out.str();
    if (!file.flush())
        throw Failure{"cannot write " + path};
}

// The icon as a PNG picture: each B_CMAP8 pixel in its palette colour,
// the transparent index fully transparent.
void write_png(const std::string& path, const BResources& resources, bool large)
{
    const int size = large ? 32 : 16;
    size_t bytes = 0;
    const auto* pixels = static_cast<const uint8*>(
        resources.LoadResource(large ? kLargeIconType : kMiniIconType, kIconId, &bytes));
    if (pixels == nullptr || bytes != size_t(size) * size_t(size))
        throw Failure {std::string("the definition has no ") + (large ? "large" : "mini") +
                       " icon"};
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < size; y++) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * cairo_image_surface_get_stride(surface));
        for (int x = 0; x < size; x++) {
            const uint8 index = pixels[y * size + x];
            const rgb_color c = system_colors()->color_list[index];
            const uint32_t opaque =
                0xff000000u | uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
            row[x] = index == B_TRANSPARENT_MAGIC_CMAP8 ? 0 : opaque;
        }
    }
    cairo_surface_mark_dirty(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        throw Failure {"cannot write " + path};
}

}  // namespace

int main(int argc, char** argv)
{
    const bool icon = argc == 6 && strcmp(argv[3], "-icon") == 0 &&
        (strcmp(argv[4], "large") == 0 || strcmp(argv[4], "mini") == 0);
    if ((argc != 4 && !icon) || strcmp(argv[1], "-o") != 0) {
        fprintf(stderr, "usage: velmor-rc -o OUTPUT [-icon large|mini] DEFINITION\n");
        return 2;
    }
    const std::string output = argv[2];
    try {
        BResources resources;
        compile(argv[argc - 1], resources);
        if (icon) {
            write_png(output, resources, strcmp(argv[4], "large") == 0);
        } else if (output.size() > 4 && output.compare(output.size() - 4, 4, ".cpp") == 0) {
            write_cpp(output, argv[argc - 1], resources.Flatten());
        } else {
            BFile file(output.c_str(), B_WRITE_ONLY | B_CREATE_FILE | B_ERASE_FILE);
            if (file.InitCheck() != B_OK || resources.WriteTo(&file) != B_OK)
                throw Failure{"cannot write " + output};
        }
    } catch (const Failure& failure) {
        fprintf(stderr, "velmor-rc: %s\n", failure.message.c_str());
        remove(output.c_str());
        return 1;
    }
    return 0;
}
