#include "remote/DlgComSet.h"

#include "app/AppUI.h"

int ShowComSetDialog(CAppUI&) { return IDCANCEL; }
