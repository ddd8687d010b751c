#include "config/PaneBasic.h"

#include "app/Accessibility.h"
#include "ui_PaneBasic.h"

namespace {

// Tariff codes of the radios; an interval is 1 to 60 seconds.
constexpr uint8_t kTariffNone = 0;
constexpr uint8_t kTariffPolarity = 61;
constexpr uint8_t kTariffPulse = 63;

}  // namespace

TFrmBasic1::TFrmBasic1(CPaneBasic1& pane, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmBasic1>()) {
    ui->setupUi(this);
    NameControls(this);
    cfgui::Track(ui->m_pTBrAIn);
    cfgui::Track(ui->m_pTBrAOut);
    cfgui::ConnectEdits(this, [&pane] { pane.OnDataChange(); });
    for (QRadioButton* r : {ui->m_pRdbTariff1, ui->m_pRdbTariff2, ui->m_pRdbTariff3, ui->m_pRdbTariff4})
        connect(r, &QRadioButton::toggled, this, &TFrmBasic1::OnClickTariff);
    OnClickTariff();
}

TFrmBasic1::~TFrmBasic1() = default;

void TFrmBasic1::OnClickTariff() { ui->m_pUDTariff4->setEnabled(ui->m_pRdbTariff4->isChecked()); }

QWidget* CPaneBasic1::MakeFrame(QWidget* area) { return m_pFrm = new TFrmBasic1(*this, area); }

void CPaneBasic1::Load(int arg) {
    BeginLoad(arg);
    const CfgImage& img = Img();
    auto& u = *m_pFrm->ui;
    cfgui::CheckRadio({u.m_pRdbSCode1, u.m_pRdbSCode2}, img.call.programming_char == 0 ? 0 : 1);
    const uint8_t t = img.call.tariff;
    // A value no radio stands for checks none and is stored back as it is.
    const int radio = t == kTariffNone ? 0 : t == kTariffPolarity ? 1 : t == kTariffPulse ? 2 : t <= 60 ? 3 : -1;
    cfgui::CheckRadio({u.m_pRdbTariff1, u.m_pRdbTariff2, u.m_pRdbTariff3, u.m_pRdbTariff4}, radio);
    u.m_pUDTariff4->setValue(radio == 3 ? t : 1);
    m_pFrm->OnClickTariff();
    cfgui::LoadByte(u.m_pTBrAIn, img.audio_in_level);
    cfgui::LoadByte(u.m_pTBrAOut, img.audio_out_level);
}

void CPaneBasic1::Save() {
    CfgImage& img = Img();
    auto& u = *m_pFrm->ui;
    if (u.m_pRdbSCode1->isChecked()) img.call.programming_char = 0;
    if (u.m_pRdbSCode2->isChecked()) img.call.programming_char = 1;
    switch (cfgui::CheckedRadio({u.m_pRdbTariff1, u.m_pRdbTariff2, u.m_pRdbTariff3, u.m_pRdbTariff4})) {
    case 0: img.call.tariff = kTariffNone; break;
    case 1: img.call.tariff = kTariffPolarity; break;
    case 2: img.call.tariff = kTariffPulse; break;
    case 3: img.call.tariff = uint8_t(u.m_pUDTariff4->value()); break;
    default: break;
    }
    cfgui::StoreByte(u.m_pTBrAIn, img.audio_in_level);
    cfgui::StoreByte(u.m_pTBrAOut, img.audio_out_level);
}
