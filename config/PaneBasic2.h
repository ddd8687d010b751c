// "Ostatní parametry 2": the device's RS232 port and its ring indication.
#pragma once

#include <QWidget>

#include <memory>

#include "config/PaneCfg.h"

namespace Ui {
class TFrmBasic2;
}

class CPaneBasic2;

class TFrmBasic2 : public QWidget {
    Q_OBJECT
public:
    TFrmBasic2(CPaneBasic2& pane, QWidget* parent);
    ~TFrmBasic2() override;

    std::unique_ptr<Ui::TFrmBasic2> ui;
};

class CPaneBasic2 : public CCfgPane {
public:
    explicit CPaneBasic2(CAppUI& app) : CCfgPane(app, PANE_BASIC2) {}
    void Load(int arg) override;
    void Save() override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmBasic2* m_pFrm = nullptr;
};
