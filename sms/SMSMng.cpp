#include "sms/SMSMng.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <utility>

#include "app/AppUI.h"
#include "app/Bytes.h"
#include "app/FileIO.h"
#include "app/ProgDir.h"
#include "app/Strings.h"
#include "comm/ComRequest.h"

namespace {

constexpr uint32_t kSmsDatVersion = 1;

void PutLE32(std::string& out, uint32_t v) {
    uint8_t b[4];
    bytes::PutLE32(b, v);
    out.append(reinterpret_cast<const char*>(b), 4);
}

}  // namespace

CSMSMng::CSMSMng(IAppUI& ui, std::string smsDatPath) : m_ui(ui), m_path(std::move(smsDatPath)) {
    // Room for a whole list up front: appending never allocates, so a record
    // handed over with its ownership cannot be lost to a failed allocation.
    for (auto& list : m_lists) list.reserve(SMS_LIST_CAPACITY);
}

CSMSMng::~CSMSMng() = default;

// --- List operations ---------------------------------------------------------

int CSMSMng::Add(CSMS* sms, int list, bool takeOwnership) {
    if (!ValidList(list) || !sms) return SMS_ERR_ARG;
    auto& records = m_lists[list];
    if (int(records.size()) >= SMS_LIST_CAPACITY) return SMS_ERR_FULL;
    CSMS* stored = sms;
    if (!takeOwnership) {
        stored = new (std::nothrow) CSMS(*sms);
        if (!stored) return SMS_ERR_MEMORY;
    }
    stored->SetList(list);
    records.emplace_back(stored);
    return int(records.size()) - 1;
}

int CSMSMng::Remove(int index, int list) {
    if (!ValidList(list) || index < 0 || index >= int(m_lists[list].size())) return SMS_ERR_ARG;
    std::unique_ptr<CSMS> gone = std::move(m_lists[list][size_t(index)]);
    m_lists[list].erase(m_lists[list].begin() + index);
    Retire(std::move(gone));
    return 1;
}

void CSMSMng::Retire(std::unique_ptr<CSMS> gone) {
    // The record open in the edit dialog outlives its place in the list:
    // the dialog writes the user's edit into it when it closes.
    if (gone && gone.get() == m_pEditing) m_retired.push_back(std::move(gone));
}

void CSMSMng::Clear(int list) {
    if (ValidList(list)) m_lists[list].clear();
}

int CSMSMng::Move(int index, int from, int to) {
    if (!ValidList(from) || !ValidList(to) || from == to || index < 0 || index >= int(m_lists[from].size()))
        return SMS_ERR_ARG;
    CSMS* sms = m_lists[from][size_t(index)].get();
    const int r = Add(sms, to, true);
    if (r < 0) return r;
    // The record now belongs to `to`; its old place is given up without
    // destroying it.
    (void)m_lists[from][size_t(index)].release();
    m_lists[from].erase(m_lists[from].begin() + index);
    return r;
}

CSMS* CSMSMng::Get(int index, int list) const {
    if (!ValidList(list) || index < 0 || index >= int(m_lists[list].size())) return nullptr;
    return m_lists[list][size_t(index)].get();
}

int CSMSMng::GetCount(int list) const { return ValidList(list) ? int(m_lists[list].size()) : 0; }

// --- SMS.dat -----------------------------------------------------------------

int CSMSMng::Load() {
    CInFile f(m_path);
    bool complete = false;
    const int r = LoadFrom(f, complete);
    m_store.Loaded(f, r == 1 && complete);
    return r;
}

int CSMSMng::LoadFrom(CInFile& f, bool& complete) {
    if (!f.IsOpen()) return 0;
    uint8_t head[16];
    if (!f.ReadExact(head, sizeof head) || bytes::GetLE32(head) != kSmsDatVersion) return 0;

    complete = true;
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        Clear(list);
        const uint32_t count = bytes::GetLE32(head + 4 + 4 * list);
        // Records beyond the list's capacity are read and dropped so that the
        // lists after this one are still found.
        for (uint32_t i = 0; i < count; ++i) {
            CSMS sms;
            if (!sms.ReadRecord(f)) return 0;
            const int r = Add(&sms, list, false);
            if (r == SMS_ERR_FULL) {
                complete = false;
                continue;
            }
            if (r < 0) return 0;
        }
    }
    return 1;
}

int CSMSMng::Save() {
    if (!m_store.MayWrite(m_path, kNewFileMode)) return 0;
    MakeDirsFor(m_path);
    std::string out;
    PutLE32(out, kSmsDatVersion);
    for (const auto& list : m_lists) PutLE32(out, uint32_t(list.size()));
    for (const auto& list : m_lists)
        for (const auto& sms : list) sms->WriteRecord(out);
    return WriteFileAtomic(m_path, out.data(), out.size()) ? 1 : 0;
}

// --- User-interface operations ------------------------------------------------

int CSMSMng::ShownList() const {
    if (m_ui.CurrentPane() != PANE_SMSLIST) return -1;
    const int list = m_ui.SmsShownList();
    return ValidList(list) ? list : -1;
}

void CSMSMng::UpdateListLabel(int list) {
    if (!ValidList(list)) return;
    m_ui.SetListLabel(list,
                      std::string(LoadStr(IDS_LIST_RECEIVED + list)) + " (" + std::to_string(GetCount(list)) + ")");
}

int CSMSMng::AddSMS(CSMS* sms, int list, bool takeOwnership) {
    int r = Add(sms, list, takeOwnership);
    if (r == SMS_ERR_FULL) {
        const int oldest = 0;
        RemoveIndices(list, &oldest, 1);
        r = Add(sms, list, takeOwnership);
    }
    if (r >= 0) {
        m_ui.SmsInsertRow(list, *Get(r, list));
        UpdateListLabel(list);
        StoreChange();
    }
    return r;
}

void CSMSMng::StoreChange() {
    // What the user changes is on disk at once: a crash or the end of the
    // session must not send a sent SMS again or bring a deleted one back.
    if (LoadRan() && !Save()) m_ui.MessageBox(LoadStr(IDS_SMS_STORE_ERROR), MbButtons::Ok, MbIcon::Error);
}

int CSMSMng::MoveSMS(int index, int from, int to) {
    int r = Move(index, from, to);
    if (r == SMS_ERR_FULL) {
        const int oldest = 0;
        RemoveIndices(to, &oldest, 1);
        r = Move(index, from, to);
    }
    if (r >= 0) {
        m_ui.SmsDeleteRows(from, &index, 1);
        m_ui.SmsInsertRow(to, *Get(r, to));
        UpdateListLabel(from);
        UpdateListLabel(to);
        StoreChange();
    }
    return r;
}

void CSMSMng::RemoveSMS(int list, int n) {
    if (n > SMS_LIST_CAPACITY) n = SMS_LIST_CAPACITY;
    const int before = GetCount(list);
    RemoveIndices(list, m_anIndex, n);
    if (GetCount(list) != before) StoreChange();
}

// The oldest records that make room for a new one are removed through here
// rather than through m_anIndex, which a running send request still reads.
void CSMSMng::RemoveIndices(int list, const int* indices, int n) {
    if (!ValidList(list) || n <= 0) return;
    int valid[SMS_LIST_CAPACITY];
    int nValid = 0;
    const int count = GetCount(list);
    for (int i = 0; i < n && nValid < SMS_LIST_CAPACITY; ++i) {
        const int idx = indices[i];
        if (idx < 0 || idx >= count) continue;
        if (nValid > 0 && idx <= valid[nValid - 1]) continue;
        valid[nValid++] = idx;
    }
    if (nValid == 0) return;
    m_ui.SmsDeleteRows(list, valid, nValid);
    for (int i = nValid - 1; i >= 0; --i) Remove(valid[i], list);
    UpdateListLabel(list);
}

int CSMSMng::CollectIndices(int list, int kind) {
    const int count = GetCount(list);
    int n = 0;
    if (kind == SMS_ALL) {
        for (int i = 0; i < count && i < SMS_LIST_CAPACITY; ++i) m_anIndex[n++] = i;
    } else if (kind == SMS_SELECTED) {
        int sel[SMS_LIST_CAPACITY];
        int got = m_ui.SmsGetSelection(sel, SMS_LIST_CAPACITY);
        if (got > SMS_LIST_CAPACITY) got = SMS_LIST_CAPACITY;
        // The view reports ascending record indices; anything else is left out.
        for (int i = 0; i < got; ++i) {
            if (sel[i] < 0 || sel[i] >= count) continue;
            if (n > 0 && sel[i] <= m_anIndex[n - 1]) continue;
            m_anIndex[n++] = sel[i];
        }
    }
    return n;
}

void CSMSMng::DeleteSMS(int kind) {
    const int list = ShownList();
    if (list < 0 || (kind != SMS_ALL && kind != SMS_SELECTED)) return;
    const int question = kind == SMS_ALL ? IDS_QUERY_DEL_ALL_SMS : IDS_QUERY_DEL_SEL_SMS;
    if (m_ui.MessageBox(LoadStr(question), MbButtons::YesNo, MbIcon::Question) != IDYES) return;
    RemoveSMS(list, CollectIndices(list, kind));
}

void CSMSMng::OpenSMS() {
    const int list = ShownList();
    if (list < 0) return;
    int sel[SMS_LIST_CAPACITY];
    int n = m_ui.SmsGetSelection(sel, SMS_LIST_CAPACITY);
    if (n <= 0) return;
    if (n > SMS_LIST_CAPACITY) n = SMS_LIST_CAPACITY;
    // The newest record is on top, so the top-most selected row has the
    // highest record index.
    const int index = sel[n - 1];
    CSMS* sms = Get(index, list);
    if (!sms) return;
    const bool wasNew = sms->IsNew();
    m_pEditing = sms;
    const int result = m_ui.EditSMS(*sms, index);
    m_pEditing = nullptr;
    // An SMS that arrived meanwhile may have pushed the record out of a full
    // list; it was kept for the dialog and goes now.
    m_retired.clear();
    // The dialog may have changed the lists (a copy added to the to-send
    // list can push out its oldest record): touch the record only if it is
    // still where it was.
    if (Get(index, list) != sms) return;
    if (wasNew || (list == SMS_LIST_TOSEND && result == IDOK)) {
        sms->SetNew(false);
        m_ui.SmsUpdateRow(list, index, *sms);
        StoreChange();
    }
}

int CSMSMng::ReadSMS() {
    if (!m_pQueue) return 0;
    CComRequest req;
    req.kind = REQ_READ_SMS;
    return m_pQueue->PostRequest(req);
}

int CSMSMng::SendSMS(int kind, int index) {
    const int count = GetCount(SMS_LIST_TOSEND);
    int candidates[SMS_LIST_CAPACITY];
    int nCand = 0;
    if (kind == SMS_ONE) {
        if (index < 0 || index >= count) return -1;
        candidates[nCand++] = index;
    } else if (kind == SMS_ALL) {
        for (int i = 0; i < count && i < SMS_LIST_CAPACITY; ++i) candidates[nCand++] = i;
    } else if (kind == SMS_SELECTED) {
        // A selection means indices into the to-send list only while that
        // list is the one shown.
        if (ShownList() == SMS_LIST_TOSEND) {
            nCand = CollectIndices(SMS_LIST_TOSEND, SMS_SELECTED);
            for (int i = 0; i < nCand; ++i) candidates[i] = m_anIndex[i];
        }
    } else {
        return -1;
    }

    int n = 0;
    int total = 0;
    for (int i = 0; i < nCand; ++i) {
        const CSMS* sms = Get(candidates[i], SMS_LIST_TOSEND);
        const int messages = sms ? sms->GetSegmentCount() * sms->GetNumberCount() : 0;
        if (messages <= 0) continue;
        m_anIndex[n++] = candidates[i];
        total += messages;
    }
    if (total == 0) {
        m_ui.MessageBox(LoadStr(IDS_NOTHING_TO_SEND), MbButtons::Ok, MbIcon::Exclamation);
        return 1;
    }
    if (!m_pQueue) return 0;
    CComRequest req;
    req.kind = REQ_SEND_SMS;
    req.p1 = reinterpret_cast<intptr_t>(m_anIndex);
    req.p2 = n;
    return m_pQueue->PostRequest(req);
}

void CSMSMng::ExportSMS(int kind) {
    const int list = ShownList();
    if (list < 0) return;
    const int n = CollectIndices(list, kind);
    if (n == 0) return;
    const std::string path = m_ui.SaveFileDialog(FileFilter(IDS_FILTER_TXT), "txt");
    if (path.empty()) return;

    std::string out;
    for (int i = 0; i < n; ++i)
        if (const CSMS* sms = Get(m_anIndex[i], list)) sms->ExportLine(out);

    bool ok;
    int fd = OpenForAppend(path);
    if (fd < 0) {
        // A file that exists but cannot be opened is not replaced behind the user's back.
        ok = errno == ENOENT && WriteFileAtomic(path, out.data(), out.size());
    } else if (m_ui.MessageBox(LoadStr(IDS_QUERY_OVERWRITE), MbButtons::YesNo, MbIcon::Question) == IDYES) {
        ::close(fd);
        ok = WriteFileAtomic(path, out.data(), out.size());
    } else {
        ok = AppendKeepingOld(fd, out);
    }
    if (!ok) m_ui.MessageBox(LoadStr(IDS_SMS_SAVE_ERROR), MbButtons::Ok, MbIcon::Error);
}

// Appending to an existing export is the point, so it is written in place;
// a failed or short write is cut off again, leaving the file as it was.
bool CSMSMng::AppendKeepingOld(int fd, const std::string& out) {
    struct stat st;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const off_t oldLen = ::lseek(fd, 0, SEEK_END);
    bool ok = oldLen >= 0 && WriteAllFd(fd, out.data(), out.size());
    // Late failures (a full disk on a network file system) show at the flush.
    if (ok && regular) ok = ::fsync(fd) == 0;
    if (!ok && regular && oldLen >= 0) (void)!::ftruncate(fd, oldLen);
    if (::close(fd) != 0) ok = false;
    return ok;
}

// --- Engine events ---------------------------------------------------------------

bool CSMSMng::OnSmsReceived(CSMS* sms) {
    std::unique_ptr<CSMS> own(sms);
    if (!own) return false;
    auto& list = m_lists[SMS_LIST_RECEIVED];
    // A full list loses its oldest record to the new one, but only once the
    // new one is on disk.
    std::unique_ptr<CSMS> oldest;
    if (int(list.size()) >= SMS_LIST_CAPACITY) {
        oldest = std::move(list.front());
        list.erase(list.begin());
    }
    own->SetList(SMS_LIST_RECEIVED);
    list.push_back(std::move(own));
    // The device forgets an SMS once it is acknowledged: on disk first, so
    // that a crash or a power cut after hours online loses none.
    if (LoadRan() && !Save()) {
        list.pop_back();
        if (oldest) list.insert(list.begin(), std::move(oldest));
        return false;
    }
    if (oldest) {
        const int first = 0;
        m_ui.SmsDeleteRows(SMS_LIST_RECEIVED, &first, 1);
        Retire(std::move(oldest));
    }
    m_ui.SmsInsertRow(SMS_LIST_RECEIVED, *list.back());
    UpdateListLabel(SMS_LIST_RECEIVED);
    return true;
}

void CSMSMng::OnSmsSent(int index) { MoveSMS(index, SMS_LIST_TOSEND, SMS_LIST_SENT); }
