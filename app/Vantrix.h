// The core model: the composition root of everything that talks to the device
// or holds device data. One instance for the run of the program.
#pragma once

#include <string>

#include "app/LocalTime.h"
#include "comm/DevState.h"
#include "config/GprsAp.h"
#include "config/VantrixCfg.h"

class IAppUI;
class CProfile;

class CVantrix {
public:
    CVantrix(IAppUI& ui, CProfile& profile, std::string progDir);
    ~CVantrix();
    CVantrix(const CVantrix&) = delete;
    CVantrix& operator=(const CVantrix&) = delete;

    // 1 started; 128 engine; 129 telephony.
    int Init();

    IAppUI& UI() { return m_ui; }
    CProfile& Profile() { return m_profile; }
    const std::string& ProgDir() const { return m_progDir; }

    // Members in the order of their construction.
    DevIdentity m_devId;
    GsmStatus m_gsm;
    IoState m_io;
    SysTime m_devTime;
    CVantrixCfg m_cfg;
    GprsApRec m_gprs;

private:
    IAppUI& m_ui;
    CProfile& m_profile;
    std::string m_progDir;
};
