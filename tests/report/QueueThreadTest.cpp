#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <mutex>
#include <string>
#include <vector>

#include "report/QueueThread.h"

using namespace qbase;

namespace {

// A thread that blocks until released and records the order of its hooks.
class GateThread : public qxThreadBase<CriticalSectionLocker> {
public:
    GateThread() : gate_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~GateThread() override {
        ::SetEvent(gate_.get());
        WaitKill(5000);
    }
    void BeginThreadFun() override { Note("begin"); }
    void AfterThreadFun(int result) override { Note("after:" + std::to_string(result)); }
    int threadFunImpl(DWORD userValue, void* parameter) override {
        seenUser = userValue;
        seenParameter = parameter;
        Note("run");
        ::WaitForSingleObject(gate_.get(), INFINITE);
        return 7;
    }
    void Open() { ::SetEvent(gate_.get()); }
    std::vector<std::string> Log() {
        std::lock_guard<std::mutex> guard(lock_);
        return log_;
    }

    std::atomic<DWORD> seenUser{0};
    std::atomic<void*> seenParameter{nullptr};

private:
    void Note(const std::string& s) {
        std::lock_guard<std::mutex> guard(lock_);
        log_.push_back(s);
    }
    base::unique_handle gate_;
    std::mutex lock_;
    std::vector<std::string> log_;
};

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000) {
    const DWORD start = ::GetTickCount();
    while (!condition()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(5);
    }
    return true;
}

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

class Collector : public TextQueue::_CallBack {
public:
    explicit Collector(HANDLE gate = nullptr) : gate_(gate) {}
    void OnQueueItem(DWORD userValue, std::string& item) override {
        if (gate_ != nullptr) ::WaitForSingleObject(gate_, INFINITE);
        std::lock_guard<std::mutex> guard(lock_);
        items.push_back(item);
        users.push_back(userValue);
        threads.push_back(::GetCurrentThreadId());
    }
    size_t count() {
        std::lock_guard<std::mutex> guard(lock_);
        return items.size();
    }
    std::vector<std::string> items;
    std::vector<DWORD> users;
    std::vector<DWORD> threads;

private:
    HANDLE gate_;
    std::mutex lock_;
};

}  // namespace

TEST(ThreadBase, StartStopCodesAndHookOrder) {
    GateThread thread;
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.Kill(), kThreadNotRunning);
    EXPECT_EQ(thread.WaitKill(10), kThreadNotRunning);
    int parameter = 0;
    ASSERT_EQ(thread.StartThread(&parameter), kThreadOk);
    EXPECT_TRUE(thread.IsRunning());  // StartThread returns only once the thread runs
    EXPECT_EQ(thread.StartThread(nullptr), kThreadAlreadyRunning);
    ASSERT_TRUE(WaitUntil([&] { return thread.Log().size() >= 2; }));
    EXPECT_EQ(thread.seenUser.load(), kDefaultUserValue);
    EXPECT_EQ(thread.seenParameter.load(), &parameter);
    thread.Open();
    ASSERT_TRUE(WaitUntil([&] { return !thread.IsRunning(); }));
    EXPECT_EQ(thread.Log(), (std::vector<std::string>{"begin", "run", "after:7"}));
    EXPECT_EQ(thread.GetHandle(), nullptr);  // the thread closed its own handle
    EXPECT_EQ(thread.Kill(), kThreadNotRunning);
}

TEST(ThreadBase, KillAndWaitKillEndABlockedThread) {
    GateThread thread;
    ASSERT_EQ(thread.StartThread(nullptr), kThreadOk);
    EXPECT_EQ(thread.Kill(), kThreadOk);
    EXPECT_FALSE(thread.IsRunning());

    GateThread other;
    other.SetUserValue(55);
    ASSERT_EQ(other.StartThread(nullptr), kThreadOk);
    EXPECT_EQ(other.WaitKill(50), kThreadOk);  // times out, then kills
    EXPECT_FALSE(other.IsRunning());
    EXPECT_EQ(other.seenUser.load(), 55u);
    // A killed thread can be started again.
    ASSERT_EQ(other.StartThread(nullptr), kThreadOk);
    other.Open();
    ASSERT_TRUE(WaitUntil([&] { return !other.IsRunning(); }));
}

TEST(QueueThread, NeedsCallbackAndRunningThreadForInsert) {
    RecordingQueue queue;
    EXPECT_EQ(queue.Start(), kThreadNoCallback);
    EXPECT_FALSE(queue.Insert("early"));
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
    base::unique_handle gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Collector collector(gate.get());
    queue.Init(&collector, 3);
    ASSERT_EQ(queue.Start(), kThreadOk);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(queue.Insert("item" + std::to_string(i)));
    // The first item stays queued while its callback runs.
    EXPECT_EQ(queue.size(), 20u);
    ::SetEvent(gate.get());
    ASSERT_TRUE(WaitUntil([&] { return collector.count() == 20; }));
    EXPECT_TRUE(WaitUntil([&] { return queue.size() == 0; }));
    for (int i = 0; i < 20; ++i) EXPECT_EQ(collector.items[i], "item" + std::to_string(i));
    EXPECT_NE(collector.threads[0], ::GetCurrentThreadId());
    EXPECT_TRUE(queue.IsRunning());  // an empty queue waits, it does not end
}

TEST(QueueThread, StopDropsPendingItems) {
    RecordingQueue queue;
    base::unique_handle gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Collector collector(gate.get());
    queue.Init(&collector, 0);
    ASSERT_EQ(queue.Start(), kThreadOk);
    ASSERT_TRUE(queue.Insert("a"));
    ASSERT_TRUE(queue.Insert("b"));
    ASSERT_TRUE(queue.Insert("c"));
    ASSERT_TRUE(WaitUntil([&] { return queue.size() == 3; }));
    ::Sleep(50);  // let the worker enter the first callback
    // Open the gate from another thread once the stop has been requested.
    std::thread opener([&] {
        ::Sleep(100);
        ::SetEvent(gate.get());
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
    EXPECT_FALSE(queue.Insert("y"));
    EXPECT_EQ(queue.WaitKill(10), kThreadNotRunning);
}

TEST(QueueThread, KillTerminatesABlockedCallback) {
    base::unique_handle gate(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Collector collector(gate.get());
    {
        RecordingQueue queue;
        queue.Init(&collector, 0);
        ASSERT_EQ(queue.Start(), kThreadOk);
        ASSERT_TRUE(queue.Insert("stuck"));
        ::Sleep(50);
        EXPECT_EQ(queue.Kill(), kThreadOk);
        EXPECT_FALSE(queue.IsRunning());
        EXPECT_FALSE(queue.ended);  // a killed thread runs no clean-up hook
        EXPECT_FALSE(queue.Insert("after kill"));
    }  // destruction of a stopped queue returns at once
    EXPECT_EQ(collector.count(), 0u);
}
