// "Editace SMS": an existing SMS opened for editing.
#pragma once

#include <QDialog>

#include <memory>

class CAppUI;
class CSMS;
class TFrmSMSEdit;

namespace Ui {
class TFrmSMSEditDlg;
}

class TFrmSMSEditDlg : public QDialog {
    Q_OBJECT
public:
    TFrmSMSEditDlg(CAppUI& app, QWidget* parent);
    ~TFrmSMSEditDlg() override;
    // Binds the record of a list row and shows the dialog modally; the modal
    // result (1 OK, 2 Cancel).
    int Edit(CSMS& sms, int index);

    TFrmSMSEdit* Frame() const { return m_pFrmSMSEdit; }

private:
    CAppUI& m_app;
    std::unique_ptr<Ui::TFrmSMSEditDlg> ui;
    TFrmSMSEdit* m_pFrmSMSEdit = nullptr;
};
