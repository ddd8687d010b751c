// "Přístupový bod": the GPRS access point of the device's GSM module. The page
// edits the in-memory GprsApRec and starts its read and write; it is no part
// of the configuration document.
#pragma once

#include <QWidget>

#include <memory>

#include "app/PaneMng.h"

namespace Ui {
class TFrmGprsAP;
}

class CPaneGprsAP;

class TFrmGprsAP : public QWidget {
    Q_OBJECT
public:
    TFrmGprsAP(CAppUI& app, CPaneGprsAP& pane, QWidget* parent);
    ~TFrmGprsAP() override;

    // The five class edits are enabled exactly for "uživatelské nastavení".
    void m_pRdbQoSSetClick();
    void m_pBtnLoadClick();
    void m_pBtnSaveClick();

    std::unique_ptr<Ui::TFrmGprsAP> ui;

private:
    CAppUI& m_app;
    CPaneGprsAP& m_pane;
};

class CPaneGprsAP : public CPane {
public:
    explicit CPaneGprsAP(CAppUI& app) : CPane(app, PANE_GPRSAP, PaneFailCode(PANE_GPRSAP)) {}
    void Load(int arg) override;
    void Save() override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmGprsAP* m_pFrm = nullptr;
};
