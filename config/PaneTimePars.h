// "Časové parametry": four timings of the call handling.
#pragma once

#include <QWidget>

#include <memory>

#include "config/PaneCfg.h"

namespace Ui {
class TFrmTimePars;
}

class CPaneTimePars;

class TFrmTimePars : public QWidget {
    Q_OBJECT
public:
    TFrmTimePars(CPaneTimePars& pane, QWidget* parent);
    ~TFrmTimePars() override;

    std::unique_ptr<Ui::TFrmTimePars> ui;
};

class CPaneTimePars : public CCfgPane {
public:
    explicit CPaneTimePars(CAppUI& app) : CCfgPane(app, PANE_TIMEPARS) {}
    void Load(int arg) override;
    void Save() override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmTimePars* m_pFrm = nullptr;
};
