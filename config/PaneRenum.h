// "Virtuální příčková linka": the tie line switch, its DTMF timing and the
// five renumbering entries, each edited in its dialog and written at once.
#pragma once

#include <QWidget>

#include <memory>

#include "config/PaneCfg.h"

namespace Ui {
class TFrmRenum;
}

class CPaneRenum;
class TFrmRenumItem;

class TFrmRenum : public QWidget {
    Q_OBJECT
public:
    static constexpr int kEntries = 5;

    TFrmRenum(CAppUI& app, CPaneRenum& pane, QWidget* parent);
    ~TFrmRenum() override;

    // Rows from the image: all, or entry 0..4 alone.
    void Refresh(int entry = -1);
    int SelectedEntry() const;

    void iLsvRenumSelectItem();
    void iBtnSetClick();
    void iBtnDelClick();

    std::unique_ptr<Ui::TFrmRenum> ui;

private:
    CAppUI& m_app;
    TFrmRenumItem* m_pDlg = nullptr;  // made on first use, a child of the frame
};

class CPaneRenum : public CCfgPane {
public:
    explicit CPaneRenum(CAppUI& app) : CCfgPane(app, PANE_RENUM) {}
    void Load(int arg) override;
    void Save() override;

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmRenum* m_pFrm = nullptr;
};
