#include "sms/DlgSMSEdit.h"

#include <QPushButton>

#include "app/AppUI.h"
#include "sms/PaneSMS.h"
#include "ui_DlgSMSEdit.h"
#include "ui_PaneSMSEdit.h"

TFrmSMSEditDlg::TFrmSMSEditDlg(CAppUI& app, QWidget* parent)
    : QDialog(parent), m_app(app), ui(std::make_unique<Ui::TFrmSMSEditDlg>()) {
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    m_pFrmSMSEdit = new TFrmSMSEdit(m_app, this);
    m_pFrmSMSEdit->setObjectName(QStringLiteral("m_pFrmSMSEdit"));
    ui->m_pLayMain->addWidget(m_pFrmSMSEdit);
    // Both buttons close the dialog with OK once their own handler (connected
    // first, by the frame) has run, whatever it did.
    connect(m_pFrmSMSEdit->ui->m_pBtnSend, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pFrmSMSEdit->ui->m_pBtnSave, &QPushButton::clicked, this, &QDialog::accept);
}

TFrmSMSEditDlg::~TFrmSMSEditDlg() = default;

int TFrmSMSEditDlg::Edit(CSMS& sms, int index) {
    m_pFrmSMSEdit->BindSMS(&sms, index, true);
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}
