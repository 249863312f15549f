#include "common/MainThreadPort.h"

MainThreadPort::MainThreadPort() : m_main(std::this_thread::get_id()) {}

bool MainThreadPort::Call(const std::function<void()>& fn) {
    if (OnMainThread()) {
        fn();
        return true;
    }
    bool done = false;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_closed) return false;
        m_queue.push_back(Item{fn, &done});
    }
    m_changed.notify_all();
    Wake();
    std::unique_lock<std::mutex> lock(m_lock);
    // Closing releases a caller whose work has not started; work already running is waited for,
    // since it reports to this frame when it ends.
    auto withdrawn = [&] {
        for (auto it = m_queue.begin(); it != m_queue.end(); ++it)
            if (it->done == &done) {
                m_queue.erase(it);
                return true;
            }
        return false;
    };
    m_changed.wait(lock, [&] { return done || (m_closed && withdrawn()); });
    return done;
}

void MainThreadPort::Post(std::function<void()> fn) {
    if (OnMainThread()) {
        fn();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_closed) return;
        m_queue.push_back(Item{std::move(fn), nullptr});
    }
    m_changed.notify_all();
    Wake();
}

int MainThreadPort::Serve() {
    int ran = 0;
    for (;;) {
        Item item;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_queue.empty()) break;
            item = std::move(m_queue.front());
            m_queue.pop_front();
        }
        // The work runs without the lock, so that it may itself post or call.
        item.fn();
        ++ran;
        if (item.done) {
            std::lock_guard<std::mutex> lock(m_lock);
            *item.done = true;
        }
        if (item.done) m_changed.notify_all();
    }
    return ran;
}

bool MainThreadPort::WaitServing(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        Serve();
        if (pred()) return true;
        std::unique_lock<std::mutex> lock(m_lock);
        if (std::chrono::steady_clock::now() >= deadline) return pred();
        // Woken by a new call; otherwise the predicate is looked at again every millisecond.
        m_changed.wait_for(lock, std::chrono::milliseconds(1), [&] { return !m_queue.empty(); });
    }
}

void MainThreadPort::Close() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_closed = true;
    }
    m_changed.notify_all();
}
