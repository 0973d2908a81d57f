// The about window of the toolkit, off-screen: what it shows, how it
// follows a language change, and how it goes away.
#include <gtest/gtest.h>

#include <AppIdentity.h>
#include <Button.h>
#include <Locale.h>
#include <StringView.h>
#include <TestSupport.h>

#include "About.h"
#include "AboutView.h"
#include "ToolkitTestSupport.h"

using namespace toolkit_test;

const char gAppAuthorE[] = "VELMOR";

namespace {

std::string text_of(BWindow* window, const char* view)
{
    return static_cast<BStringView*>(window->FindView(view))->Text();
}

}  // namespace

TEST(AboutWindow, ShowsTheTextsInTheLanguageOfTheMomentAndHidesOnOK)
{
    suite_test::TempDir dir;
    suite_test::write_file(dir / "About.en", "Tool\tThe Tool\nVELMOR\tVELMOR\n");
    suite_test::write_file(dir / "About.ja",
        "Tool\t\xE9\x81\x93\xE5\x85\xB7\nVELMOR\t\xEF\xBC\xB6\n"
        "OK\t\xE4\xBA\x86\xE8\xA7\xA3\nAbout %AppName%\t%AppName% \xE3\x81\xAB\xE3\x81\xA4\xE3\x81\x84\xE3\x81\xA6\n");
    be_locale->SetLanguage("en");
    ASSERT_EQ(be_locale->LoadLanguageFile((dir / "About").c_str()), B_OK);

    // Without a view of its own it makes a plain panel with an OK button.
    TVELMORAboutWindow* window = new TVELMORAboutWindow(BRect(0, 0, 99, 99), nullptr);
    watch(window);
    window->SetAppInfo("Tool", "Ver 9", "(C) %AppAuthor%, and %AppAuthor% again");
    ASSERT_NE(dynamic_cast<TSimpleAboutView*>(window->ChildAt(0)), nullptr);
    window->Show();
    settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_STREQ(window->Title(), "About The Tool");
    EXPECT_EQ(text_of(window, "StrViewAppName"), "The Tool");
    EXPECT_EQ(text_of(window, "StrViewAppVer"), "Ver 9");
    // The template is not looked up; only the author goes in.
    EXPECT_EQ(text_of(window, "StrViewCright"), "(C) VELMOR, and VELMOR again");
    window->Unlock();

    be_locale->SetLanguage("ja");
    settle(window, 3);
    ASSERT_TRUE(window->Lock());
    EXPECT_STREQ(window->Title(), "\xE9\x81\x93\xE5\x85\xB7 \xE3\x81\xAB\xE3\x81\xA4\xE3\x81\x84\xE3\x81\xA6");
    EXPECT_EQ(text_of(window, "StrViewAppName"), "\xE9\x81\x93\xE5\x85\xB7");
    EXPECT_EQ(text_of(window, "StrViewCright"), "(C) \xEF\xBC\xB6, and \xEF\xBC\xB6 again");
    EXPECT_STREQ(static_cast<BButton*>(window->FindView("ButtonOK"))->Label(), "\xE4\xBA\x86\xE8\xA7\xA3");
    window->Unlock();

    // Enter clicks OK, the default button: the window is hidden, not gone.
    type(window, B_ENTER);
    settle(window, 3);
    ASSERT_TRUE(window->Lock());
    EXPECT_TRUE(window->IsHidden());
    window->Quit();
    be_locale->SetLanguage("en");
    be_locale->UnloadAll();
}
