#pragma once
// MainThreadPort: the hand-over of work from an engine thread to the main thread. The audio
// thread, for example, must have the main thread stop the transport at the end of a range, and
// it waits until that has run. The window serves the port from its event loop, sonquil-cli from
// its own wait loops; a main-thread wait for the engine keeps serving it (WaitServing), so the
// two threads never wait for each other.
//
// Threading: Call from any thread; Serve and WaitServing on the main thread only. A Call from the
// main thread itself runs the work at once.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class MainThreadPort {
public:
    // The thread that constructs the port is the main thread.
    MainThreadPort();
    virtual ~MainThreadPort() = default;
    MainThreadPort(const MainThreadPort&) = delete;
    MainThreadPort& operator=(const MainThreadPort&) = delete;

    // Runs fn on the main thread and returns once it has run. False when the port was closed
    // before the work ran (the program is ending); fn then never runs.
    bool Call(const std::function<void()>& fn);
    // Queues fn for the main thread without waiting for it.
    void Post(std::function<void()> fn);

    // Runs every call that is waiting. Returns how many ran.
    int Serve();
    // Serves calls until pred() holds or the timeout passes; true when pred() held.
    bool WaitServing(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
    // Refuses new calls and releases every waiting caller; used at shutdown after the threads
    // were asked to end.
    void Close();
    bool OnMainThread() const { return std::this_thread::get_id() == m_main; }

protected:
    // Tells the main thread's loop that work is waiting. The window posts an event that serves
    // the port; the default does nothing beyond waking WaitServing.
    virtual void Wake() {}

private:
    struct Item {
        std::function<void()> fn;
        bool* done = nullptr; // set under the lock once fn ran (synchronous calls only)
    };
    std::thread::id m_main;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Item> m_queue;
    bool m_closed = false;
};
