// An event as the engine's waits need it: auto-reset (a wait that takes it
// clears it) or manual-reset, waited on with a time-out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

class CEvent {
public:
    explicit CEvent(bool manualReset = false, bool initial = false) : m_manual(manualReset), m_set(initial) {}

    void Set() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_set = true;
        }
        m_cv.notify_all();
    }

    void Reset() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_set = false;
    }

    // True when the event was set within the time-out.
    bool Wait(uint32_t timeoutMs = kInfinite) {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto isSet = [this] { return m_set; };
        if (timeoutMs == kInfinite)
            m_cv.wait(lock, isSet);
        else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet))
            return false;
        if (!m_manual) m_set = false;
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_manual;
    bool m_set;
};
