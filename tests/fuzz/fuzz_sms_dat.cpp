// SMS.dat of any content through the SMS manager: the lists stay within
// their capacity, every record within the text and number limits with its
// texts terminated, and lists that loaded save and load back the same.
#include <cstring>
#include <string>

#include "app/Bytes.h"
#include "sms/SMSMng.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void CheckRecord(const CSMS& sms, int list) {
    FUZZ_CHECK(sms.GetList() == list);
    const size_t len = sms.GetTextLen();
    FUZZ_CHECK(len <= size_t(SMS_TEXT_MAX));
    if (sms.HasText()) FUZZ_CHECK(size_t(sms.GetTextSize()) > len);
    const int count = sms.GetNumberCount();
    FUZZ_CHECK(count >= 0 && count <= SMS_MAX_NUMBERS);
    for (int i = 0; i < SMS_MAX_NUMBERS; ++i) {
        const char* n = sms.GetNumber(i);
        FUZZ_CHECK((n != nullptr) == (i < count));  // the filled slots are packed
        if (n) FUZZ_CHECK(std::strlen(n) >= 1 && std::strlen(n) <= size_t(SMS_NUMBER_LEN));
    }
}

// Everything SMS.dat keeps of a record.
std::string Record(const CSMS& sms) {
    std::string out;
    sms.WriteRecord(out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::ScratchPath("SMS.dat");
    fuzz::WriteFile(path, data, size);

    fuzz::CQuietUI ui;
    CSMSMng mng(ui, path);
    const int r = mng.Load();
    FUZZ_CHECK(r == 0 || r == 1);
    FUZZ_CHECK(mng.LoadRan());
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        FUZZ_CHECK(mng.GetCount(list) >= 0 && mng.GetCount(list) <= SMS_LIST_CAPACITY);
        for (int i = 0; i < mng.GetCount(list); ++i) CheckRecord(*mng.Get(i, list), list);
        if (r == 1) {
            // A list holds the first records of its count, at most a full list.
            const uint32_t count = bytes::GetLE32(data + 4 + 4 * list);
            FUZZ_CHECK(uint32_t(mng.GetCount(list)) == (count < SMS_LIST_CAPACITY ? count : SMS_LIST_CAPACITY));
        }
    }
    FUZZ_CHECK(ui.boxes.empty());
    if (r != 1) return 0;

    // Saved over the file it came from and loaded again: the same records.
    FUZZ_CHECK(mng.Save() == 1);
    CSMSMng back(ui, path);
    FUZZ_CHECK(back.Load() == 1);
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        FUZZ_CHECK(back.GetCount(list) == mng.GetCount(list));
        for (int i = 0; i < mng.GetCount(list); ++i)
            FUZZ_CHECK(Record(*back.Get(i, list)) == Record(*mng.Get(i, list)));
    }
    return 0;
}
