#include "config/PaneGprsAP.h"

#include <QValidator>

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/Vantrix.h"
#include "comm/ComRequest.h"
#include "config/PaneCfg.h"
#include "ui_PaneGprsAP.h"

namespace {

// Takes only what IsApnChar allows, as typed and as pasted: the APN goes
// between quotes into an AT command line.
class CApnValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar c : input)
            if (c.unicode() > 0xFF || !IsApnChar(static_cast<unsigned char>(c.unicode()))) return Invalid;
        return Acceptable;
    }
};

// The class edits in the order of the record's fields, with their typing limits.
struct ClassEdit {
    QLineEdit* Ui::TFrmGprsAP::*edit;
    uint8_t GprsApRec::*field;
    int limit;
};
constexpr ClassEdit kClasses[] = {
    {&Ui::TFrmGprsAP::m_pTxtPrecedence, &GprsApRec::precedence, 1},
    {&Ui::TFrmGprsAP::m_pTxtDelay, &GprsApRec::delay, 1},
    {&Ui::TFrmGprsAP::m_pTxtReliability, &GprsApRec::reliability, 1},
    {&Ui::TFrmGprsAP::m_pTxtPeak, &GprsApRec::peak, 1},
    {&Ui::TFrmGprsAP::m_pTxtMean, &GprsApRec::mean, 2},
};

}  // namespace

TFrmGprsAP::TFrmGprsAP(CAppUI& app, CPaneGprsAP& pane, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFrmGprsAP>()), m_app(app), m_pane(pane) {
    ui->setupUi(this);
    NameControls(this);
    ui->m_pTxtAPN->setValidator(new CApnValidator(ui->m_pTxtAPN));
    connect(ui->m_pRdbDefSet, &QRadioButton::toggled, this, &TFrmGprsAP::m_pRdbQoSSetClick);
    connect(ui->m_pRdbUsrSet, &QRadioButton::toggled, this, &TFrmGprsAP::m_pRdbQoSSetClick);
    connect(ui->m_pBtnLoad, &QPushButton::clicked, this, &TFrmGprsAP::m_pBtnLoadClick);
    connect(ui->m_pBtnSave, &QPushButton::clicked, this, &TFrmGprsAP::m_pBtnSaveClick);
    m_pRdbQoSSetClick();
}

TFrmGprsAP::~TFrmGprsAP() = default;

void TFrmGprsAP::m_pRdbQoSSetClick() {
    const bool user = ui->m_pRdbUsrSet->isChecked();
    for (const ClassEdit& c : kClasses) ((*ui).*c.edit)->setEnabled(user);
}

void TFrmGprsAP::m_pBtnLoadClick() {
    // The read keeps the record's QoS choice, so the one on screen goes there first.
    m_pane.Save();
    m_app.Model().m_com.PostRequest({REQ_READ_GPRS, 0, 0});
}

void TFrmGprsAP::m_pBtnSaveClick() {
    // What is on screen is what is sent.
    m_pane.Save();
    m_app.Model().m_com.PostRequest({REQ_WRITE_GPRS, 0, 0});
}

QWidget* CPaneGprsAP::MakeFrame(QWidget* area) { return m_pFrm = new TFrmGprsAP(m_app, *this, area); }

void CPaneGprsAP::Load(int arg) {
    BeginLoad(arg);
    const GprsApRec& r = m_app.Model().m_gprs;
    auto& u = *m_pFrm->ui;
    cfgui::LoadText(u.m_pTxtAPN, r.apn);
    u.m_pChbDComp->setChecked(r.dataCompression != 0);
    u.m_pChbHComp->setChecked(r.headerCompression != 0);
    cfgui::CheckRadio({u.m_pRdbDefSet, u.m_pRdbUsrSet}, r.defaultQos ? 0 : 1);
    m_pFrm->m_pRdbQoSSetClick();
    // A class read from the module is shown whole even when it is longer
    // than what can be typed.
    for (const ClassEdit& c : kClasses) cfgui::SetFittingText(u.*c.edit, QString::number(r.*c.field), c.limit);
}

void CPaneGprsAP::Save() {
    GprsApRec& r = m_app.Model().m_gprs;
    auto& u = *m_pFrm->ui;
    cfgui::StoreText(r.apn, u.m_pTxtAPN);
    r.dataCompression = u.m_pChbDComp->isChecked() ? 1 : 0;
    r.headerCompression = u.m_pChbHComp->isChecked() ? 1 : 0;
    r.defaultQos = u.m_pRdbDefSet->isChecked() ? 1 : 0;
    for (const ClassEdit& c : kClasses) r.*c.field = uint8_t((u.*c.edit)->text().trimmed().toInt());
}
