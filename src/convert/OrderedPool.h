#pragma once

// A fixed set of threads that works through tasks handed in one after another and hands their
// results back in the same order, whatever order they finish in. The conversion run gives it one
// file per task; everything the user sees, and every commit, stays with the thread that takes the
// results.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace texelary {

template <typename Task, typename Result> class OrderedPool {
public:
    using Work = std::function<Result(const Task&)>;

    // Starts `threads` threads that run `work`, which must be safe to run on several threads at
    // once. With 0 threads, or when the system starts none, Take() runs each task itself on the
    // calling thread. Once `stop` is set (from any thread), no task that has not begun is begun.
    OrderedPool(unsigned threads, Work work, const std::atomic<bool>* stop = nullptr)
        : m_work(std::move(work))
        , m_stop(stop) {
        try {
            for (unsigned i = 0; i < threads; ++i) {
                m_threads.emplace_back([this] { Serve(); });
            }
        } catch (const std::system_error&) {
            // Fewer threads than asked for: the ones started do the work, or Take() does.
        }
    }

    // Tasks not begun are dropped; tasks under way are waited for, and their results destroyed
    // unseen.
    ~OrderedPool() {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_taskReady.notify_all();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    void Submit(Task task) {
        {
            std::lock_guard lock(m_mutex);
            m_slots.emplace_back().task = std::move(task);
        }
        m_taskReady.notify_one();
    }

    // The result of the oldest task not yet taken (there must be one), once it is there. None when
    // the task was not begun because `stop` was set. An exception thrown by `work` is thrown here.
    std::optional<Result> Take() {
        std::unique_lock lock(m_mutex);
        Slot& oldest = m_slots.front();
        if (m_threads.empty()) {
            ++m_claimed;
            lock.unlock();
            Run(oldest);
            lock.lock();
        } else {
            m_resultReady.wait(lock, [&oldest] { return oldest.finished; });
        }
        std::optional<Result> result = std::move(oldest.result);
        const std::exception_ptr error = oldest.error;
        m_slots.pop_front();
        --m_claimed;
        lock.unlock();
        if (error) {
            std::rethrow_exception(error);
        }
        return result;
    }

private:
    struct Slot {
        Task task;
        bool finished = false;
        std::optional<Result> result; // none: not begun
        std::exception_ptr error;
    };

    bool Stopped() const { return m_stop != nullptr && m_stop->load(); }

    // Runs the slot's task outside the lock; the slot stays where it is until it is taken.
    void Run(Slot& slot) {
        std::optional<Result> result;
        std::exception_ptr error;
        if (!Stopped()) {
            try {
                result.emplace(m_work(slot.task));
            } catch (...) {
                error = std::current_exception();
            }
        }
        std::lock_guard lock(m_mutex);
        slot.result = std::move(result);
        slot.error = error;
        slot.finished = true;
    }

    void Serve() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            // Tasks are claimed in the order they came: the claimed ones are the first m_claimed.
            m_taskReady.wait(lock, [this] { return m_closing || m_claimed < m_slots.size(); });
            if (m_closing) {
                return;
            }
            Slot& slot = m_slots[m_claimed];
            ++m_claimed;
            lock.unlock();
            Run(slot);
            m_resultReady.notify_all();
            lock.lock();
        }
    }

    const Work m_work;
    const std::atomic<bool>* m_stop;
    mutable std::mutex m_mutex;
    std::condition_variable m_taskReady;   // a task came, or the pool is closing
    std::condition_variable m_resultReady; // a task finished
    std::deque<Slot> m_slots;              // submitted and not yet taken, oldest first
    std::size_t m_claimed = 0;             // how many of m_slots have been begun or skipped
    bool m_closing = false;
    std::vector<std::thread> m_threads; // last: started once everything above exists
};

} // namespace texelary
