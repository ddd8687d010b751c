#include "remote/DlgModem.h"

#include <QApplication>
#include <QListWidget>

#include "app/Accessibility.h"
#include "app/Bytes.h"
#include "app/Strings.h"
#include "remote/DlgText.h"
#include "remote/TAPI.h"
#include "ui_DlgModem.h"

void FillModemList(QListWidget* list, const CTAPIMng& tapi, int selected) {
    list->clear();
    for (int i = 0; i < tapi.ModemCount(); ++i) list->addItem(FromAnsi(bytes::FieldStr(tapi.Modem(i)->name)));
    // An index from an earlier run that fits no modem now selects nothing.
    list->setCurrentRow(selected >= 0 && selected < list->count() ? selected : -1);
    if (selected < 0 || selected >= list->count()) list->clearSelection();
}

TFrmModemProps::TFrmModemProps(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TFrmModemProps>()) {
    ui->setupUi(this);
    NameControls(this);
    connect(ui->m_pBtnOk, &QPushButton::clicked, this, &QDialog::accept);
}

TFrmModemProps::~TFrmModemProps() = default;

void TFrmModemProps::Fill(const ModemProps& props, int result) {
    ui->m_pTxtName->setText(FromAnsi(props.name));
    ui->m_pTxtPath->setText(QString::fromStdString(props.path));
    QString device = QString::fromStdString(props.device);
    if (!props.present) {
        const QString missing = QString::fromUtf8(LoadStr(IDS_MODEM_NOT_FOUND));
        device = device.isEmpty() ? missing : device + QLatin1Char(' ') + missing;
    }
    ui->m_pTxtDevice->setText(device);
    QString info;
    if (result == 0) {
        QStringList lines;
        for (const std::string& line : props.info) lines << FromAnsi(line);
        info = lines.join(QLatin1Char('\n'));
    } else if (result == LINEERR_INUSE) {
        info = QString::fromUtf8(LoadStr(IDS_MODEM_IN_USE));
    } else if (result == LINEERR_NODEVICE || !props.present) {
        info = QString::fromUtf8(LoadStr(IDS_MODEM_CANNOT_OPEN));
    } else {
        info = QString::fromUtf8(LoadStr(IDS_MODEM_NO_ANSWER));
    }
    ui->m_pTxtInfo->setPlainText(info);
}

void ShowModemProps(QWidget* owner, CTAPIMng& tapi, int index, uint32_t timeoutMs) {
    ModemProps props;
    if (tapi.GetModemProps(index, props) != 0) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = tapi.QueryModem(index, props, timeoutMs);
    QApplication::restoreOverrideCursor();
    TFrmModemProps dlg(owner);
    dlg.Fill(props, result);
    dlg.exec();
}
