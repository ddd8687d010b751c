#include "config/PaneSMS.h"

#include "app/Accessibility.h"
#include "ui_PaneSMS.h"

TFrmSMS::TFrmSMS(CPaneSMS& pane, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmSMS>()) {
    ui->setupUi(this);
    NameControls(this);
    cfgui::LimitMemo(ui->m_pTxtResetTxt, int(sizeof(CfgImage::reset_sms_text)) - 1);
    cfgui::LimitMemo(ui->m_pTxtCreditTxt, int(sizeof(CfgImage::low_credit_sms_text)) - 1);
    cfgui::ConnectEdits(this, [&pane] { pane.OnDataChange(); });
    for (QRadioButton* r : {ui->m_pRdbMode1, ui->m_pRdbMode2, ui->m_pRdbMode3})
        connect(r, &QRadioButton::toggled, this, &TFrmSMS::m_pRdbModeClick);
    m_pRdbModeClick();
}

TFrmSMS::~TFrmSMS() = default;

void TFrmSMS::m_pRdbModeClick() { ui->m_pTxtForwardNum->setEnabled(ui->m_pRdbMode3->isChecked()); }

QWidget* CPaneSMS::MakeFrame(QWidget* area) { return m_pFrm = new TFrmSMS(*this, area); }

void CPaneSMS::Load(int arg) {
    BeginLoad(arg);
    const CfgImage& img = Img();
    auto& u = *m_pFrm->ui;
    cfgui::CheckRadio({u.m_pRdbMode1, u.m_pRdbMode2, u.m_pRdbMode3}, img.sms_handling <= 2 ? img.sms_handling : -1);
    m_pFrm->m_pRdbModeClick();
    cfgui::LoadText(u.m_pTxtForwardNum, img.sms_forward_number);
    cfgui::LoadText(u.m_pTxtInfoSMS, img.info_sms_number);
    cfgui::LoadMemo(u.m_pTxtResetTxt, img.reset_sms_text);
    cfgui::LoadMemo(u.m_pTxtCreditTxt, img.low_credit_sms_text);
}

void CPaneSMS::Save() {
    CfgImage& img = Img();
    auto& u = *m_pFrm->ui;
    // Without a checked radio (a value no radio stands for) the byte keeps its value.
    const int mode = cfgui::CheckedRadio({u.m_pRdbMode1, u.m_pRdbMode2, u.m_pRdbMode3});
    if (mode >= 0) img.sms_handling = uint8_t(mode);
    cfgui::StoreText(img.sms_forward_number, u.m_pTxtForwardNum);
    cfgui::StoreText(img.info_sms_number, u.m_pTxtInfoSMS);
    cfgui::StoreMemo(img.reset_sms_text, u.m_pTxtResetTxt);
    cfgui::StoreMemo(img.low_credit_sms_text, u.m_pTxtCreditTxt);
}
