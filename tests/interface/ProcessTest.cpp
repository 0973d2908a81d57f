// What the interface kit offers the whole process: the screen, the file
// panel's window and the language switch that reaches every window.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include <FilePanel.h>
#include <Locale.h>
#include <Message.h>
#include <OS.h>
#include <Screen.h>
#include <Display.h>
#include <TestSupport.h>
#include <Window.h>

#include <sys/resource.h>

namespace {

constexpr uint32 kMark = 0x6D61726B;

using suite_test::eventually;

class LanguageWindow : public BWindow {
public:
    explicit LanguageWindow(const char* title)
        : BWindow(BRect(10, 10, 109, 59), title, B_TITLED_WINDOW, 0)
    {
    }
    void MessageReceived(BMessage* message) override
    {
        if (message->what == BLocale::kLanguageChanged) {
            BString language;
            message->FindString("language", &language);
            lastLanguage = language.String();
            textSeen = be_locale->GetString("Greeting").String();
            changes++;
        } else if (message->what == kMark) {
            marks++;
        }
        BWindow::MessageReceived(message);
    }

    std::atomic<int> changes{0};
    std::atomic<int> marks{0};
    std::string lastLanguage;
    std::string textSeen;
};

}  // namespace

TEST(Screen, OffScreenFrameIsFixedAndSettable)
{
    suite_test::ScopedEnv offscreen("SUITE_OFFSCREEN", "1");
    if (BPrivate::display_available())
        GTEST_SKIP() << "a display was opened before";
    BScreen screen;
    EXPECT_TRUE(screen.IsValid());
    EXPECT_EQ(screen.Frame(), BRect(0, 0, 1919, 1199));
    BPrivate::set_offscreen_screen_frame(BRect(0, 0, 799, 599));
    EXPECT_EQ(BScreen(B_MAIN_SCREEN_ID).Frame(), BRect(0, 0, 799, 599));
    BPrivate::set_offscreen_screen_frame(BRect(0, 0, 1919, 1199));
    BScreen other(screen_id{3});
    EXPECT_FALSE(other.IsValid());
    EXPECT_FALSE(other.Frame().IsValid());
}

TEST(FilePanel, HasAHiddenWindowWhoseThreadTakesAPriority)
{
    BFilePanel panel(B_SAVE_PANEL);
    BWindow* window = panel.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(panel.IsShowing());
    ASSERT_GE(window->Thread(), 0);
    ASSERT_EQ(rename_thread(window->Thread(), "save panel"), B_OK);
    ASSERT_EQ(set_thread_priority(window->Thread(), B_DISPLAY_PRIORITY) >= 0, true);
    thread_info info;
    ASSERT_EQ(get_thread_info(window->Thread(), &info), B_OK);
    EXPECT_EQ(info.priority, B_DISPLAY_PRIORITY);
    // Applied when the thread starts, if it has not yet.
    if (suite_test::priorities_reach_the_scheduler())
        EXPECT_TRUE(eventually([] {
            return suite_test::native_nice("save panel") < getpriority(PRIO_PROCESS, 0);
        }));
    panel.Show();
    EXPECT_TRUE(panel.IsShowing());
    panel.Hide();
    EXPECT_FALSE(panel.IsShowing());
}

TEST(LanguageSwitch, ReloadsTheDictionariesAndTellsEveryWindowOnce)
{
    suite_test::TempDir dir;
    suite_test::write_file(dir / "Words.en", "Greeting\tHello\n");
    suite_test::write_file(dir / "Words.ja", "Greeting\t\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\n");
    be_locale->SetLanguage("en");
    ASSERT_EQ(be_locale->LoadLanguageFile((dir / "Words").c_str()), B_OK);
    EXPECT_EQ(std::string(be_locale->GetString("Greeting").String()), "Hello");

    auto* first = new LanguageWindow("first");
    auto* second = new LanguageWindow("second");
    first->Run();
    second->Run();
    be_locale->SetLanguage("ja");
    EXPECT_EQ(std::string(be_locale->GetString("Greeting").String()),
        "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF");
    // The same language again changes nothing and tells nobody.
    be_locale->SetLanguage("ja");
    // A marker posted now comes after any language message.
    first->PostMessage(kMark);
    second->PostMessage(kMark);
    ASSERT_TRUE(eventually([&] { return first->marks == 1 && second->marks == 1; }));
    for (LanguageWindow* window : {first, second}) {
        ASSERT_TRUE(window->Lock());
        EXPECT_EQ(window->changes.load(), 1) << window->Title();
        EXPECT_EQ(window->lastLanguage, "ja");
        // The texts were reloaded before the windows heard of it.
        EXPECT_EQ(window->textSeen, "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF");
        window->Quit();
    }
    be_locale->SetLanguage("en");
    be_locale->UnloadAll();
}
