// The telephone network between the simulator's modems and its devices: the
// device a call reaches is the one of the number dialled, whichever modem
// dials, and a device takes one call at a time.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

class CSimDevice;

class CSimExchange {
public:
    enum class Dial { Connected, Busy, Unknown };  // Unknown: no device has the number

    // `fallback` answers every number while no number is listed.
    void SetFallback(CSimDevice* fallback) {
        std::lock_guard lock(m_mutex);
        m_fallback = fallback;
    }

    // The device reached by `number`; only its digits count ("603 111 111").
    void Add(const std::string& number, CSimDevice& device);
    // Connected puts the device in the call until HangUp.
    Dial Call(const std::string& number, CSimDevice*& device);
    void HangUp(const CSimDevice& device);

    // Thread-safe, as all of the above.
    int Calls(const CSimDevice& device) const;

    static std::string Digits(const std::string& number);

private:
    mutable std::mutex m_mutex;
    CSimDevice* m_fallback = nullptr;
    std::vector<std::pair<std::string, CSimDevice*>> m_numbers;
    std::map<const CSimDevice*, bool> m_inCall;
    std::map<const CSimDevice*, int> m_calls;
};
