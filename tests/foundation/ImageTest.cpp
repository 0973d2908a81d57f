#include <TestSupport.h>
#include <image.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

using namespace suite_test;

namespace {

using TextFn = const char*();

TEST(Image, LoadsResolvesAndUnloadsAnAddOn)
{
    const image_id image = load_add_on(fake_library("complete").c_str());
    ASSERT_GT(image, 0);
    void* address = nullptr;
    ASSERT_EQ(get_image_symbol(image, "lib_monkeys_audio_version", B_SYMBOL_TYPE_TEXT, &address), B_OK);
    EXPECT_STREQ(reinterpret_cast<TextFn*>(address)(), "Ver 1.50");
    EXPECT_EQ(get_image_symbol(image, "lib_monkeys_audio_version", B_SYMBOL_TYPE_ANY, &address), B_OK);
    EXPECT_EQ(unload_add_on(image), B_OK);
    EXPECT_EQ(unload_add_on(image), B_BAD_IMAGE_ID);
    EXPECT_EQ(get_image_symbol(image, "lib_monkeys_audio_version", B_SYMBOL_TYPE_TEXT, &address),
              B_BAD_IMAGE_ID);
}

TEST(Image, FailuresAreNegative)
{
    EXPECT_EQ(load_add_on(nullptr), B_BAD_VALUE);
    EXPECT_EQ(load_add_on(""), B_BAD_VALUE);
    EXPECT_EQ(load_add_on("/nonexistent/libMonkeysAudio.so"), B_ENTRY_NOT_FOUND);
    TempDir dir;
    EXPECT_LT(load_add_on(dir.Path().c_str()), 0);
    write_file(dir / "junk.so", "not an ELF file");
    EXPECT_EQ(load_add_on((dir / "junk.so").c_str()), B_NOT_AN_EXECUTABLE);
    EXPECT_EQ(unload_add_on(-1), B_BAD_IMAGE_ID);
}

TEST(Image, ABareNameIsNotSearchedInTheLoaderPath)
{
    // libc is found by the dynamic loader's search, but not here.
    EXPECT_LT(load_add_on("libc.so.6"), 0);
    TempDir dir;
    copy_file(fake_library("complete"), dir / "fake.so");
    const std::string old = std::filesystem::current_path();
    ASSERT_EQ(chdir(dir.Path().c_str()), 0);
    const image_id image = load_add_on("fake.so");
    EXPECT_EQ(chdir(old.c_str()), 0);
    EXPECT_GT(image, 0);
    unload_add_on(image);
}

TEST(Image, SymbolsMustBeTheImagesOwnAndOfTheRightType)
{
    const image_id image = load_add_on(fake_library("verify_data").c_str());
    ASSERT_GT(image, 0);
    void* address = reinterpret_cast<void*>(0x1);
    // A data object is not text, and the out value stays untouched.
    EXPECT_EQ(get_image_symbol(image, "VerifyFile", B_SYMBOL_TYPE_TEXT, &address), B_MISSING_SYMBOL);
    EXPECT_EQ(address, reinterpret_cast<void*>(0x1));
    EXPECT_EQ(get_image_symbol(image, "VerifyFile", B_SYMBOL_TYPE_DATA, &address), B_OK);
    EXPECT_EQ(get_image_symbol(image, "CompressFile", B_SYMBOL_TYPE_DATA, &address), B_MISSING_SYMBOL);
    // Found through the image's dependencies, but not exported by it.
    EXPECT_EQ(get_image_symbol(image, "malloc", B_SYMBOL_TYPE_TEXT, &address), B_MISSING_SYMBOL);
    EXPECT_EQ(get_image_symbol(image, "no_such_symbol", B_SYMBOL_TYPE_TEXT, &address), B_MISSING_SYMBOL);
    EXPECT_EQ(get_image_symbol(image, nullptr, B_SYMBOL_TYPE_TEXT, &address), B_BAD_VALUE);
    EXPECT_EQ(get_image_symbol(image, "CompressFile", B_SYMBOL_TYPE_TEXT, nullptr), B_BAD_VALUE);
    unload_add_on(image);
}

TEST(Image, EachLoadHasItsOwnId)
{
    const image_id a = load_add_on(fake_library("complete").c_str());
    const image_id b = load_add_on(fake_library("complete").c_str());
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(unload_add_on(a), B_OK);
    // The other reference keeps the library usable.
    void* address = nullptr;
    ASSERT_EQ(get_image_symbol(b, "lib_monkeys_audio_name", B_SYMBOL_TYPE_TEXT, &address), B_OK);
    EXPECT_STREQ(reinterpret_cast<TextFn*>(address)(), "Fake Monkey's Audio");
    EXPECT_EQ(unload_add_on(b), B_OK);
}

TEST(Image, WalksTheMappedImagesWithAbsolutePaths)
{
    const image_id addOn = load_add_on(fake_library("v140").c_str());
    ASSERT_GT(addOn, 0);
    int32 cookie = 0;
    image_info info;
    std::set<image_id> ids;
    bool sawProgram = false, sawAddOn = false, sawLibc = false;
    while (_get_next_image_info(0, &cookie, &info, sizeof info) == B_OK) {
        EXPECT_TRUE(ids.insert(info.id).second) << info.name;
        EXPECT_GT(info.id, 0);
        if (info.type == B_SYSTEM_IMAGE)
            continue;
        EXPECT_EQ(info.name[0], '/') << info.name;
        if (info.type == B_APP_IMAGE) {
            sawProgram = std::string(info.name).find("foundation_platform_test") != std::string::npos;
        }
        if (std::string(info.name).find("/v140.so") != std::string::npos) {
            sawAddOn = true;
            EXPECT_EQ(info.id, addOn);
            EXPECT_EQ(info.type, B_ADD_ON_IMAGE);
        }
        sawLibc |= std::string(info.name).find("libc.so") != std::string::npos;
    }
    EXPECT_TRUE(sawProgram);
    EXPECT_TRUE(sawAddOn);
    EXPECT_TRUE(sawLibc);
    EXPECT_EQ(_get_next_image_info(0, &cookie, &info, sizeof info), B_BAD_INDEX);
    unload_add_on(addOn);

    cookie = 0;
    EXPECT_EQ(_get_next_image_info(0, &cookie, &info, 4), B_BAD_VALUE);
    EXPECT_EQ(_get_next_image_info(0, nullptr, &info, sizeof info), B_BAD_VALUE);
    EXPECT_EQ(_get_next_image_info(getpid() + 100000, &cookie, &info, sizeof info), B_BAD_TEAM_ID);
    cookie = -3;
    EXPECT_EQ(_get_next_image_info(0, &cookie, &info, sizeof info), B_BAD_INDEX);
}

} // namespace
