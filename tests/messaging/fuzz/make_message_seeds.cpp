// Writes a few flattened messages, of every field type and nested, as the
// fuzzer's starting corpus.
#include <Message.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void write_seed(const std::string& folder, const char* name, const BMessage& message)
{
    std::vector<char> bytes(static_cast<size_t>(message.FlattenedSize()));
    message.Flatten(bytes.data(), static_cast<ssize_t>(bytes.size()));
    FILE* file = fopen((folder + "/" + name).c_str(), "wb");
    if (file == nullptr)
        return;
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    std::string folder = argv[1];
    BMessage empty;
    write_seed(folder, "empty", empty);

    BMessage all(0x5F536963);
    all.AddBool("bool", true);
    all.AddInt8("int8", -8);
    all.AddInt16("int16", 1600);
    all.AddInt32("int32", 32);
    all.AddInt32("int32", 33);
    all.AddInt64("int64", 64);
    all.AddFloat("float", 1.5f);
    all.AddDouble("double", 2.5);
    all.AddString("IAP:SrcApp", "application/x-vnd.VELMOR-SoundPlayOrvane");
    all.AddString("AccKeyFormat2", "\x02(a)");
    all.AddPoint("point", BPoint(3, 4));
    all.AddRect("rect", BRect(0, 0, 250, 33));
    all.AddData("raw", B_RAW_TYPE, "\x01\x02\x03", 3, false);
    all.AddPointer("pointer", &folder);
    write_seed(folder, "all-types", all);

    BMessage view('_Sic');
    BMessage child('chld');
    child.AddInt32("_val", 1);
    view.AddMessage("_views", &child);
    view.AddMessage("_views", &child);
    BMessage outer('iacr');
    outer.AddMessage("FlatToolBar", &view);
    write_seed(folder, "nested", outer);
    return 0;
}
