#include "config/PaneTimePars.h"

#include "app/Accessibility.h"
#include "ui_PaneTimePars.h"

TFrmTimePars::TFrmTimePars(CPaneTimePars& pane, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFrmTimePars>()) {
    ui->setupUi(this);
    NameControls(this);
    cfgui::ConnectEdits(this, [&pane] { pane.OnDataChange(); });
}

TFrmTimePars::~TFrmTimePars() = default;

QWidget* CPaneTimePars::MakeFrame(QWidget* area) { return m_pFrm = new TFrmTimePars(*this, area); }

void CPaneTimePars::Load(int arg) {
    BeginLoad(arg);
    const CallRec& c = Img().call;
    auto& u = *m_pFrm->ui;
    u.m_pUDRRingLen->setValue(c.ring_after_init);
    u.m_pUDDDelay->setValue(c.dial_delay);
    u.m_pUDDTimeout1->setValue(c.dial_wait);
    u.m_pUDDTimeout2->setValue(c.lookup_time);
}

void CPaneTimePars::Save() {
    CallRec& c = Img().call;
    auto& u = *m_pFrm->ui;
    c.ring_after_init = uint8_t(u.m_pUDRRingLen->value());
    c.dial_delay = uint8_t(u.m_pUDDDelay->value());
    c.dial_wait = uint8_t(u.m_pUDDTimeout1->value());
    c.lookup_time = uint8_t(u.m_pUDDTimeout2->value());
}
