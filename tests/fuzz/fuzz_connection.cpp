// Connection.dat of any content: a refused file gives an empty list without a
// selection, an accepted one stays within the list's limit with every number
// and PIN terminated, and it saves (keeping the file's mode) and loads back the same.
#include <sys/stat.h>

#include <cstring>

#include "app/Bytes.h"
#include "remote/ConnectDsc.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::ScratchPath("Connection.dat");
    fuzz::WriteFile(path, data, size);

    CConnectDscMng mng;
    CConnectDsc old;
    old.SetNumber("603000000");
    mng.Add(old);  // a load starts from nothing
    mng.selectedIndex = 0;
    const int r = mng.Load(path);
    FUZZ_CHECK(r == 0 || r == 1);
    if (r == 0) {
        FUZZ_CHECK(mng.Count() == 0 && mng.selectedIndex == -1);
        return 0;
    }
    FUZZ_CHECK(size >= 12 && bytes::GetLE32(data + 8) == uint32_t(mng.Count()));
    FUZZ_CHECK(mng.Count() <= CONNECT_MAX);
    FUZZ_CHECK(mng.selectedIndex == -1 || (mng.selectedIndex >= 0 && mng.selectedIndex < mng.Count()));
    for (int i = 0; i < mng.Count(); ++i) {
        const CConnectDsc* d = mng.Get(i);
        FUZZ_CHECK(std::memchr(d->number, 0, sizeof d->number) && std::memchr(d->pin, 0, sizeof d->pin));
        FUZZ_CHECK(d->Number().size() <= size_t(CONNECT_NUMBER_LEN) && d->Pin().size() <= size_t(CONNECT_PIN_LEN));
    }

    struct stat before, st;
    FUZZ_CHECK(::stat(path.c_str(), &before) == 0);
    FUZZ_CHECK(mng.Save(path) == 1);
    FUZZ_CHECK(::stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == (before.st_mode & 07777));
    CConnectDscMng back;
    FUZZ_CHECK(back.Load(path) == 1);
    FUZZ_CHECK(back.Count() == mng.Count() && back.selectedIndex == mng.selectedIndex);
    for (int i = 0; i < mng.Count(); ++i) {
        FUZZ_CHECK(back.Get(i)->Number() == mng.Get(i)->Number());
        FUZZ_CHECK(back.Get(i)->Pin() == mng.Get(i)->Pin());
    }
    return 0;
}
