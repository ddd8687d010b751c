// "Povolené směry": the sixteen allowed directions, each a prefix bound to a
// SIM card; a slot is edited in its dialog and written into the image at once.
#pragma once

#include <QWidget>

#include <memory>

#include "config/PaneCfg.h"

namespace Ui {
class TFrmCallEnDirs;
}

class TFrmSetEnDir;

class TFrmCallEnDirs : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSlots = 16;

    TFrmCallEnDirs(CAppUI& app, QWidget* parent);
    ~TFrmCallEnDirs() override;

    // Rows from the image: all, or slot 0..15 alone.
    void Refresh(int slot = -1);
    // The slot of the selected row, -1 when none is selected.
    int SelectedSlot() const;

    void m_pLsvEnDirsSelectItem();
    void m_pBtnSetClick();
    void m_pBtnDelClick();

    std::unique_ptr<Ui::TFrmCallEnDirs> ui;

private:
    void FillRow(int slot, const QString& yes, const QString& no);

    CAppUI& m_app;
    TFrmSetEnDir* m_pDlg = nullptr;  // made on first use, a child of the frame
};

class CPaneCallEnDirs : public CCfgPane {
public:
    explicit CPaneCallEnDirs(CAppUI& app) : CCfgPane(app, PANE_CALLENDIRS) {}
    void Load(int arg) override;
    // Nothing to commit: every change is in the image already.
    void Save() override {}

protected:
    QWidget* MakeFrame(QWidget* area) override;
    TFrmCallEnDirs* m_pFrm = nullptr;
};
