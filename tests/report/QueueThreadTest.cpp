#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "report/QueueThread.h"
#include "support/FileSystemSupport.h"

using namespace qbase;
using testing_support::WaitUntil;

namespace {

// A manual-reset event that blocked threads wait on until the test opens it.
struct Gate {
    base::unique_handle event{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    void Open() { ::SetEvent(event.get()); }
    void Pass() { ::WaitForSingleObject(event.get(), INFINITE); }
};

using TextQueue = qxQueueThreadRun<std::string, 4, CriticalSectionLocker>;

// Captures the queue thread's exit code.
class RecordingQueue : public TextQueue {
public:
    void AfterThreadFun(int result) override {
        TextQueue::AfterThreadFun(result);
        exitCode = result;
        ended = true;
    }
    std::atomic<int> exitCode{1};
    std::atomic<bool> ended{false};
};

// Records the items it is handed; with a gate, each waits for it first.
class Collector : public TextQueue::_CallBack {
public:
    explicit Collector(Gate* gate = nullptr) : gate_(gate) {}
    void OnQueueItem(DWORD userValue, std::string& item) override {
        ++entered;
        if (gate_) gate_->Pass();
        std::lock_guard<std::mutex> guard(lock_);
        items.push_back(item);
        users.push_back(userValue);
        threads.push_back(::GetCurrentThreadId());
    }
    size_t count() {
        std::lock_guard<std::mutex> guard(lock_);
        return items.size();
    }
    std::atomic<int> entered{0};
    std::vector<std::string> items;
    std::vector<DWORD> users;
    std::vector<DWORD> threads;

private:
    Gate* gate_;
    std::mutex lock_;
};

}  // namespace

TEST(QueueThread, NeedsCallbackAndRunningThreadForInsert) {
    RecordingQueue queue;
    EXPECT_EQ(queue.Start(), kThreadNoCallback);
    EXPECT_FALSE(queue.Insert("early"));
    EXPECT_EQ(queue.Kill(), kThreadNotRunning);
    EXPECT_EQ(queue.WaitKill(10), kThreadNotRunning);
    Collector collector;
    Collector ignored;
    queue.Init(&collector, 12);
    queue.Init(&ignored, 99);  // only the first Init counts
    ASSERT_EQ(queue.Start(), kThreadOk);
    EXPECT_EQ(queue.Start(), kThreadAlreadyRunning);
    EXPECT_TRUE(queue.Insert("one"));
    ASSERT_TRUE(WaitUntil([&] { return collector.count() == 1; }));
    EXPECT_EQ(ignored.count(), 0u);
    EXPECT_EQ(collector.users[0], 12u);
    EXPECT_EQ(queue.WaitKill(5000), kThreadOk);
    EXPECT_TRUE(queue.ended);
    EXPECT_EQ(queue.exitCode, kQueueStopped);
    EXPECT_FALSE(queue.Insert("late"));
}

TEST(QueueThread, ItemsReachCallbackInOrderOnTheWorker) {
    RecordingQueue queue;
    Gate gate;
    Collector collector(&gate);
    queue.Init(&collector, 3);
    ASSERT_EQ(queue.Start(), kThreadOk);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(queue.Insert("item" + std::to_string(i)));
    // The first item stays queued while its callback runs.
    EXPECT_EQ(queue.size(), 20u);
    gate.Open();
    ASSERT_TRUE(WaitUntil([&] { return collector.count() == 20; }));
    EXPECT_TRUE(WaitUntil([&] { return queue.size() == 0; }));
    for (int i = 0; i < 20; ++i) EXPECT_EQ(collector.items[i], "item" + std::to_string(i));
    EXPECT_NE(collector.threads[0], ::GetCurrentThreadId());
    EXPECT_TRUE(queue.IsRunning());  // an empty queue waits, it does not end
}

TEST(QueueThread, StopDropsPendingItems) {
    RecordingQueue queue;
    Gate gate;
    Collector collector(&gate);
    queue.Init(&collector, 0);
    ASSERT_EQ(queue.Start(), kThreadOk);
    for (const char* item : {"a", "b", "c"}) ASSERT_TRUE(queue.Insert(item));
    ASSERT_TRUE(WaitUntil([&] { return collector.entered == 1; }));
    // Open the gate from another thread once the stop has been requested.
    std::thread opener([&] {
        ::Sleep(100);
        gate.Open();
    });
    EXPECT_EQ(queue.WaitKill(5000), kThreadOk);
    opener.join();
    EXPECT_EQ(queue.exitCode, kQueueStopped);
    EXPECT_EQ(collector.count(), 1u);  // a pending stop wins over the remaining items
    EXPECT_EQ(queue.size(), 0u);
}

TEST(QueueThread, IdleTimeOutEndsTheThread) {
    RecordingQueue queue;
    Collector collector;
    queue.Init(&collector, 0);
    queue.SetTimeOut(100);
    ASSERT_EQ(queue.Start(), kThreadOk);
    ASSERT_TRUE(queue.Insert("x"));
    ASSERT_TRUE(WaitUntil([&] { return queue.ended.load(); }));
    EXPECT_EQ(queue.exitCode, kQueueTimedOut);
    EXPECT_EQ(collector.count(), 1u);
    ASSERT_TRUE(WaitUntil([&] { return !queue.IsRunning(); }));
    EXPECT_EQ(queue.GetHandle(), nullptr);  // the thread closed its own handle
    EXPECT_FALSE(queue.Insert("y"));
}

// Kill, or a stop whose wait times out, ends a thread blocked in its callback.
TEST(QueueThread, KillTerminatesABlockedCallback) {
    for (const bool waitFirst : {false, true}) {
        Gate gate;
        Collector collector(&gate);
        {
            RecordingQueue queue;
            queue.Init(&collector, 0);
            ASSERT_EQ(queue.Start(), kThreadOk);
            ASSERT_TRUE(queue.Insert("stuck"));
            ASSERT_TRUE(WaitUntil([&] { return collector.entered == 1; }));
            EXPECT_EQ(waitFirst ? queue.WaitKill(50) : queue.Kill(), kThreadOk);
            EXPECT_FALSE(queue.IsRunning());
            EXPECT_FALSE(queue.ended);  // a killed thread runs no clean-up hook
            EXPECT_FALSE(queue.Insert("after kill"));
        }  // destruction of a stopped queue returns at once
        EXPECT_EQ(collector.count(), 0u);
    }
}
