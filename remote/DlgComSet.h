// "Nastavení komunikace": access mode, port, traffic capture, modem and the
// remote connection list.
#pragma once

class CAppUI;

// Shows the dialog modally; 1 when closed with Ok, 2 otherwise.
int ShowComSetDialog(CAppUI& app);
