#include "remote/DlgComSet.h"

#include <QComboBox>
#include <QLineEdit>
#include <QStyledItemDelegate>

#include <algorithm>

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/MainWnd.h"
#include "app/Profile.h"
#include "app/Strings.h"
#include "app/Vantrix.h"
#include "comm/PortName.h"
#include "remote/DlgModem.h"
#include "remote/DlgText.h"
#include "ui_DlgComSet.h"

namespace {

// Shows a port item's details beside its name in the list; the item's
// text, what the edit takes and the profile keeps, stays the bare name.
class CPortItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString details = index.data(Qt::ToolTipRole).toString();
        if (!details.isEmpty()) option->text += QStringLiteral(" – ") + details;
    }
};

// The COM names the program has always offered, then the serial ports this
// machine has (as names the transport takes: "ttyUSB0" is /dev/ttyUSB0),
// each with what tells one adapter from another.
void AddPortItems(QComboBox* combo) {
    combo->setItemDelegate(new CPortItemDelegate(combo));
    for (const char* com : {"COM1", "COM2", "COM3", "COM4"}) combo->addItem(QString::fromLatin1(com));
    for (const PortInfo& port : DetectedPortInfo()) {
        const QString name = QString::fromStdString(port.name);
        if (AnsiLen(name) > int(CProfile::kPortNameMax) || combo->findText(name) >= 0) continue;
        QStringList details;
        for (const std::string* text : {&port.description, &port.maker})
            if (!text->empty()) details << QString::fromStdString(*text);
        if (!port.serial.empty())
            details << QString::fromUtf8(LoadStr(IDS_PORT_SERIAL)) + QString::fromStdString(port.serial);
        combo->addItem(name);
        combo->setItemData(combo->count() - 1, details.join(QStringLiteral(", ")), Qt::ToolTipRole);
        combo->setItemData(combo->count() - 1, details.join(QStringLiteral(", ")), Qt::AccessibleDescriptionRole);
    }
}

}  // namespace

TFrmComSet::TFrmComSet(CAppUI& app, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TFrmComSet>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    ui->m_pCmbPort->setCompleter(nullptr);
    ui->m_pPgCtlCom->setCurrentIndex(0);

    connect(ui->m_pLsbModem, &QListWidget::itemSelectionChanged, this, &TFrmComSet::UpdateModemButton);
    connect(ui->m_pLsbModem, &QListWidget::itemDoubleClicked, this, &TFrmComSet::ModemProperties);
    connect(ui->m_pBtnModemSet, &QPushButton::clicked, this, &TFrmComSet::ModemProperties);
    connect(ui->m_pLsbConnect, &QListWidget::itemSelectionChanged, this, &TFrmComSet::UpdateConnectButtons);
    connect(ui->m_pLsbConnect, &QListWidget::itemDoubleClicked, this, &TFrmComSet::EditConnection);
    connect(ui->m_pBtnAdd, &QPushButton::clicked, this, &TFrmComSet::AddConnection);
    connect(ui->m_pBtnDel, &QPushButton::clicked, this, &TFrmComSet::DeleteConnection);
    connect(ui->m_pBtnSet, &QPushButton::clicked, this, &TFrmComSet::EditConnection);
    connect(ui->m_pBtnOk, &QPushButton::clicked, this, &TFrmComSet::Confirm);
    connect(ui->m_pBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmComSet::~TFrmComSet() = default;

int TFrmComSet::SelectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.first());
}

void TFrmComSet::Fill() {
    const ProfileComBlock& com = m_app.Profile().com;
    ui->m_pRdbLocal->setChecked(com.accessMode == 1);
    ui->m_pRdbRemote->setChecked(com.accessMode == 2);

    QComboBox* port = ui->m_pCmbPort;
    port->clear();
    AddPortItems(port);
    const QString name = FromAnsi(m_app.Profile().PortName());
    const int item = port->findText(name);
    if (item >= 0)
        port->setCurrentIndex(item);
    else
        port->setEditText(name);

    ui->m_pChbLog->setChecked(com.logTraffic != 0);

    FillModemList(ui->m_pLsbModem, m_app.Model().m_com.Tapi(), com.modemIndex);
    UpdateModemButton();

    const CConnectDscMng& conns = m_app.Model().m_com.Connections();
    ui->m_pLsbConnect->clear();
    for (int i = 0; i < conns.Count(); ++i) ui->m_pLsbConnect->addItem(FromAnsi(conns.Get(i)->Number()));
    if (conns.SelectedEntry())
        ui->m_pLsbConnect->setCurrentRow(conns.selectedIndex);
    else
        ui->m_pLsbConnect->clearSelection();
    UpdateConnectButtons();
}

void TFrmComSet::Store() {
    CProfile& profile = m_app.Profile();
    profile.com.accessMode = ui->m_pRdbLocal->isChecked() ? 1 : 2;
    profile.SetPortName(ToAnsi(ui->m_pCmbPort->currentText()));
    profile.com.logTraffic = ui->m_pChbLog->isChecked() ? 1 : 0;
    profile.com.modemIndex = SelectedRow(ui->m_pLsbModem);
    m_app.Model().m_com.Connections().selectedIndex = SelectedRow(ui->m_pLsbConnect);
}

void TFrmComSet::Confirm() {
    // A longer name would be cut by the profile and another port opened: it
    // is refused, and the dialog stays for the user to mend it.
    if (AnsiLen(ui->m_pCmbPort->currentText()) > int(CProfile::kPortNameMax)) {
        m_app.MessageBox(LoadStr(IDS_PORT_NAME_TOO_LONG), MbButtons::Ok, MbIcon::Exclamation);
        ui->m_pCmbPort->setFocus();
        return;
    }
    accept();
}

void TFrmComSet::UpdateModemButton() { ui->m_pBtnModemSet->setEnabled(SelectedRow(ui->m_pLsbModem) >= 0); }

void TFrmComSet::UpdateConnectButtons() {
    const int count = ui->m_pLsbConnect->count();
    const bool selected = count > 0 && SelectedRow(ui->m_pLsbConnect) >= 0;
    ui->m_pBtnAdd->setEnabled(m_app.Model().m_com.Connections().Count() < CONNECT_MAX);
    ui->m_pBtnDel->setEnabled(selected);
    ui->m_pBtnSet->setEnabled(selected);
}

void TFrmComSet::ModemProperties() {
    const int row = SelectedRow(ui->m_pLsbModem);
    if (row >= 0) ShowModemProps(this, m_app.Model().m_com.Tapi(), row);
}

void TFrmComSet::AddConnection() {
    CConnectDsc dsc;
    if (m_app.EditConnection(dsc, false) != IDOK) return;
    const int index = m_app.Model().m_com.Connections().Add(dsc);
    if (index < 0) return;
    ui->m_pLsbConnect->addItem(FromAnsi(dsc.Number()));
    ui->m_pLsbConnect->setCurrentRow(index);
    UpdateConnectButtons();
    m_app.StoreConnections();
}

void TFrmComSet::DeleteConnection() {
    const int row = SelectedRow(ui->m_pLsbConnect);
    if (row < 0) return;
    if (m_app.MessageBox(LoadStr(IDS_QUERY_DEL_CONNECTION), MbButtons::YesNo, MbIcon::Question) != IDYES) return;
    CConnectDscMng& conns = m_app.Model().m_com.Connections();
    conns.Remove(row);
    // The list's own selection must keep naming the entry it named: a later
    // Storno would otherwise leave the next connect calling its neighbour.
    if (conns.selectedIndex == row)
        conns.selectedIndex = -1;
    else if (conns.selectedIndex > row)
        --conns.selectedIndex;
    delete ui->m_pLsbConnect->takeItem(row);
    const int count = ui->m_pLsbConnect->count();
    if (count > 0)
        ui->m_pLsbConnect->setCurrentRow(std::min(row, count - 1));
    else
        ui->m_pLsbConnect->clearSelection();
    UpdateConnectButtons();
    m_app.StoreConnections();
}

void TFrmComSet::EditConnection() {
    const int row = SelectedRow(ui->m_pLsbConnect);
    CConnectDsc* dsc = m_app.Model().m_com.Connections().Get(row);
    if (!dsc) return;
    if (m_app.EditConnection(*dsc, false) != IDOK) return;
    ui->m_pLsbConnect->item(row)->setText(FromAnsi(dsc->Number()));
    m_app.StoreConnections();
}

int ShowComSetDialog(CAppUI& app) {
    TFrmComSet dlg(app, app.MainWnd());
    dlg.Fill();
    if (dlg.exec() != QDialog::Accepted) return IDCANCEL;
    dlg.Store();
    return IDOK;
}
