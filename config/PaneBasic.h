// "Ostatní parametry 1": programming character, tariff pulses, audio levels.
#pragma once

#include <QWidget>

#include <memory>

#include "config/PaneCfg.h"

namespace Ui {
class TFrmBasic1;
}

class CPaneBasic1;

class TFrmBasic1 : public QWidget {
    Q_OBJECT
public:
    TFrmBasic1(CPaneBasic1& pane, QWidget* parent);
    ~TFrmBasic1() override;
    // The interval edit is there exactly for the interval tariff.
    void OnClickTariff();

    std::unique_ptr<Ui::TFrmBasic1> ui;
};

class CPaneBasic1 : public CCfgPane {
public:
    explicit CPaneBasic1(CAppUI& app) : CCfgPane(app, PANE_BASIC1) {}
    void Load(int arg) override;
    void Save() override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmBasic1* m_pFrm = nullptr;
};
