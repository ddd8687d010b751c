// The identity, GSM, I/O and clock replies with arbitrary bytes: texts end
// inside their fields, a record equals itself (also with a credit that is not
// a number), and the clock keeps what the reply does not carry.
#include <cmath>
#include <cstring>

#include "app/LocalTime.h"
#include "comm/DevState.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The next n bytes of the input, zero when it ran out.
template <size_t N> void Take(uint8_t (&out)[N], const uint8_t*& p, size_t& left) {
    const size_t n = left < N ? left : N;
    std::memset(out, 0, N);
    std::memcpy(out, p, n);
    p += n;
    left -= n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t id[kIdentityReplyLen], label[kLabelReplyLen], gsm[kGsmReplyLen], io[kIoReplyLen], clock[kClockReplyLen];
    const uint8_t* p = data;
    size_t left = size;
    Take(id, p, left);
    Take(label, p, left);
    Take(gsm, p, left);
    Take(io, p, left);
    Take(clock, p, left);

    DevIdentity dev;
    std::memset(dev.imei, 'x', sizeof dev.imei);
    std::memset(dev.name, 'x', sizeof dev.name);
    ParseIdentity(id, label, dev);
    FUZZ_CHECK(std::strlen(dev.imei) < sizeof dev.imei && std::strlen(dev.name) < sizeof dev.name);
    FUZZ_CHECK(dev.layoutId <= 0xFFFF && dev.firstValue <= 0xFFFF);
    FUZZ_CHECK(SameLabel(dev, dev));
    DevIdentity other = dev;
    other.layoutId ^= 1;  // not part of the label
    FUZZ_CHECK(SameLabel(dev, other));
    other = dev;
    other.serial ^= 1;
    FUZZ_CHECK(!SameLabel(dev, other));

    GsmStatus g;
    std::memset(g.operatorName, 'x', sizeof g.operatorName);
    ParseGsm(gsm, g);
    FUZZ_CHECK(std::strlen(g.operatorName) < sizeof g.operatorName);
    FUZZ_CHECK(g.bts <= 0xFFFF && g.signal >= 0 && g.signal <= 255);
    FUZZ_CHECK(SameGsm(g, g));
    GsmStatus h = g;
    h.credit1 = std::isnan(g.credit1) ? 0.0f : std::nanf("");
    FUZZ_CHECK(!SameGsm(g, h));

    IoState s;
    ParseIo(io, s);
    FUZZ_CHECK(s.inputs == io[4] && s.outputs == io[5] && SameIo(s, s));

    SysTime t;
    t.wDayOfWeek = 9;
    t.wMilliseconds = 999;
    ParseClock(clock, t);
    FUZZ_CHECK(t.wDayOfWeek == 9 && t.wMilliseconds == 999);
    FUZZ_CHECK(t.wYear >= 2000 && t.wYear <= 2255);
    FUZZ_CHECK(SameClock(t, t));
    return 0;
}
