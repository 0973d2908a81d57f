// The add-on's about box, opened by the player on a real X server (an
// Xvfb of the test's own), seen and driven from outside as a user would.
#include <gtest/gtest.h>

#include <InterfaceDefs.h>

#include <sys/stat.h>

#include <cstdlib>
#include <sstream>

#include "DisplayTestSupport.h"
#include "PlayerTestSupport.h"

using namespace player_test;
using display_test::eventually;

namespace {

const char kEnglish[] =
    "Window: About APE (Monkey's Audio) decoder\n"
    "Text: APE (Monkey's Audio) decoder\n"
    "Text: Ver 1.62\n"
    "Text: Copyright (C) 2003-2026 VELMOR\n"
    "Text: Monkey's Audio library found. Ready to play.\n"
    "Button: OK\n";
const char kJapaneseTitle[] = "APE (Monkey's Audio) \xE3\x83\x87\xE3\x82\xB3\xE3\x83\xBC\xE3\x83\x80 "
                              "\xE3\x81\xAB\xE3\x81\xA4\xE3\x81\x84\xE3\x81\xA6";   // デコーダ について
const char kJapanese[] =
    "Text: APE (Monkey's Audio) \xE3\x83\x87\xE3\x82\xB3\xE3\x83\xBC\xE3\x83\x80\n"
    "Text: Ver 1.62\n"
    "Text: Copyright (C) 2003-2026 \xEF\xBC\xB6\xEF\xBC\xA5\xEF\xBC\xAC\xEF\xBC\xAD\xEF\xBC\xAF\xEF\xBC\xB2\n"
    "Text: Monkey's Audio \xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x96\xE3\x83\xA9\xE3\x83\xAA\xE3\x82\x92\xE4\xBD\xBF"
    "\xE3\x81\x88\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82\xE5\x86\x8D\xE7\x94\x9F\xE3\x81\xA7\xE3\x81\x8D\xE3\x81\xBE"
    "\xE3\x81\x99\xE3\x80\x82\n"
    "Button: OK\n";

// The X windows whose title begins with "About APE".
std::vector<unsigned long> about_windows()
{
    suite_test::ProgramResult found = suite_test::run_program({"xdotool", "search", "--name", "^About APE"});
    std::vector<unsigned long> ids;
    std::istringstream lines(found.out);
    for (unsigned long id; lines >> id;)
        ids.push_back(id);
    return ids;
}

struct Shot {
    cairo_surface_t* surface = nullptr;
    ~Shot()
    {
        if (surface != nullptr)
            cairo_surface_destroy(surface);
    }
    uint32_t At(int x, int y) const
    {
        auto* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
    }
    // Pixels of the 32 x 32 square at (10, 10) that differ from the icon
    // (transparent pixels: the panel's colour).
    int IconDifferences(const std::string& icon) const
    {
        const rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
        int n = 0;
        for (int i = 0; i < 32 * 32; i++) {
            const uint8 index = uint8(icon.empty() ? B_TRANSPARENT_MAGIC_CMAP8 : icon[size_t(i)]);
            const rgb_color c = index == B_TRANSPARENT_MAGIC_CMAP8 ? panel : system_colors()->color_list[index];
            n += At(10 + i % 32, 10 + i / 32) != (uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue);
        }
        return n;
    }
    void Save(const char* name) const
    {
        const char* folder = getenv("DISPLAY_TEST_OUTPUT");
        EXPECT_EQ(cairo_surface_write_to_png(surface, (std::string(folder ? folder : ".") + "/" + name).c_str()),
            CAIRO_STATUS_SUCCESS);
    }
};

class AboutBox : public testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!display_test::start_display(&why))
            GTEST_SKIP() << why;
        fHome.InstallLibrary(codec_library());
    }

    // The one about window, once it is on the screen.
    unsigned long OnScreen()
    {
        unsigned long id = 0;
        EXPECT_TRUE(eventually([&] {
            std::vector<unsigned long> ids = about_windows();
            id = ids.size() == 1 && display_test::is_viewable(ids[0]) ? ids[0] : 0;
            return id != 0;
        })) << "no single about window on the screen";
        return id;
    }

    // A picture of the window once its icon is drawn.
    void Capture(unsigned long id, const std::string& icon, Shot* shot, const std::function<bool(const Shot&)>& also)
    {
        EXPECT_TRUE(eventually([&] {
            if (shot->surface != nullptr)
                cairo_surface_destroy(shot->surface);
            shot->surface = display_test::capture(id);
            return shot->surface != nullptr && shot->IconDifferences(icon) == 0 && also(*shot);
        })) << "the window never showed the icon it should";
    }

    suite_test::TempHome fHome;
};

}  // namespace

TEST_F(AboutBox, OneWindowWithTheIconThatFollowsTheLanguageAndHidesOnEnter)
{
    Child player({player_test::player(), "-About", "-About"}, player_env(fHome));
    ASSERT_TRUE(player.WaitFor(kEnglish)) << player.Seen();
    const unsigned long id = OnScreen();
    ASSERT_NE(id, 0u);
    const std::string icon = icon_of(addon_file());
    Shot english;
    Capture(id, icon, &english, [](const Shot&) { return true; });
    english.Save("about-en.png");

    ASSERT_EQ(suite_test::run_program({player_test::player(), "-Language=ja"}, player_env(fHome)).status, 0);
    ASSERT_TRUE(player.WaitFor(std::string("Window: ") + kJapaneseTitle + "\n" + kJapanese)) << player.Seen();
    EXPECT_TRUE(eventually([&] { return display_test::title_of(id) == kJapaneseTitle; }));
    Shot japanese;
    // Drawn anew: the status line differs.
    Capture(id, icon, &japanese, [&](const Shot& shot) {
        for (int x = 20; x < 310; x++)
            if (shot.At(x, 109) != english.At(x, 109))
                return true;
        return false;
    });
    japanese.Save("about-ja.png");

    ASSERT_TRUE(display_test::xdotool({"windowfocus", "--sync", std::to_string(id)}));
    ASSERT_TRUE(display_test::xdotool({"key", "Return"}));
    EXPECT_EQ(player.Wait(), 0) << "the player goes once its about box is hidden";
}

TEST_F(AboutBox, AnAddOnUnderAnotherNameFindsItsOwnFileWhateverElseHoldsItsName)
{
    // The player in a folder whose name holds the add-on's, the add-on in
    // a file that does not: the add-on still reads its dictionary and its
    // icon from its own file.
    suite_test::TempDir folder("player-about");
    suite_test::make_dirs(folder / "OrvaneFans");
    suite_test::copy_file(player_test::player(), folder / "OrvaneFans/ApePlayer");
    chmod((folder / "OrvaneFans/ApePlayer").c_str(), 0755);
    suite_test::copy_file(addon_file(), folder / "Decoder.so");
    suite_test::make_dirs(folder / "Language/Dictionaries");
    for (const char* lang : {"en", "ja"})
        suite_test::copy_file(suite_test::source_dir() + "/dictionaries/Orvane." + lang,
            folder / (std::string("Language/Dictionaries/Orvane.") + lang));
    Child player({folder / "OrvaneFans/ApePlayer", "-About", "-AddOns=" + folder.Path()},
                 player_env(fHome));
    ASSERT_TRUE(player.WaitFor(kEnglish)) << player.Seen();
    const unsigned long id = OnScreen();
    ASSERT_NE(id, 0u);
    Shot shot;
    Capture(id, icon_of(addon_file()), &shot, [](const Shot&) { return true; });
}
