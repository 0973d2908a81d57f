// The window's port is outside input: garbage and hostile requests from
// another program of the user leave the window working and small, and
// another user cannot reach the port at all. The window stays off-screen.
#include <gtest/gtest.h>

#include <OS.h>
#include <Window.h>
#include <WindowList.h>

#include <IAPWindow.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "PrefsTestSupport.h"

namespace {

using namespace prefs_test;

class WindowPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        fPrefs.SetAppSignatureRef("application/x-vnd.VELMOR-PortTest");
        fPrefs.AddItem(new TIAPItemAccKeyFormat());
        ASSERT_EQ(fPrefs.ShowWindow(BRect(50, 50, 100, 100)), B_OK);
        ASSERT_TRUE(fPrefs.IsWindowOwner());
        fWindow = app_private::window_at(0);
        ASSERT_NE(fWindow, nullptr);
    }
    void TearDown() override
    {
        if (fWindow != nullptr && fWindow->Lock())
            fWindow->Quit();
    }
    bool Shows(const char* item)
    {
        for (int i = 0; i < 5000; i++) {
            fWindow->Lock();
            bool found = fWindow->FindView(item) != nullptr;
            fWindow->Unlock();
            if (found)
                return true;
            snooze(1000);
        }
        return false;
    }

    suite_test::ScopedEnv fOffscreen{"SUITE_OFFSCREEN", "1"};
    PrivateSession fSession;
    TInterAppPrefs fPrefs;
    BWindow* fWindow = nullptr;
};

TEST_F(WindowPort, GarbageAndHostileRequestsLeaveTheWindowWorking)
{
    ASSERT_TRUE(Shows(kIAPAccKeyFormat));
    suite_test::ProgramResult r = suite_test::run_program({helper_program(), "garbage"}, fSession.Env());
    ASSERT_EQ(r.status, 0) << r.err;

    // A request that comes after all that is still taken.
    TInterAppPrefs other;
    other.SetAppSignatureRef("application/x-vnd.VELMOR-Other");
    other.AddItem(new TIAPItemFlatToolBar());
    other.ShowWindow(BRect(0, 0, 10, 10));
    EXPECT_FALSE(other.IsWindowOwner());
    ASSERT_TRUE(Shows(kIAPFlatToolBar)) << "the window stopped taking requests";

    ASSERT_TRUE(fWindow->Lock());
    BView* top = fWindow->ChildAt(0);
    std::vector<std::string> shown;
    for (int32 i = 0; i < top->CountChildren(); i++)
        shown.push_back(top->ChildAt(i)->Name());
    EXPECT_EQ(shown, (std::vector<std::string>{"ButtonContainer", kIAPAccKeyFormat, kIAPFlatToolBar}));
    EXPECT_LE(fWindow->Bounds().Width(), 300);
    EXPECT_LE(fWindow->Bounds().Height(), 130);
    EXPECT_FALSE(fWindow->IsHidden()) << "a request that is none reached the buttons";
    fWindow->Unlock();
}

TEST_F(WindowPort, AnotherUserCannotReachThePort)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    port_id port = fPrefs.CreateAndShowWindow(BRect(0, 0, 10, 10));   // a second one
    ASSERT_GE(port, 0);
    std::string socket = std::string(getenv("XDG_RUNTIME_DIR")) + "/velmor-ports/" + std::to_string(port);
    pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        if (find_port(kIAPPortName) >= 0 || write_port(port, 0, "x", 1) == B_OK)
            _exit(1);
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
        _exit(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 2 : 0);
    }
    int status = -1;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: found or written through the kit, 2: socket connected";
    BWindow* second = app_private::window_at(1);
    if (second != nullptr && second->Lock())
        second->Quit();
}

}  // namespace
