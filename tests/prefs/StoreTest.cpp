// The store and its items without a window: defaults, the settings files
// that every program reads, who saves a broadcast change, the accelerator
// menu, who may close the window or finds it gone, and saves that fail.
#include <gtest/gtest.h>

#include <CheckBox.h>
#include <Looper.h>
#include <Menu.h>
#include <MenuField.h>
#include <MenuItem.h>
#include <OS.h>
#include <View.h>

#include <IAPs.h>

#include <atomic>
#include <filesystem>
#include <memory>

#include "PrefsTestSupport.h"

namespace {

using namespace prefs_test;
using suite_test::file_exists;
using suite_test::read_file;
using suite_test::write_file;

const char kMine[] = "application/x-vnd.VELMOR-Mine";
const char kTheirs[] = "application/x-vnd.VELMOR-Theirs";
const std::string kDefaultFormat = "\x02(a)";

class Store : public ::testing::Test {
protected:
    std::string File(const char* item) const { return PrivateSession::SettingsFile(fSession.Home(), item); }
    BMessage Saved(const char* item) const
    {
        std::string bytes = read_file(File(item));
        BMessage message;
        EXPECT_EQ(message.Unflatten(bytes.data(), ssize_t(bytes.size())), B_OK);
        return message;
    }
    std::string Format() const
    {
        TIAPItemAccKeyFormat fresh;
        std::string format;
        fresh.GetString(&format, false);
        return format;
    }

    PrivateSession fSession;
};

// Counts what reaches it.
class Observer : public BLooper {
public:
    Observer() : BLooper("observer") { Run(); }
    void MessageReceived(BMessage* message) override
    {
        if (message->what == kMsgIAPValue)
            count++;
    }
    std::atomic<int> count{0};
};

BMessage value_message(const char* source, const char* format)
{
    BMessage value(kMsgIAPValue);
    value.AddString(kIAPSrcApp, source);
    value.AddString(kIAPSrcIAPItem, kIAPAccKeyFormat);
    if (format != nullptr)
        value.AddString(kIAPAccKeyFormat, format);
    return value;
}

TEST_F(Store, WithoutUsableFilesTheItemsHoldTheirDefaults)
{
    TInterAppPrefs prefs;
    prefs.SetAppSignatureRef(kMine);
    prefs.AddItem(new TIAPItemAccKeyFormat());
    prefs.AddItem(new TIAPItemFlatToolBar());
    std::string format;
    bool flat = false;
    EXPECT_EQ(prefs.GetString(kIAPAccKeyFormat, &format), B_OK);
    EXPECT_EQ(format, kDefaultFormat);
    EXPECT_EQ(prefs.GetBool(kIAPFlatToolBar, &flat), B_OK);
    EXPECT_TRUE(flat);
    EXPECT_EQ(prefs.GetString("NoSuchItem", &format), B_ERROR);
    EXPECT_EQ(prefs.SetBool("NoSuchItem", true), B_ERROR);
    EXPECT_FALSE(file_exists(File(kIAPAccKeyFormat)));

    // Garbage, and a message without the value field, count as no file.
    write_file(File(kIAPAccKeyFormat), "not a message");
    EXPECT_EQ(Format(), kDefaultFormat);
    TIAPItemFlatToolBar other;
    other.SetAppSignatureRef(kMine);
    other.Save(BMessage());
    EXPECT_EQ(Format(), kDefaultFormat);
}

TEST_F(Store, AFileSavedByOneProgramIsWhatAnotherLoads)
{
    TIAPItemAccKeyFormat theirs;
    theirs.SetAppSignatureRef(kTheirs);
    ASSERT_EQ(theirs.SetString("\x01" "a - "), B_OK);
    // One flattened message: what 0, the value, then who saved it.
    BMessage saved = Saved(kIAPAccKeyFormat);
    EXPECT_EQ(saved.what, 0u);
    ASSERT_EQ(saved.CountNames(B_ANY_TYPE), 2);
    const char* name = nullptr;
    type_code type = 0;
    ASSERT_EQ(saved.GetInfo(B_ANY_TYPE, 0, &name, &type), B_OK);
    EXPECT_STREQ(name, kIAPAccKeyFormat);
    EXPECT_EQ(type, B_STRING_TYPE);
    ASSERT_EQ(saved.GetInfo(B_ANY_TYPE, 1, &name, &type), B_OK);
    EXPECT_STREQ(name, kIAPSrcApp);
    const char* source = nullptr;
    EXPECT_EQ(saved.FindString(kIAPSrcApp, &source), B_OK);
    EXPECT_STREQ(source, kTheirs);

    TInterAppPrefs mine;
    mine.SetAppSignatureRef(kMine);
    mine.AddItem(new TIAPItemAccKeyFormat());
    std::string format;
    mine.GetString(kIAPAccKeyFormat, &format);
    EXPECT_EQ(format, "\x01" "a - ");
}

TEST_F(Store, ABroadcastAcceleratorFormatIsSavedOnlyWhereItWasOffered)
{
    TInterAppPrefs prefs;
    prefs.SetAppSignatureRef(kMine);
    prefs.AddItem(new TIAPItemAccKeyFormat());
    auto* observer = new Observer();
    prefs.AddObserver(BMessenger(observer));

    EXPECT_EQ(prefs.SetValue(value_message(kTheirs, "\x01" "a) ")), B_OK);
    std::string format;
    prefs.GetString(kIAPAccKeyFormat, &format);
    EXPECT_EQ(format, "\x01" "a) ");
    EXPECT_FALSE(file_exists(File(kIAPAccKeyFormat)));

    EXPECT_EQ(prefs.SetValue(value_message(kMine, "")), B_OK);
    EXPECT_EQ(Format(), "");

    // Refused, and then nobody hears of it.
    EXPECT_EQ(prefs.SetValue(value_message(kMine, nullptr)), B_ERROR);
    BMessage unnamed(kMsgIAPValue);
    unnamed.AddString(kIAPAccKeyFormat, "x");
    EXPECT_EQ(prefs.SetValue(unnamed), B_ERROR);
    for (int i = 0; i < 1000 && observer->count < 2; i++)
        snooze(1000);
    snooze(20000);
    EXPECT_EQ(observer->count, 2);
    observer->Lock();
    observer->Quit();
}

TEST_F(Store, TheToolBarTakesTheArchivedCheckBoxAndSavesWhoeverSentIt)
{
    struct Case {
        const char* what;
        int32 value;   // -1: the archive has no "_val"
        bool flat;
    };
    for (const Case& c : {Case{"_val 1", 1, true}, Case{"_val 0", 0, false}, Case{"no _val", -1, false}}) {
        SCOPED_TRACE(c.what);
        TIAPItemFlatToolBar item;
        item.SetAppSignatureRef(kMine);
        item.SetBool(!c.flat);
        BMessage box;
        if (c.value >= 0)
            box.AddInt32("_val", c.value);
        BMessage change(kMsgIAPValue);
        change.AddString(kIAPSrcApp, kTheirs);
        change.AddString(kIAPSrcIAPItem, kIAPFlatToolBar);
        change.AddMessage("_views", &box);
        ASSERT_EQ(item.SetValue(change), B_OK);
        bool flat = !c.flat;
        item.GetBool(&flat, false);
        EXPECT_EQ(flat, c.flat);
        bool saved = !c.flat;
        EXPECT_EQ(Saved(kIAPFlatToolBar).FindBool(kIAPFlatToolBar, &saved), B_OK);
        EXPECT_EQ(saved, c.flat);
    }
    TIAPItemFlatToolBar item;
    EXPECT_EQ(item.SetValue(BMessage(kMsgIAPValue)), B_ERROR);
}

TEST_F(Store, SetBoolKeepsTheValueInMemorySetStringAlsoSaves)
{
    TInterAppPrefs prefs;
    prefs.SetAppSignatureRef(kMine);
    prefs.AddItem(new TIAPItemFlatToolBar());
    prefs.AddItem(new TIAPItemAccKeyFormat());
    EXPECT_EQ(prefs.SetBool(kIAPFlatToolBar, false), B_OK);
    bool flat = true;
    prefs.GetBool(kIAPFlatToolBar, &flat);
    EXPECT_FALSE(flat);
    EXPECT_FALSE(file_exists(File(kIAPFlatToolBar)));
    EXPECT_EQ(prefs.SetString(kIAPAccKeyFormat, "\x01" "a - "), B_OK);
    EXPECT_EQ(Format(), "\x01" "a - ");
}

TEST_F(Store, TheAcceleratorMenuOffersSixEntriesWithTheValueMarked)
{
    const std::vector<std::string> labels = {"(a)", "a) ", "a\xE3\x83\xBB", "a - ", "", "(None)"};
    struct Case {
        std::string value;
        bool useDefault;
        int marked;   // -1: none
    };
    for (const Case& c : {Case{"\x01" "a\xE3\x83\xBB", false, 2}, Case{"", false, 5},
             Case{"\x01" "a - ", true, 0}, Case{"\x03?", false, -1}}) {
        SCOPED_TRACE(c.marked);
        TIAPItemAccKeyFormat item;
        item.SetAppSignatureRef(kMine);
        item.SetString(c.value);
        BView* view = nullptr;
        ASSERT_EQ(item.MakeConfigurationView(&view, c.useDefault), B_OK);
        std::unique_ptr<BView> owned(view);
        EXPECT_STREQ(view->Name(), kIAPAccKeyFormat);
        auto* field = dynamic_cast<BMenuField*>(view->ChildAt(0));
        ASSERT_NE(field, nullptr);
        EXPECT_STREQ(field->Name(), "AAccelerator Format: ");
        BMenu* menu = field->Menu();
        ASSERT_EQ(menu->CountItems(), 6);
        for (int i = 0; i < 6; i++) {
            BMenuItem* entry = menu->ItemAt(i);
            EXPECT_EQ(entry->Label(), labels[size_t(i)]) << i;
            EXPECT_EQ(entry->IsMarked(), i == c.marked) << i;
            EXPECT_EQ(dynamic_cast<BSeparatorItem*>(entry) != nullptr, i == 4) << i;
        }
        // Each entry's message is a whole value message for its format.
        const char* format = nullptr;
        ASSERT_EQ(menu->ItemAt(1)->Message()->FindString(kIAPAccKeyFormat, &format), B_OK);
        EXPECT_STREQ(format, "\x01" "a) ");
        EXPECT_EQ(menu->ItemAt(1)->Message()->what, kMsgIAPControlChanged);
    }
}

TEST_F(Store, OnlyTheWindowsOwnerClosesItWithoutForceAndAGoneWindowIsReported)
{
    TInterAppPrefs prefs;
    EXPECT_EQ(prefs.CloseWindow(false), B_OK);   // no window anywhere
    port_id port = create_port(10, kIAPPortName);
    ASSERT_GE(port, 0);
    EXPECT_EQ(prefs.CloseWindow(false), B_ERROR);
    EXPECT_LT(port_buffer_size_etc(port, B_RELATIVE_TIMEOUT, 0), 0) << "something was sent";
    EXPECT_EQ(prefs.CloseWindow(true), B_OK);
    ssize_t size = port_buffer_size_etc(port, B_RELATIVE_TIMEOUT, 1000000);
    ASSERT_GT(size, 0);
    std::vector<char> bytes(static_cast<size_t>(size));
    int32 code = -1;
    ASSERT_EQ(read_port(port, &code, bytes.data(), bytes.size()), size);
    BMessage request;
    ASSERT_EQ(request.Unflatten(bytes.data(), size), B_OK);
    EXPECT_EQ(request.what, uint32(B_QUIT_REQUESTED));
    EXPECT_EQ(code, 0);
    delete_port(port);

    // A window that is gone is reported, never taken for reached.
    EXPECT_EQ(prefs.SendMessage(port, &request), B_BAD_PORT_ID);
    EXPECT_EQ(prefs.ActivateWindow(port), B_BAD_PORT_ID);
    EXPECT_EQ(prefs.AddComponents(port), B_BAD_PORT_ID);
}

// A kill in the middle of a save is the storage kit's file replacement's
// matter (tests/foundation): the file is whole at every moment.
TEST_F(Store, ASaveThatFailsLeavesThePreviousFileWhole)
{
    TIAPItemAccKeyFormat item;
    item.SetAppSignatureRef(kMine);
    ASSERT_EQ(item.SetString("\x01" "a) "), B_OK);

    // The disk is "full" after 200 bytes.
    suite_test::ProgramResult r = suite_test::run_program(
        {helper_program(), "save", "200", std::string(1000, 'x')}, fSession.Env());
    EXPECT_EQ(r.status, 1) << "the failed save was not reported";
    EXPECT_EQ(Format(), "\x01" "a) ");
    namespace fs = std::filesystem;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(File(kIAPAccKeyFormat)).parent_path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1) << "a partial file was left beside the settings";
}

}  // namespace
