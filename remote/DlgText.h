// What the remote-access dialogs share: the Windows-1250 texts of the
// connection list and the modems at the controls, and the shortest PIN.
#pragma once

#include <QString>

#include <string>
#include <string_view>

#include "app/TextCodec.h"

// A PIN shorter than this cannot be confirmed.
inline constexpr int kPinMin = 4;

inline QString FromAnsi(std::string_view ansi) { return QString::fromStdString(cp1250::ToUtf8(ansi)); }
inline std::string ToAnsi(const QString& text) { return cp1250::FromUtf8(text.toStdString()); }
// Length as the record counts it: bytes of Windows-1250.
inline int AnsiLen(const QString& text) { return int(ToAnsi(text).size()); }
