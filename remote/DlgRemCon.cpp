#include "remote/DlgRemCon.h"

#include <QLineEdit>

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/MainWnd.h"
#include "app/Profile.h"
#include "app/Strings.h"
#include "app/Vantrix.h"
#include "remote/DlgModem.h"
#include "remote/DlgText.h"
#include "ui_DlgRemCon.h"

int TFrmRemCon::s_nRemembered = -1;

TFrmRemCon::TFrmRemCon(CAppUI& app, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFrmRemCon>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    QComboBox* number = ui->m_pCmbNumber;
    number->lineEdit()->setMaxLength(CONNECT_NUMBER_LEN);
    // No completion: a typed number must stay what was typed, not turn into
    // a stored one half-way.
    number->setCompleter(nullptr);

    connect(ui->m_pLsbModem, &QListWidget::itemSelectionChanged, this, [this] {
        ui->m_pBtnModemSet->setEnabled(!ui->m_pLsbModem->selectedItems().isEmpty());
        UpdateConnect();
    });
    connect(ui->m_pLsbModem, &QListWidget::itemDoubleClicked, this, &TFrmRemCon::ModemProperties);
    connect(ui->m_pBtnModemSet, &QPushButton::clicked, this, &TFrmRemCon::ModemProperties);
    // A pick from the list (also the same one again, and the arrow keys)
    // chooses that entry; typing chooses none.
    connect(number, &QComboBox::activated, this, [this](int index) { NumberChanged(index); });
    connect(number->lineEdit(), &QLineEdit::textEdited, this, [this] { NumberChanged(-1); });
    connect(ui->m_pTxtPIN, &QLineEdit::textChanged, this, &TFrmRemCon::UpdateConnect);
    connect(ui->m_pBtnConnect, &QPushButton::clicked, this, &TFrmRemCon::Connect);
    connect(ui->m_pBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmRemCon::~TFrmRemCon() = default;

void TFrmRemCon::Fill() {
    FillModemList(ui->m_pLsbModem, m_app.Model().m_com.Tapi(), m_app.Profile().com.modemIndex);
    ui->m_pBtnModemSet->setEnabled(!ui->m_pLsbModem->selectedItems().isEmpty());

    const CConnectDscMng& conns = m_app.Model().m_com.Connections();
    QComboBox* number = ui->m_pCmbNumber;
    number->clear();
    for (int i = 0; i < conns.Count(); ++i) number->addItem(FromAnsi(conns.Get(i)->Number()));
    if (const CConnectDsc* dsc = conns.SelectedEntry()) {
        m_nChosen = conns.selectedIndex;
        number->setCurrentIndex(m_nChosen);
        ui->m_pTxtPIN->setText(FromAnsi(dsc->Pin()));
    } else {
        m_nChosen = -1;
        number->setCurrentIndex(-1);
        number->setEditText(QString());
    }
    UpdateConnect();
}

void TFrmRemCon::UpdateConnect() {
    ui->m_pBtnConnect->setEnabled(!ui->m_pLsbModem->selectedItems().isEmpty() &&
                                  !ui->m_pCmbNumber->currentText().isEmpty() &&
                                  AnsiLen(ui->m_pTxtPIN->text()) >= kPinMin);
}

void TFrmRemCon::NumberChanged(int chosen) {
    m_nChosen = chosen;
    if (chosen != s_nRemembered) {
        s_nRemembered = chosen;
        if (const CConnectDsc* dsc = m_app.Model().m_com.Connections().Get(chosen))
            ui->m_pTxtPIN->setText(FromAnsi(dsc->Pin()));
    }
    // Also here, so that emptying the number cannot leave Spojit enabled.
    UpdateConnect();
}

void TFrmRemCon::ModemProperties() {
    const QList<QListWidgetItem*> items = ui->m_pLsbModem->selectedItems();
    if (!items.isEmpty()) ShowModemProps(this, m_app.Model().m_com.Tapi(), ui->m_pLsbModem->row(items.first()));
}

void TFrmRemCon::Connect() {
    CConnectDscMng& conns = m_app.Model().m_com.Connections();
    const QList<QListWidgetItem*> modems = ui->m_pLsbModem->selectedItems();
    if (modems.isEmpty()) return;
    int index = m_nChosen;
    if (!conns.Get(index)) {
        CConnectDsc dsc;
        dsc.SetNumber(ToAnsi(ui->m_pCmbNumber->currentText()));
        index = conns.Add(dsc);
        if (index < 0) {
            // No room for the typed number: nothing is stored and the user
            // may pick a stored number or cancel.
            m_app.MessageBox(LoadStr(IDS_CONNECTION_LIST_FULL), MbButtons::Ok, MbIcon::Exclamation);
            return;
        }
    }
    conns.selectedIndex = index;
    conns.Get(index)->SetPin(ToAnsi(ui->m_pTxtPIN->text()));
    m_app.Profile().com.modemIndex = ui->m_pLsbModem->row(modems.first());
    accept();
}

int ShowRemConDialog(CAppUI& app) {
    TFrmRemCon dlg(app, app.MainWnd());
    dlg.Fill();
    return dlg.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}
