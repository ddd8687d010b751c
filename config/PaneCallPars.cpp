#include "config/PaneCallPars.h"

#include "app/Accessibility.h"
#include "ui_PaneCallPars.h"

TFrmCallPars::TFrmCallPars(CPaneCallPars& pane, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFrmCallPars>()) {
    ui->setupUi(this);
    NameControls(this);
    cfgui::Track(ui->m_pUDMaxNumLen);
    cfgui::ConnectEdits(this, [&pane] { pane.OnDataChange(); });
}

TFrmCallPars::~TFrmCallPars() = default;

QWidget* CPaneCallPars::MakeFrame(QWidget* area) { return m_pFrm = new TFrmCallPars(*this, area); }

void CPaneCallPars::Load(int arg) {
    BeginLoad(arg);
    const CallRec& c = Img().call;
    auto& u = *m_pFrm->ui;
    cfgui::LoadText(u.m_pTxtAddDir, c.direction_completion);
    cfgui::LoadText(u.m_pTxtDelNum, c.denied_code);
    cfgui::LoadByte(u.m_pUDMaxNumLen, c.max_digits);
}

void CPaneCallPars::Save() {
    CallRec& c = Img().call;
    auto& u = *m_pFrm->ui;
    cfgui::StoreText(c.direction_completion, u.m_pTxtAddDir);
    cfgui::StoreText(c.denied_code, u.m_pTxtDelNum);
    cfgui::StoreByte(u.m_pUDMaxNumLen, c.max_digits);
}
