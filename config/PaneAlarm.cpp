#include "config/PaneAlarm.h"

#include "app/Accessibility.h"
#include "app/Strings.h"
#include "ui_PaneAlarm.h"

namespace {

int AlarmIndex(int arg) { return arg >= 0 && arg < 8 ? arg : 0; }

}  // namespace

TFrmAlarm::TFrmAlarm(CPaneAlarm& pane, QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TFrmAlarm>()) {
    ui->setupUi(this);
    NameControls(this);
    cfgui::LimitMemo(ui->m_pTxtASMS, int(sizeof(AlarmRec::sms_text)) - 1);
    cfgui::ConnectEdits(this, [&pane] { pane.OnDataChange(); });
}

TFrmAlarm::~TFrmAlarm() = default;

QWidget* CPaneAlarm::MakeFrame(QWidget* area) { return m_pFrm = new TFrmAlarm(*this, area); }

void CPaneAlarm::Load(int arg) {
    BeginLoad(arg);
    const int k = AlarmIndex(arg);
    const AlarmRec& a = Img().alarms[k];
    auto& u = *m_pFrm->ui;
    u.m_pGrbMain->setTitle(QString::fromUtf8(LoadStr(IDS_ALARM)) + QStringLiteral(" %1").arg(k + 1));
    u.m_pGrbMain->setAccessibleName(u.m_pGrbMain->title());
    cfgui::LoadText(u.m_pTxtACall, a.call_number);
    u.m_pUDAMusic->setValue(a.melody);
    cfgui::LoadText(u.m_pTxtASMS1, a.sms1_number);
    cfgui::LoadText(u.m_pTxtASMS2, a.sms2_number);
    cfgui::LoadMemo(u.m_pTxtASMS, a.sms_text);
}

void CPaneAlarm::Save() {
    AlarmRec& a = Img().alarms[AlarmIndex(m_nArg)];
    auto& u = *m_pFrm->ui;
    cfgui::StoreText(a.call_number, u.m_pTxtACall);
    a.melody = uint8_t(u.m_pUDAMusic->value());
    cfgui::StoreText(a.sms1_number, u.m_pTxtASMS1);
    cfgui::StoreText(a.sms2_number, u.m_pTxtASMS2);
    cfgui::StoreMemo(a.sms_text, u.m_pTxtASMS);
}
