#include "tests/support/FakeUI.h"

#include <algorithm>

#include "comm/ComMsg.h"

int FakeUI::MessageBox(const std::string& text, MbButtons buttons, MbIcon icon, const std::string&) {
    int answer = 0;
    m_loop.Send([&] {
        boxes.push_back({text, buttons, icon});
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        } else {
            answer = buttons == MbButtons::Ok ? IDOK : IDNO;
        }
    });
    return answer;
}

std::string FakeUI::OpenFileDialog(const std::string& filter, const std::string&) {
    openFilters.push_back(filter);
    if (openPaths.empty()) return {};
    std::string p = openPaths.front();
    openPaths.pop_front();
    return p;
}

std::string FakeUI::SaveFileDialog(const std::string& filter, const std::string& defExt) {
    saveFilters.push_back(filter);
    saveExts.push_back(defExt);
    if (savePaths.empty()) return {};
    std::string p = savePaths.front();
    savePaths.pop_front();
    return p;
}

void FakeUI::OnEvent(int code, intptr_t datum) {
    events.emplace_back(code, datum);
    if (onEvent) onEvent(code, datum);
}

void FakeUI::Notify(int code, intptr_t datum) {
    if (code == AE_SMS_SENT)
        m_loop.Send([=, this] { OnEvent(code, datum); });
    else
        m_loop.Post([=, this] { OnEvent(code, datum); });
}

void FakeUI::DeliverComMsg(CComMsg* msg, bool send) {
    auto handle = [=, this] {
        comMsgs.push_back({msg->kind, msg->cancel, msg->value1, msg->value2});
        if (msg->kind == 6) ++sequencesEnded;
        if (onComMsg) onComMsg(msg);
        msg->done.store(1, std::memory_order_release);
    };
    if (send)
        m_loop.Send(handle);
    else
        m_loop.Post(handle);
}

void FakeUI::PostClose() {
    m_loop.Post([this] { ++closes; });
}

int FakeUI::EditConnection(CConnectDsc& dsc, bool lockNumber) {
    return onEditConnection ? onEditConnection(dsc, lockNumber) : IDCANCEL;
}

int FakeUI::SmsGetSelection(int* indices, int max) {
    std::vector<int> sel = selection;
    std::sort(sel.begin(), sel.end());
    int n = std::min<int>(max, int(sel.size()));
    if (indices) std::copy(sel.begin(), sel.begin() + n, indices);
    return indices ? n : int(sel.size());
}

void FakeUI::SmsUpdateRow(int list, int index, const CSMS&) {
    rowOps.push_back("update " + std::to_string(list) + " " + std::to_string(index));
}

void FakeUI::SmsDeleteRows(int list, const int* indices, int n) {
    std::string op = "delete " + std::to_string(list);
    for (int i = 0; i < n; ++i) op += " " + std::to_string(indices[i]);
    rowOps.push_back(op);
}

void FakeUI::SetListLabel(int list, const std::string& text) {
    if (list >= 0 && list < 3) labels[list] = text;
}
