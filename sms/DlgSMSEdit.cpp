#include "sms/DlgSMSEdit.h"

#include "app/AppUI.h"

TFrmSMSEditDlg::TFrmSMSEditDlg(CAppUI& app, QWidget* parent) : QDialog(parent), m_app(app) {}

int TFrmSMSEditDlg::Edit(CSMS&, int) { return IDCANCEL; }
