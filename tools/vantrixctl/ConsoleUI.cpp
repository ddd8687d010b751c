#include "tools/vantrixctl/ConsoleUI.h"

#include <cstdio>
#include <memory>

#include "app/ConsoleOut.h"
#include "app/Strings.h"
#include "app/Vantrix.h"
#include "comm/ComMsg.h"

int ConsoleUI::MessageBox(const std::string& text, MbButtons buttons, MbIcon, const std::string&) {
    if (buttons == MbButtons::Ok) {
        m_loop.Send([&] { Say(text); });
        return IDOK;
    }
    return IDNO;
}

void ConsoleUI::OnEvent(int code, intptr_t datum) {
    if (!m_model) return;
    if (code == AE_SMS_RECEIVED) {
        std::unique_ptr<CSMS> sms(reinterpret_cast<CSMS*>(datum));
        if (m_smsSink)
            m_smsSink(*sms);
        else
            m_model->m_sms.OnSmsReceived(sms.release());
    } else if (code == AE_SMS_SENT) {
        m_model->m_sms.OnSmsSent(int(datum));
    } else if (m_eventSink) {
        m_eventSink(code);
    }
}

void ConsoleUI::Notify(int code, intptr_t datum) {
    if (code == AE_SMS_SENT)
        m_loop.Send([=, this] { OnEvent(code, datum); });
    else
        m_loop.Post([=, this] { OnEvent(code, datum); });
}

bool ConsoleUI::KeepReceivedSms(CSMS* sms) {
    // The console has no store of its own: without a sink that writes it
    // out, an SMS would live only in memory, so it stays on the device.
    bool kept = false;
    m_loop.Send([&, this] {
        std::unique_ptr<CSMS> own(sms);
        if (m_smsSink) kept = m_smsSink(*own);
    });
    return kept;
}

void ConsoleUI::DeliverComMsg(CComMsg* msg, bool send) {
    if (send)
        m_loop.Send([=, this] { HandleComMsg(msg); });
    else
        m_loop.Post([=, this] { HandleComMsg(msg); });
}

void ConsoleUI::Say(const std::string& text) {
    if (m_quiet)
        m_message = text;
    else
        ConsolePrintf(stderr, "%s\n", text.c_str());
}

void ConsoleUI::ShowProgress() {
    if (m_quiet) return;
    StderrWriter().ShowLine(m_caption + ' ' + std::to_string(m_pos) + '/' + std::to_string(m_max));
}

void ConsoleUI::HandleComMsg(CComMsg* msg) {
    switch (msg->kind) {
    case CM_BEGIN:
        m_caption = LoadStr(int(msg->value1));
        m_pos = 0;
        m_max = msg->value2;
        if (m_phaseSink) m_phaseSink(m_caption);
        ShowProgress();
        break;
    case CM_STEP:
        m_pos = std::min(m_max, m_pos + int(msg->value1));
        ShowProgress();
        break;
    case CM_SET_POS:
        m_pos = std::min(m_max, int(msg->value1));
        ShowProgress();
        break;
    case CM_ERROR:
        if (!m_quiet && StderrWriter().Terminal()) ConsoleWrite(stderr, "\n");
        Say(ComErrorText(int(msg->value1), uint32_t(msg->value2), PortFault(msg->detail),
                         m_model ? m_model->m_com.LocalPort() : std::string()));
        if (m_result == 0) m_result = int(msg->value1);
        break;
    case CM_END:
        if (!m_quiet) StderrWriter().ClearLine();
        m_ended = true;
        break;
    case CM_PIN_REFUSED:
        Say(LoadStr(IDS_PIN_REFUSED));
        msg->value2 = 0;  // no new PIN on the command line
        if (m_result == 0) m_result = 11;
        break;
    default: break;
    }
    msg->done.store(1, std::memory_order_release);
}

int ConsoleUI::Run(const CComRequest& req) {
    m_ended = false;
    m_result = 0;
    if (m_model->m_com.PostRequest(req) != 1) return 1;
    m_loop.RunUntil([this] { return m_ended; });
    return m_result;
}
