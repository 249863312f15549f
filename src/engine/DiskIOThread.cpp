#include "engine/DiskIOThread.h"

#include "engine/CSwapper.h"

DiskIOThread::DiskIOThread(CSwapper& swapper) : m_swapper(swapper) {
    m_thread = std::thread([this] { Run(); });
}

DiskIOThread::~DiskIOThread() { Terminate(); }

void DiskIOThread::Terminate() {
    m_terminate.store(true, std::memory_order_release);
    m_swapper.Wake();
    if (m_thread.joinable()) m_thread.join();
}

void DiskIOThread::Run() {
    while (!m_terminate.load(std::memory_order_acquire)) {
        if (!m_swapper.Serve()) m_swapper.WaitForWork(m_terminate);
    }
}
