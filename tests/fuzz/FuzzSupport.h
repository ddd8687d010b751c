// What every fuzz target shares: an invariant check that holds in every build
// type, a scratch directory for the file formats, a user interface that
// answers nothing, and a byte transport that plays a script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/AppUI.h"
#include "comm/SerCom.h"

// A broken invariant ends the run like a crash, so libFuzzer keeps the input.
#define FUZZ_CHECK(cond)                                                                       \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzz {

// A file in the process's scratch directory (created on first use, removed at
// exit), in /dev/shm or the temporary directory, never in the tree.
std::string ScratchPath(const std::string& name);
// Replaces the file with exactly these bytes.
void WriteFile(const std::string& path, const uint8_t* data, size_t size);
std::vector<uint8_t> ReadFile(const std::string& path);

// Bytes of a plain object, for comparisons of whole records.
template <class T> std::string_view BytesOf(const T& v) { return {reinterpret_cast<const char*>(&v), sizeof v}; }

// Declines every question and dialog and records the message boxes.
class CQuietUI : public IAppUI {
public:
    std::vector<std::string> boxes;

    int MessageBox(const std::string& text, MbButtons, MbIcon, const std::string&) override {
        boxes.push_back(text);
        return IDNO;
    }
    std::string OpenFileDialog(const std::string&, const std::string&) override { return {}; }
    std::string SaveFileDialog(const std::string&, const std::string&) override { return {}; }
    void GetScreenSize(int& width, int& height) override { width = 1024, height = 768; }
    void OnEvent(int, intptr_t) override {}
    void UpdateTitle() override {}
    void CommitShownPane() override {}
    int CurrentPane() override { return -1; }
    void Notify(int, intptr_t) override {}
    void DeliverComMsg(CComMsg*, bool) override {}
    void PostClose() override {}
    int EditConnection(CConnectDsc&, bool) override { return 2; }
    int ShowRemoteConnect() override { return 2; }
    int SmsShownList() override { return -1; }
    int SmsGetSelection(int*, int) override { return 0; }
    void SmsInsertRow(int, const CSMS&) override {}
    void SmsUpdateRow(int, int, const CSMS&) override {}
    void SmsDeleteRows(int, const int*, int) override {}
    void SetListLabel(int, const std::string&) override {}
    int EditSMS(CSMS&, int) override { return IDCANCEL; }
};

// The line as a script: reads take the next bytes of `rx` and time out when
// fewer are left; writes are recorded and always succeed.
class CScriptIO : public IByteIO {
public:
    CScriptIO(const uint8_t* rx, size_t n) : m_rx(rx), m_size(n) {}

    int Read(void* buf, uint32_t n, uint32_t) override;
    int Write(const void* buf, uint32_t n, uint32_t) override;
    void PurgeRx() override { ++purges; }
    bool IsCancelPending() override { return false; }

    size_t Consumed() const { return m_pos; }
    bool Exhausted() const { return m_pos == m_size; }

    std::vector<std::vector<uint8_t>> writes;
    int purges = 0;

private:
    const uint8_t* m_rx;
    size_t m_size;
    size_t m_pos = 0;
};

}  // namespace fuzz
