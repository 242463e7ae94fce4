// A plain-C++ stand-in for the UI thread: one thread that runs posted tasks
// in order. Lets the receive thread's hand-off be tested, and stressed under
// ThreadSanitizer, without Qt (whose own locks TSan cannot see).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

class CTaskLoop {
public:
    CTaskLoop() : m_thread([this] { Run(); }) {}

    ~CTaskLoop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_bQuit = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }

    CTaskLoop(const CTaskLoop&) = delete;
    CTaskLoop& operator=(const CTaskLoop&) = delete;

    void Post(std::function<void()> task)
    {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_cv.notify_all();
    }

    // Runs the task on the loop's thread, after those posted before it, and
    // returns what it returns.
    template <class Function>
    auto RunSync(Function function) -> decltype(function())
    {
        std::packaged_task<decltype(function())()> task(std::move(function));
        auto result = task.get_future();
        Post([&task] { task(); });
        return result.get();
    }

    std::thread::id ThreadId() const { return m_thread.get_id(); }

private:
    void Run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] { return m_bQuit || !m_tasks.empty(); });
            if (m_tasks.empty())
                return;
            std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_tasks;
    bool m_bQuit = false;
    std::thread m_thread;
};
