// "SMS" of the configuration: incoming SMS handling, the information number
// and the texts the device sends on a reset and on low credit.
#pragma once

#include <QWidget>

#include <memory>

#include "config/PaneCfg.h"

namespace Ui {
class TFrmSMS;
}

class CPaneSMS;

class TFrmSMS : public QWidget {
    Q_OBJECT
public:
    TFrmSMS(CPaneSMS& pane, QWidget* parent);
    ~TFrmSMS() override;
    // The forwarding number is there exactly for forwarding.
    void m_pRdbModeClick();

    std::unique_ptr<Ui::TFrmSMS> ui;
};

class CPaneSMS : public CCfgPane {
public:
    explicit CPaneSMS(CAppUI& app) : CCfgPane(app, PANE_SMSCFG) {}
    void Load(int arg) override;
    void Save() override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmSMS* m_pFrm = nullptr;
};
