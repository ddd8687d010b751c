// "Nastavení komunikace": access mode, port, traffic capture, modem and the
// remote connection list.
#pragma once

#include <QDialog>

#include <memory>

class CAppUI;
class QListWidget;

namespace Ui {
class TFrmComSet;
}

class TFrmComSet : public QDialog {
    Q_OBJECT
public:
    TFrmComSet(CAppUI& app, QWidget* parent);
    ~TFrmComSet() override;

    // The controls from the profile and the connection list.
    void Fill();
    // The choices into the profile and the connection list's selection.
    void Store();

    std::unique_ptr<Ui::TFrmComSet> ui;

    // Ok: accepts unless the port name is longer than the profile holds.
    void Confirm();

private:
    void UpdateModemButton();
    void UpdateConnectButtons();
    // The row of the selected item of a list box; -1 when none is selected.
    static int SelectedRow(const QListWidget* list);
    void AddConnection();
    void DeleteConnection();
    void EditConnection();
    void ModemProperties();

    CAppUI& m_app;
};

// Shows the dialog modally; 1 when closed with Ok (choices stored), 2 otherwise.
int ShowComSetDialog(CAppUI& app);
