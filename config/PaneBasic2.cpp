#include "config/PaneBasic2.h"

#include "app/Accessibility.h"
#include "ui_PaneBasic2.h"

namespace {

// Ring indication bits.
constexpr uint8_t kRingVoice = 1, kRingData = 2, kRingFax = 4, kRingCRing = 8, kRingClip = 16;

}  // namespace

TFrmBasic2::TFrmBasic2(CPaneBasic2& pane, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmBasic2>()) {
    ui->setupUi(this);
    NameControls(this);
    cfgui::ConnectEdits(this, [&pane] { pane.OnDataChange(); });
}

TFrmBasic2::~TFrmBasic2() = default;

QWidget* CPaneBasic2::MakeFrame(QWidget* area) { return m_pFrm = new TFrmBasic2(*this, area); }

void CPaneBasic2::Load(int arg) {
    BeginLoad(arg);
    const CfgImage& img = Img();
    auto& u = *m_pFrm->ui;
    // A speed index without an item selects none and is stored back as it is.
    u.m_pCmbBaudRate->setCurrentIndex(img.rs232_speed < u.m_pCmbBaudRate->count() ? img.rs232_speed : -1);
    u.m_pChbFlowCtrl->setChecked(img.rs232_flow_control == 1);
    u.m_pChbRAccess->setChecked(img.remote_access == 1);
    const uint8_t ring = img.ring_indication;
    cfgui::CheckRadio({u.m_pRdbFormat1, u.m_pRdbFormat2}, ring & kRingCRing ? 1 : 0);
    u.m_pChbCLIP->setChecked(ring & kRingClip);
    u.m_pChbCall1->setChecked(ring & kRingVoice);
    u.m_pChbCall2->setChecked(ring & kRingData);
    u.m_pChbCall3->setChecked(ring & kRingFax);
}

void CPaneBasic2::Save() {
    CfgImage& img = Img();
    auto& u = *m_pFrm->ui;
    if (u.m_pCmbBaudRate->currentIndex() >= 0) img.rs232_speed = uint8_t(u.m_pCmbBaudRate->currentIndex());
    img.rs232_flow_control = u.m_pChbFlowCtrl->isChecked() ? 1 : 0;
    img.remote_access = u.m_pChbRAccess->isChecked() ? 1 : 0;
    uint8_t ring = 0;
    if (u.m_pRdbFormat2->isChecked()) ring |= kRingCRing;
    if (u.m_pChbCLIP->isChecked()) ring |= kRingClip;
    if (u.m_pChbCall1->isChecked()) ring |= kRingVoice;
    if (u.m_pChbCall2->isChecked()) ring |= kRingData;
    if (u.m_pChbCall3->isChecked()) ring |= kRingFax;
    img.ring_indication = ring;
}
