#include "comm/PaneState.h"

#include <QDate>
#include <QTime>

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/Bytes.h"
#include "app/Strings.h"
#include "app/TextCodec.h"
#include "app/Vantrix.h"
#include "ui_PaneDevId.h"
#include "ui_PaneGSM.h"
#include "ui_PaneIO.h"
#include "ui_PaneTime.h"

namespace {

template <size_t N> QString Text(const char (&field)[N]) {
    return QString::fromStdString(cp1250::ToUtf8(bytes::FieldStr(field)));
}

QString Str(int id) { return QString::fromUtf8(LoadStr(id)); }

}  // namespace

// ------------------------------------------------------------------ identification

TFrmDevId::TFrmDevId(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmDevId>()) {
    ui->setupUi(this);
    NameControls(this);
}
TFrmDevId::~TFrmDevId() = default;

QWidget* CPaneDevId::MakeFrame(QWidget* area) { return m_pFrm = new TFrmDevId(area); }

void CPaneDevId::Load(int arg) {
    BeginLoad(arg);
    const DevIdentity d = m_app.Model().Snapshot(m_app.Model().m_devId);
    auto& u = *m_pFrm->ui;
    u.m_pTxtName->setText(Text(d.name));
    u.m_pTxtFWVer->setText(QString::asprintf("%d.%02d", d.fwMajor, d.fwMinor));
    u.m_pTxtHWVer->setText(QString::asprintf("%u.%02d", d.hwMajor, d.hwMinor));
    u.m_pTxtSerNum->setText(QString::asprintf("%08u", d.serial));
    u.m_pTxtIMEI->setText(Text(d.imei));
    // 0 and 1 have texts ("ano", "ne"); any other value shows an empty field.
    u.m_pTxtGPRS->setText(d.gprs <= 1 ? Str(IDS_YES + d.gprs) : QString());
}

// ------------------------------------------------------------------ GSM

TFrmGSM::TFrmGSM(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmGSM>()) {
    ui->setupUi(this);
    NameControls(this);
}
TFrmGSM::~TFrmGSM() = default;

QWidget* CPaneGSM::MakeFrame(QWidget* area) { return m_pFrm = new TFrmGSM(area); }

void CPaneGSM::Load(int arg) {
    BeginLoad(arg);
    const GsmStatus g = m_app.Model().Snapshot(m_app.Model().m_gsm);
    auto& u = *m_pFrm->ui;
    u.m_pTxtOperator->setText(Text(g.operatorName));
    // A state without a text shows an empty field.
    auto state = [](int base, int value, int count) {
        return value >= 0 && value < count ? Str(base + value) : QString();
    };
    u.m_pTxtGSMME->setText(state(IDS_GSM_STATE, g.moduleState, 5));
    u.m_pTxtSIM->setText(state(IDS_SIM_STATE, g.simState, 7));
    u.m_pTxtNet->setText(state(IDS_NET_STATE, g.netReg, 5));
    u.m_pTxtCredit1->setText(QString::asprintf("%.02f", double(g.credit1)));
    u.m_pTxtCredit2->setText(QString::asprintf("%.02f", double(g.credit2)));
    u.m_pTxtBTS->setText(QString::asprintf("%04X", g.bts));
    u.m_pTxtWAC->setText(QString::number(g.unauthorised));
    u.m_pPrbSignal->setValue(std::clamp(g.signal, 0, 32));
}

// ------------------------------------------------------------------ inputs and outputs

TFrmIO::TFrmIO(CAppUI& app, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmIO>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    // The buttons act on the selected rows, so they are there exactly while a row is.
    connect(ui->m_pLsvIO, &QTreeWidget::itemSelectionChanged, this, [this] {
        bool any = !ui->m_pLsvIO->selectedItems().isEmpty();
        ui->m_pBtnSet1->setEnabled(any);
        ui->m_pBtnSet0->setEnabled(any);
    });
    connect(ui->m_pBtnSet1, &QPushButton::clicked, this, [this] { SetOutputs(true); });
    connect(ui->m_pBtnSet0, &QPushButton::clicked, this, [this] { SetOutputs(false); });
}
TFrmIO::~TFrmIO() = default;

void TFrmIO::SetOutputs(bool high) {
    int mask = 0;
    for (QTreeWidgetItem* item : ui->m_pLsvIO->selectedItems()) mask |= 1 << ui->m_pLsvIO->indexOfTopLevelItem(item);
    m_app.Model().m_com.PostRequest({REQ_SET_OUTPUTS, mask, high ? mask : 0});
}

QWidget* CPaneIO::MakeFrame(QWidget* area) { return m_pFrm = new TFrmIO(m_app, area); }

void CPaneIO::Load(int arg) {
    BeginLoad(arg);
    QTreeWidget* list = m_pFrm->ui->m_pLsvIO;
    if (list->topLevelItemCount() == 0) {
        for (int n = 1; n <= 8; ++n) {
            auto* item = new QTreeWidgetItem(list, {QStringLiteral("IO%1").arg(n), QString(), QString()});
            item->setTextAlignment(1, Qt::AlignCenter);
            item->setTextAlignment(2, Qt::AlignCenter);
        }
    }
    const IoState io = m_app.Model().Snapshot(m_app.Model().m_io);
    for (int n = 0; n < 8; ++n) {
        QTreeWidgetItem* item = list->topLevelItem(n);
        item->setText(1, io.inputs >> n & 1 ? QStringLiteral("1") : QStringLiteral("0"));
        item->setText(2, io.outputs >> n & 1 ? QStringLiteral("1") : QStringLiteral("0"));
    }
}

// ------------------------------------------------------------------ clock

TFrmTime::TFrmTime(CAppUI& app, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmTime>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    // The device holds the year as one byte after 2000.
    ui->m_pDtpDate->setDateRange(QDate(2000, 1, 1), QDate(2255, 12, 31));
    connect(ui->m_pBtnSet, &QPushButton::clicked, this, [this] {
        QTime t = ui->m_pDtpTime->time();
        QDate d = ui->m_pDtpDate->date();
        SysTime wanted{};
        wanted.wHour = uint16_t(t.hour());
        wanted.wMinute = uint16_t(t.minute());
        wanted.wSecond = uint16_t(t.second());
        wanted.wYear = uint16_t(d.year());
        wanted.wMonth = uint16_t(d.month());
        wanted.wDay = uint16_t(d.day());
        m_app.Model().m_com.PostRequest(SetTimeRequest(wanted));
    });
    connect(ui->m_pBtnSync, &QPushButton::clicked, this, [this] { m_app.Model().SyncTime(); });
}
TFrmTime::~TFrmTime() = default;

QWidget* CPaneTime::MakeFrame(QWidget* area) { return m_pFrm = new TFrmTime(m_app, area); }

void CPaneTime::Load(int arg) {
    BeginLoad(arg);
    auto& u = *m_pFrm->ui;
    // What the user is typing stays.
    if (u.m_pDtpTime->hasFocus() || u.m_pDtpDate->hasFocus()) return;
    const SysTime t = m_app.Model().Snapshot(m_app.Model().m_devTime);
    u.m_pDtpTime->setTime(QTime(t.wHour, t.wMinute, t.wSecond, 0));
    u.m_pDtpDate->setDate(QDate(t.wYear, t.wMonth, t.wDay));
}
