#include "comm/DlgCom.h"

#include <QCloseEvent>

#include "app/AppUIQt.h"
#include "app/MsgBox.h"
#include "app/Strings.h"
#include "app/Vantrix.h"
#include "comm/ComMsg.h"
#include "remote/ConnectDsc.h"
#include "ui_DlgCom.h"

TFrmCom::TFrmCom(CAppUI& app, QWidget* parent) : QDialog(parent), m_app(app), ui(std::make_unique<Ui::TFrmCom>()) {
    ui->setupUi(this);
    // No close box: a sequence ends by itself or through "Storno".
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint);
    connect(ui->m_pBtnCancel, &QPushButton::clicked, this, &TFrmCom::Cancel);
}

TFrmCom::~TFrmCom() = default;

void TFrmCom::RunModal() {
    ++m_started;
    if (m_inModal) return;  // a new sequence began before the dialog got to close
    m_inModal = true;
    while (m_ended < m_started) exec();
    m_inModal = false;
}

void TFrmCom::closeEvent(QCloseEvent* e) {
    if (m_ended >= m_started)
        QDialog::closeEvent(e);
    else
        e->ignore();
}

void TFrmCom::Cancel() { m_app.Model().m_com.PostRequest({REQ_CANCEL, 0, 0}); }

void TFrmCom::HandleComMsg(CComMsg* msg) {
    QProgressBar* bar = ui->m_pPrbCom;
    switch (msg->kind) {
    case CM_BEGIN:
        ui->m_pLblCaption->setText(QString::fromUtf8(LoadStr(int(msg->value1))).left(127));
        ui->m_pBtnCancel->setEnabled(msg->cancel == 1);
        bar->setMaximum(std::max(0, msg->value2));
        bar->setValue(0);
        break;
    case CM_STEP: bar->setValue(int(std::min<intptr_t>(bar->maximum(), bar->value() + msg->value1))); break;
    case CM_SET_POS: bar->setValue(int(std::min<intptr_t>(bar->maximum(), msg->value1))); break;
    case CM_ERROR:
        msgbox::Show(this,
                     QString::fromStdString(ComErrorText(int(msg->value1), uint32_t(msg->value2),
                                                         PortFault(msg->detail), m_app.Model().m_com.LocalPort())),
                     MbButtons::Ok, MbIcon::Error, windowTitle());
        break;
    case CM_END:
        ui->m_pLblCaption->setText(QString::fromUtf8(LoadStr(IDS_IDLE_CAPTION)));
        bar->setValue(0);
        ui->m_pBtnCancel->setEnabled(false);
        ++m_ended;
        if (m_ended >= m_started) done(QDialog::Accepted);
        break;
    case CM_PIN_REFUSED: {
        msgbox::Show(this, QString::fromUtf8(LoadStr(IDS_PIN_REFUSED)), MbButtons::Ok, MbIcon::Error, windowTitle());
        auto* dsc = reinterpret_cast<CConnectDsc*>(msg->value1);
        msg->value2 = dsc && m_app.EditConnection(*dsc, true) == IDOK ? 1 : 0;
        break;
    }
    default: break;
    }
    msg->done.store(1, std::memory_order_release);
}
