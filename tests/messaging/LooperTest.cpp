// Loopers, handlers, filters and messengers within one process, under load
// and at the edges: order per sender, filters applied once, posting to
// oneself, quitting with messages pending, redirection, replies, locks of
// a looper that has gone.
#include <TestSupport.h>

#include "MessagingTestSupport.h"

#include <Handler.h>
#include <Looper.h>
#include <Message.h>
#include <MessageFilter.h>
#include <Messenger.h>
#include <OS.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

using suite_test::eventually;

namespace {

constexpr uint32 kLoad = 'load';

// Records what reaches it; everything it does runs in its looper's thread.
class Recorder : public BHandler {
public:
    explicit Recorder(const char* name = "recorder") : BHandler(name) {}

    void MessageReceived(BMessage* message) override
    {
        std::lock_guard<std::mutex> guard(lock);
        whats.push_back(message->what);
        int32 sender, seq;
        if (message->FindInt32("sender", &sender) == B_OK && message->FindInt32("seq", &seq) == B_OK) {
            if (lastSeq.count(sender) && lastSeq[sender] >= seq)
                outOfOrder++;
            lastSeq[sender] = seq;
            int32 seen = 0;
            type_code type;
            if (message->GetInfo("filtered", &type, &seen) != B_OK || seen != 1)
                badFilterCount++;
        }
        if (Looper() != nullptr && !Looper()->IsLocked())
            unlockedDispatch++;
        if (message->IsReply())
            replies++;
        if (message->what == 'echo')
            message->SendReply('rply');
        if (message->what == 'dup!') {
            message->SendReply('rply');
            duplicateReply = message->SendReply('rply');
        }
        count++;
    }

    size_t Count() const { return count.load(); }

    std::mutex lock;
    std::vector<uint32> whats;
    std::map<int32, int32> lastSeq;
    int outOfOrder = 0;
    int badFilterCount = 0;
    int unlockedDispatch = 0;
    int replies = 0;
    status_t duplicateReply = B_OK;
    std::atomic<size_t> count {0};
};

// A looper whose destruction is seen from outside.
class WatchedLooper : public BLooper {
public:
    WatchedLooper(std::atomic<bool>* gone, const char* name = "watched")
        : BLooper(name), fGone(gone) {}
    ~WatchedLooper() override { fGone->store(true); }

    void MessageReceived(BMessage* message) override
    {
        if (message->what == 'self') {
            int32 left = 0;
            message->FindInt32("left", &left);
            selfPosts++;
            if (left > 0) {
                BMessage next('self');
                next.AddInt32("left", left - 1);
                PostMessage(&next);
            }
            return;
        }
        if (message->what == 'gate') {
            handled++;
            if (seen != nullptr)
                seen->fetch_add(1);
            while (!open.load())
                usleep(1000);
            if (quitInside)
                Quit();
            return;
        }
        handled++;
        if (seen != nullptr)
            seen->fetch_add(1);
    }

    std::atomic<bool>* fGone;
    std::atomic<int>* seen = nullptr;   // counts what it handled, past its deletion
    std::atomic<int> selfPosts {0};
    std::atomic<int> handled {0};
    std::atomic<bool> open {false};
    bool quitInside = false;
};

class CountingFilter : public BMessageFilter {
public:
    CountingFilter() : BMessageFilter(B_ANY_DELIVERY, B_ANY_SOURCE) {}
    filter_result Filter(BMessage* message, BHandler**) override
    {
        if (message->what == kLoad)
            message->AddBool("filtered", true);
        calls++;
        return B_DISPATCH_MESSAGE;
    }
    std::atomic<int> calls {0};
};

TEST(LooperTest, ManyThreadsPostingKeepOrderPerSenderAndFilterOnce)
{
    BLooper* looper = new BLooper("load");
    Recorder* recorder = new Recorder;
    looper->AddHandler(recorder);
    CountingFilter* filter = new CountingFilter;
    looper->AddCommonFilter(filter);
    looper->Run();

    constexpr int kThreads = 6;
    constexpr int kEach = 2000;
    BMessenger target(recorder);
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; t++) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; i++) {
                BMessage message(kLoad);
                message.AddInt32("sender", t);
                message.AddInt32("seq", i);
                if (i % 2 == 0)
                    ASSERT_EQ(target.SendMessage(&message), B_OK);
                else
                    ASSERT_EQ(looper->PostMessage(&message, recorder), B_OK);
            }
        });
    }
    for (std::thread& poster : posters)
        poster.join();
    ASSERT_TRUE(eventually([&] { return recorder->Count() == kThreads * kEach; }));
    ASSERT_TRUE(looper->Lock());
    EXPECT_EQ(recorder->outOfOrder, 0);
    EXPECT_EQ(recorder->badFilterCount, 0);
    EXPECT_EQ(recorder->unlockedDispatch, 0);
    EXPECT_EQ(filter->calls.load(), kThreads * kEach);
    looper->Quit();
    EXPECT_FALSE(target.IsValid());
}

TEST(LooperTest, AHandlerPostingToItsOwnLooperDoesNotDeadlock)
{
    std::atomic<bool> gone {false};
    WatchedLooper* looper = new WatchedLooper(&gone);
    looper->Run();
    BMessage first('self');
    first.AddInt32("left", 500);
    looper->PostMessage(&first);
    EXPECT_TRUE(eventually([&] { return looper->selfPosts.load() == 501; }));
    looper->Lock();
    looper->Quit();
    EXPECT_TRUE(gone.load());
}

TEST(LooperTest, QuitFromAnotherThreadDropsPendingMessages)
{
    std::atomic<bool> gone {false};
    std::atomic<int> seen {0};
    WatchedLooper* looper = new WatchedLooper(&gone);
    looper->seen = &seen;
    thread_id thread = looper->Run();
    ASSERT_TRUE(looper->Lock());
    // The looper thread waits for the lock; everything queued now stays
    // pending until Quit.
    for (int i = 0; i < 50; i++)
        looper->PostMessage('msg ');
    looper->Quit();
    status_t value;
    wait_for_thread(thread, &value);
    EXPECT_TRUE(gone.load());
    EXPECT_EQ(seen.load(), 0);
}

TEST(LooperTest, QuitInsideAHandlerStopsAfterTheCurrentMessage)
{
    std::atomic<bool> gone {false};
    std::atomic<int> seen {0};
    WatchedLooper* looper = new WatchedLooper(&gone);
    looper->seen = &seen;
    looper->quitInside = true;
    thread_id thread = looper->Run();
    looper->PostMessage('gate');
    ASSERT_TRUE(eventually([&] { return looper->handled.load() == 1; }));
    for (int i = 0; i < 100; i++)
        looper->PostMessage('msg ');
    looper->open.store(true);
    status_t value;
    EXPECT_EQ(wait_for_thread(thread, &value), B_OK);
    EXPECT_TRUE(gone.load());
    EXPECT_EQ(seen.load(), 1);   // the gate, none of what queued behind it
}

TEST(LooperTest, QuitRequestedMessageQuitsTheLooper)
{
    std::atomic<bool> gone {false};
    WatchedLooper* looper = new WatchedLooper(&gone);
    thread_id thread = looper->Run();
    BMessenger messenger(looper);
    EXPECT_EQ(messenger.SendMessage(B_QUIT_REQUESTED), B_OK);
    status_t value;
    wait_for_thread(thread, &value);
    EXPECT_TRUE(gone.load());
    EXPECT_FALSE(messenger.IsValid());
    EXPECT_EQ(messenger.SendMessage('late'), B_BAD_PORT_ID);
    EXPECT_FALSE(messenger.LockTarget());
}

TEST(LooperTest, ALooperThatNeverRanIsDeletedByQuit)
{
    std::atomic<bool> gone {false};
    WatchedLooper* looper = new WatchedLooper(&gone);
    EXPECT_TRUE(looper->IsLocked());
    EXPECT_EQ(looper->CountLocks(), 1);
    looper->Quit();
    EXPECT_TRUE(gone.load());
}

TEST(LooperTest, LocksAreRecursiveAndOwned)
{
    BLooper* looper = new BLooper("locks");
    looper->Run();
    ASSERT_TRUE(looper->Lock());
    ASSERT_TRUE(looper->Lock());
    EXPECT_EQ(looper->CountLocks(), 2);
    EXPECT_EQ(looper->LockingThread(), find_thread(nullptr));
    std::atomic<status_t> other {B_OK};
    std::thread([&] {
        other.store(looper->LockWithTimeout(1000));
        EXPECT_FALSE(looper->IsLocked());
    }).join();
    EXPECT_EQ(other.load(), B_TIMED_OUT);
    looper->Unlock();
    looper->Unlock();
    EXPECT_FALSE(looper->IsLocked());
    Recorder* handler = new Recorder;
    looper->Lock();
    looper->AddHandler(handler);
    looper->Unlock();
    EXPECT_TRUE(handler->LockLooper());
    EXPECT_TRUE(looper->IsLocked());
    handler->UnlockLooper();
    looper->Lock();
    looper->RemoveHandler(handler);
    looper->Quit();
    EXPECT_FALSE(handler->LockLooper());
    delete handler;
}

// Redirects key-downs to another handler, as a shortcut filter does.
class RedirectFilter : public BMessageFilter {
public:
    explicit RedirectFilter(BHandler* to) : BMessageFilter('keyd'), fTo(to) {}
    filter_result Filter(BMessage*, BHandler** target) override
    {
        *target = fTo != nullptr ? fTo : Looper();
        return B_DISPATCH_MESSAGE;
    }
    BHandler* fTo;
};

filter_result skip_all(BMessage*, BHandler**, BMessageFilter*)
{
    return B_SKIP_MESSAGE;
}

TEST(LooperTest, FiltersRedirectSkipAndSeeOnlyTheirCommand)
{
    std::atomic<bool> gone {false};
    WatchedLooper* looper = new WatchedLooper(&gone);
    Recorder* focus = new Recorder("focus");
    Recorder* shortcuts = new Recorder("shortcuts");
    looper->AddHandler(focus);
    looper->AddHandler(shortcuts);
    looper->AddCommonFilter(new RedirectFilter(shortcuts));
    focus->AddFilter(new BMessageFilter('drop', skip_all));
    looper->Run();

    looper->PostMessage('keyd', focus);
    looper->PostMessage('text', focus);
    looper->PostMessage('drop', focus);
    looper->PostMessage('last', focus);
    ASSERT_TRUE(eventually([&] { return focus->Count() == 2; }));
    ASSERT_TRUE(looper->Lock());
    EXPECT_EQ(focus->whats, (std::vector<uint32> {'text', 'last'}));
    EXPECT_EQ(shortcuts->whats, (std::vector<uint32> {'keyd'}));

    looper->Quit();
}

TEST(LooperTest, AFilterWithoutAHandlerRedirectsToItsLooper)
{
    std::atomic<bool> gone {false};
    WatchedLooper* looper = new WatchedLooper(&gone);
    Recorder* focus = new Recorder("focus");
    looper->AddHandler(focus);
    focus->AddFilter(new RedirectFilter(nullptr));
    looper->Run();
    looper->PostMessage('keyd', focus);
    EXPECT_TRUE(eventually([&] { return looper->handled.load() == 1; }));
    looper->Lock();
    EXPECT_EQ(focus->Count(), 0u);
    looper->Quit();
}

TEST(LooperTest, ARedirectToAnotherLooperDropsTheMessage)
{
    BLooper* first = new BLooper("first");
    BLooper* second = new BLooper("second");
    Recorder* here = new Recorder("here");
    Recorder* there = new Recorder("there");
    first->AddHandler(here);
    second->AddHandler(there);
    here->AddFilter(new RedirectFilter(there));
    first->Run();
    second->Run();
    first->PostMessage('keyd', here);
    first->PostMessage('done', here);
    ASSERT_TRUE(eventually([&] { return here->Count() == 1; }));
    second->Lock();
    EXPECT_EQ(there->Count(), 0u);
    second->Quit();
    first->Lock();
    EXPECT_EQ(here->whats, (std::vector<uint32> {'done'}));
    first->Quit();
}

TEST(LooperTest, MessengersCheckTheirTargetAndRepliesComeBack)
{
    Recorder lonely;
    status_t result = B_OK;
    BMessenger unattached(&lonely, nullptr, &result);
    EXPECT_EQ(result, B_MISMATCHED_VALUES);
    EXPECT_FALSE(unattached.IsValid());
    BMessenger none(nullptr, nullptr, &result);
    EXPECT_EQ(result, B_BAD_VALUE);
    EXPECT_EQ(none.SendMessage('none'), B_BAD_PORT_ID);

    BLooper* looper = new BLooper("replies");
    Recorder* asker = new Recorder("asker");
    Recorder* answerer = new Recorder("answerer");
    looper->AddHandler(asker);
    looper->AddHandler(answerer);
    looper->Run();
    BMessenger toAnswerer(answerer, looper, &result);
    EXPECT_EQ(result, B_OK);
    EXPECT_TRUE(toAnswerer.IsTargetLocal());
    BLooper* owner = nullptr;
    EXPECT_EQ(toAnswerer.Target(&owner), answerer);
    EXPECT_EQ(owner, looper);
    EXPECT_EQ(toAnswerer, BMessenger(answerer));

    EXPECT_EQ(toAnswerer.SendMessage('echo', asker), B_OK);
    EXPECT_EQ(toAnswerer.SendMessage('dup!', asker), B_OK);
    ASSERT_TRUE(eventually([&] { return asker->Count() == 2; }));
    looper->Lock();
    EXPECT_EQ(asker->replies, 2);
    EXPECT_EQ(asker->whats, (std::vector<uint32> {'rply', 'rply'}));
    EXPECT_EQ(answerer->duplicateReply, B_DUPLICATE_REPLY);
    looper->Quit();

    BMessage never('nevr');
    EXPECT_EQ(never.SendReply('rply'), B_BAD_REPLY);
}

TEST(LooperTest, CurrentAndDetachedMessages)
{
    class Keeper : public BLooper {
    public:
        Keeper() : BLooper("keeper") {}
        void MessageReceived(BMessage* message) override
        {
            if (CurrentMessage() == message && message->WasDelivered())
                kept.reset(DetachCurrentMessage());
        }
        std::unique_ptr<BMessage> kept;
    };
    Keeper* keeper = new Keeper;
    keeper->Run();
    BMessage message('keep');
    message.AddString("text", "still here");
    keeper->PostMessage(&message);
    ASSERT_TRUE(eventually([&] {
        keeper->Lock();
        bool done = keeper->kept != nullptr;
        keeper->Unlock();
        return done;
    }));
    keeper->Lock();
    const char* text = nullptr;
    EXPECT_EQ(keeper->kept->FindString("text", &text), B_OK);
    EXPECT_STREQ(text, "still here");
    EXPECT_EQ(keeper->CurrentMessage(), nullptr);
    keeper->Quit();
}

// Misuse of ownership is refused and reported, never left to end in a
// double delete: a filter belongs to one handler or looper, a handler to
// one looper, and a handler deleted while in a looper leaves it.
TEST(LooperTest, OwnershipMisuseIsRefused)
{
    BLooper* first = new BLooper("first");    // locked from birth
    BLooper* second = new BLooper("second");
    auto* filter = new CountingFilter;
    auto* handler = new BHandler("handler");

    testing::internal::CaptureStderr();
    first->AddCommonFilter(filter);
    first->AddCommonFilter(filter);
    second->AddCommonFilter(filter);
    handler->AddFilter(filter);
    first->AddHandler(handler);
    second->AddHandler(handler);
    const std::string reports = testing::internal::GetCapturedStderr();

    EXPECT_EQ(first->CountCommonFilters(), 1);
    EXPECT_EQ(second->CountCommonFilters(), 0);
    EXPECT_EQ(handler->CountFilters(), 0);
    EXPECT_EQ(handler->Looper(), first);
    EXPECT_EQ(second->IndexOf(handler), -1);
    EXPECT_NE(reports.find("debugger: BLooper::AddCommonFilter"), std::string::npos) << reports;
    EXPECT_NE(reports.find("debugger: BLooper::AddHandler"), std::string::npos) << reports;

    // Taken out, the filter may go elsewhere.
    EXPECT_TRUE(first->RemoveCommonFilter(filter));
    handler->AddFilter(filter);
    EXPECT_EQ(handler->CountFilters(), 1);

    const int32 handlers = first->CountHandlers();
    delete handler;   // deletes its filter too
    EXPECT_EQ(first->CountHandlers(), handlers - 1);
    first->Quit();
    second->Quit();
}

} // namespace
