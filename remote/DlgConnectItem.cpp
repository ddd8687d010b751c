#include "remote/DlgConnectItem.h"

#include "app/Accessibility.h"
#include "app/AppUI.h"
#include "remote/ConnectDsc.h"
#include "remote/DlgText.h"
#include "ui_DlgConnectItem.h"

TFrmConnectItem::TFrmConnectItem(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TFrmConnectItem>()) {
    ui->setupUi(this);
    NameControls(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    connect(ui->m_pTxtNum, &QLineEdit::textChanged, this, &TFrmConnectItem::UpdateOk);
    connect(ui->m_pTxtPIN, &QLineEdit::textChanged, this, &TFrmConnectItem::UpdateOk);
    connect(ui->m_pBtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->m_pBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmConnectItem::~TFrmConnectItem() = default;

void TFrmConnectItem::UpdateOk() {
    ui->m_pBtnOk->setEnabled(!ui->m_pTxtNum->text().isEmpty() && AnsiLen(ui->m_pTxtPIN->text()) >= kPinMin);
}

int TFrmConnectItem::Edit(CConnectDsc& dsc, bool lockNumber) {
    ui->m_pTxtNum->setText(FromAnsi(dsc.Number()));
    ui->m_pTxtPIN->setText(FromAnsi(dsc.Pin()));
    ui->m_pTxtNum->setEnabled(!lockNumber);
    UpdateOk();
    (lockNumber ? ui->m_pTxtPIN : ui->m_pTxtNum)->setFocus();
    if (exec() != QDialog::Accepted) return IDCANCEL;
    dsc.SetNumber(ToAnsi(ui->m_pTxtNum->text()));
    dsc.SetPin(ToAnsi(ui->m_pTxtPIN->text()));
    return IDOK;
}
