#include "config/DlgRenum.h"

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/Vantrix.h"
#include "config/PaneCfg.h"
#include "ui_DlgRenum.h"

TFrmRenumItem::TFrmRenumItem(CAppUI& app, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFrmRenumItem>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    connect(ui->iBtnOk, &QPushButton::clicked, this, &TFrmRenumItem::iBtnOkClick);
    connect(ui->iBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmRenumItem::~TFrmRenumItem() = default;

void TFrmRenumItem::Prepare(int entry) {
    m_nEntry = entry;
    const RenumEntry& e = m_app.Model().m_cfg.GetData()->renum.entries[entry];
    ui->iTxtENum->setText(cfgui::FieldText(e.input_prefix));
    ui->iTxtRNum->setText(cfgui::FieldText(e.result));
    // An empty entry offers the substitute dialling; a mode the device does
    // not define checks neither radio.
    cfgui::CheckRadio({ui->iRdbInitDial, ui->iRdbPostDial}, e.mode == 0 || e.mode == 255 ? 0 : e.mode == 1 ? 1 : -1);
    ui->iTxtENum->setFocus();
}

void TFrmRenumItem::iBtnOkClick() {
    if (m_nEntry >= 0) {
        RenumEntry& e = m_app.Model().m_cfg.GetData()->renum.entries[m_nEntry];
        cfgui::StoreText(e.input_prefix, ui->iTxtENum->text());
        cfgui::StoreText(e.result, ui->iTxtRNum->text());
        if (ui->iRdbInitDial->isChecked()) e.mode = 0;
        if (ui->iRdbPostDial->isChecked()) e.mode = 1;
    }
    accept();
}
