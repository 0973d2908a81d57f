#include <gtest/gtest.h>

#include <cstdlib>

#include <InterfaceDefs.h>

TEST(Colors, PanelColourTintsAndPalette)
{
    rgb_color panel = ui_color(B_PANEL_BACKGROUND_COLOR);
    EXPECT_EQ(panel, make_color(216, 216, 216));
    EXPECT_EQ(tint_color(panel, B_NO_TINT), panel);
    EXPECT_EQ(tint_color(panel, B_LIGHTEN_MAX_TINT), make_color(255, 255, 255));
    EXPECT_EQ(tint_color(panel, B_DARKEN_MAX_TINT), make_color(0, 0, 0));
    rgb_color dark = tint_color(panel, B_DARKEN_2_TINT);
    EXPECT_LT(dark.red, panel.red);

    const color_map* map = system_colors();
    EXPECT_EQ(map->color_list[B_TRANSPARENT_MAGIC_CMAP8], B_TRANSPARENT_COLOR);
    for (int i = 0; i < 255; i++) {
        // The inverse map has 5 bits a channel: the colour found is the
        // palette colour or one within a step of it.
        rgb_color c = map->color_list[i];
        rgb_color found = map->color_list[index_for_color(c)];
        EXPECT_LE(std::abs(found.red - c.red) + std::abs(found.green - c.green)
                + std::abs(found.blue - c.blue), 3 * 8) << "index " << i;
    }
    EXPECT_EQ(index_for_color(make_color(1, 2, 3, 0)), B_TRANSPARENT_MAGIC_CMAP8);
    EXPECT_EQ(map->color_list[index_for_color(make_color(255, 255, 255))], make_color(255, 255, 255));
}

TEST(Colors, ClickSpeedIsSettable)
{
    bigtime_t speed = 0;
    ASSERT_EQ(get_click_speed(&speed), B_OK);
    EXPECT_GT(speed, 0);
    EXPECT_EQ(set_click_speed(0), B_BAD_VALUE);
    EXPECT_EQ(get_click_speed(nullptr), B_BAD_VALUE);
}
