// The three SMS lists (received, sent, to send), their store SMS.dat, the text
// export, and the SMS commands of the main window. The list operations are
// plain; the user-interface operations also keep the rows of the SMS list pane
// and the list captions of the tools tree in step, through IAppUI.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/FileIO.h"
#include "sms/SMS.h"

class IAppUI;
class IRequestQueue;

// Result codes of the list operations.
enum SmsListResult : int {
    SMS_ERR_ARG = -1,     // bad list or index
    SMS_ERR_FULL = -2,    // the list already holds SMS_LIST_CAPACITY records
    SMS_ERR_MEMORY = -3,  // the copy could not be made
};

// Kinds of the commands that act on all, the selected or one record.
enum SmsScope : int { SMS_ALL = 1, SMS_SELECTED = 2, SMS_ONE = 3 };

class CSMSMng {
public:
    CSMSMng(IAppUI& ui, std::string smsDatPath);
    ~CSMSMng();
    CSMSMng(const CSMSMng&) = delete;
    CSMSMng& operator=(const CSMSMng&) = delete;

    // Where ReadSMS and SendSMS queue their requests.
    void SetQueue(IRequestQueue* queue) { m_pQueue = queue; }

    // --- List operations (the engine's worker uses Get and the records of the
    // to-send list while a send request runs).

    // Appends `sms` (taking ownership) or a copy of it to `list` and gives it
    // that list number; returns its index or SMS_ERR_*. When the result is an
    // error the caller keeps ownership.
    int Add(CSMS* sms, int list, bool takeOwnership);
    // 1, or -1 for a bad list or index.
    int Remove(int index, int list);
    void Clear(int list);
    // Moves a record to the end of another list (from != to); new index or SMS_ERR_*.
    int Move(int index, int from, int to);
    CSMS* Get(int index, int list) const;
    int GetCount(int list) const;

    // SMS.dat: 1 when all three lists were read to their counts, else 0 (the
    // lists keep what was read before the failure, records beyond a list's
    // capacity dropped).
    int Load();
    // 1 written, 0 failed or skipped: the store is only written after Load
    // ran and never over a file it could not read; a file that loaded only
    // partly is first kept as SMS.dat.bak.
    int Save();
    bool LoadRan() const { return m_store.LoadRan(); }

    // --- User-interface operations (UI thread only).

    // Add; a full list first loses its oldest record. Inserts the row and
    // updates the label on success.
    int AddSMS(CSMS* sms, int list, bool takeOwnership);
    // Move; a full target list first loses its oldest record.
    int MoveSMS(int index, int from, int to);
    // Removes the n records whose indices (ascending) are in m_anIndex.
    void RemoveSMS(int list, int n);
    // SMS_ALL or SMS_SELECTED of the list the SMS list pane shows, after a question.
    void DeleteSMS(int kind);
    // The top-most selected record of the shown list in the edit dialog.
    void OpenSMS();
    // Queues the read-SMS request; the queue's result (0 without a queue).
    int ReadSMS();
    // Queues the send request for the to-send records of `kind` that have a
    // text and a number: the queue's result, 1 after "nothing to send", -1 for
    // a bad index with SMS_ONE.
    int SendSMS(int kind, int index = -1);
    // SMS_ALL or SMS_SELECTED of the shown list into a text file.
    void ExportSMS(int kind);
    void UpdateListLabel(int list);

    // Engine events: a record read from the device (ownership passes here),
    // and a record of the to-send list that has been sent. A received record
    // is kept when SMS.dat could be written with it (or no store is in use,
    // as in vantrixctl); else it is dropped again and false returned, and the
    // device keeps it.
    bool OnSmsReceived(CSMS* sms);
    void OnSmsSent(int index);

    // The indices the last user-interface operation acted on, ascending; the
    // send request refers to this array while it runs.
    int m_anIndex[SMS_LIST_CAPACITY] = {};

private:
    static bool ValidList(int list) { return list >= 0 && list < SMS_LIST_COUNT; }
    // The list the SMS list pane shows, or -1 when that pane is not shown.
    int ShownList() const;
    // Deletes the rows and removes the records of the given indices. Invalid
    // and unordered entries are left out.
    void RemoveIndices(int list, const int* indices, int n);
    // Fills m_anIndex with all or the selected indices of `list`; their number.
    int CollectIndices(int list, int kind);
    // `complete` stays false when records were dropped at a full list.
    int LoadFrom(CInFile& f, bool& complete);
    static bool AppendKeepingOld(int fd, const std::string& out);
    // After a change by the user or a send: SMS.dat written, or a message.
    void StoreChange();
    // A record taken out of its list: destroyed, unless the edit dialog has it open.
    void Retire(std::unique_ptr<CSMS> gone);

    IAppUI& m_ui;
    std::string m_path;
    IRequestQueue* m_pQueue = nullptr;
    std::vector<std::unique_ptr<CSMS>> m_lists[SMS_LIST_COUNT];
    CStoreGuard m_store;
    CSMS* m_pEditing = nullptr;                    // the record the edit dialog shows
    std::vector<std::unique_ptr<CSMS>> m_retired;  // ... kept alive after it left its list
};
