// "Alarm1" to "Alarm8": one frame for every alarm, the argument says which.
#pragma once

#include <QWidget>

#include <memory>

#include "config/PaneCfg.h"

namespace Ui {
class TFrmAlarm;
}

class CPaneAlarm;

class TFrmAlarm : public QWidget {
    Q_OBJECT
public:
    TFrmAlarm(CPaneAlarm& pane, QWidget* parent);
    ~TFrmAlarm() override;

    std::unique_ptr<Ui::TFrmAlarm> ui;
};

class CPaneAlarm : public CCfgPane {
public:
    explicit CPaneAlarm(CAppUI& app) : CCfgPane(app, PANE_ALARM) {}
    void Load(int arg) override;
    // Into the alarm the page was loaded with.
    void Save() override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmAlarm* m_pFrm = nullptr;
};
