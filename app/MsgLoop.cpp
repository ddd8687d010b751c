#include "app/MsgLoop.h"

#include <future>

void CMsgLoop::Post(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(std::move(fn));
    }
    m_cv.notify_all();
}

void CMsgLoop::Send(const std::function<void()>& fn) {
    if (IsOwnerThread()) {
        fn();
        return;
    }
    std::promise<void> done;
    auto future = done.get_future();
    Post([&] {
        fn();
        done.set_value();
    });
    future.wait();
}

bool CMsgLoop::RunOne(std::unique_lock<std::mutex>& lock) {
    if (m_queue.empty()) return false;
    auto fn = std::move(m_queue.front());
    m_queue.pop_front();
    lock.unlock();
    fn();
    lock.lock();
    return true;
}

void CMsgLoop::RunUntil(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        lock.unlock();
        bool finished = done();
        lock.lock();
        if (finished) return;
        if (!RunOne(lock)) m_cv.wait(lock, [this] { return !m_queue.empty(); });
    }
}

void CMsgLoop::Drain() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (RunOne(lock)) {}
}
