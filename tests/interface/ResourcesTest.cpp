// Resources a file carries in its own bytes, and what reads them: BNodeInfo
// for icons, BAppFileInfo for the signature and the version record.
#include <gtest/gtest.h>

#include <sys/xattr.h>

#include <AppFileInfo.h>
#include <Bitmap.h>
#include <File.h>
#include <NodeInfo.h>
#include <Resources.h>
#include <TestSupport.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const type_code kLargeIcon = 0x49434F4E;  // 'ICON'
const type_code kText = 0x43535452;       // 'CSTR'

std::vector<uint8> pixels(uint8 value)
{
    return std::vector<uint8>(32 * 32, value);
}

// A plain resource file made of these resources.
void write_resources(const std::string& path, const std::function<void(BResources&)>& fill)
{
    BResources resources;
    fill(resources);
    BFile file(path.c_str(), B_READ_WRITE | B_CREATE_FILE | B_ERASE_FILE);
    ASSERT_EQ(resources.WriteTo(&file), B_OK);
}

status_t read_status(const std::string& path)
{
    BFile file(path.c_str(), B_READ_ONLY);
    BResources resources(&file);
    return resources.InitCheck();
}

}  // namespace

TEST(Resources, WrittenAndReadBackByTypeIdAndName)
{
    suite_test::TempDir dir;
    write_resources(dir / "file.rsrc", [](BResources& r) {
        r.AddResource(kText, 1, "first", 6, "one");
        r.AddResource(kText, 2, "second", 7);
        r.AddResource(kText, 1, "again", 6, "uno");   // replaces id 1
    });
    BFile file((dir / "file.rsrc").c_str(), B_READ_ONLY);
    BResources read(&file);
    ASSERT_EQ(read.InitCheck(), B_OK);
    EXPECT_EQ(read.CountResources(), 2);
    size_t size = 0;
    EXPECT_STREQ(static_cast<const char*>(read.LoadResource(kText, 1, &size)), "again");
    EXPECT_EQ(size, 6u);
    EXPECT_STREQ(static_cast<const char*>(read.LoadResource(kText, "uno", &size)), "again");
    EXPECT_EQ(read.LoadResource(kText, "one", &size), nullptr);
    EXPECT_FALSE(read.HasResource(kLargeIcon, 1));
}

TEST(Resources, DamagedOrForeignFilesAreRefusedWhole)
{
    suite_test::TempDir dir;
    write_resources(dir / "good.rsrc", [](BResources& r) { r.AddResource(kText, 7, "payload", 8, "name"); });
    const std::string good = suite_test::read_file(dir / "good.rsrc");
    // Cut anywhere, or with a data offset pointing past the end.
    for (size_t length : {size_t(3), size_t(15), size_t(30), good.size() - 1}) {
        suite_test::write_file(dir / "cut.rsrc", good.substr(0, length));
        EXPECT_EQ(read_status(dir / "cut.rsrc"), B_BAD_DATA) << length;
    }
    std::string pointing = good;
    pointing[16 + 16] = '\xff';
    suite_test::write_file(dir / "pointing.rsrc", pointing);
    EXPECT_EQ(read_status(dir / "pointing.rsrc"), B_BAD_DATA);
    suite_test::write_file(dir / "text", "just some text");
    EXPECT_EQ(read_status(dir / "text"), B_BAD_DATA);
    // A program without resources has none.
    BFile self("/proc/self/exe", B_READ_ONLY);
    BResources none(&self);
    EXPECT_EQ(none.InitCheck(), B_OK);
    EXPECT_EQ(none.CountResources(), 0);
}

TEST(Resources, NodeInfoAndAppFileInfoReadThemWhenTheAttributesAreMissing)
{
    suite_test::TempDir dir;
    const std::string path = dir / "program";
    version_info version = {1, 6, 2, B_APPV_FINAL, 0, "Short", "Long"};
    write_resources(path, [&](BResources& r) {
        r.AddResource(kLargeIcon, 101, pixels(42).data(), 32 * 32, "BEOS:L:STD_ICON");
        r.AddResource(B_APP_SIGNATURE_TYPE, 1, "application/x-vnd.Test", 23, "BEOS:APP_SIG");
        r.AddResource(B_VERSION_INFO_TYPE, 1, &version, sizeof version, "BEOS:APP_VERSION");
    });
    BFile file(path.c_str(), B_READ_WRITE);
    BAppFileInfo info(&file);
    BBitmap icon(BRect(0, 0, 31, 31), B_CMAP8);
    ASSERT_EQ(info.GetIcon(&icon, B_LARGE_ICON), B_OK);
    EXPECT_EQ(static_cast<const uint8*>(icon.Bits())[500], 42);
    BBitmap mini(BRect(0, 0, 15, 15), B_CMAP8);
    EXPECT_EQ(info.GetIcon(&mini, B_MINI_ICON), B_ENTRY_NOT_FOUND);
    char signature[B_MIME_TYPE_LENGTH];
    ASSERT_EQ(info.GetSignature(signature), B_OK);
    EXPECT_STREQ(signature, "application/x-vnd.Test");
    version_info read = {};
    ASSERT_EQ(info.GetVersionInfo(&read, B_APP_VERSION_KIND), B_OK);
    EXPECT_EQ(read.middle, 6u);
    EXPECT_STREQ(read.short_info, "Short");
    EXPECT_EQ(info.GetVersionInfo(&read, B_SYSTEM_VERSION_KIND), B_ENTRY_NOT_FOUND);

    // An icon attribute, where the file system has them, comes first.
    if (setxattr(path.c_str(), "user.probe", "1", 1, 0) != 0)
        GTEST_SKIP() << "no user extended attributes here";
    BBitmap other(BRect(0, 0, 31, 31), B_CMAP8);
    std::vector<uint8> seven = pixels(7);
    other.SetBits(seven.data(), int32(seven.size()), 0, B_CMAP8);
    ASSERT_EQ(info.SetIcon(&other, B_LARGE_ICON), B_OK);
    ASSERT_EQ(info.GetIcon(&icon, B_LARGE_ICON), B_OK);
    EXPECT_EQ(static_cast<const uint8*>(icon.Bits())[500], 7);
}
