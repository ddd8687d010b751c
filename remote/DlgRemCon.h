// "Vzdálený přístup": modem, number and PIN of the remote connection.
#pragma once

#include <QDialog>

#include <memory>

class CAppUI;

namespace Ui {
class TFrmRemCon;
}

class TFrmRemCon : public QDialog {
    Q_OBJECT
public:
    TFrmRemCon(CAppUI& app, QWidget* parent);
    ~TFrmRemCon() override;

    // The controls from the profile and the connection list.
    void Fill();
    // The entry of the number list now chosen; -1 for a typed number.
    int Chosen() const { return m_nChosen; }

    // The entry last chosen by a change of the number field, for the whole
    // run (-1: none or a typed number). Tests start from none.
    static int s_nRemembered;

    std::unique_ptr<Ui::TFrmRemCon> ui;

private:
    void UpdateConnect();
    void NumberChanged(int chosen);
    void Connect();
    void ModemProperties();

    CAppUI& m_app;
    int m_nChosen = -1;
};

// Shows the dialog modally; 1 for Spojit (choices stored), 2 for Storno.
int ShowRemConDialog(CAppUI& app);
