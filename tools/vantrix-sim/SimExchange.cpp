#include "tools/vantrix-sim/SimExchange.h"

std::string CSimExchange::Digits(const std::string& number) {
    std::string d;
    for (char c : number)
        if (c >= '0' && c <= '9') d += c;
    return d;
}

void CSimExchange::Add(const std::string& number, CSimDevice& device) {
    std::lock_guard lock(m_mutex);
    m_numbers.emplace_back(Digits(number), &device);
}

CSimExchange::Dial CSimExchange::Call(const std::string& number, CSimDevice*& device) {
    std::lock_guard lock(m_mutex);
    device = m_numbers.empty() ? m_fallback : nullptr;
    const std::string digits = Digits(number);
    for (const auto& [n, d] : m_numbers)
        if (n == digits) device = d;
    if (!device) return Dial::Unknown;
    bool& busy = m_inCall[device];
    if (busy) {
        device = nullptr;
        return Dial::Busy;
    }
    busy = true;
    ++m_calls[device];
    return Dial::Connected;
}

void CSimExchange::HangUp(const CSimDevice& device) {
    std::lock_guard lock(m_mutex);
    m_inCall[&device] = false;
}

int CSimExchange::Calls(const CSimDevice& device) const {
    std::lock_guard lock(m_mutex);
    auto it = m_calls.find(&device);
    return it == m_calls.end() ? 0 : it->second;
}
