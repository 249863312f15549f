#pragma once
// DiskIOThread: does all file reading and writing for playback, rendering and recording on
// behalf of the audio thread, by serving the swapper's two requests. It runs from its
// construction until it is ended; idle, it sleeps until the swapper wakes it.
//
// Threading: constructed and ended on the main thread.

#include <atomic>
#include <thread>

class CSwapper;

class DiskIOThread {
public:
    explicit DiskIOThread(CSwapper& swapper);
    // Ends the loop and joins the thread.
    ~DiskIOThread();
    DiskIOThread(const DiskIOThread&) = delete;
    DiskIOThread& operator=(const DiskIOThread&) = delete;

    // Asks the loop to end and waits for it (idempotent).
    void Terminate();

private:
    void Run();

    CSwapper& m_swapper;
    std::atomic<bool> m_terminate{false};
    std::thread m_thread;
};
