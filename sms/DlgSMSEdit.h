// "Editace SMS": an existing SMS opened for editing.
#pragma once

#include <QDialog>

class CAppUI;
class CSMS;

class TFrmSMSEditDlg : public QDialog {
    Q_OBJECT
public:
    TFrmSMSEditDlg(CAppUI& app, QWidget* parent);
    // Binds the record of a list row and shows the dialog modally; the modal
    // result (1 OK, 2 Cancel).
    int Edit(CSMS& sms, int index);

private:
    CAppUI& m_app;
};
