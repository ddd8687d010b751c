// IAppUI on the console: messages go to stderr, questions are answered
// without asking (the retry question with No), and the worker's posted and
// sent calls run on the main thread through a message loop.
#pragma once

#include "app/AppUI.h"
#include "app/MsgLoop.h"

class ConsoleUI : public IAppUI {
public:
    int MessageBox(const std::string& text, MbButtons buttons, MbIcon icon,
                   const std::string& caption) override;
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

    int EditConnection(CConnectDsc&, bool) override { return IDCANCEL; }
    int ShowRemoteConnect() override { return IDOK; }

    int SmsShownList() override { return -1; }
    int SmsGetSelection(int*, int) override { return 0; }
    void SmsInsertRow(int, const CSMS&) override {}
    void SmsUpdateRow(int, int, const CSMS&) override {}
    void SmsDeleteRows(int, const int*, int) override {}
    void SetListLabel(int, const std::string&) override {}
    int EditSMS(CSMS&, int) override { return IDCANCEL; }

    CMsgLoop& Loop() { return m_loop; }

private:
    CMsgLoop m_loop;
};
