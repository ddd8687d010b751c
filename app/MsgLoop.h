// A message loop for the user interfaces that are not Qt (the console of
// vantrixctl, the fakes of the tests): the worker posts or sends work to the
// thread that owns the loop, which runs it in order.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CMsgLoop {
public:
    CMsgLoop() : m_owner(std::this_thread::get_id()) {}

    // Queues fn for the owner thread.
    void Post(std::function<void()> fn);
    // Runs fn on the owner thread and returns when it has run; on the owner
    // thread it runs at once.
    void Send(const std::function<void()>& fn);

    // Runs queued work until done() holds (checked after each item and at the
    // start); waits for work in between. Owner thread only.
    void RunUntil(const std::function<bool()>& done);
    // Runs what is queued now without waiting.
    void Drain();

    bool IsOwnerThread() const { return std::this_thread::get_id() == m_owner; }

private:
    bool RunOne(std::unique_lock<std::mutex>& lock);

    std::thread::id m_owner;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_queue;
};
