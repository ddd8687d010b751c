// The remote branch of connect and disconnect: a modem call to the device's
// SIM and the log-in with the PIN.
#include "app/Vantrix.h"
#include "comm/VantrixCom.h"

int CVantrixCom::OpenRemote() { return DR_NO_CONNECTION; }

int CVantrixCom::Authorise() { return DR_NO_CONNECTION; }

void CVantrixCom::DropRemote() {}
