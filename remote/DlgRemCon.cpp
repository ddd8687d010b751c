#include "remote/DlgRemCon.h"

#include "app/AppUI.h"

int ShowRemConDialog(CAppUI&) { return IDCANCEL; }
