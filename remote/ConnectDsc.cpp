#include "remote/ConnectDsc.h"

#include <sys/stat.h>

#include <new>

#include "app/Bytes.h"
#include "app/FileIO.h"

namespace {

constexpr uint32_t kConnectionDatVersion = 1;

void PutLE32(std::string& out, uint32_t v) {
    uint8_t b[4];
    bytes::PutLE32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}

}  // namespace

std::string CConnectDsc::Number() const { return bytes::FieldStr(number); }
std::string CConnectDsc::Pin() const { return bytes::FieldStr(pin); }
void CConnectDsc::SetNumber(std::string_view text) { bytes::SetField(number, text.substr(0, text.find('\0'))); }
void CConnectDsc::SetPin(std::string_view text) { bytes::SetField(pin, text.substr(0, text.find('\0'))); }

int CConnectDscMng::Add(const CConnectDsc& dsc) {
    if (Count() >= CONNECT_MAX) return -1;
    std::unique_ptr<CConnectDsc> copy(new (std::nothrow) CConnectDsc);
    if (!copy) return -1;
    // Copied as texts: a field without a terminator is cut so that it has one.
    copy->SetNumber(dsc.Number());
    copy->SetPin(dsc.Pin());
    try {
        m_entries.push_back(std::move(copy));
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return Count() - 1;
}

void CConnectDscMng::Remove(int index) {
    if (index < 0 || index >= Count()) return;
    m_entries.erase(m_entries.begin() + index);
}

CConnectDsc* CConnectDscMng::Get(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return m_entries[size_t(index)].get();
}

void CConnectDscMng::Clear() {
    m_entries.clear();
    selectedIndex = -1;
}

int CConnectDscMng::Load(const std::string& path) {
    Clear();
    CInFile f(path);
    const int r = LoadFrom(f);
    m_store.Loaded(f, r == 1);
    return r;
}

int CConnectDscMng::LoadFrom(CInFile& f) {
    if (!f.IsOpen()) return 0;
    uint8_t head[12];
    bool ok = f.ReadExact(head, sizeof head) && bytes::GetLE32(head) == kConnectionDatVersion;
    const uint32_t count = ok ? bytes::GetLE32(head + 8) : 0;
    // More entries than the list can hold make the whole file unusable, like
    // the refused add that would stop the reading.
    ok = ok && count <= uint32_t(CONNECT_MAX);
    for (uint32_t i = 0; ok && i < count; ++i) {
        CConnectDsc dsc;
        ok = f.ReadExact(&dsc, sizeof dsc) && Add(dsc) >= 0;
    }
    if (!ok) {
        Clear();
        return 0;
    }
    selectedIndex = int32_t(bytes::GetLE32(head + 4));
    if (!SelectedEntry()) selectedIndex = -1;
    return 1;
}

int CConnectDscMng::Save(const std::string& path) {
    if (!m_store.MayWrite(path, kPrivateFileMode)) return 0;
    std::string out;
    PutLE32(out, kConnectionDatVersion);
    // A selection that no longer fits (entries removed behind it) is stored as none.
    PutLE32(out, uint32_t(SelectedEntry() ? selectedIndex : -1));
    PutLE32(out, uint32_t(Count()));
    for (const auto& dsc : m_entries) out.append(reinterpret_cast<const char*>(dsc.get()), sizeof *dsc);
    return WriteFileAtomic(path, out.data(), out.size(), kPrivateFileMode) ? 1 : 0;
}
