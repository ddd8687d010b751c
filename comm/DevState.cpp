#include "comm/DevState.h"

#include <cmath>
#include <cstring>

#include "app/Bytes.h"
#include "app/LocalTime.h"

namespace {

template <size_t N> void TakeText(char (&dst)[N], const uint8_t* src) {
    std::memcpy(dst, src, N);
    dst[N - 1] = 0;
}

// A credit the device cannot give (NaN) is the same as the last one.
bool SameFloat(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

void ParseIdentity(const uint8_t (&id)[kIdentityReplyLen], const uint8_t (&label)[kLabelReplyLen], DevIdentity& out) {
    out.firstValue = bytes::GetBE16(id + 4);
    out.layoutId = bytes::GetBE16(id + 6);
    out.fwMajor = label[4];
    out.fwMinor = label[5];
    out.hwMajor = bytes::GetBE32(label + 16);
    out.hwMinor = label[20];
    out.serial = bytes::GetBE32(label + 21);
    out.gprs = label[25];
    TakeText(out.imei, label + 26);
    TakeText(out.name, label + 42);
}

void ParseGsm(const uint8_t (&reply)[kGsmReplyLen], GsmStatus& out) {
    out.moduleState = reply[5];
    out.simState = reply[6];
    out.netReg = reply[7];
    out.signal = reply[8];
    out.unauthorised = reply[9];
    out.credit1 = bytes::GetBEFloat(reply + 10);
    out.credit2 = bytes::GetBEFloat(reply + 14);
    out.bts = bytes::GetBE16(reply + 18);
    TakeText(out.operatorName, reply + 20);
}

void ParseIo(const uint8_t (&reply)[kIoReplyLen], IoState& out) {
    out.inputs = reply[4];
    out.outputs = reply[5];
}

void ParseClock(const uint8_t (&reply)[kClockReplyLen], SysTime& out) {
    out.wDay = reply[4];
    out.wMonth = reply[5];
    out.wYear = uint16_t(reply[6] + 2000);
    out.wHour = reply[7];
    out.wMinute = reply[8];
    out.wSecond = reply[9];
}

bool SameLabel(const DevIdentity& a, const DevIdentity& b) {
    return a.fwMajor == b.fwMajor && a.fwMinor == b.fwMinor && a.hwMajor == b.hwMajor && a.hwMinor == b.hwMinor &&
           a.serial == b.serial && a.gprs == b.gprs && std::strcmp(a.imei, b.imei) == 0 &&
           std::strcmp(a.name, b.name) == 0;
}

bool SameGsm(const GsmStatus& a, const GsmStatus& b) {
    return a.moduleState == b.moduleState && a.simState == b.simState && a.netReg == b.netReg && a.signal == b.signal &&
           a.unauthorised == b.unauthorised && SameFloat(a.credit1, b.credit1) && SameFloat(a.credit2, b.credit2) &&
           a.bts == b.bts && std::strcmp(a.operatorName, b.operatorName) == 0;
}

bool SameIo(const IoState& a, const IoState& b) { return a.inputs == b.inputs && a.outputs == b.outputs; }

bool SameClock(const SysTime& a, const SysTime& b) {
    return a.wDay == b.wDay && a.wMonth == b.wMonth && a.wYear == b.wYear && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}
