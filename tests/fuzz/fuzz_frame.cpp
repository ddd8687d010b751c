// The link frame receiver on arbitrary line bytes, under both unescape rules,
// with a payload buffer smaller or larger than the frames; and the encoder's
// frames read back through it.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "comm/Frame.h"
#include "tests/fuzz/FuzzSupport.h"

using frame::CFrameReceiver;

namespace {

// Feeds a whole encoded frame; the status at its end byte.
CFrameReceiver::Status FeedAll(CFrameReceiver& rx, const std::vector<uint8_t>& line) {
    CFrameReceiver::Status s = CFrameReceiver::kMore;
    for (uint8_t b : line) s = rx.Feed(b);
    return s;
}

// A good frame's kept payload, encoded again, is a good frame with the same payload.
void CheckReencodes(const uint8_t* payload, size_t len, CFrameReceiver::Unescape mode) {
    std::vector<uint8_t> line = frame::Encode(payload, len);
    FUZZ_CHECK(line.size() <= frame::MaxEncodedSize(len));
    std::vector<uint8_t> again(len);
    CFrameReceiver rx(again.data(), again.size(), mode);
    FUZZ_CHECK(FeedAll(rx, line) == CFrameReceiver::kGood);
    FUZZ_CHECK(rx.PayloadLen() == len);
    FUZZ_CHECK(std::equal(again.begin(), again.end(), payload));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const auto mode = in.ConsumeBool() ? CFrameReceiver::Unescape::Xor : CFrameReceiver::Unescape::Subtract;
    const size_t capacity = in.ConsumeIntegralInRange<size_t>(0, 300);
    const size_t minBytes = in.ConsumeIntegralInRange<size_t>(1, 4);
    const std::vector<uint8_t> line = in.ConsumeRemainingBytes<uint8_t>();

    // Exactly `capacity` bytes on the heap, so a write past them is caught.
    std::vector<uint8_t> buf(capacity);
    CFrameReceiver rx(buf.data(), capacity, mode, minBytes);
    bool inFrame = false;
    for (uint8_t b : line) {
        const CFrameReceiver::Status s = rx.Feed(b);
        if (!inFrame) {
            // Outside a frame only the start byte counts, and nothing ends.
            FUZZ_CHECK(s == CFrameReceiver::kMore);
            inFrame = b == frame::kStart;
            FUZZ_CHECK(rx.Started() == inFrame);
            if (inFrame) FUZZ_CHECK(rx.PayloadLen() == 0);
            continue;
        }
        if (b != frame::kEnd) {
            FUZZ_CHECK(s == CFrameReceiver::kMore && rx.Started());
            continue;
        }
        FUZZ_CHECK(s != CFrameReceiver::kMore && !rx.Started());
        inFrame = false;
        if (s == CFrameReceiver::kGood) {
            FUZZ_CHECK(rx.PayloadLen() + 1 >= minBytes);
            if (rx.PayloadLen() <= capacity) CheckReencodes(buf.data(), rx.PayloadLen(), mode);
        }
    }

    // The other way round: the line bytes as a payload, behind noise without a
    // start byte, come back whole and good.
    std::vector<uint8_t> framed;
    for (size_t i = 0; i < line.size() && i < 8; ++i)
        if (line[i] != frame::kStart) framed.push_back(line[i]);
    const std::vector<uint8_t> encoded = frame::Encode(line.data(), line.size());
    framed.insert(framed.end(), encoded.begin(), encoded.end());
    std::vector<uint8_t> back(line.size());
    CFrameReceiver rx2(back.data(), back.size(), mode);
    FUZZ_CHECK(FeedAll(rx2, framed) == CFrameReceiver::kGood);
    FUZZ_CHECK(rx2.PayloadLen() == line.size() && back == line);
    // Encoded frames carry no bare control byte other than their delimiters.
    for (size_t i = 1; i + 1 < encoded.size(); ++i) FUZZ_CHECK(encoded[i] >= 0x20 || encoded[i] == frame::kEscape);
    return 0;
}
