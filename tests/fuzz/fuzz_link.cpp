// One link transaction against a line that answers with arbitrary bytes: the
// reply buffer keeps its bounds, a frame's end is where the reading stops,
// and the tries and the acknowledge byte are honoured.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "comm/Frame.h"
#include "comm/Link.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const size_t capacity = in.ConsumeIntegralInRange<size_t>(0, 320);
    const uint32_t tries = in.ConsumeIntegralInRange<uint32_t>(0, 3);
    const uint8_t cmd = in.ConsumeIntegral<uint8_t>();
    const std::vector<uint8_t> rxBytes = in.ConsumeRemainingBytes<uint8_t>();

    // A single receive: it stops at the end byte of the first frame, or at the end of the line.
    {
        std::vector<uint8_t> reply(capacity);
        fuzz::CScriptIO io(rxBytes.data(), rxBytes.size());
        const int r = LinkReceive(io, reply.data(), reply.size(), 100);
        FUZZ_CHECK(r == LINK_OK || r == LINK_TIMEOUT || r == LINK_CHECKSUM);
        if (r == LINK_TIMEOUT) FUZZ_CHECK(io.Exhausted());
        if (r == LINK_OK || r == LINK_CHECKSUM) {
            FUZZ_CHECK(io.Consumed() > 0 && rxBytes[io.Consumed() - 1] == frame::kEnd);
            // No end byte lies between the first start byte and the end byte read last.
            const uint8_t* first =
                static_cast<const uint8_t*>(std::memchr(rxBytes.data(), frame::kStart, io.Consumed()));
            FUZZ_CHECK(first != nullptr);
            FUZZ_CHECK(std::memchr(first, frame::kEnd, size_t(rxBytes.data() + io.Consumed() - first) - 1) == nullptr);
        }
    }

    // The whole transaction: request frames out, retried within the tries.
    std::vector<uint8_t> reply(capacity);
    std::fill(reply.begin(), reply.end(), uint8_t(0x5A));
    fuzz::CScriptIO io(rxBytes.data(), rxBytes.size());
    uint8_t req[5];
    FillHeader(req);
    req[kCmdByte] = cmd;
    req[4] = 1;
    const int r = LinkTransact(io, req, sizeof req, reply.data(), reply.size(), 100, 100, tries);
    FUZZ_CHECK(r == LINK_OK || r == LINK_TIMEOUT || r == LINK_CHECKSUM || r == LINK_ACK);
    const size_t maxTries = tries ? tries : 1;
    FUZZ_CHECK(!io.writes.empty() && io.writes.size() <= maxTries);
    // A purge before every request, and before every retry the drain's own.
    FUZZ_CHECK(size_t(io.purges) == 2 * io.writes.size() - 1);
    const std::vector<uint8_t> expected = frame::Encode(req, sizeof req);
    for (const auto& w : io.writes) FUZZ_CHECK(w == expected);
    if (r == LINK_ACK) FUZZ_CHECK(capacity > kAckByte && reply[kAckByte] != 0);
    if (r == LINK_OK && capacity > kAckByte) FUZZ_CHECK(reply[kAckByte] == 0);
    // A time-out or a bad frame with tries left is tried again.
    if (r == LINK_TIMEOUT) FUZZ_CHECK(io.Exhausted());
    if (r == LINK_CHECKSUM) FUZZ_CHECK(io.writes.size() == maxTries);
    return 0;
}
