#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include <Bitmap.h>
#include <EntryRef.h>
#include <File.h>
#include <MimeType.h>
#include <NodeInfo.h>

namespace {

const type_code kInt32Type = 0x4C4F4E47;  // 'LONG'
const type_code kRawType = 0x52415754;  // 'RAWT'
const type_code kStringType = 0x43535452;  // 'CSTR'

// A fresh folder for each test, on the build tree's file system (which has
// user extended attributes where a tmpfs might not).
class Folder {
public:
    Folder()
    {
        const char* base = std::getenv("INTERFACE_TEST_OUTPUT");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/storage-XXXXXX";
        char* made = mkdtemp(tmpl.data());
        path = made ? made : "";
    }
    ~Folder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string operator/(const char* name) const { return path + "/" + name; }
    std::string path;
};

void touch(const std::string& path, const char* text = "")
{
    std::ofstream(path) << text;
}

bool has_user_xattrs(const std::string& file)
{
    if (::setxattr(file.c_str(), "user.probe", "1", 1, 0) != 0)
        return false;
    ::removexattr(file.c_str(), "user.probe");
    return true;
}

}  // namespace

TEST(File, OpenModesReadWriteAndSize)
{
    Folder dir;
    std::string path = dir / "data";
    BFile file(path.c_str(), B_READ_WRITE | B_CREATE_FILE | B_FAIL_IF_EXISTS);
    ASSERT_EQ(file.InitCheck(), B_OK);
    EXPECT_TRUE(file.IsReadable());
    EXPECT_TRUE(file.IsWritable());
    EXPECT_EQ(file.Write("hello world", 11), 11);
    EXPECT_EQ(file.Position(), 11);
    char buffer[16] = {};
    EXPECT_EQ(file.ReadAt(6, buffer, 5), 5);
    EXPECT_STREQ(buffer, "world");
    EXPECT_EQ(file.Seek(0, SEEK_SET), 0);
    EXPECT_EQ(file.Read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(file.SetSize(4), B_OK);
    off_t size = 0;
    EXPECT_EQ(file.GetSize(&size), B_OK);
    EXPECT_EQ(size, 4);

    BFile again(path.c_str(), B_WRITE_ONLY | B_CREATE_FILE | B_FAIL_IF_EXISTS);
    EXPECT_EQ(again.InitCheck(), B_FILE_EXISTS);
    BFile erased(path.c_str(), B_WRITE_ONLY | B_ERASE_FILE);
    ASSERT_EQ(erased.InitCheck(), B_OK);
    EXPECT_FALSE(erased.IsReadable());
    EXPECT_EQ(erased.GetSize(&size), B_OK);
    EXPECT_EQ(size, 0);

    BFile missing((dir / "none").c_str(), B_READ_ONLY);
    EXPECT_EQ(missing.InitCheck(), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(missing.Read(buffer, 1), B_NO_INIT);
    BFile folder(dir.path.c_str(), B_READ_ONLY);
    EXPECT_EQ(folder.InitCheck(), B_IS_A_DIRECTORY);
    BFile none(static_cast<const char*>(nullptr), B_READ_ONLY);
    EXPECT_EQ(none.InitCheck(), B_BAD_VALUE);
}

TEST(NodeAttributes, TypedValuesOffsetsAndNames)
{
    Folder dir;
    std::string path = dir / "song.ape";
    touch(path, "x");
    if (!has_user_xattrs(path))
        GTEST_SKIP() << "the build tree's file system has no user extended attributes";
    BNode node(path.c_str());
    ASSERT_EQ(node.InitCheck(), B_OK);
    EXPECT_FALSE(node.IsDirectory());

    int32 value = 0x01020304;
    EXPECT_EQ(node.WriteAttr("Audio:Track", kInt32Type, 0, &value, sizeof value), 4);
    attr_info info;
    ASSERT_EQ(node.GetAttrInfo("Audio:Track", &info), B_OK);
    EXPECT_EQ(info.type, kInt32Type);
    EXPECT_EQ(info.size, 4);
    int32 back = 0;
    EXPECT_EQ(node.ReadAttr("Audio:Track", kInt32Type, 0, &back, sizeof back), 4);
    EXPECT_EQ(back, value);

    // Offsets: writing further on extends, writing at 0 replaces.
    EXPECT_EQ(node.WriteAttr("Text", kStringType, 0, "abcdef", 6), 6);
    EXPECT_EQ(node.WriteAttr("Text", kStringType, 4, "XYZ", 3), 3);
    char text[16] = {};
    EXPECT_EQ(node.ReadAttr("Text", 0, 0, text, sizeof text), 7);
    EXPECT_STREQ(text, "abcdXYZ");
    std::memset(text, 0, sizeof text);
    EXPECT_EQ(node.ReadAttr("Text", 0, 2, text, 3), 3);
    EXPECT_STREQ(text, "cdX");
    EXPECT_EQ(node.ReadAttr("Text", 0, 100, text, 3), 0);
    EXPECT_EQ(node.WriteAttr("Text", kStringType, 0, "ab", 2), 2);
    ASSERT_EQ(node.GetAttrInfo("Text", &info), B_OK);
    EXPECT_EQ(info.size, 2);
    // An empty value is a value.
    EXPECT_EQ(node.WriteAttr("Empty", kRawType, 0, nullptr, 0), 0);
    ASSERT_EQ(node.GetAttrInfo("Empty", &info), B_OK);
    EXPECT_EQ(info.size, 0);

    // An attribute written by another program reads as raw data.
    ASSERT_EQ(::setxattr(path.c_str(), "user.xdg.comment", "plain", 5, 0), 0);
    ASSERT_EQ(node.GetAttrInfo("xdg.comment", &info), B_OK);
    EXPECT_EQ(info.type, kRawType);
    EXPECT_EQ(info.size, 5);

    std::set<std::string> names;
    char name[B_ATTR_NAME_LENGTH];
    while (node.GetNextAttrName(name) == B_OK)
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"Audio:Track", "Text", "Empty", "xdg.comment"}));
    EXPECT_EQ(node.GetNextAttrName(name), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(node.RewindAttrs(), B_OK);
    EXPECT_EQ(node.GetNextAttrName(name), B_OK);

    EXPECT_EQ(node.RemoveAttr("Text"), B_OK);
    EXPECT_EQ(node.GetAttrInfo("Text", &info), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(node.ReadAttr("Text", 0, 0, text, 1), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(node.RemoveAttr("Text"), B_ENTRY_NOT_FOUND);

    std::string longName(300, 'n');
    EXPECT_EQ(node.WriteAttr(longName.c_str(), kRawType, 0, "x", 1), B_NAME_TOO_LONG);
    EXPECT_EQ(node.WriteAttr("", kRawType, 0, "x", 1), B_BAD_VALUE);
    EXPECT_EQ(node.WriteAttr("neg", kRawType, -1, "x", 1), B_BAD_VALUE);

    // Folders carry attributes too.
    BNode folder(dir.path.c_str());
    EXPECT_TRUE(folder.IsDirectory());
    EXPECT_EQ(folder.WriteAttr("Folder:Note", kRawType, 0, "n", 1), 1);
}

TEST(NodeAttributes, FileSystemWithoutAttributesSaysSo)
{
    BNode node("/proc/self/status");
    ASSERT_EQ(node.InitCheck(), B_OK);
    EXPECT_EQ(node.WriteAttr("a", kRawType, 0, "x", 1), B_UNSUPPORTED);
    char name[B_ATTR_NAME_LENGTH];
    status_t walk = node.GetNextAttrName(name);
    EXPECT_TRUE(walk == B_UNSUPPORTED || walk == B_ENTRY_NOT_FOUND) << walk;
    BNode unset;
    EXPECT_EQ(unset.InitCheck(), B_NO_INIT);
    EXPECT_EQ(unset.WriteAttr("a", kRawType, 0, "x", 1), B_NO_INIT);
    EXPECT_EQ(unset.GetNextAttrName(name), B_NO_INIT);
}

TEST(EntryRef, PathsAndFolders)
{
    Folder dir;
    std::string path = dir / "later.txt";  // need not exist
    entry_ref ref;
    ASSERT_EQ(get_ref_for_path(path.c_str(), &ref), B_OK);
    EXPECT_STREQ(ref.name, "later.txt");
    struct stat st;
    ASSERT_EQ(::stat(dir.path.c_str(), &st), 0);
    EXPECT_EQ(ref.directory, st.st_ino);
    std::string back;
    ASSERT_EQ(get_path_for_ref(&ref, &back), B_OK);
    char real[PATH_MAX];
    ASSERT_NE(realpath(dir.path.c_str(), real), nullptr);
    EXPECT_EQ(back, std::string(real) + "/later.txt");

    entry_ref copy = ref;
    EXPECT_EQ(copy, ref);
    EXPECT_NE(copy.name, ref.name);  // its own copy of the name
    copy.set_name("other");
    EXPECT_NE(copy, ref);

    entry_ref bad;
    EXPECT_EQ(get_ref_for_path((dir / "no/such/file").c_str(), &bad), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(get_ref_for_path("", &bad), B_BAD_VALUE);
    EXPECT_EQ(get_ref_for_path(nullptr, &bad), B_BAD_VALUE);
    EXPECT_EQ(get_path_for_ref(&bad, &back), B_BAD_VALUE);

    // A name with quotes and dollar signs is only a name.
    std::string hostile = dir / "a \"b\" $(c) `d`";
    touch(hostile, "ok");
    entry_ref odd;
    ASSERT_EQ(get_ref_for_path(hostile.c_str(), &odd), B_OK);
    BFile file(&odd, B_READ_ONLY);
    ASSERT_EQ(file.InitCheck(), B_OK);
    char text[3] = {};
    EXPECT_EQ(file.Read(text, 2), 2);
    EXPECT_STREQ(text, "ok");

    // Once the folder is gone the reference leads nowhere.
    std::string sub = dir / "sub";
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    entry_ref inSub;
    ASSERT_EQ(get_ref_for_path((sub + "/f").c_str(), &inSub), B_OK);
    ASSERT_EQ(::rmdir(sub.c_str()), 0);
    EXPECT_EQ(get_path_for_ref(&inSub, &back), B_ENTRY_NOT_FOUND);
}

namespace {

BBitmap* test_icon(int32 size, uint8 seed)
{
    auto* icon = new BBitmap(BRect(0, 0, size - 1, size - 1), B_CMAP8);
    uint8* bits = static_cast<uint8*>(icon->Bits());
    for (int32 i = 0; i < icon->BitsLength(); i++)
        bits[i] = uint8(seed + i * 7);
    return icon;
}

bool same_pixels(const BBitmap* a, const BBitmap* b)
{
    return a->BitsLength() == b->BitsLength()
        && std::memcmp(a->Bits(), b->Bits(), size_t(a->BitsLength())) == 0;
}

}  // namespace

TEST(NodeInfo, TypeAndIconsInAttributes)
{
    Folder dir;
    std::string path = dir / "Orvane";
    touch(path);
    if (!has_user_xattrs(path))
        GTEST_SKIP() << "the build tree's file system has no user extended attributes";
    BNode node(path.c_str());
    BNodeInfo info;
    EXPECT_EQ(info.InitCheck(), B_NO_INIT);
    ASSERT_EQ(info.SetTo(&node), B_OK);
    EXPECT_EQ(info.SetType("application/x-vnd.VELMOR-SoundPlayOrvane"), B_OK);
    char type[B_MIME_TYPE_LENGTH];
    ASSERT_EQ(info.GetType(type), B_OK);
    EXPECT_STREQ(type, "application/x-vnd.VELMOR-SoundPlayOrvane");

    BBitmap large(BRect(0, 0, 31, 31), B_CMAP8);
    EXPECT_EQ(info.GetIcon(&large, B_LARGE_ICON), B_ENTRY_NOT_FOUND);
    std::unique_ptr<BBitmap> big(test_icon(32, 3)), small(test_icon(16, 9));
    ASSERT_EQ(info.SetIcon(big.get(), B_LARGE_ICON), B_OK);
    ASSERT_EQ(info.SetIcon(small.get(), B_MINI_ICON), B_OK);
    ASSERT_EQ(info.GetIcon(&large, B_LARGE_ICON), B_OK);
    EXPECT_TRUE(same_pixels(&large, big.get()));
    BBitmap mini(BRect(0, 0, 15, 15), B_CMAP8);
    ASSERT_EQ(info.GetIcon(&mini, B_MINI_ICON), B_OK);
    EXPECT_TRUE(same_pixels(&mini, small.get()));

    // Wrong bitmaps are refused, not overrun.
    BBitmap rgba(BRect(0, 0, 31, 31), B_RGBA32);
    EXPECT_EQ(info.GetIcon(&rgba, B_LARGE_ICON), B_BAD_VALUE);
    EXPECT_EQ(info.GetIcon(&mini, B_LARGE_ICON), B_BAD_VALUE);
    EXPECT_EQ(info.GetIcon(nullptr, B_LARGE_ICON), B_BAD_VALUE);
    // A damaged icon attribute (too short) is an error, not half an icon.
    ASSERT_EQ(node.WriteAttr("BEOS:L:STD_ICON", 0x49434F4E, 0, "short", 5), 5);
    EXPECT_EQ(info.GetIcon(&large, B_LARGE_ICON), B_BAD_DATA);
}

TEST(MimeType, NamesAndTheUserTypeDatabase)
{
    EXPECT_TRUE(BMimeType::IsValid("audio/x-ape"));
    EXPECT_TRUE(BMimeType::IsValid("application"));
    EXPECT_FALSE(BMimeType::IsValid("audio/"));
    EXPECT_FALSE(BMimeType::IsValid("/x-ape"));
    EXPECT_FALSE(BMimeType::IsValid("audio/x ape"));
    EXPECT_FALSE(BMimeType::IsValid("audio/a/b"));
    EXPECT_FALSE(BMimeType::IsValid(nullptr));
    EXPECT_FALSE(BMimeType::IsValid(std::string(300, 'a').c_str()));
    BMimeType bad("not valid");
    EXPECT_EQ(bad.InitCheck(), B_BAD_VALUE);
    EXPECT_EQ(bad.Type(), nullptr);

    Folder config;
    ASSERT_EQ(::setenv("XDG_CONFIG_HOME", config.path.c_str(), 1), 0);
    BMimeType type("application/x-vnd.VELMOR-SoundPlayOrvane");
    ASSERT_EQ(type.InitCheck(), B_OK);
    EXPECT_STREQ(type.Type(), "application/x-vnd.velmor-soundplayorvane");
    EXPECT_FALSE(type.IsInstalled());
    BBitmap large(BRect(0, 0, 31, 31), B_CMAP8);
    EXPECT_EQ(type.GetIcon(&large, B_LARGE_ICON), B_ENTRY_NOT_FOUND);

    std::unique_ptr<BBitmap> icon(test_icon(32, 5));
    ASSERT_EQ(type.SetIcon(icon.get(), B_LARGE_ICON), B_OK);
    EXPECT_TRUE(type.IsInstalled());
    // Another spelling of the same type finds the same icon.
    BMimeType same("Application/X-Vnd.Velmor-SoundPlayOrvane");
    ASSERT_EQ(same.GetIcon(&large, B_LARGE_ICON), B_OK);
    EXPECT_TRUE(same_pixels(&large, icon.get()));
    BBitmap mini(BRect(0, 0, 15, 15), B_CMAP8);
    EXPECT_EQ(same.GetIcon(&mini, B_MINI_ICON), B_ENTRY_NOT_FOUND);

    std::string folder;
    ASSERT_EQ(type.GetDatabasePath(&folder), B_OK);
    EXPECT_EQ(folder, config.path + "/velmor/mime_db/application/x-vnd.velmor-soundplayorvane");
    touch(folder + "/mini-icon", "too short");
    EXPECT_EQ(same.GetIcon(&mini, B_MINI_ICON), B_BAD_DATA);
    ::unsetenv("XDG_CONFIG_HOME");
}
