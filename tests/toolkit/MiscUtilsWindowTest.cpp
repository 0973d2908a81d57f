// The window helpers of MiscUtils.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <AppDefs.h>
#include <Application.h>
#include <Bitmap.h>
#include <Button.h>
#include <CheckBox.h>
#include <File.h>
#include <FilePanel.h>
#include <MenuField.h>
#include <MimeType.h>
#include <PopUpMenu.h>
#include <RadioButton.h>
#include <StringView.h>
#include <TextControl.h>

#include "MiscUtils.h"
#include "TestSupport.h"
#include "ToolkitTestSupport.h"

using namespace toolkit_test;
using suite_test::TempDir;

namespace {

std::string read_file(const std::string& path);

// The tests' process runs with a home of its own: the type database and
// the roster's records go there.
class HomeEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        fHome = new suite_test::TempHome();
        setenv("HOME", fHome->Path().c_str(), 1);
        unsetenv("XDG_CONFIG_HOME");
    }
    void TearDown() override { delete fHome; }

private:
    suite_test::TempHome* fHome = nullptr;
};

const auto* const kHome = ::testing::AddGlobalTestEnvironment(new HomeEnvironment());

// The alert a show_alert on another thread has put up: found by its
// window thread, which bears the title.
BAlert* alert_titled(const char* title)
{
    for (int i = 0; i < 100000; i++) {
        thread_id thread = find_thread(title);
        if (thread >= 0) {
            if (auto* alert = dynamic_cast<BAlert*>(BLooper::LooperForThread(thread)))
                return alert;
        }
        snooze(1000);
    }
    return nullptr;
}

}  // namespace

TEST(ShowAlert, TheEscapeButtonAndTheLabelLetters)
{
    int32 answer = -2;
    std::thread asking([&] {
        answer = show_alert("EscapeAlert", "Really?", "Cancel(C)", "OK", nullptr, 1, B_INFO_ALERT);
    });
    BAlert* alert = alert_titled("EscapeAlert");
    ASSERT_NE(alert, nullptr);
    BMessenger messenger(nullptr, alert);
    ASSERT_TRUE(alert->Lock());
    EXPECT_STREQ(alert->Title(), "EscapeAlert");
    EXPECT_STREQ(alert->Text(), "EscapeAlert\n\nReally?");
    EXPECT_EQ(alert->CountButtons(), 2);
    EXPECT_EQ(alert->Shortcut(0), 'c');
    EXPECT_EQ(alert->Shortcut(1), B_ESCAPE);
    alert->Unlock();
    BMessage escape = key(B_ESCAPE);
    messenger.SendMessage(&escape);
    asking.join();
    EXPECT_EQ(answer, 1);

    // The label's letter: the Escape index names no button here.
    std::thread again([&] {
        answer = show_alert("LetterAlert", "Really?", "Cancel(C)", "OK", "Later", 5, B_STOP_ALERT);
    });
    alert = alert_titled("LetterAlert");
    ASSERT_NE(alert, nullptr);
    BMessenger second(nullptr, alert);
    BMessage letter = key('c');
    second.SendMessage(&letter);
    again.join();
    EXPECT_EQ(answer, 0);
}

namespace {

// Writes down every value it is given.
class WatchedButton : public BButton {
public:
    WatchedButton() : BButton(BRect(0, 0, 79, 21), "watched", "OK", new BMessage(0x636C6B21)) {}
    void SetValue(int32 value) override
    {
        values.push_back(value);
        BButton::SetValue(value);
    }
    std::vector<int32> values;
};

class ClickTarget : public BWindow {
public:
    ClickTarget() : BWindow(BRect(0, 0, 99, 99), "clicks", B_TITLED_WINDOW, 0) { watch(this); }
    void MessageReceived(BMessage* message) override
    {
        if (message->what == 0x636C6B21)
            clicks++;
        else
            BWindow::MessageReceived(message);
    }
    int clicks = 0;
};

}  // namespace

TEST(ClickButton, PressesReleasesThenInvokes)
{
    click_button(nullptr);
    auto* window = new ClickTarget();
    auto* button = new WatchedButton();
    window->AddChild(button);
    window->Show();
    ASSERT_TRUE(window->Lock());
    click_button(button);
    EXPECT_EQ(button->values, (std::vector<int32>{1, 0}));
    EXPECT_EQ(window->clicks, 0);  // the message is on its way
    window->Unlock();
    settle(window);
    ASSERT_TRUE(window->Lock());
    EXPECT_EQ(window->clicks, 1);
    EXPECT_EQ(button->Value(), 0);
    window->Quit();
}

TEST(Adjust, ControlsFitTheirLabelsAndKeepTheirHeight)
{
    auto fits = [](BView* view, const char* text, float margin) {
        return std::ceil(view->StringWidth(text)) + margin;
    };
    BTextControl text(BRect(0, 0, 199, 20), "text", "File name:", "", nullptr);
    adjust_txtctrl_divider(&text);
    EXPECT_EQ(text.Divider(), fits(&text, "File name:", 2));
    EXPECT_EQ(text.Bounds(), BRect(0, 0, 199, 20));

    BMenuField field(BRect(0, 0, 199, 20), "field", "Compression level:", new BPopUpMenu("x"));
    adjust_mfield_divider(&field);
    EXPECT_EQ(field.Divider(), fits(&field, "Compression level:", 2));

    BStringView string(BRect(0, 0, 9, 15), "string", "Version 1.0");
    adjust_strview_width(&string);
    EXPECT_EQ(string.Bounds(), BRect(0, 0, fits(&string, "Version 1.0", 2), 15));

    BRadioButton radio(BRect(0, 0, 9, 17), "radio", "Extra high", nullptr);
    adjust_rbutton_width(&radio);
    EXPECT_EQ(radio.Bounds(), BRect(0, 0, fits(&radio, "Extra high", 19), 17));

    BCheckBox box(BRect(0, 0, 300, 14), "box", "Verify", nullptr);
    adjust_cbox_width(&box);  // also narrower
    EXPECT_EQ(box.Bounds(), BRect(0, 0, fits(&box, "Verify", 19), 14));

    BButton button(BRect(0, 0, 9, 23), "button", "A rather long label", nullptr);
    float width = 0, height = 0;
    button.GetPreferredSize(&width, &height);
    adjust_button_width(&button);
    EXPECT_EQ(button.Bounds(), BRect(0, 0, width, 23));

    adjust_txtctrl_divider(nullptr);
    adjust_mfield_divider(nullptr);
    adjust_strview_width(nullptr);
    adjust_rbutton_width(nullptr);
    adjust_cbox_width(nullptr);
    adjust_button_width(nullptr);
}

TEST(GetIcons, TheApplicationsIconsFromTheTypeDatabase)
{
    BBitmap* large = nullptr;
    BBitmap* mini = nullptr;
    EXPECT_EQ(get_icons(&large, &mini), -1);  // no application
    EXPECT_EQ(large, nullptr);

    const char* signature = "application/x-vnd.VELMOR-IconTest";
    BBitmap icon(BRect(0, 0, 31, 31), B_CMAP8);
    std::vector<uint8> pixels(1024);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = uint8(i % 200);
    icon.SetBits(pixels.data(), 1024, 0, B_CMAP8);
    ASSERT_EQ(BMimeType(signature).SetIcon(&icon, B_LARGE_ICON), B_OK);

    BApplication app(signature);
    ASSERT_EQ(app.InitCheck(), B_OK);
    ASSERT_EQ(get_icons(&large, &mini), 0);
    ASSERT_NE(large, nullptr);
    ASSERT_NE(mini, nullptr);
    EXPECT_EQ(large->Bounds(), BRect(0, 0, 31, 31));
    EXPECT_EQ(large->ColorSpace(), B_CMAP8);
    EXPECT_EQ(std::vector<uint8>((uint8*)large->Bits(), (uint8*)large->Bits() + 1024), pixels);
    // No mini icon in the database: a transparent one.
    EXPECT_EQ(mini->Bounds(), BRect(0, 0, 15, 15));
    EXPECT_EQ(std::vector<uint8>((uint8*)mini->Bits(), (uint8*)mini->Bits() + 256),
        std::vector<uint8>(256, B_TRANSPARENT_MAGIC_CMAP8));
    delete large;
    delete mini;

    BBitmap* onlyMini = nullptr;
    EXPECT_EQ(get_icons(nullptr, &onlyMini), 0);
    EXPECT_NE(onlyMini, nullptr);
    delete onlyMini;
    EXPECT_EQ(get_icons(nullptr, nullptr), 0);
}

TEST(ShowHelp, OpensTheDocumentOrReportsWhy)
{
    TempDir folder("toolkit-help");
    std::string oldPath = getenv("PATH") != nullptr ? getenv("PATH") : "";
    std::string bin = folder / "bin";
    mkdir(bin.c_str(), 0700);
    std::string opener = bin + "/xdg-open";
    // It writes down what it was given, then puts the note in place whole.
    std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << bin << "/opened.new'\n"
                          << "exec /bin/mv '" << bin << "/opened.new' '" << bin << "/opened'\n";
    chmod(opener.c_str(), 0700);
    std::string document = folder / "help $(touch pwned).html";
    std::ofstream(document) << "<p>help</p>\n";

    setenv("PATH", bin.c_str(), 1);
    EXPECT_EQ(show_help(document.c_str()), B_OK);
    std::string opened;
    for (int i = 0; i < 100000 && opened.empty(); i++) {
        opened = read_file(bin + "/opened");
        snooze(1000);
    }
    EXPECT_EQ(opened, document);
    EXPECT_EQ(show_help((folder / "missing.html").c_str()), B_ENTRY_NOT_FOUND);
    EXPECT_NE(show_help(nullptr), B_OK);
    setenv("PATH", (folder / "nowhere").c_str(), 1);
    EXPECT_EQ(show_help(document.c_str()), B_LAUNCH_FAILED_NO_PREFERRED_APP);
    setenv("PATH", oldPath.c_str(), 1);
}

TEST(FilePanelPriority, SetsThePanelWindowsThread)
{
    EXPECT_EQ(set_file_panel_priority(nullptr, B_LOW_PRIORITY), -1);
    BFilePanel panel;
    ASSERT_NE(panel.Window(), nullptr);
    ASSERT_EQ(rename_thread(panel.Window()->Thread(), "panel probe"), B_OK);
    EXPECT_EQ(set_file_panel_priority(&panel, 7), 0);
    thread_info info;
    ASSERT_EQ(get_thread_info(panel.Window()->Thread(), &info), B_OK);
    EXPECT_EQ(info.priority, 7);
    // The scheduler sees it too: a low priority is a higher nice value.
    if (suite_test::priorities_reach_the_scheduler())
        EXPECT_TRUE(suite_test::eventually([] {
            const int nice = suite_test::native_nice("panel probe");
            return nice != suite_test::kNoThread && nice > getpriority(PRIO_PROCESS, 0);
        }));
}

// ---------------------------------------------------------------------------
// copy_file

namespace {

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream data;
    data << in.rdbuf();
    return data.str();
}

void write_file(const std::string& path, const std::string& data)
{
    std::ofstream(path, std::ios::binary) << data;
}

std::vector<std::string> names_in(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string attribute(const std::string& path, const char* name)
{
    BNode node(path.c_str());
    char value[64] = {};
    ssize_t got = node.ReadAttr(name, B_STRING_TYPE, 0, value, sizeof value - 1);
    return got < 0 ? "(none)" : std::string(value, size_t(got));
}

mode_t mode_of(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class CopyFileTest : public ::testing::Test {
protected:
    // A file with data, an attribute and its own permissions.
    std::string Source(const std::string& name, const std::string& data = "data\n")
    {
        std::string path = fFolder / ("from/" + name);
        mkdir((fFolder / "from").c_str(), 0700);
        write_file(path, data);
        BNode node(path.c_str());
        const char tag[] = "kept";
        fAttributes = node.WriteAttr("Audio:Tag", B_STRING_TYPE, 0, tag, 4) == 4;
        chmod(path.c_str(), 0640);
        return path;
    }
    std::string Folder(const std::string& name)
    {
        std::string path = fFolder / name;
        mkdir(path.c_str(), 0700);
        return path;
    }
    void ExpectCopy(const std::string& copy, const std::string& data = "data\n")
    {
        EXPECT_EQ(read_file(copy), data) << copy;
        EXPECT_EQ(mode_of(copy), 0640u) << copy;
        if (fAttributes) {
            EXPECT_EQ(attribute(copy, "Audio:Tag"), "kept") << copy;
        }
    }

    TempDir fFolder{"toolkit-copy"};
    bool fAttributes = false;
};

}  // namespace

TEST_F(CopyFileTest, HostileNamesAreCopiedAsTheyAreAndRunNothing)
{
    const std::vector<std::string> names = {
        "say \"hi\".ape", "$(touch pwned).ape", "`touch pwned`.ape", "back\\slash.ape",
        "two  spaces.ape", "new\nline.ape", "-rf", "it's $HOME;touch pwned", "semi;colon|pipe&",
    };
    std::string into = Folder("into");
    char* cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(fFolder.Path().c_str()), 0);
    for (const std::string& name : names) {
        std::string source = Source(name, "bytes of " + name);
        EXPECT_EQ(copy_file(source.c_str(), into.c_str()), 0) << name;
        ExpectCopy(into + "/" + name, "bytes of " + name);
        // And to a path of the same kind of name.
        std::string target = into + "/copy of " + name;
        EXPECT_EQ(copy_file(source.c_str(), target.c_str()), 0) << name;
        ExpectCopy(target, "bytes of " + name);
    }
    EXPECT_EQ(chdir(cwd), 0);
    free(cwd);
    EXPECT_EQ(names_in(into).size(), 2 * names.size());
    for (const std::string& folder : {fFolder.Path(), fFolder / "from", into})
        EXPECT_EQ(access((folder + "/pwned").c_str(), F_OK), -1) << folder;
}

TEST_F(CopyFileTest, AFolderGetsTheSourcesNameWithOneSeparator)
{
    std::string source = Source("track.ape");
    std::string plain = Folder("plain");
    std::string slashed = Folder("slashed");
    EXPECT_EQ(copy_file(source.c_str(), plain.c_str()), 0);
    EXPECT_EQ(copy_file(source.c_str(), (slashed + "/").c_str()), 0);
    ExpectCopy(plain + "/track.ape");
    ExpectCopy(slashed + "/track.ape");
    EXPECT_EQ(names_in(plain), std::vector<std::string>{"track.ape"});
    EXPECT_EQ(names_in(slashed), std::vector<std::string>{"track.ape"});
}

TEST_F(CopyFileTest, AnExistingFileIsReplacedWhole)
{
    std::string source = Source("new.ape", "new");
    std::string target = Folder("to") + "/old.ape";
    write_file(target, "old contents, longer than the new ones");
    chmod(target.c_str(), 0600);
    EXPECT_EQ(copy_file(source.c_str(), target.c_str()), 0);
    ExpectCopy(target, "new");
    EXPECT_EQ(names_in(fFolder / "to"), std::vector<std::string>{"old.ape"});

    // Through a link: the file it names gets the copy, the link stays.
    std::string link = fFolder / "to/link.ape";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    std::string other = Source("other.ape", "other");
    EXPECT_EQ(copy_file(other.c_str(), link.c_str()), 0);
    EXPECT_EQ(read_file(target), "other");
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(CopyFileTest, ACopyOntoItselfLeavesTheFile)
{
    std::string source = Source("self.ape", "precious");
    EXPECT_EQ(copy_file(source.c_str(), source.c_str()), 0);
    EXPECT_EQ(copy_file(source.c_str(), (fFolder / "from").c_str()), 0);
    std::string link = fFolder / "from/alias.ape";
    ASSERT_EQ(symlink(source.c_str(), link.c_str()), 0);
    EXPECT_EQ(copy_file(source.c_str(), link.c_str()), 0);
    ExpectCopy(source, "precious");
    EXPECT_EQ(names_in(fFolder / "from"), (std::vector<std::string>{"alias.ape", "self.ape"}));
}

TEST_F(CopyFileTest, PathsLongerThan255BytesAreRefusedNotCut)
{
    std::string source = Source("s.ape");
    // Folders until the copy's path is exactly 255 bytes, then 256.
    std::string folder = fFolder.Path();
    while (folder.size() + 1 + 50 < 255 - 6) {
        folder += "/" + std::string(50, 'd');
        mkdir(folder.c_str(), 0700);
    }
    std::string name(255 - folder.size() - 1, 'n');
    std::string fits = folder + "/" + name;
    ASSERT_EQ(fits.size(), 255u);
    EXPECT_EQ(copy_file(source.c_str(), fits.c_str()), 0);
    ExpectCopy(fits);
    std::string tooLong = fits + "x";
    EXPECT_EQ(copy_file(source.c_str(), tooLong.c_str()), -1);
    EXPECT_EQ(access(tooLong.c_str(), F_OK), -1);
    EXPECT_EQ(access(tooLong.substr(0, 255).c_str(), F_OK), 0);  // the earlier copy only
    EXPECT_EQ(names_in(folder).size(), 1u);
    // Also when the folder form makes it long.
    std::string longSource = Source(std::string(255 - folder.size(), 'l'));
    EXPECT_EQ(copy_file(longSource.c_str(), folder.c_str()), -1);
    EXPECT_EQ(names_in(folder).size(), 1u);
}

TEST_F(CopyFileTest, WhatCannotBeCopiedIsRefused)
{
    std::string source = Source("s.ape");
    std::string to = Folder("to");
    EXPECT_EQ(copy_file((fFolder / "missing").c_str(), to.c_str()), -1);
    EXPECT_EQ(copy_file(to.c_str(), (fFolder / "folder copy").c_str()), -1);  // a folder
    EXPECT_EQ(copy_file(source.c_str(), (fFolder / "no/such/folder").c_str()), -1);
    EXPECT_EQ(copy_file(source.c_str(), ""), -1);
    EXPECT_EQ(copy_file(nullptr, to.c_str()), -1);
    EXPECT_EQ(copy_file(source.c_str(), nullptr), -1);
    EXPECT_TRUE(names_in(to).empty());
}

TEST_F(CopyFileTest, AFailedCopyLeavesNoPartialFile)
{
    std::string source = Source("big.ape", std::string(200000, 'x'));
    std::string to = Folder("to");
    std::string target = to + "/big.ape";
    write_file(target, "the old file");
    // Files may grow to 4096 bytes only; the write fails instead of
    // stopping the process.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    sighandler_t previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int32 result = copy_file(source.c_str(), to.c_str());
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(read_file(target), "the old file");
    EXPECT_EQ(names_in(to), std::vector<std::string>{"big.ape"});
}
