// VelmorPrefs: the shared preferences window for users.
//
// Offers both shared items under a signature of its own. When no program
// has the window open, this one makes it, saves what the user changes in
// it, and ends once the window is closed (OK, Cancel, the close box or
// --close from elsewhere). When another program has it open, the window
// comes to the front with these items added, and this program ends.
// --close asks the window, wherever it is, to close as Cancel does.
#include <Application.h>
#include <FindDirectory.h>
#include <Locale.h>
#include <OS.h>
#include <Path.h>
#include <Window.h>

#include <IAPs.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kSignature[] = "application/x-vnd.VELMOR-VelmorPrefs";
const bigtime_t kWatchInterval = 100000;

// Takes the value messages that the window broadcasts, so that this
// program saves what the user changes in it.
class PrefsApp : public BApplication {
public:
    explicit PrefsApp(TInterAppPrefs* prefs) : BApplication(kSignature), fPrefs(prefs) {}

    void MessageReceived(BMessage* message) override
    {
        if (message->what == kMsgIAPValue)
            fPrefs->SetValue(*message);
        else
            BApplication::MessageReceived(message);
    }

private:
    TInterAppPrefs* fPrefs;
};

std::string program_folder()
{
    BPath self;
    if (find_path(B_APP_IMAGE_SYMBOL, B_FIND_PATH_IMAGE_PATH, nullptr, &self) != B_OK)
        return ".";
    const std::string text(self.Path());
    return text.substr(0, text.rfind('/'));
}

void print(const BString& text)
{
    std::printf("%s\n", text.String());
}

void print_error(const BString& text)
{
    print(be_locale->GetString("ERROR: ") << text);
}

// The window is only ever hidden; once it is, the program is done. The
// lock is taken between two of the window's messages, so the values its
// last one broadcast are already queued for this application.
status_t watch_window(void* data)
{
    auto* window = static_cast<BWindow*>(data);
    for (;;) {
        snooze(kWatchInterval);
        if (!window->Lock())
            break;
        bool hidden = window->IsHidden();
        window->Unlock();
        if (hidden)
            break;
    }
    be_app->PostMessage(B_QUIT_REQUESTED);
    return B_OK;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string dictionaries = program_folder() + "/Language/Dictionaries/";
    be_locale->LoadLanguageFile((dictionaries + "CommonPrefs").c_str());
    be_locale->LoadLanguageFile((dictionaries + "VelmorPrefs").c_str());

    bool close = false;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--close") == 0) {
            close = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            print(be_locale->GetString("@VelmorPrefs_Usage@"));
            return 0;
        } else {
            BString error = be_locale->GetString("@VelmorPrefs_Unknown_Option %Option%@");
            print_error(error.ReplaceAll("%Option%", argv[i]));
            print(be_locale->GetString("@VelmorPrefs_Usage@"));
            return 1;
        }
    }

    TInterAppPrefs prefs;
    prefs.SetAppSignatureRef(kSignature);
    prefs.AddItem(new TIAPItemAccKeyFormat());
    prefs.AddItem(new TIAPItemFlatToolBar());
    if (close) {
        if (prefs.CloseWindow(true) == B_OK)
            return 0;
        print_error(be_locale->GetString("@VelmorPrefs_No_Window@"));
        return 1;
    }

    PrefsApp app(&prefs);
    if (app.InitCheck() != B_OK)
        return 1;
    // A window whose program is stopped or hangs takes nothing: after the
    // write's time-out this program says so rather than wait with it.
    if (prefs.ShowWindow(BRect(100, 100, 400, 200)) != B_OK) {
        print_error(be_locale->GetString("@VelmorPrefs_No_Window@"));
        return 1;
    }
    if (!prefs.IsWindowOwner() || app.CountWindows() == 0)
        return 0;
    BWindow* window = app.WindowAt(0);
    thread_id watcher = spawn_thread(watch_window, "window watcher", B_LOW_PRIORITY, window);
    resume_thread(watcher);
    app.Run();
    status_t ignored;
    wait_for_thread(watcher, &ignored);
    if (window->Lock())
        window->Quit();
    return 0;
}
