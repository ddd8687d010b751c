#include "app/Profile.h"

#include <cstring>

#include "app/Bytes.h"
#include "app/FileIO.h"

CProfile::CProfile(int screenWidth, int screenHeight) : m_screenWidth(screenWidth), m_screenHeight(screenHeight) {
    SetComDefaults();
    SetWndDefaults();
}

void CProfile::SetComDefaults() {
    std::memset(&com, 0, sizeof com);
    com.accessMode = 1;
    com.logTraffic = 0;
    bytes::SetField(com.portName, "COM1");
    com.modemIndex = -1;
}

void CProfile::SetWndDefaults() {
    wnd.windowWidth = m_screenWidth / 10 * 8;
    wnd.windowHeight = m_screenHeight / 10 * 6;
    for (int list = 0; list < 3; ++list) {
        wnd.smsColumnWidths[list * 3 + 0] = 120;
        wnd.smsColumnWidths[list * 3 + 1] = 300;
        wnd.smsColumnWidths[list * 3 + 2] = 130;
    }
    wnd.treeWidth = 200;
}

int CProfile::Read(const std::string& path) {
    CInFile f(path);
    if (!f.IsOpen()) return 96;
    uint8_t version[4];
    if (!f.ReadExact(version, 4) || bytes::GetLE32(version) != kVersion) {
        SetComDefaults();
        SetWndDefaults();
        return 96;
    }
    // A file that ends early leaves the fields it does not reach at their
    // defaults; a block that cannot be read at all gets its defaults.
    f.Read(&com, sizeof com);
    if (f.Failed()) SetComDefaults();
    f.Read(&wnd, sizeof wnd);
    if (f.Failed()) SetWndDefaults();
    // The port name came from a file: keep it terminated within its limit.
    com.portName[kPortNameMax] = 0;
    return 1;
}

int CProfile::Write(const std::string& path) const {
    CAtomicFile f(path);
    uint8_t version[4];
    bytes::PutLE32(version, kVersion);
    if (!f.Create() || !f.Write(version, 4)) return 97;
    if (!f.Write(&com, sizeof com)) return 101;
    if (!f.Write(&wnd, sizeof wnd) || !f.Commit()) return 99;
    return 1;
}

std::string CProfile::PortName() const { return bytes::FieldStr(com.portName, kPortNameMax + 1); }

void CProfile::SetPortName(const std::string& name) {
    std::memset(com.portName, 0, sizeof com.portName);
    bytes::SetField(com.portName, kPortNameMax + 1, name);
}
