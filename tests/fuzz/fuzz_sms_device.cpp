// The device's read-SMS reply of any length and content: nothing past the
// payload is read, the number and the text keep their limits and come from
// where they lie, and the record passes through SMS.dat unchanged.
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "app/FileIO.h"
#include "sms/SMS.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

std::string Record(const CSMS& sms) {
    std::string out;
    sms.WriteRecord(out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Exactly the payload on the heap: a read past it is caught.
    std::unique_ptr<uint8_t[]> payload(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(payload.get(), data, size);

    CSMS sms;
    sms.SetText("old");
    sms.AddNumber("111");
    const bool ok = sms.FromDevice(payload.get(), size);
    FUZZ_CHECK(ok == (size >= 10));
    FUZZ_CHECK(sms.GetNumberCount() <= 1 && sms.GetTextLen() <= size_t(SMS_TEXT_MAX));
    if (!ok) {
        FUZZ_CHECK(sms.GetNumberCount() == 0 && !sms.HasText());
        return 0;
    }
    FUZZ_CHECK(std::memcmp(sms.m_Time, data + 4, 6) == 0);
    FUZZ_CHECK(sms.IsNew());

    // The number from byte 11 up to its terminator, cut to 16 characters.
    const std::string_view rest =
        size > 11 ? std::string_view(reinterpret_cast<const char*>(data) + 11, size - 11) : std::string_view();
    const size_t numEnd = rest.find('\0');
    const std::string_view number = rest.substr(0, numEnd).substr(0, SMS_NUMBER_LEN);
    FUZZ_CHECK(std::string_view(sms.GetNumber(0) ? sms.GetNumber(0) : "") == number);
    // The text right behind the number's terminator, up to its own.
    if (numEnd == std::string_view::npos) {
        FUZZ_CHECK(!sms.HasText());
    } else {
        std::string_view text = rest.substr(numEnd + 1);
        text = text.substr(0, text.find('\0')).substr(0, SMS_TEXT_MAX);
        FUZZ_CHECK(sms.HasText() && sms.GetText() == text);
    }

    // A copy is deep and the same; SMS.dat carries it whole.
    CSMS copy(sms);
    sms.SetText("changed");
    sms.RemoveNumber(0);
    sms = copy;
    FUZZ_CHECK(Record(sms) == Record(copy));
    const std::string path = fuzz::ScratchPath("record.dat");
    const std::string bytes = Record(copy);
    fuzz::WriteFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    CInFile f(path);
    CSMS back;
    FUZZ_CHECK(back.ReadRecord(f));
    FUZZ_CHECK(Record(back) == bytes);
    return 0;
}
