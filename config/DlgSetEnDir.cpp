#include "config/DlgSetEnDir.h"

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/Vantrix.h"
#include "config/PaneCfg.h"
#include "ui_DlgSetEnDir.h"

TFrmSetEnDir::TFrmSetEnDir(CAppUI& app, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFrmSetEnDir>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    connect(ui->m_pBtnOk, &QPushButton::clicked, this, &TFrmSetEnDir::m_pBtnOkClick);
    connect(ui->m_pBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmSetEnDir::~TFrmSetEnDir() = default;

void TFrmSetEnDir::Prepare(int slot) {
    m_nSlot = slot;
    const CallRec& c = m_app.Model().m_cfg.GetData()->call;
    ui->m_pTxtEnDir->setText(cfgui::FieldText(c.directions[slot]));
    // A choice without a radio (from a file or a device) checks none.
    const uint8_t sim = c.direction_sim[slot];
    cfgui::CheckRadio({ui->m_pRdbAllSIM, ui->m_pRdbSIM1, ui->m_pRdbSIM2}, sim <= 2 ? sim : -1);
    ui->m_pTxtEnDir->setFocus();
}

void TFrmSetEnDir::m_pBtnOkClick() {
    if (m_nSlot >= 0) {
        CallRec& c = m_app.Model().m_cfg.GetData()->call;
        cfgui::StoreText(c.directions[m_nSlot], ui->m_pTxtEnDir->text());
        c.direction_sim[m_nSlot] = ui->m_pRdbSIM1->isChecked() ? 1 : ui->m_pRdbSIM2->isChecked() ? 2 : 0;
    }
    accept();
}
