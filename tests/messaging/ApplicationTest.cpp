// BApplication and BRoster within one process: registration, messengers by
// signature, Broadcast to oneself, Launch and B_ALREADY_RUNNING, documents
// through xdg-open.
#include <TestSupport.h>

#include "MessagingTestSupport.h"

#include <Application.h>
#include <EntryRef.h>
#include <Message.h>
#include <Roster.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using messaging_test::runtime_dir;
using suite_test::eventually;

namespace {

constexpr const char* kSignature = "application/x-vnd.VELMOR-MessagingTest";

class TestApp : public BApplication {
public:
    TestApp() : BApplication(kSignature) {}
    void ReadyToRun() override { ready.store(true); }
    void MessageReceived(BMessage* message) override
    {
        std::lock_guard<std::mutex> guard(lock);
        whats.push_back(message->what);
    }
    std::vector<uint32> Whats()
    {
        std::lock_guard<std::mutex> guard(lock);
        return whats;
    }
    std::atomic<bool> ready {false};
    std::mutex lock;
    std::vector<uint32> whats;
};

TEST(ApplicationTest, SignatureMustBeAnApplicationTypeAndThereIsOnlyOne)
{
    status_t status = B_OK;
    BApplication bad("text/plain", &status);
    EXPECT_EQ(status, B_BAD_VALUE);
    EXPECT_EQ(be_app, nullptr);
    {
        BApplication first("application/x-vnd.VELMOR-First", &status);
        EXPECT_EQ(status, B_OK);
        EXPECT_EQ(be_app, &first);
        BApplication second("application/x-vnd.VELMOR-Second", &status);
        EXPECT_EQ(status, B_NOT_ALLOWED);
        EXPECT_EQ(be_app, &first);
        EXPECT_TRUE(be_roster->IsRunning("application/x-vnd.VELMOR-First"));
        EXPECT_FALSE(be_roster->IsRunning("application/x-vnd.VELMOR-Second"));
    }
    EXPECT_EQ(be_app, nullptr);
    EXPECT_FALSE(be_roster->IsRunning("application/x-vnd.VELMOR-First"));
}

TEST(ApplicationTest, RunningApplicationIsRegisteredAndReachable)
{
    TestApp* app = new TestApp;
    ASSERT_EQ(app->InitCheck(), B_OK);
    // Sent before Run: waits for it.
    EXPECT_EQ(BMessenger(kSignature).SendMessage('erly'), B_OK);
    std::thread runner([&] { app->Run(); });
    ASSERT_TRUE(eventually([&] { return app->ready.load(); }));

    app_info info;
    ASSERT_EQ(be_roster->GetAppInfo(kSignature, &info), B_OK);
    EXPECT_EQ(info.team, getpid());
    EXPECT_STREQ(info.signature, kSignature);
    app_info own;
    ASSERT_EQ(app->GetAppInfo(&own), B_OK);
    EXPECT_EQ(own.port, info.port);
    EXPECT_EQ(be_roster->GetRunningAppInfo(getpid(), &info), B_OK);
    EXPECT_EQ(be_roster->TeamFor(kSignature), getpid());
    EXPECT_EQ(be_roster->GetAppInfo("application/x-vnd.nobody", &info), B_ERROR);
    EXPECT_EQ(be_roster->GetRunningAppInfo(999999, &info), B_BAD_TEAM_ID);

    status_t result;
    BMessenger bySignature(kSignature, -1, &result);
    EXPECT_EQ(result, B_OK);
    EXPECT_TRUE(bySignature.IsTargetLocal());
    EXPECT_TRUE(bySignature.IsValid());
    EXPECT_EQ(bySignature.SendMessage('sign'), B_OK);
    BMessenger("application/x-vnd.nobody", -1, &result);
    EXPECT_EQ(result, B_BAD_VALUE);

    BMessage broadcast('brdc');
    EXPECT_EQ(be_roster->Broadcast(&broadcast), B_OK);
    BMessage initial('init');
    team_id team = -1;
    EXPECT_EQ(be_roster->Launch(kSignature, &initial, &team), B_ALREADY_RUNNING);
    EXPECT_EQ(team, getpid());
    EXPECT_EQ(be_roster->Launch("application/x-vnd.nobody"), B_LAUNCH_FAILED_APP_NOT_FOUND);

    ASSERT_TRUE(eventually([&] { return app->Whats().size() == 4; }));
    EXPECT_EQ(app->Whats(), (std::vector<uint32> {'erly', 'sign', 'brdc', 'init'}));

    EXPECT_EQ(be_app_messenger.SendMessage(B_QUIT_REQUESTED), B_OK);
    runner.join();
    delete app;
    EXPECT_FALSE(be_roster->IsRunning(kSignature));
    EXPECT_FALSE(bySignature.IsValid());
}

class PathGuard {
public:
    PathGuard() : fOld(getenv("PATH") != nullptr ? getenv("PATH") : "") {}
    ~PathGuard() { setenv("PATH", fOld.c_str(), 1); }

private:
    std::string fOld;
};

TEST(ApplicationTest, DocumentsOpenThroughXdgOpen)
{
    PathGuard guard;
    std::string bin = runtime_dir() + "/bin";
    mkdir(bin.c_str(), 0700);
    std::string opener = bin + "/xdg-open";
    {
        std::ofstream script(opener);
        // PATH holds only this folder while it runs: no outside tools.
        script << "#!/bin/sh\nprintf '%s\\n' \"$1\" > '" << bin << "/opened.new'\n"
               << "exec /bin/mv '" << bin << "/opened.new' '" << bin << "/opened'\n";
    }
    chmod(opener.c_str(), 0700);
    std::string document = runtime_dir() + "/help me.html";
    std::ofstream(document) << "<p>help</p>\n";

    entry_ref ref;
    ASSERT_EQ(get_ref_for_path(document.c_str(), &ref), B_OK);
    setenv("PATH", bin.c_str(), 1);
    EXPECT_EQ(be_roster->Launch(&ref), B_OK);
    std::string opened;
    ASSERT_TRUE(eventually([&] {
        std::ifstream in(bin + "/opened");
        return static_cast<bool>(std::getline(in, opened));
    }));
    EXPECT_EQ(opened, document);
    entry_ref missing;
    ASSERT_EQ(get_ref_for_path((runtime_dir() + "/missing.html").c_str(), &missing), B_OK);
    EXPECT_EQ(be_roster->Launch(&missing), B_ENTRY_NOT_FOUND);
    EXPECT_EQ(be_roster->Launch(static_cast<const entry_ref*>(nullptr)), B_BAD_VALUE);

    setenv("PATH", (runtime_dir() + "/nowhere").c_str(), 1);
    EXPECT_EQ(be_roster->Launch(&ref), B_LAUNCH_FAILED_NO_PREFERRED_APP);
}

} // namespace
