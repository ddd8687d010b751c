// The device state pages: identification, GSM state, inputs and outputs, clock.
#pragma once

#include <QWidget>

#include <memory>

#include "app/PaneMng.h"

namespace Ui {
class TFrmDevId;
class TFrmGSM;
class TFrmIO;
class TFrmTime;
}  // namespace Ui

class TFrmDevId : public QWidget {
    Q_OBJECT
public:
    explicit TFrmDevId(QWidget* parent);
    ~TFrmDevId() override;
    std::unique_ptr<Ui::TFrmDevId> ui;
};

class TFrmGSM : public QWidget {
    Q_OBJECT
public:
    explicit TFrmGSM(QWidget* parent);
    ~TFrmGSM() override;
    std::unique_ptr<Ui::TFrmGSM> ui;
};

class TFrmIO : public QWidget {
    Q_OBJECT
public:
    TFrmIO(CAppUI& app, QWidget* parent);
    ~TFrmIO() override;
    std::unique_ptr<Ui::TFrmIO> ui;

private:
    void SetOutputs(bool high);
    CAppUI& m_app;
};

class TFrmTime : public QWidget {
    Q_OBJECT
public:
    TFrmTime(CAppUI& app, QWidget* parent);
    ~TFrmTime() override;
    std::unique_ptr<Ui::TFrmTime> ui;

private:
    CAppUI& m_app;
};

class CPaneDevId : public CPane {
public:
    explicit CPaneDevId(CAppUI& app) : CPane(app, PANE_DEVID, 72) {}
    void Load(int arg) override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmDevId* m_pFrm = nullptr;
};

class CPaneGSM : public CPane {
public:
    explicit CPaneGSM(CAppUI& app) : CPane(app, PANE_GSM, 73) {}
    void Load(int arg) override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmGSM* m_pFrm = nullptr;
};

class CPaneIO : public CPane {
public:
    explicit CPaneIO(CAppUI& app) : CPane(app, PANE_IO, 74) {}
    void Load(int arg) override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmIO* m_pFrm = nullptr;
};

class CPaneTime : public CPane {
public:
    explicit CPaneTime(CAppUI& app) : CPane(app, PANE_TIME, 75) {}
    void Load(int arg) override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmTime* m_pFrm = nullptr;
};
