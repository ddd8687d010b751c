// The list of remote devices to call: the number of each device's SIM and the
// PIN to log in with, and which entry is used for the next remote connect.
// Stored in Connection.dat, which holds the PINs and is therefore private to
// the user (mode 0600).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/FileIO.h"

inline constexpr int CONNECT_NUMBER_LEN = 15;  // characters, without the terminator
inline constexpr int CONNECT_PIN_LEN = 8;
inline constexpr int CONNECT_MAX = 100;

// One connection, 25 bytes as Connection.dat holds it: two NUL-terminated fields.
struct CConnectDsc {
    char number[CONNECT_NUMBER_LEN + 1] = {};
    char pin[CONNECT_PIN_LEN + 1] = {};

    std::string Number() const;
    std::string Pin() const;
    // Longer texts are cut to the field; the rest of the field is zeroed.
    void SetNumber(std::string_view text);
    void SetPin(std::string_view text);
};
static_assert(sizeof(CConnectDsc) == 25, "Connection.dat entries are 25 bytes");

class CConnectDscMng {
public:
    CConnectDscMng() = default;
    CConnectDscMng(const CConnectDscMng&) = delete;
    CConnectDscMng& operator=(const CConnectDscMng&) = delete;

    // Appends a copy (texts copied up to their terminators); its index, or -1
    // when the list is full or memory is exhausted.
    int Add(const CConnectDsc& dsc);
    // Outside the list: nothing. The selected index is left as it is.
    void Remove(int index);
    // The entry, editable in place, or nullptr outside the list. Entries keep
    // their address until they are removed.
    CConnectDsc* Get(int index) const;
    int Count() const { return int(m_entries.size()); }
    // Removes every entry; no selection.
    void Clear();

    // The selected entry, or nullptr when selectedIndex fits no entry (none
    // selected, or the list shrank below it).
    CConnectDsc* SelectedEntry() const { return Get(selectedIndex); }

    // Connection.dat. Load gives 1, or 0 with an empty list and no selection
    // for a missing, foreign, short or oversized file; a stored selection that
    // fits no entry becomes none.
    int Load(const std::string& path);
    // 1 written (through a temporary file, a new one mode 0600), 0 failed or
    // skipped: the file is only written after Load ran and never over a file
    // it could not read; a file that loaded only partly is first kept as
    // Connection.dat.bak.
    int Save(const std::string& path);
    bool LoadRan() const { return m_store.LoadRan(); }

    // The entry used for the next remote connect; -1 none.
    int selectedIndex = -1;

private:
    int LoadFrom(CInFile& f);

    std::vector<std::unique_ptr<CConnectDsc>> m_entries;
    CStoreGuard m_store;
};
