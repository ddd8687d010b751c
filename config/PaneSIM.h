// "SIM karta 1" and "SIM karta 2": one frame for either card, the argument
// says which.
#pragma once

#include <QWidget>

#include <memory>

#include "config/PaneCfg.h"

namespace Ui {
class TFrmSIM;
}

class CPaneSIM;

class TFrmSIM : public QWidget {
    Q_OBJECT
public:
    TFrmSIM(CPaneSIM& pane, QWidget* parent);
    ~TFrmSIM() override;
    // The credit edits that the chosen mode uses are enabled.
    void m_pRdbCModeClick();

    std::unique_ptr<Ui::TFrmSIM> ui;
};

class CPaneSIM : public CCfgPane {
public:
    explicit CPaneSIM(CAppUI& app) : CCfgPane(app, PANE_SIM) {}
    void Load(int arg) override;
    // Into the card the page was loaded with.
    void Save() override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmSIM* m_pFrm = nullptr;
};
