#include "app/Vantrix.h"

#include "app/AppUI.h"
#include "app/Profile.h"

CVantrix::CVantrix(IAppUI& ui, CProfile& profile, std::string progDir)
    : m_devTime(GetLocalTime()), m_cfg(ui), m_ui(ui), m_profile(profile), m_progDir(std::move(progDir)) {
    SetGprsDefaults(m_gprs);
}

CVantrix::~CVantrix() = default;

int CVantrix::Init() { return 1; }
