// Lumbrel: shows, writes and removes the tag fields of one APE file.
// A run removes (-REMOVEALL), then writes the fields given, then reads the
// tag back from the file and shows it.
#include "TagApp.h"
#include "TagOperations.h"

#include <Entry.h>
#include <UsingLibMonkeysAudio.h>

#include <iostream>
#include <memory>

namespace {

using Decompressor = std::unique_ptr<IAPEDecompress>;

Decompressor open_ape_file(const BString& path)
{
    int error = 0;
    return Decompressor(create_iapedecompress(path.String(), &error));
}

// The decompressor keeps the tag object; it may be null.
CAPETag* tag_of(IAPEDecompress& file)
{
    return reinterpret_cast<CAPETag*>(file.GetInfo(APE_INFO_TAG, 0, 0));
}

[[noreturn]] void fail(const char* key)
{
    exp_err(get_text(key));
    throw -1;
}

void tag_file(const TTagOption& options)
{
    std::cout << get_text("Tag file: %FileNameAPE%", {{"%FileNameAPE%", options.ape_file}})
              << std::endl;
    Decompressor file = open_ape_file(options.ape_file);
    if (!file)
        fail("@Err_Access_Failed@");
    CAPETag* tag = tag_of(*file);
    if (!tag)
        fail("@Err_Cannot_Read_Tag@");
    if (remove_tag(options, tag) != 0)
        fail("@Err_Cannot_Remove_Tag@");
    if (add_tag(options, tag) != 0)
        fail("@Err_Cannot_Write_Tag@");
    if (exp_tag(options) != 0)
        fail("@Err_Cannot_Read_Tag@");
}

} // namespace

int remove_tag(const TTagOption& options, CAPETag* tag)
{
    if (!options.remove_all)
        return 0;
    // Both results count: a file the library cannot rewrite keeps its fields.
    int removed = tag->Remove(1);
    int saved = tag->Save(0);
    return removed == 0 && saved == 0 ? 0 : -1;
}

int add_tag(const TTagOption& options, CAPETag* tag)
{
    if (options.tag_values.empty())
        return 0;
    mode_t permissions = 0;
    if (BEntry(options.ape_file.String(), false).GetPermissions(&permissions) != B_OK
        || !(permissions & 0200))
        return -1;
    for (const auto& [option, value] : options.tag_values) {
        const TTagField* field = find_tag_field(option);
        if (!field)
            continue;
        char buffer[kTagValueBytes];
        convert_from_utf8(options, value, buffer, sizeof buffer);
        // A field the library refuses leaves the file as it was: nothing
        // is saved half.
        if (tag->SetFieldString(field->name, buffer, -1, 0) != 0)
            return -1;
    }
    return tag->Save(0) == 0 ? 0 : -1;
}

int exp_tag(const TTagOption& options)
{
    Decompressor file = open_ape_file(options.ape_file);
    if (!file)
        return -1;
    CAPETag* tag = tag_of(*file);
    if (!tag)
        return -1;
    for (const TTagField& field : kTagFields) {
        char buffer[kTagValueBytes] = "";
        int size = sizeof buffer;
        tag->GetFieldString(field.name, buffer, &size);
        buffer[sizeof buffer - 1] = '\0';
        convert_to_utf8(options, buffer, sizeof buffer);
        std::cout << get_text(field.label) << buffer << "\n";
    }
    std::cout.flush();
    return 0;
}

int main(int argc, char* argv[])
{
    TTagOption options;
    return run_main(
        argc, argv, "Lumbrel", options, [&] { return parse_opt(argc, argv, &options); },
        [&] { tag_file(options); });
}
