#include "remote/DlgModem.h"

#include <QApplication>
#include <QListWidget>

#include "app/Accessibility.h"
#include "app/Bytes.h"
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
    if (!props.present)
        device = device.isEmpty() ? QStringLiteral("(nenalezeno)") : device + QStringLiteral(" (nenalezeno)");
    ui->m_pTxtDevice->setText(device);
    QString info;
    if (result == 0) {
        QStringList lines;
        for (const std::string& line : props.info) lines << FromAnsi(line);
        info = lines.join(QLatin1Char('\n'));
    } else if (result == LINEERR_INUSE) {
        info = QStringLiteral("Modem je právě používán pro spojení.");
    } else if (result == LINEERR_NODEVICE || !props.present) {
        info = QStringLiteral("Modem nelze otevřít.");
    } else {
        info = QStringLiteral("Modem neodpověděl.");
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
