#include "tools/vantrixctl/Device.h"

#include <cstdio>

#include "app/ProgDir.h"

std::string IsoTime(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u", y, mo, d, h, mi, s);
    return buf;
}

Device::Device(const Options& o, const CConnectDsc* remote, int modem)
    : m_profile(), m_model(m_ui, m_profile, GetProgramDir()) {
    // Taken as it is: the profile's field would cut a long path.
    m_model.m_com.SetPortOverride(o.port);
    m_profile.com.logTraffic = o.log ? 1 : 0;
    m_ui.SetModel(&m_model);
    for (const auto& dir : o.modemDirs) m_model.m_com.Tapi().AddModemDir(dir);
    if (remote) {
        // One connection entry, in memory only.
        m_profile.com.accessMode = 2;
        m_profile.com.modemIndex = modem;
        CConnectDscMng& conns = m_model.m_com.Connections();
        conns.selectedIndex = conns.Add(*remote);
    }
}
