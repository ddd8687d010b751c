#include "app/Vantrix.h"

#include "app/AppUI.h"
#include "app/Profile.h"
#include "app/ProgDir.h"

CVantrix::CVantrix(IAppUI& ui, CProfile& profile, std::string progDir)
    : m_devTime(GetLocalTime()),
      m_com(*this, ui),
      m_cfg(ui),
      m_sms(ui, DataPath(progDir, "SMS.dat")),
      m_ui(ui),
      m_profile(profile),
      m_progDir(std::move(progDir)) {
    SetGprsDefaults(m_gprs);
    m_cfg.SetQueue(&m_com);
    m_sms.SetQueue(&m_com);
}

CVantrix::~CVantrix() {
    m_sms.Save();
    m_com.Stop();
}

int CVantrix::Init(bool useStores) {
    int r = m_com.Start(useStores);
    if (r == 1 && useStores) m_sms.Load();
    return r;
}

int CVantrix::GoOnline() {
    if (m_profile.com.accessMode == 2 && m_ui.ShowRemoteConnect() != IDOK) return 0;
    return m_com.PostRequest({REQ_CONNECT, 1, 0});
}

int CVantrix::GoOffline() { return m_com.PostRequest({REQ_DISCONNECT, 0, 0}); }

int CVantrix::ReadStatus() { return m_com.PostRequest({REQ_READ_STATE, 0, 0}); }

int CVantrix::SyncTime() { return m_com.PostRequest(SetTimeRequest(GetLocalTime())); }
