// Writes add-components requests as the programs send them, for the
// fuzzer to start from: both items, each alone.
#include <IAPs.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void write_request(const std::string& path, TInterAppPrefs* prefs)
{
    port_id port = create_port(4, "seeds");
    prefs->AddComponents(port);
    ssize_t size = port_buffer_size(port);
    std::vector<char> bytes(size > 0 ? size_t(size) : 0);
    int32 code = 0;
    read_port(port, &code, bytes.data(), bytes.size());
    delete_port(port);
    if (FILE* file = fopen(path.c_str(), "wb")) {
        fwrite(bytes.data(), 1, bytes.size(), file);
        fclose(file);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    setenv("SUITE_OFFSCREEN", "1", 1);
    std::string folder = argv[1];
    const char* signature = "application/x-vnd.VELMOR-Seeds";
    TInterAppPrefs both, format, flat;
    for (TInterAppPrefs* prefs : {&both, &format, &flat})
        prefs->SetAppSignatureRef(signature);
    both.AddItem(new TIAPItemAccKeyFormat());
    both.AddItem(new TIAPItemFlatToolBar());
    format.AddItem(new TIAPItemAccKeyFormat());
    flat.AddItem(new TIAPItemFlatToolBar());
    write_request(folder + "/both", &both);
    write_request(folder + "/format", &format);
    write_request(folder + "/flat", &flat);
    return 0;
}
