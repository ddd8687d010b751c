// vantrixctl backup: the configuration of every device of the remote
// connection list (or of the one device on the port), kept in a directory
// under the device's serial number, with a line per device and run that
// names the fields changed since its previous backup.
#pragma once

#include <string>

#include "tools/vantrixctl/Device.h"

// Some device could not be read (sysexits' EX_TEMPFAIL: a later run may).
inline constexpr int kExitTempFail = 75;

// `local`: the device on o.port instead of the connection list. 0 when every
// device was read, kExitTempFail when some was not, 64 for a number not in
// the list, 66 for a list that cannot be read, 73/74 when a file of `dir`
// cannot be written.
int Backup(const std::string& dir, const Options& o, bool local);
