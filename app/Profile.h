// The application profile and its file Data/Profile.dat (80 bytes: version 3,
// then the communication block and the window block as they lie in memory).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#pragma pack(push, 1)
struct ProfileComBlock {
    int32_t accessMode;  // 1 local (serial port), 2 remote (modem call)
    uint8_t logTraffic;  // 1: capture the traffic to sercom.log
    char portName[19];   // at most 16 characters
    int32_t modemIndex;  // -1: none
};

struct ProfileWndBlock {
    int32_t windowWidth;
    int32_t windowHeight;
    int32_t smsColumnWidths[9];  // received, sent, to send; number, text, time each
    int32_t treeWidth;
};
#pragma pack(pop)

static_assert(sizeof(ProfileComBlock) == 28 && offsetof(ProfileComBlock, logTraffic) == 4 &&
              offsetof(ProfileComBlock, portName) == 5 && offsetof(ProfileComBlock, modemIndex) == 24);
static_assert(sizeof(ProfileWndBlock) == 48 && offsetof(ProfileWndBlock, windowHeight) == 4 &&
              offsetof(ProfileWndBlock, smsColumnWidths) == 8 && offsetof(ProfileWndBlock, treeWidth) == 44);

class CProfile {
public:
    static constexpr uint32_t kVersion = 3;
    static constexpr size_t kPortNameMax = 16;

    // The window defaults follow the screen size.
    explicit CProfile(int screenWidth = 1024, int screenHeight = 768);

    void SetComDefaults();
    void SetWndDefaults();

    // Results: 1 read; 96 missing or foreign file (the defaults stay).
    int Read(const std::string& path);
    // Results: 1 written; 97 file not created or version not written;
    // 101 communication block not written; 99 window block not written.
    int Write(const std::string& path) const;

    std::string PortName() const;
    void SetPortName(const std::string& name);

    ProfileComBlock com{};
    ProfileWndBlock wnd{};

private:
    int m_screenWidth;
    int m_screenHeight;
};
