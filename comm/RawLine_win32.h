// The line settings of every serial port the programs open on Windows: 8N1,
// binary, no software flow control and no character replaced or dropped.
// The speed and the handshake lines are each port's own.
#pragma once

#include <windows.h>

inline void SetRawLine(DCB& dcb, DWORD baud, bool ctsRts, DWORD dtrControl) {
    // XonLim and XoffLim of the record (XON/XOFF itself stays off).
    constexpr WORD kXonXoffLimit = 10;
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = ctsRts;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = dtrControl;
    dcb.fRtsControl = ctsRts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = FALSE;
    dcb.XonLim = kXonXoffLimit;
    dcb.XoffLim = kXonXoffLimit;
    dcb.XonChar = dcb.XoffChar = dcb.ErrorChar = dcb.EofChar = dcb.EvtChar = 0;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
}
