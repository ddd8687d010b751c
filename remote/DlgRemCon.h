// "Vzdálený přístup": modem, number and PIN of the remote connection.
#pragma once

class CAppUI;

// Shows the dialog modally; 1 for Spojit (choices stored), 2 for Storno.
int ShowRemConDialog(CAppUI& app);
