// IAppUI on the console. Messages go to stderr; questions get the answer that
// changes nothing (the retry question: No); the worker's posted and sent calls
// run on the main thread through a message loop, in order.
#pragma once

#include <functional>
#include <string>

#include "app/AppUI.h"
#include "app/MsgLoop.h"
#include "comm/ComRequest.h"

class CVantrix;

class ConsoleUI : public IAppUI {
public:
    int MessageBox(const std::string& text, MbButtons buttons, MbIcon icon, const std::string& caption) override;
    std::string OpenFileDialog(const std::string&, const std::string&) override { return {}; }
    std::string SaveFileDialog(const std::string&, const std::string&) override { return {}; }
    void GetScreenSize(int& width, int& height) override { width = 1024, height = 768; }

    void OnEvent(int code, intptr_t datum) override;
    void UpdateTitle() override {}
    void CommitShownPane() override {}
    int CurrentPane() override { return -1; }

    void Notify(int code, intptr_t datum) override;
    bool KeepReceivedSms(CSMS* sms) override;
    void DeliverComMsg(CComMsg* msg, bool send) override;
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

    void SetModel(CVantrix* model) { m_model = model; }
    // Received SMS go here, one at a time before the device deletes it;
    // false when it could not be written out. Without a sink none is kept,
    // and the device keeps them all.
    void SetSmsSink(std::function<bool(const CSMS&)> sink) { m_smsSink = std::move(sink); }
    // The other application events (state changes, offline) go here too.
    void SetEventSink(std::function<void(int code)> sink) { m_eventSink = std::move(sink); }
    // Nothing on the console: the messages are kept (Message(), the latest)
    // and each sequence's caption goes to `phases` (the backup shows its own).
    void SetQuiet(std::function<void(const std::string&)> phases) {
        m_quiet = true;
        m_phaseSink = std::move(phases);
    }
    const std::string& Message() const { return m_message; }
    // The message loop for the callers' own work between requests.
    void Post(std::function<void()> fn) { m_loop.Post(std::move(fn)); }
    void RunUntil(const std::function<bool()>& done) { m_loop.RunUntil(done); }

    // Posts the request and runs the message loop until its sequence has
    // ended. Returns 0, or the first failure's result code (11 when a refused
    // PIN ended the log-in).
    int Run(const CComRequest& req);

private:
    void HandleComMsg(CComMsg* msg);
    void Say(const std::string& text);
    void ShowProgress();

    CMsgLoop m_loop;
    CVantrix* m_model = nullptr;
    std::function<bool(const CSMS&)> m_smsSink;
    std::function<void(int)> m_eventSink;
    bool m_quiet = false;
    std::function<void(const std::string&)> m_phaseSink;
    std::string m_message;
    bool m_ended = false;
    int m_result = 0;
    std::string m_caption;
    int m_pos = 0, m_max = 100;
};
