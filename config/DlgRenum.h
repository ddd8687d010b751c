// "Nastavení přečíslování": one renumbering entry of the virtual tie line.
#pragma once

#include <QDialog>

#include <memory>

class CAppUI;

namespace Ui {
class TFrmRenumItem;
}

class TFrmRenumItem : public QDialog {
    Q_OBJECT
public:
    TFrmRenumItem(CAppUI& app, QWidget* parent);
    ~TFrmRenumItem() override;

    // Fills the controls from entry 0..4.
    void Prepare(int entry);
    int Entry() const { return m_nEntry; }

    std::unique_ptr<Ui::TFrmRenumItem> ui;

private:
    // Ok: both texts and the mode go into the entry.
    void iBtnOkClick();

    CAppUI& m_app;
    int m_nEntry = -1;
};
