// Pictures of a dialog on a real X server, in English and in Japanese: the
// labels are really drawn (Japanese with a Japanese font), and the language
// switch redraws them. The pictures are kept in the test's output folder.
#include <gtest/gtest.h>

#include <Button.h>
#include <CheckBox.h>
#include <GUIBase.h>
#include <LanguageChangedFilter.h>
#include <Locale.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <Message.h>
#include <PopUpMenu.h>
#include <TestSupport.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "DisplayTestSupport.h"

using display_test::eventually;

namespace {

const char kEnglish[] =
    "Play\tPlay(P)\n"
    "Repeat\tRepeat the list(R)\n"
    "Quality\tQuality(Q)\n"
    "High\tHigh\n"
    "Low\tLow\n"
    "Title\tPlayback\n";
const char kJapanese[] =
    "Play\t\xE5\x86\x8D\xE7\x94\x9F(P)\n"                                   // 再生
    "Repeat\t\xE3\x83\xAA\xE3\x82\xB9\xE3\x83\x88\xE3\x82\x92\xE7\xB9\xB0"
    "\xE3\x82\x8A\xE8\xBF\x94\xE3\x81\x99(R)\n"                             // リストを繰り返す
    "Quality\t\xE9\x9F\xB3\xE8\xB3\xAA(Q)\n"                                // 音質
    "High\t\xE9\xAB\x98\n"                                                  // 高
    "Low\t\xE4\xBD\x8E\n"                                                   // 低
    "Title\t\xE5\x86\x8D\xE7\x94\x9F\xE3\x81\xAE\xE8\xA8\xAD\xE5\xAE\x9A\n";  // 再生の設定

const float kDivider = 90;

// Labels come from the dictionary and are read again on a language change.
class LabelledView : public TDialogView {
public:
    LabelledView() : TDialogView(BRect(0, 0, 259, 129), "labelled", B_FOLLOW_ALL, B_WILL_DRAW)
    {
        play = new BButton(BRect(150, 90, 245, 114), "play", "", new BMessage(0x706C6179));
        repeat = new BCheckBox(BRect(15, 15, 245, 35), "repeat", "", new BMessage(0x72657074));
        auto* menu = new BPopUpMenu("qualities");
        menu->AddItem(high = new BMenuItem("", new BMessage(0x68696768)));
        menu->AddItem(low = new BMenuItem("", new BMessage(0x6C6F7720)));
        high->SetMarked(true);
        quality = new BMenuField(BRect(15, 50, 245, 70), "quality", "", menu);
        quality->SetDivider(kDivider);
        AddChild(repeat);
        AddChild(quality);
        AddChild(play);
        LanguageChanged();
    }
    void AttachedToWindow() override
    {
        TDialogView::AttachedToWindow();
        Window()->AddCommonFilter(new TLanguageChangedFilter(BMessenger(this)));
        Window()->SetDefaultButton(play);
    }
    void LanguageChanged() override
    {
        play->SetLabel(be_locale->GetString("Play").String());
        repeat->SetLabel(be_locale->GetString("Repeat").String());
        quality->SetLabel(be_locale->GetString("Quality").String());
        high->SetLabel(be_locale->GetString("High").String());
        low->SetLabel(be_locale->GetString("Low").String());
        quality->Invalidate();
        changes++;
    }

    BButton* play;
    BCheckBox* repeat;
    BMenuField* quality;
    BMenuItem* high;
    BMenuItem* low;
    int changes = 0;
};

class Dialog : public TDialogWindow {
public:
    Dialog() : TDialogWindow(BRect(100, 100, 359, 229), "", B_TITLED_WINDOW, B_NOT_RESIZABLE)
    {
        AddChild(view = new LabelledView());
        LanguageChanged();
    }
    void LanguageChanged() override { SetTitle(be_locale->GetString("Title").String()); }

    LabelledView* view;
};

using display_test::Picture;

}  // namespace

TEST(Screenshot, ADialogDrawsItsLabelsInEnglishAndInJapanese)
{
    std::string why;
    if (!display_test::start_display(&why))
        GTEST_SKIP() << why;
    suite_test::TempDir words;
    suite_test::write_file(words / "Dialog.en", kEnglish);
    suite_test::write_file(words / "Dialog.ja", kJapanese);
    be_locale->SetLanguage("en");
    ASSERT_EQ(be_locale->LoadLanguageFile((words / "Dialog").c_str()), B_OK);

    auto* window = new Dialog();
    LabelledView* view = window->view;
    unsigned long id = display_test::show_on_screen(window, false);
    ASSERT_NE(id, 0u) << "the dialog never came on screen";

    // Where the labels are: inside the button's border, right of the check
    // box's box, left of the menu field's divider.
    ASSERT_TRUE(window->Lock());
    const std::vector<BRect> labels = {view->play->Frame().InsetByCopy(6, 5),
        BRect(view->repeat->Frame().left + 20, view->repeat->Frame().top,
            view->repeat->Frame().right, view->repeat->Frame().bottom),
        BRect(view->quality->Frame().left, view->quality->Frame().top,
            view->quality->Frame().left + kDivider - 2, view->quality->Frame().bottom)};
    window->Unlock();
    auto inked = [&](const Picture& picture) {
        for (BRect area : labels) {
            if (picture.Ink(area) < 15)
                return false;
        }
        return true;
    };

    Picture english;
    ASSERT_TRUE(eventually([&] {
        Picture shot;
        shot.surface = display_test::capture(id);
        if (shot.surface == nullptr || !inked(shot))
            return false;
        std::swap(english.surface, shot.surface);
        return true;
    })) << "the English labels never showed";

    be_locale->SetLanguage("ja");
    ASSERT_TRUE(eventually(window, [&] { return view->changes == 2; }));
    Picture japanese;
    ASSERT_TRUE(eventually([&] {
        Picture shot;
        shot.surface = display_test::capture(id);
        if (shot.surface == nullptr || !inked(shot))
            return false;
        for (BRect area : labels) {
            if (shot.Differences(english, area) < 15)
                return false;
        }
        std::swap(japanese.surface, shot.surface);
        return true;
    })) << "the Japanese labels never showed";
    EXPECT_EQ(display_test::title_of(id), "\xE5\x86\x8D\xE7\x94\x9F\xE3\x81\xAE\xE8\xA8\xAD\xE5\xAE\x9A");

    const char* output = getenv("DISPLAY_TEST_OUTPUT");
    std::string folder = output != nullptr ? output : ".";
    EXPECT_EQ(cairo_surface_write_to_png(english.surface, (folder + "/dialog-en.png").c_str()),
        CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_surface_write_to_png(japanese.surface, (folder + "/dialog-ja.png").c_str()),
        CAIRO_STATUS_SUCCESS);

    ASSERT_TRUE(window->Lock());
    window->Quit();
    be_locale->SetLanguage("en");
    be_locale->UnloadAll();
}
