// The shared preferences window on an Xvfb of the test's own, with real
// programs around it and real input from xdotool. The test is the program
// that opens the window (so that it can look inside); VelmorPrefs is the
// program that comes second, or opens the window itself; the helper
// listens to the broadcast values as a third running application.
#include <gtest/gtest.h>

#include <Button.h>
#include <CheckBox.h>
#include <Locale.h>
#include <Menu.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <OS.h>
#include <Window.h>
#include <Display.h>
#include <WindowList.h>

#include <IAPWindow.h>
#include <MiscUtils.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "../display/DisplayTestSupport.h"
#include "PrefsTestSupport.h"

namespace {

using namespace prefs_test;
using display_test::eventually;
using display_test::xdotool;

const char kSignature[] = "application/x-vnd.VELMOR-PrefsDisplayTest";
const char kTitle[] = "VELMOR Common Preferences";
const BRect kFrame(200, 150, 300, 200);

std::string coordinate(float value)
{
    return std::to_string(int(std::lround(value)));
}

class PrefsOnDisplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        if (!display_test::start_display(&why))
            GTEST_SKIP() << why;
        be_locale->SetLanguage("en");
        be_locale->LoadLanguageFile((suite_test::source_dir() + "/dictionaries/CommonPrefs").c_str());
    }
    void TearDown() override
    {
        if (fWindow != nullptr && fWindow->Lock())
            fWindow->Quit();
        be_locale->UnloadAll();
    }

    // This test opens the window, with the accelerator item alone.
    void OpenWindow(TInterAppPrefs* prefs)
    {
        ASSERT_EQ(prefs->ShowWindow(kFrame), B_OK);
        ASSERT_TRUE(prefs->IsWindowOwner());
        fWindow = app_private::window_at(0);
        ASSERT_NE(fWindow, nullptr);
        ASSERT_TRUE(eventually(fWindow, [&] { return (fId = BPrivate::native_window_id(fWindow)) != 0; }));
        ASSERT_TRUE(eventually([&] { return display_test::is_viewable(fId) && display_test::has_focus(fId); }));
    }
    // A control's point on the screen, inside it by (dx, dy), once the
    // control is there: the items come through the port after the window.
    BPoint OnScreen(const char* name, float dx, float dy)
    {
        BPoint where(-1, -1);
        eventually(fWindow, [&] {
            BView* view = fWindow->FindView(name);
            if (view != nullptr)
                where = view->ConvertToScreen(BPoint(dx, dy));
            return view != nullptr;
        });
        return where;
    }
    void Click(BPoint where)
    {
        // A point off the screen is never reached, and --sync would wait
        // for it until xdotool is killed.
        ASSERT_GE(where.x, 0);
        ASSERT_GE(where.y, 0);
        ASSERT_TRUE(xdotool({"mousemove", "--sync", coordinate(where.x), coordinate(where.y), "click", "1"}));
    }
    void ClickControl(const char* name, float dx = 8, float dy = 8) { Click(OnScreen(name, dx, dy)); }
    // Picks an entry of the accelerator menu with the pointer.
    void PickFormat(int32 index)
    {
        BMenuField* field = Field();
        fWindow->Lock();
        BPoint bar = field->ConvertToScreen(field->MenuFrame().LeftTop() + BPoint(10, 5));
        fWindow->Unlock();
        Click(bar);
        BWindow* menu = nullptr;
        ASSERT_TRUE(eventually([&] { return (menu = app_private::window_at(1)) != nullptr; }));
        BPoint item;
        ASSERT_TRUE(eventually(menu, [&] {
            auto* shown = dynamic_cast<BMenu*>(menu->ChildAt(0));
            if (shown == nullptr || BPrivate::native_window_id(menu) == 0)
                return false;
            BRect frame = shown->ItemAt(index)->Frame();
            item = shown->ConvertToScreen(BPoint(frame.left + 20, (frame.top + frame.bottom) / 2));
            return true;
        }));
        Click(item);
        ASSERT_TRUE(eventually([&] { return app_private::count_windows() == 1; }));
    }
    BMenuField* Field() { return dynamic_cast<BMenuField*>(fWindow->FindView("AAccelerator Format: ")); }
    BCheckBox* Box() { return dynamic_cast<BCheckBox*>(fWindow->FindView("FFlat Tool Bar")); }
    BButton* Button(const char* name) { return dynamic_cast<BButton*>(fWindow->FindView(name)); }
    bool Hidden()
    {
        return eventually(fWindow, [&] { return fWindow->IsHidden(); })
            && eventually([&] { return !display_test::is_viewable(fId); });
    }
    bool Shown()
    {
        return eventually(fWindow, [&] { return !fWindow->IsHidden(); })
            && eventually([&] { return display_test::is_viewable(fId); });
    }

    PrivateSession fSession;
    BWindow* fWindow = nullptr;
    unsigned long fId = 0;
};

// A third running application that writes down each value it takes.
class Listener {
public:
    explicit Listener(const PrivateSession& session)
        : fLog(fHome / "values.log"),
          fProgram({helper_program(), "listen", fLog}, session.Env(fHome.Path()))
    {
        EXPECT_EQ(Next(1), std::vector<std::string>{"ready"});
    }
    // The next n lines it writes.
    std::vector<std::string> Next(size_t n)
    {
        std::vector<std::string> lines;
        eventually([&] {
            lines = suite_test::file_exists(fLog) ? suite_test::split_lines(suite_test::read_file(fLog))
                                                  : std::vector<std::string>();
            return lines.size() >= fSeen + n;
        });
        std::vector<std::string> next(lines.begin() + long(std::min(fSeen, lines.size())),
            lines.begin() + long(std::min(fSeen + n, lines.size())));
        fSeen += n;
        return next;
    }
    size_t Count()
    {
        return suite_test::file_exists(fLog) ? suite_test::split_lines(suite_test::read_file(fLog)).size() : 0;
    }

private:
    suite_test::TempHome fHome;
    std::string fLog;
    Background fProgram;
    size_t fSeen = 0;
};

using Lines = std::vector<std::string>;

// A second program's home: the tool bar not flat, another format.
void second_home(const suite_test::TempHome& home)
{
    suite_test::ScopedEnv homeEnv("HOME", home.Path().c_str());
    TIAPItemFlatToolBar flat;
    flat.SetAppSignatureRef("application/x-vnd.VELMOR-Elsewhere");
    flat.SaveBool(false);
    TIAPItemAccKeyFormat format;
    format.SetAppSignatureRef("application/x-vnd.VELMOR-Elsewhere");
    format.SaveString("\x01" "a - ");
}

TEST_F(PrefsOnDisplay, TheWindowIsSharedAndItsChangesReachTheOtherPrograms)
{
    Listener listener(fSession);
    TInterAppPrefs prefs;
    prefs.SetAppSignatureRef(kSignature);
    prefs.AddItem(new TIAPItemAccKeyFormat());
    OpenWindow(&prefs);
    port_id port = find_port(kIAPPortName);
    port_info info;
    ASSERT_EQ(get_port_info(port, &info), B_OK);
    EXPECT_EQ(info.team, getpid()) << "the window's port is not the first program's";
    EXPECT_EQ(display_test::title_of(fId), kTitle);

    // A second program adds its tool-bar item and ends; the accelerator
    // item stays as the first program offered it.
    suite_test::TempHome elsewhere;
    second_home(elsewhere);
    suite_test::ProgramResult second = suite_test::run_program({velmor_prefs_program()}, fSession.Env(elsewhere.Path()));
    EXPECT_EQ(second.status, 0) << second.out;
    ASSERT_TRUE(eventually(fWindow, [&] { return Box() != nullptr; }));
    ASSERT_TRUE(fWindow->Lock());
    EXPECT_EQ(fWindow->ChildAt(0)->CountChildren(), 3) << "an item is shown twice";
    EXPECT_STREQ(Field()->Menu()->FindMarked()->Label(), "(a)");
    EXPECT_EQ(Box()->Value(), 0);
    EXPECT_EQ(fWindow->Bounds().Height(), 130);
    fWindow->Unlock();

    // A new format relabels at once, and every program hears of it.
    PickFormat(1);
    ASSERT_TRUE(eventually(fWindow, [&] {
        return std::string(Field()->Label()) == "A) Accelerator Format: "
            && std::string(Button("ButtonDefaults")->Label()) == "D) Defaults";
    }));
    EXPECT_EQ(listener.Next(1), Lines{"AccKeyFormat2 \\x01a) "});
    ClickControl("FFlat Tool Bar");
    EXPECT_EQ(listener.Next(1), Lines{"FlatToolBar 1"});

    // Cancel after the two changes: the committed values, to everyone.
    ClickControl("ButtonCancel", 40, 11);
    ASSERT_TRUE(Hidden());
    EXPECT_EQ(listener.Next(2), (Lines{"AccKeyFormat2 \\x02(a)", "FlatToolBar 0"}));
    ASSERT_TRUE(eventually(fWindow, [&] { return std::string(Field()->Label()) == "Accelerator Format(A): "; }));

    // A program that comes later only brings the window forward.
    second = suite_test::run_program({velmor_prefs_program()}, fSession.Env(elsewhere.Path()));
    EXPECT_EQ(second.status, 0);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(listener.Count(), 4u + 1u);
}

TEST_F(PrefsOnDisplay, ButtonsKeysAndClosingWorkOnAllItems)
{
    Listener listener(fSession);
    TInterAppPrefs prefs;
    prefs.SetAppSignatureRef(kSignature);
    prefs.AddItem(new TIAPItemAccKeyFormat());
    prefs.AddItem(new TIAPItemFlatToolBar());
    prefs.SetBool(kIAPFlatToolBar, false);
    OpenWindow(&prefs);

    // OK keeps a change; a Cancel after it (here Escape) sends it again.
    ClickControl("FFlat Tool Bar");
    EXPECT_EQ(listener.Next(1), Lines{"FlatToolBar 1"});
    ASSERT_TRUE(xdotool({"key", "Return"}));
    ASSERT_TRUE(Hidden());
    prefs.ShowWindow(kFrame);
    ASSERT_TRUE(Shown());
    ASSERT_TRUE(eventually([&] { return display_test::has_focus(fId); }));
    ASSERT_TRUE(xdotool({"key", "Escape"}));
    ASSERT_TRUE(Hidden());
    EXPECT_EQ(listener.Next(2), (Lines{"AccKeyFormat2 \\x02(a)", "FlatToolBar 1"}));

    // Defaults sends the defaults and leaves the window open.
    prefs.ShowWindow(kFrame);
    ASSERT_TRUE(Shown());
    PickFormat(5);
    EXPECT_EQ(listener.Next(1), Lines{"AccKeyFormat2 "});
    ClickControl("ButtonDefaults", 40, 11);
    EXPECT_EQ(listener.Next(2), (Lines{"AccKeyFormat2 \\x02(a)", "FlatToolBar 1"}));
    EXPECT_TRUE(Shown());

    // The close box and the owner's CloseWindow act as Cancel and keep
    // the port.
    PickFormat(3);
    EXPECT_EQ(listener.Next(1), Lines{"AccKeyFormat2 \\x01a - "});
    display_test::press_close_box(fId);
    ASSERT_TRUE(Hidden());
    EXPECT_EQ(listener.Next(2), (Lines{"AccKeyFormat2 \\x02(a)", "FlatToolBar 1"}));
    EXPECT_GE(find_port(kIAPPortName), 0);
    prefs.ShowWindow(kFrame);
    ASSERT_TRUE(Shown());
    EXPECT_EQ(prefs.CloseWindow(false), B_OK);
    ASSERT_TRUE(Hidden());
    EXPECT_EQ(listener.Next(2), (Lines{"AccKeyFormat2 \\x02(a)", "FlatToolBar 1"}));
    EXPECT_GE(find_port(kIAPPortName), 0);
}

TEST_F(PrefsOnDisplay, WhenTheOwnerEndsTheNextProgramMakesTheWindow)
{
    Background owner({velmor_prefs_program()}, fSession.Env());
    port_id port = -1;
    port_info info;
    ASSERT_TRUE(eventually([&] {
        return (port = find_port(kIAPPortName)) >= 0 && get_port_info(port, &info) == B_OK;
    }));
    EXPECT_EQ(info.team, owner.Pid());
    // --close from anywhere closes it; the owner, done, ends.
    suite_test::ProgramResult close = suite_test::run_program({velmor_prefs_program(), "--close"}, fSession.Env());
    EXPECT_EQ(close.status, 0);
    EXPECT_EQ(owner.Wait(), 0);

    TInterAppPrefs prefs;
    prefs.SetAppSignatureRef(kSignature);
    prefs.AddItem(new TIAPItemAccKeyFormat());
    OpenWindow(&prefs);
    ASSERT_EQ(get_port_info(find_port(kIAPPortName), &info), B_OK);
    EXPECT_EQ(info.team, getpid());
}

using display_test::Picture;


// Also the README's pictures, in the test's output folder.
TEST_F(PrefsOnDisplay, ALanguageSwitchRelabelsEverythingButTheTitle)
{
    TInterAppPrefs prefs;
    prefs.SetAppSignatureRef(kSignature);
    prefs.AddItem(new TIAPItemAccKeyFormat());
    prefs.AddItem(new TIAPItemFlatToolBar());
    OpenWindow(&prefs);
    const char* output = getenv("DISPLAY_TEST_OUTPUT");
    std::string folder = output != nullptr ? output : ".";
    // The labels drawn (and, the second time, drawn anew).
    ASSERT_TRUE(eventually(fWindow, [&] { return Box() != nullptr && !fWindow->NeedsUpdate(); }));
    const int height = int(fWindow->Bounds().Height()) + 1;
    auto picture = [&](Picture* shot, const Picture* before) {
        ASSERT_TRUE(eventually([&] {
            Picture taken;
            taken.surface = display_test::capture(fId);
            if (taken.surface == nullptr || int(taken.Bounds().Height()) + 1 != height || taken.Ink(taken.Bounds()) < 300
                || (before != nullptr && taken.Differences(*before, taken.Bounds()) < 300))
                return false;
            std::swap(shot->surface, taken.surface);
            return true;
        })) << "the labels never showed";
    };
    Picture english, japanese;
    picture(&english, nullptr);

    be_locale->SetLanguage("ja");
    ASSERT_TRUE(eventually(fWindow, [&] {
        return std::string(Button("ButtonCancel")->Label()) == "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB";
    }));
    ASSERT_TRUE(fWindow->Lock());
    const std::string format = "\x02(a)";
    EXPECT_EQ(Field()->Label(), merge_accelerator_key(format, "A", be_locale->GetString("Accelerator Format: ").String()));
    EXPECT_EQ(Box()->Label(), merge_accelerator_key(format, "F", be_locale->GetString("Flat Tool Bar").String()));
    EXPECT_EQ(Button("ButtonDefaults")->Label(), merge_accelerator_key(format, "D", be_locale->GetString("Defaults").String()));
    EXPECT_NE(std::string(Box()->Label()), "Flat Tool Bar(F)");
    EXPECT_STREQ(fWindow->Title(), kTitle);
    fWindow->Unlock();
    EXPECT_EQ(display_test::title_of(fId), kTitle);
    picture(&japanese, &english);
    EXPECT_EQ(cairo_surface_write_to_png(english.surface, (folder + "/prefs-en.png").c_str()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_surface_write_to_png(japanese.surface, (folder + "/prefs-ja.png").c_str()), CAIRO_STATUS_SUCCESS);
}

}  // namespace
