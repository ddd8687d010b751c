// "Nastavení povoleného směru": one slot of the allowed directions.
#pragma once

#include <QDialog>

#include <memory>

class CAppUI;

namespace Ui {
class TFrmSetEnDir;
}

class TFrmSetEnDir : public QDialog {
    Q_OBJECT
public:
    TFrmSetEnDir(CAppUI& app, QWidget* parent);
    ~TFrmSetEnDir() override;

    // Fills the controls from slot 0..15.
    void Prepare(int slot);
    // The slot being edited, -1 before Prepare.
    int Slot() const { return m_nSlot; }

    std::unique_ptr<Ui::TFrmSetEnDir> ui;

private:
    // Ok: the prefix and the SIM choice go into the slot.
    void m_pBtnOkClick();

    CAppUI& m_app;
    int m_nSlot = -1;
};
