// Ports and applications across real processes: a blocking reader woken
// by a writer, capacity, a port whose owner was killed, garbage written to
// an application's port, Broadcast reaching three applications, a reply
// coming back from another process.
#include <TestSupport.h>

#include "MessagingTestSupport.h"

#include <Application.h>
#include <Handler.h>
#include <Message.h>
#include <Messenger.h>
#include <OS.h>
#include <Roster.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using messaging_test::Helper;
using messaging_test::runtime_dir;
using suite_test::eventually;

namespace {

thread_state state_of(thread_id thread)
{
    thread_info info;
    return get_thread_info(thread, &info) == B_OK ? info.state : static_cast<thread_state>(0);
}

struct ReadResult {
    port_id port;
    int32 code = 0;
    char text[32] = {};
    ssize_t size = 0;
};

status_t read_one(void* data)
{
    ReadResult* result = static_cast<ReadResult*>(data);
    result->size = read_port(result->port, &result->code, result->text, sizeof result->text - 1);
    return B_OK;
}

TEST(CrossProcessTest, ABlockingReaderIsWokenByAWriterInAnotherProcess)
{
    ReadResult result;
    result.port = create_port(4, "cross read");
    thread_id reader = spawn_thread(read_one, "reader", B_NORMAL_PRIORITY, &result);
    resume_thread(reader);
    ASSERT_TRUE(eventually([&] { return state_of(reader) == B_THREAD_RECEIVING; }));
    Helper writer({"write", std::to_string(result.port), "5", "from afar"});
    EXPECT_EQ(writer.ReadLine(), "status 0");
    status_t value;
    wait_for_thread(reader, &value);
    EXPECT_EQ(result.size, 9);
    EXPECT_EQ(result.code, 5);
    EXPECT_STREQ(result.text, "from afar");
    EXPECT_EQ(writer.Wait(), 0);
    delete_port(result.port);
}

TEST(CrossProcessTest, AFullPortBlocksAWriterInAnotherProcess)
{
    port_id port = create_port(2, "cross full");
    Helper writer({"fill", std::to_string(port), "2"});
    EXPECT_EQ(writer.ReadLine(), "wrote 0 0");
    EXPECT_EQ(writer.ReadLine(), "wrote 1 0");
    EXPECT_EQ(writer.ReadLine(), "nonblocking " + std::to_string(B_WOULD_BLOCK));
    // The last write waits until there is room.
    int32 code = -1;
    int value = -1;
    EXPECT_EQ(read_port(port, &code, &value, sizeof value), static_cast<ssize_t>(sizeof value));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(writer.ReadLine(), "last 0");
    EXPECT_EQ(writer.Wait(), 0);
    read_port(port, &code, &value, sizeof value);
    EXPECT_EQ(value, 1);
    read_port(port, &code, &value, sizeof value);
    EXPECT_EQ(value, 2);
    delete_port(port);
}

TEST(CrossProcessTest, APortWhoseOwnerWasKilledIsNoLongerFound)
{
    Helper owner({"own-port", "doomed port", "5"});
    std::string line = owner.ReadLine();
    ASSERT_EQ(line.rfind("port ", 0), 0u) << line;
    port_id port = std::stoi(line.substr(5));
    ASSERT_GT(port, 0);
    EXPECT_EQ(find_port("doomed port"), port);
    port_info info;
    ASSERT_EQ(get_port_info(port, &info), B_OK);
    EXPECT_EQ(info.team, owner.Pid());
    EXPECT_STREQ(info.name, "doomed port");
    EXPECT_EQ(write_port(port, 1, "hi", 2), B_OK);
    EXPECT_EQ(get_port_info(port, &info), B_OK);
    EXPECT_EQ(info.queue_count, 1);
    // Only the owner reads or deletes.
    char buffer[4];
    int32 code;
    EXPECT_EQ(read_port(port, &code, buffer, sizeof buffer), B_NOT_ALLOWED);
    EXPECT_EQ(delete_port(port), B_NOT_ALLOWED);

    owner.Kill(SIGKILL);
    owner.Wait();
    EXPECT_EQ(find_port("doomed port"), B_NAME_NOT_FOUND);
    EXPECT_EQ(write_port(port, 1, "hi", 2), B_BAD_PORT_ID);
    EXPECT_EQ(get_port_info(port, &info), B_BAD_PORT_ID);
    std::string folder = runtime_dir() + "/velmor-ports/" + std::to_string(port);
    struct stat st;
    EXPECT_NE(lstat(folder.c_str(), &st), 0);
    EXPECT_NE(lstat((folder + ".name").c_str(), &st), 0);
}

port_id ready_port(Helper& app)
{
    std::string line = app.ReadLineStartingWith("ready ");
    return line.empty() ? -1 : std::stoi(line.substr(6));
}

// A stopped owner does not answer: asking about its port, finding it by
// name and sending to it with a time-out all time out, and none takes it
// for dead. The calls wait in parallel, so the answer time runs out once.
TEST(CrossProcessTest, AStoppedOwnerIsSlowNotDead)
{
    Helper owner({"own-port", "stopped port", "5"});
    std::string line = owner.ReadLine();
    ASSERT_EQ(line.rfind("port ", 0), 0u) << line;
    port_id port = std::stoi(line.substr(5));
    const std::string signature = "application/x-vnd.VELMOR-Stopped";
    Helper app({"app", signature});
    ASSERT_GT(ready_port(app), 0);
    BMessenger toApp(signature.c_str());
    ASSERT_TRUE(toApp.IsValid());
    owner.Kill(SIGSTOP);
    app.Kill(SIGSTOP);

    port_info info;
    status_t infoStatus = B_OK, sendStatus = B_OK;
    port_id found = -1;
    std::thread asking([&] { infoStatus = get_port_info(port, &info); });
    std::thread finding([&] { found = find_port("stopped port"); });
    std::thread sending([&] {
        BMessage message('late');
        sendStatus = toApp.SendMessage(&message, BMessenger(), 100000);
    });
    for (std::thread* t : {&asking, &finding, &sending})
        t->join();
    EXPECT_EQ(infoStatus, B_TIMED_OUT);
    EXPECT_EQ(found, port);
    EXPECT_EQ(sendStatus, B_TIMED_OUT);

    owner.Kill(SIGCONT);
    app.Kill(SIGCONT);
    EXPECT_EQ(get_port_info(port, &info), B_OK);
    EXPECT_EQ(info.team, owner.Pid());
    EXPECT_TRUE(toApp.IsValid());
    EXPECT_EQ(toApp.SendMessage(B_QUIT_REQUESTED), B_OK);
    EXPECT_EQ(app.ReadLineStartingWith("quit requested"), "quit requested remote");
    EXPECT_EQ(app.Wait(), 0);
}

// An application that hangs in a handler still takes messages in (they
// queue behind the one it hangs in): a send with a time-out returns, and a
// broadcast goes on to the others.
TEST(CrossProcessTest, AHungApplicationHoldsUpNeitherSendsNorABroadcast)
{
    const std::string hungSignature = "application/x-vnd.VELMOR-Hung";
    const std::string otherSignature = "application/x-vnd.VELMOR-Other";
    Helper hung({"app", hungSignature});
    Helper other({"app", otherSignature});
    ASSERT_GT(ready_port(hung), 0);
    ASSERT_GT(ready_port(other), 0);
    BMessenger toHung(hungSignature.c_str());
    ASSERT_EQ(toHung.SendMessage('hang'), B_OK);
    ASSERT_EQ(hung.ReadLineStartingWith("got "), "got hang ");

    BMessage waiting('wait');
    for (int i = 0; i < 300; i++)   // more than the port holds
        ASSERT_EQ(toHung.SendMessage(&waiting, BMessenger(), 100000), B_OK) << i;
    EXPECT_TRUE(toHung.IsValid());

    BMessage message('brdc');
    message.AddString("text", "past the hung one");
    EXPECT_EQ(be_roster->Broadcast(&message), B_OK);
    EXPECT_EQ(other.ReadLineStartingWith("got "), "got brdc past the hung one");

    hung.Kill(SIGKILL);
    hung.Wait();
    EXPECT_EQ(BMessenger(otherSignature.c_str()).SendMessage(B_QUIT_REQUESTED), B_OK);
    EXPECT_EQ(other.Wait(), 0);
}

TEST(CrossProcessTest, GarbageWrittenToAnApplicationPortIsDropped)
{
    const std::string signature = "application/x-vnd.VELMOR-Garbage";
    Helper app({"app", signature});
    port_id port = ready_port(app);
    ASSERT_GT(port, 0);
    const char junk[] = "VMSG but not really a message at all";
    EXPECT_EQ(write_port(port, 0x706A7070, junk, sizeof junk), B_OK);
    EXPECT_EQ(write_port(port, 0x706A7070, nullptr, 0), B_OK);
    EXPECT_EQ(write_port(port, 12345, junk, sizeof junk), B_OK);
    BMessage good('good');
    good.AddString("text", "after the garbage");
    status_t result;
    BMessenger messenger(signature.c_str(), -1, &result);
    ASSERT_EQ(result, B_OK);
    EXPECT_FALSE(messenger.IsTargetLocal());
    EXPECT_EQ(messenger.Team(), app.Pid());
    EXPECT_EQ(messenger.SendMessage(&good), B_OK);
    EXPECT_EQ(app.ReadLineStartingWith("got "), "got good after the garbage");
    EXPECT_EQ(messenger.SendMessage(B_QUIT_REQUESTED), B_OK);
    EXPECT_EQ(app.ReadLine(), "quit requested remote");
    EXPECT_EQ(app.ReadLine(), "bye");
    EXPECT_EQ(app.Wait(), 0);
    EXPECT_FALSE(messenger.IsValid());
    EXPECT_EQ(messenger.SendMessage('late'), B_BAD_PORT_ID);
}

TEST(CrossProcessTest, BroadcastReachesThreeApplicationsInOtherProcesses)
{
    std::vector<std::string> signatures = {"application/x-vnd.VELMOR-One",
                                           "application/x-vnd.VELMOR-Two",
                                           "application/x-vnd.VELMOR-Three"};
    std::vector<std::unique_ptr<Helper>> apps;
    for (const std::string& signature : signatures)
        apps.push_back(std::make_unique<Helper>(std::vector<std::string> {"app", signature}));
    for (auto& app : apps)
        ASSERT_GT(ready_port(*app), 0);
    for (size_t i = 0; i < apps.size(); i++) {
        app_info info;
        ASSERT_EQ(be_roster->GetAppInfo(signatures[i].c_str(), &info), B_OK);
        EXPECT_EQ(info.team, apps[i]->Pid());
    }

    Helper broadcaster({"broadcast", "brdc", "hello"});
    EXPECT_EQ(broadcaster.ReadLine(), "status 0");
    EXPECT_EQ(broadcaster.Wait(), 0);
    BMessage again('brd2');
    again.AddString("text", "again");
    EXPECT_EQ(be_roster->Broadcast(&again), B_OK);
    for (auto& app : apps) {
        EXPECT_EQ(app->ReadLineStartingWith("got "), "got brdc hello");
        EXPECT_EQ(app->ReadLineStartingWith("got "), "got brd2 again");
    }
    for (size_t i = 0; i < apps.size(); i++) {
        status_t found = B_ERROR;
        BMessenger quitter(signatures[i].c_str(), -1, &found);
        EXPECT_EQ(found, B_OK) << i;
        status_t sent = quitter.SendMessage(B_QUIT_REQUESTED);
        EXPECT_EQ(sent, B_OK) << i;
        EXPECT_EQ(apps[i]->ReadLine(), "quit requested remote");
        EXPECT_EQ(apps[i]->ReadLine(), "bye");
        EXPECT_EQ(apps[i]->Wait(), 0);
        EXPECT_FALSE(be_roster->IsRunning(signatures[i].c_str()));
    }
}

TEST(CrossProcessTest, AReplyComesBackFromAnotherProcess)
{
    class Asker : public BHandler {
    public:
        void MessageReceived(BMessage* message) override
        {
            if (message->what == 'rply' && message->IsReply() && message->IsSourceRemote())
                replies.fetch_add(1);
        }
        std::atomic<int> replies {0};
    };
    BApplication* own = new BApplication("application/x-vnd.VELMOR-Asker");
    Asker* asker = new Asker;
    own->AddHandler(asker);
    std::thread runner([&] { own->Run(); });

    const std::string signature = "application/x-vnd.VELMOR-Answerer";
    Helper app({"app", signature});
    ASSERT_GT(ready_port(app), 0);
    BMessage echo('echo');
    echo.AddString("text", "please answer");
    EXPECT_EQ(BMessenger(signature.c_str()).SendMessage(&echo, asker), B_OK);
    EXPECT_EQ(app.ReadLineStartingWith("got "), "got echo please answer");
    EXPECT_TRUE(eventually([&] { return asker->replies.load() == 1; }));

    BMessenger(signature.c_str()).SendMessage(B_QUIT_REQUESTED);
    EXPECT_EQ(app.Wait(), 0);
    own->PostMessage(B_QUIT_REQUESTED);
    runner.join();
    own->Lock();
    own->RemoveHandler(asker);
    delete asker;
    delete own;
}

} // namespace
