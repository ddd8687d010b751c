// A scripted IAppUI for tests: it records every call and answers questions and
// dialogs from prepared queues. Calls from the worker thread are marshalled to
// the test thread through a message loop, as the real program marshals them
// to the UI thread.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/AppUI.h"
#include "app/MsgLoop.h"

class FakeUI : public IAppUI {
public:
    struct Box {
        std::string text;
        MbButtons buttons;
        MbIcon icon;
    };

    // --- script
    std::deque<int> answers;            // message box answers; IDOK/IDNO when empty
    std::deque<std::string> openPaths;  // open dialog results; cancel when empty
    std::deque<std::string> savePaths;  // save dialog results; cancel when empty
    int screenWidth = 1024, screenHeight = 768;

    // --- record
    std::vector<Box> boxes;
    std::vector<std::pair<int, intptr_t>> events;  // OnEvent and Notify, in order
    int titleUpdates = 0;
    int commits = 0;
    int closes = 0;
    std::vector<std::string> openFilters, saveFilters, saveExts;

    // Progress records as the dialog saw them, and how many sequences ended.
    struct ComMsgCopy {
        int32_t kind;
        uint8_t cancel;
        intptr_t value1;
        int32_t value2;
    };
    std::vector<ComMsgCopy> comMsgs;
    int sequencesEnded = 0;

    // Hooks for the calls that later tests want to see or answer.
    std::function<void(int code, intptr_t datum)> onEvent;
    std::function<void(CComMsg* msg)> onComMsg;
    std::function<int(CConnectDsc&, bool)> onEditConnection;

    CMsgLoop& Loop() { return m_loop; }

    int MessageBox(const std::string& text, MbButtons buttons, MbIcon icon, const std::string& caption) override;
    std::string OpenFileDialog(const std::string& filter, const std::string& defExt) override;
    std::string SaveFileDialog(const std::string& filter, const std::string& defExt) override;
    void GetScreenSize(int& width, int& height) override { width = screenWidth, height = screenHeight; }

    void OnEvent(int code, intptr_t datum) override;
    void UpdateTitle() override { ++titleUpdates; }
    void CommitShownPane() override { ++commits; }
    int CurrentPane() override { return currentPane; }

    void Notify(int code, intptr_t datum) override;
    void DeliverComMsg(CComMsg* msg, bool send) override;
    void PostClose() override;

    int EditConnection(CConnectDsc& dsc, bool lockNumber) override;
    int ShowRemoteConnect() override { return remoteConnectAnswer; }

    int SmsShownList() override { return shownList; }
    int SmsGetSelection(int* indices, int max) override;
    void SmsInsertRow(int list, const CSMS&) override { rowOps.push_back("insert " + std::to_string(list)); }
    void SmsUpdateRow(int list, int index, const CSMS&) override;
    void SmsDeleteRows(int list, const int* indices, int n) override;
    void SetListLabel(int list, const std::string& text) override;
    int EditSMS(CSMS& sms, int index) override { return onEditSms ? onEditSms(sms, index) : editSmsAnswer; }

    // SMS pane state the fake pretends to show.
    int currentPane = -1;
    int shownList = -1;
    std::vector<int> selection;
    std::vector<std::string> rowOps;
    std::string labels[3];
    int editSmsAnswer = IDOK;
    // What happens while the edit dialog is open (an SMS arriving, say).
    std::function<int(CSMS&, int)> onEditSms;
    int remoteConnectAnswer = IDOK;

private:
    CMsgLoop m_loop;
};
