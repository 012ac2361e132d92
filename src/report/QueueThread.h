// Generic worker-thread templates: a thread with start/stop bookkeeping, and a
// thread that hands queued items to a callback one at a time.
#pragma once

#include <windows.h>
#include <process.h>

#include <atomic>
#include <cstdint>
#include <deque>

#include "base/unique_any.h"

namespace qbase {

constexpr DWORD kLockSpinCount = 2000;
constexpr DWORD kDefaultUserValue = 916;
constexpr DWORD kKillWaitOnDestroyMs = 1500;
constexpr DWORD kStartPollMs = 1;

enum ThreadCode : int {
    kThreadOk = 0,
    kThreadAlreadyRunning = -1,
    kThreadCreateFailed = -2,
    kThreadNotRunning = -3,
    kThreadNoCallback = -5,
};

// Exit codes of the queue thread's body.
enum QueueExitCode : int {
    kQueueStopped = -1,
    kQueueTimedOut = -2,
    kQueueWaitFailed = -3,
};

// Lock policy: a critical section with a spin count.
class CriticalSectionLocker {
public:
    CriticalSectionLocker() noexcept { ::InitializeCriticalSectionAndSpinCount(&cs_, kLockSpinCount); }
    ~CriticalSectionLocker() { ::DeleteCriticalSection(&cs_); }
    CriticalSectionLocker(const CriticalSectionLocker&) = delete;
    CriticalSectionLocker& operator=(const CriticalSectionLocker&) = delete;
    void Lock() noexcept { ::EnterCriticalSection(&cs_); }
    void Unlock() noexcept { ::LeaveCriticalSection(&cs_); }

private:
    CRITICAL_SECTION cs_;
};

template <class Locker>
class LockScope {
public:
    explicit LockScope(Locker& locker) noexcept : locker_(locker) { locker_.Lock(); }
    ~LockScope() { locker_.Unlock(); }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    Locker& locker_;
};

template <class Locker>
class qxThreadBase {
public:
    using ThreadProc = unsigned(__stdcall*)(void*);

    qxThreadBase() = default;
    qxThreadBase(const qxThreadBase&) = delete;
    qxThreadBase& operator=(const qxThreadBase&) = delete;

    virtual void BeginThreadFun() {}
    virtual void AfterThreadFun(int /*result*/) {}
    // Runs in WaitKill once the thread was found running, before the wait:
    // the place to ask the thread to end by itself.
    virtual void BeforeWait() {}
    virtual ~qxThreadBase() { Kill(); }

    // Terminates a running thread: 0, or -3 when it is not running.
    virtual int Kill() {
        LockScope<Locker> start(start_lock_);
        LockScope<Locker> state(state_lock_);
        if (!running_) return kThreadNotRunning;
        ::TerminateThread(thread_.get(), 0);
        thread_.reset();
        running_ = false;
        return kThreadOk;
    }

    // Waits for the thread to end and kills it when the wait times out.
    virtual int WaitKill(DWORD milliseconds) {
        base::unique_handle waitable;
        {
            LockScope<Locker> state(state_lock_);
            if (!running_) return kThreadNotRunning;
            // The thread closes its own handle when it ends: wait on a copy.
            HANDLE copy = nullptr;
            if (::DuplicateHandle(::GetCurrentProcess(), thread_.get(), ::GetCurrentProcess(), &copy, SYNCHRONIZE,
                                  FALSE, 0)) {
                waitable.reset(copy);
            }
        }
        BeforeWait();
        if (!waitable || ::WaitForSingleObject(waitable.get(), milliseconds) == WAIT_TIMEOUT) Kill();
        return kThreadOk;
    }

    virtual int threadFunImpl(DWORD userValue, void* parameter) = 0;

    // 0 once the thread runs; -1 when already running; -2 when it cannot be created.
    int StartThread(void* parameter) {
        LockScope<Locker> start(start_lock_);
        {
            LockScope<Locker> state(state_lock_);
            if (running_) return kThreadAlreadyRunning;
            parameter_ = parameter;
            started_ = false;
            unsigned id = 0;
            HANDLE handle = QCreateThread(true, &qxThreadBase::ThreadEntry, this, &id);
            if (handle == nullptr) return kThreadCreateFailed;
            thread_.reset(handle);
            thread_id_ = id;
        }
        while (!started_) ::Sleep(kStartPollMs);
        return kThreadOk;
    }

    bool IsRunning() const noexcept { return running_; }
    BOOL SetPriority(int priority) {
        LockScope<Locker> state(state_lock_);
        return running_ ? ::SetThreadPriority(thread_.get(), priority) : FALSE;
    }
    HANDLE GetHandle() const noexcept { return thread_.get(); }
    DWORD GetThreadId() const noexcept { return thread_id_; }
    DWORD GetUserValue() const noexcept { return user_value_; }
    void SetUserValue(DWORD value) noexcept { user_value_ = value; }

    // A platform thread, or one of the runtime library (which sets up its
    // per-thread data); both give a handle the caller closes.
    static HANDLE QCreateThread(bool runtimeThread, ThreadProc proc, void* argument, unsigned* threadId) {
        if (runtimeThread) {
            return reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, argument, 0, threadId));
        }
        DWORD id = 0;
        HANDLE handle = ::CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(proc), argument, 0, &id);
        if (threadId != nullptr) *threadId = id;
        return handle;
    }

protected:
    Locker state_lock_;

private:
    static unsigned __stdcall ThreadEntry(void* self) {
        static_cast<qxThreadBase*>(self)->Body();
        return 0;
    }

    void Body() {
        // Set-up runs before the thread counts as running, so that a caller
        // whose StartThread returned finds it complete.
        BeginThreadFun();
        {
            LockScope<Locker> state(state_lock_);
            running_ = true;
        }
        started_ = true;
        const int result = threadFunImpl(user_value_, parameter_);
        AfterThreadFun(result);
        LockScope<Locker> state(state_lock_);
        running_ = false;
        thread_.reset();
    }

    Locker start_lock_;
    std::atomic<bool> running_{false};
    std::atomic<bool> started_{false};
    base::unique_handle thread_;
    DWORD thread_id_ = 0;
    DWORD user_value_ = kDefaultUserValue;
    void* parameter_ = nullptr;
};

template <class Item, int Unused, class Locker>
class qxQueueThreadRun : public qxThreadBase<Locker> {
public:
    class _CallBack {
    public:
        virtual void OnQueueItem(DWORD userValue, Item& item) = 0;  // slot 0

    protected:
        ~_CallBack() = default;
    };

    qxQueueThreadRun() = default;
    ~qxQueueThreadRun() override { this->WaitKill(kKillWaitOnDestroyMs); }

    // Takes effect only on the first call.
    void Init(_CallBack* callback, DWORD userValue) {
        if (initialised_) return;
        initialised_ = true;
        callback_ = callback;
        this->SetUserValue(userValue);
    }
    void SetTimeOut(DWORD milliseconds) noexcept { timeout_ = milliseconds; }

    int Start() {
        if (callback_ == nullptr) return kThreadNoCallback;
        return this->StartThread(nullptr);
    }

    // Queues a copy for the thread; false when the thread is not running.
    bool Insert(const Item& item) {
        if (!this->IsRunning()) return false;
        LockScope<Locker> queue(queue_lock_);
        if (!wake_) return false;  // the thread is ending
        queue_.push_back(item);
        ::SetEvent(wake_.get());
        return true;
    }

    size_t size() {
        LockScope<Locker> queue(queue_lock_);
        return queue_.size();
    }

    // The stop event is set only after the running check, so a thread that
    // ends on it still counts as waited for rather than as not running.
    void BeforeWait() override {
        LockScope<Locker> queue(queue_lock_);
        if (stop_) ::SetEvent(stop_.get());
    }

    int Kill() override {
        LockScope<Locker> queue(queue_lock_);
        return qxThreadBase<Locker>::Kill();
    }

    void BeginThreadFun() override {
        LockScope<Locker> queue(queue_lock_);
        stop_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        wake_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    }

    void AfterThreadFun(int /*result*/) override {
        LockScope<Locker> queue(queue_lock_);
        stop_.reset();
        wake_.reset();
    }

    int threadFunImpl(DWORD userValue, void* /*parameter*/) override {
        const HANDLE events[2] = {stop_.get(), wake_.get()};  // a pending stop wins over new items
        for (;;) {
            const DWORD wait = ::WaitForMultipleObjects(2, events, FALSE, timeout_);
            if (wait == WAIT_OBJECT_0 + 1) {
                Item copy;
                {
                    LockScope<Locker> queue(queue_lock_);
                    if (queue_.empty()) {
                        ::ResetEvent(wake_.get());
                        continue;
                    }
                    copy = queue_.front();
                }
                callback_->OnQueueItem(userValue, copy);
                LockScope<Locker> queue(queue_lock_);
                queue_.pop_front();
                if (queue_.empty()) ::ResetEvent(wake_.get());
                continue;
            }
            const int code = wait == WAIT_OBJECT_0 ? kQueueStopped : wait == WAIT_TIMEOUT ? kQueueTimedOut
                                                                                          : kQueueWaitFailed;
            LockScope<Locker> queue(queue_lock_);
            queue_.clear();
            return code;
        }
    }

private:
    DWORD timeout_ = INFINITE;
    bool initialised_ = false;
    _CallBack* callback_ = nullptr;
    Locker queue_lock_;
    std::deque<Item> queue_;
    base::unique_handle stop_;
    base::unique_handle wake_;
};

}  // namespace qbase
