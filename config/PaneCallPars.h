// "Ostatní směry": what happens to numbers outside the allowed directions.
#pragma once

#include <QWidget>

#include <memory>

#include "config/PaneCfg.h"

namespace Ui {
class TFrmCallPars;
}

class CPaneCallPars;

class TFrmCallPars : public QWidget {
    Q_OBJECT
public:
    TFrmCallPars(CPaneCallPars& pane, QWidget* parent);
    ~TFrmCallPars() override;

    std::unique_ptr<Ui::TFrmCallPars> ui;
};

class CPaneCallPars : public CCfgPane {
public:
    explicit CPaneCallPars(CAppUI& app) : CCfgPane(app, PANE_CALLPARS) {}
    void Load(int arg) override;
    void Save() override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmCallPars* m_pFrm = nullptr;
};
