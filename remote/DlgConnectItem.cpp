#include "remote/DlgConnectItem.h"

#include "app/AppUI.h"

TFrmConnectItem::TFrmConnectItem(QWidget* parent) : QDialog(parent) {}

int TFrmConnectItem::Edit(CConnectDsc&, bool) { return IDCANCEL; }
