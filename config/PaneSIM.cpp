#include "config/PaneSIM.h"

#include "app/Accessibility.h"
#include "ui_PaneSIM.h"

namespace {

constexpr uint8_t kSimActive = 1, kSimDefault = 2;
// Dial tone codes in the order of the radios.
constexpr uint8_t kToneCodes[5] = {0, 2, 3, 4, 1};
constexpr int kLowValLimit = 8;

int Card(int arg) { return arg == 1 ? 1 : 0; }

}  // namespace

TFrmSIM::TFrmSIM(CPaneSIM& pane, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmSIM>()) {
    ui->setupUi(this);
    NameControls(this);
    cfgui::ConnectEdits(this, [&pane] { pane.OnDataChange(); });
    for (QRadioButton* r : {ui->m_pRdbCMode1, ui->m_pRdbCMode2, ui->m_pRdbCMode3})
        connect(r, &QRadioButton::toggled, this, &TFrmSIM::m_pRdbCModeClick);
    m_pRdbCModeClick();
}

TFrmSIM::~TFrmSIM() = default;

void TFrmSIM::m_pRdbCModeClick() {
    ui->m_pTxtCCmd->setEnabled(ui->m_pRdbCMode3->isChecked());
    ui->m_pTxtLowVal->setEnabled(!ui->m_pRdbCMode1->isChecked());
}

QWidget* CPaneSIM::MakeFrame(QWidget* area) { return m_pFrm = new TFrmSIM(*this, area); }

void CPaneSIM::Load(int arg) {
    BeginLoad(arg);
    const int s = Card(arg);
    const CfgImage& img = Img();
    auto& u = *m_pFrm->ui;
    const uint8_t flags = img.call.sim_flags[s];
    u.m_pChbActiveSIM->setChecked(flags & kSimActive);
    u.m_pChbDefaultSIM->setChecked(flags & kSimDefault);
    cfgui::LoadText(u.m_pTxtPIN, img.sim_pin[s]);
    cfgui::LoadText(u.m_pTxtMCall, img.monthly_call[s].number);
    u.m_pUDSIMMusic->setValue(img.call.sim_melody[s]);
    u.m_pUDMCallMusic->setValue(img.monthly_call[s].melody);
    int tone = -1;
    for (int i = 0; i < 5; ++i)
        if (kToneCodes[i] == img.call.dial_tone[s]) tone = i;
    cfgui::CheckRadio({u.m_pRdbTone1, u.m_pRdbTone2, u.m_pRdbTone3, u.m_pRdbTone4, u.m_pRdbTone5}, tone);
    const CreditRec& cr = img.credit[s];
    cfgui::CheckRadio({u.m_pRdbCMode1, u.m_pRdbCMode2, u.m_pRdbCMode3}, cr.mode <= 2 ? cr.mode : -1);
    m_pFrm->m_pRdbCModeClick();
    cfgui::LoadText(u.m_pTxtCCmd, cr.code);
    cfgui::SetFittingText(u.m_pTxtLowVal, cfgui::CreditText(cr.min_value), kLowValLimit);
}

void CPaneSIM::Save() {
    const int s = Card(m_nArg);
    CfgImage& img = Img();
    auto& u = *m_pFrm->ui;
    img.call.sim_flags[s] = uint8_t((u.m_pChbActiveSIM->isChecked() ? kSimActive : 0) |
                                    (u.m_pChbDefaultSIM->isChecked() ? kSimDefault : 0));
    cfgui::StoreText(img.sim_pin[s], u.m_pTxtPIN);
    cfgui::StoreText(img.monthly_call[s].number, u.m_pTxtMCall);
    img.call.sim_melody[s] = uint8_t(u.m_pUDSIMMusic->value());
    img.monthly_call[s].melody = uint8_t(u.m_pUDMCallMusic->value());
    // Without a checked radio (a code no radio stands for) the byte keeps its value.
    const int tone = cfgui::CheckedRadio({u.m_pRdbTone1, u.m_pRdbTone2, u.m_pRdbTone3, u.m_pRdbTone4, u.m_pRdbTone5});
    if (tone >= 0) img.call.dial_tone[s] = kToneCodes[tone];
    CreditRec& cr = img.credit[s];
    const int mode = cfgui::CheckedRadio({u.m_pRdbCMode1, u.m_pRdbCMode2, u.m_pRdbCMode3});
    if (mode >= 0) cr.mode = uint8_t(mode);
    cfgui::StoreText(cr.code, u.m_pTxtCCmd);
    cr.min_value = cfgui::ParseCredit(u.m_pTxtLowVal->text());
}
