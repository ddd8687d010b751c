// The core model: the composition root of everything that talks to the device
// or holds device data. One instance for the run of the program.
#pragma once

#include <mutex>
#include <string>

#include "app/LocalTime.h"
#include "comm/DevState.h"
#include "comm/VantrixCom.h"
#include "config/GprsAp.h"
#include "config/VantrixCfg.h"
#include "sms/SMSMng.h"

class IAppUI;
class CProfile;

class CVantrix {
public:
    CVantrix(IAppUI& ui, CProfile& profile, std::string progDir);
    // Writes SMS.dat, then ends the engine (which writes Connection.dat).
    ~CVantrix();
    CVantrix(const CVantrix&) = delete;
    CVantrix& operator=(const CVantrix&) = delete;

    // 1 started; 128 engine; 129 telephony. Without `useStores` nothing is
    // read from or written to Data/ (the command line keeps its data in memory).
    int Init(bool useStores = true);

    // Online: for remote access the remote connection dialog first; then a
    // connect that stays online. The queue's result (0 when the dialog was
    // cancelled).
    int GoOnline();
    int GoOffline();
    int ReadStatus();
    // Sends the PC's local time; the device time record shows it once read back.
    int SyncTime();

    IAppUI& UI() { return m_ui; }
    CProfile& Profile() { return m_profile; }
    const std::string& ProgDir() const { return m_progDir; }

    // The worker writes the device state records while the UI shows them:
    // each is copied whole under one lock on both sides.
    template <class T> T Snapshot(const T& rec) const {
        std::lock_guard<std::mutex> lock(m_stateLock);
        return rec;
    }
    template <class T> void Publish(T& rec, const T& value) {
        std::lock_guard<std::mutex> lock(m_stateLock);
        rec = value;
    }

    // Members in the order of their construction.
    DevIdentity m_devId;
    GsmStatus m_gsm;
    IoState m_io;
    SysTime m_devTime;
    CVantrixCom m_com;
    CVantrixCfg m_cfg;
    CSMSMng m_sms;
    GprsApRec m_gprs;

private:
    mutable std::mutex m_stateLock;
    IAppUI& m_ui;
    CProfile& m_profile;
    std::string m_progDir;
};
