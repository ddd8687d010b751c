// CSMSMng: list limits and errors, the user-interface operations with their
// rows, labels and questions, and the send request with the index arithmetic
// the engine applies to it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/ComRequest.h"
#include "sms/SMSMng.h"
#include "tests/support/FakeUI.h"
#include "tests/support/TempDir.h"

namespace {

struct FakeQueue : IRequestQueue {
    std::vector<CComRequest> requests;
    int answer = RES_QUEUED;
    int PostRequest(const CComRequest& req) override {
        requests.push_back(req);
        return answer;
    }
};

CSMS* Make(const std::string& text, const std::vector<std::string>& numbers = {"600"}) {
    auto* s = new CSMS;
    s->SetText(text);
    for (const auto& n : numbers) s->AddNumber(n);
    return s;
}

struct SmsLists : ::testing::Test {
    TempDir dir;
    FakeUI ui;
    FakeQueue queue;
    CSMSMng mng{ui, dir.File("SMS.dat")};

    SmsLists() { mng.SetQueue(&queue); }

    void Fill(int list, int n, const std::string& prefix = "m") {
        for (int i = 0; i < n; ++i) ASSERT_EQ(mng.Add(Make(prefix + std::to_string(i)), list, true), i);
    }
    std::vector<std::string> Texts(int list) const {
        std::vector<std::string> v;
        for (int i = 0; i < mng.GetCount(list); ++i) v.emplace_back(mng.Get(i, list)->GetText());
        return v;
    }
    void ShowList(int list, std::vector<int> selection = {}) {
        ui.currentPane = PANE_SMSLIST;
        ui.shownList = list;
        ui.selection = std::move(selection);
    }
};

using Strs = std::vector<std::string>;

}  // namespace

TEST_F(SmsLists, AddStoresListNumberKeepsNewFlagAndRefusesBadListsAndFullLists) {
    CSMS original;
    original.SetText("copy me");
    original.SetList(SMS_LIST_RECEIVED);
    original.SetNew(false);
    EXPECT_EQ(mng.Add(&original, SMS_LIST_TOSEND, false), 0);
    EXPECT_EQ(original.GetList(), SMS_LIST_RECEIVED);  // the copy got the list, not the original
    CSMS* stored = mng.Get(0, SMS_LIST_TOSEND);
    ASSERT_NE(stored, &original);
    EXPECT_EQ(stored->m_dwState, uint32_t(SMS_LIST_TOSEND));

    EXPECT_EQ(mng.Add(&original, 3, false), SMS_ERR_ARG);
    EXPECT_EQ(mng.Add(&original, -1, false), SMS_ERR_ARG);
    Fill(SMS_LIST_SENT, 5);
    CSMS extra;
    EXPECT_EQ(mng.Add(&extra, SMS_LIST_SENT, true), SMS_ERR_FULL);  // caller keeps it
    EXPECT_EQ(mng.GetCount(SMS_LIST_SENT), 5);
    EXPECT_TRUE(mng.Get(4, SMS_LIST_SENT)->IsNew());
    EXPECT_EQ(mng.Get(4, SMS_LIST_SENT)->m_dwState, 0x80000001u);

    EXPECT_EQ(mng.Get(5, SMS_LIST_SENT), nullptr);
    EXPECT_EQ(mng.Get(-1, SMS_LIST_SENT), nullptr);
    EXPECT_EQ(mng.Get(0, 3), nullptr);
    EXPECT_EQ(mng.GetCount(7), 0);
}

TEST_F(SmsLists, RemoveAndMoveKeepOrderAndReportErrors) {
    Fill(SMS_LIST_TOSEND, 4);
    EXPECT_EQ(mng.Remove(4, SMS_LIST_TOSEND), SMS_ERR_ARG);
    EXPECT_EQ(mng.Remove(0, 3), SMS_ERR_ARG);
    EXPECT_EQ(mng.Remove(1, SMS_LIST_TOSEND), 1);
    EXPECT_EQ(Texts(SMS_LIST_TOSEND), (Strs{"m0", "m2", "m3"}));

    EXPECT_EQ(mng.Move(3, SMS_LIST_TOSEND, SMS_LIST_SENT), SMS_ERR_ARG);
    EXPECT_EQ(mng.Move(0, SMS_LIST_TOSEND, 3), SMS_ERR_ARG);
    EXPECT_EQ(mng.Move(0, 3, SMS_LIST_SENT), SMS_ERR_ARG);
    EXPECT_EQ(mng.Move(0, SMS_LIST_TOSEND, SMS_LIST_TOSEND), SMS_ERR_ARG);

    CSMS* m2 = mng.Get(1, SMS_LIST_TOSEND);
    EXPECT_EQ(mng.Move(1, SMS_LIST_TOSEND, SMS_LIST_SENT), 0);
    EXPECT_EQ(mng.Get(0, SMS_LIST_SENT), m2);  // the same record, not a copy
    EXPECT_EQ(m2->GetList(), SMS_LIST_SENT);
    EXPECT_EQ(Texts(SMS_LIST_TOSEND), (Strs{"m0", "m3"}));

    Fill(SMS_LIST_RECEIVED, 5, "r");
    CSMS* m0 = mng.Get(0, SMS_LIST_TOSEND);
    EXPECT_EQ(mng.Move(0, SMS_LIST_TOSEND, SMS_LIST_RECEIVED), SMS_ERR_FULL);
    EXPECT_EQ(mng.Get(0, SMS_LIST_TOSEND), m0);  // still where it was
    EXPECT_EQ(m0->GetList(), SMS_LIST_TOSEND);

    mng.Clear(SMS_LIST_RECEIVED);
    mng.Clear(9);
    EXPECT_EQ(mng.GetCount(SMS_LIST_RECEIVED), 0);
}

TEST_F(SmsLists, SixthReceivedSmsDropsTheOldest) {
    for (int i = 0; i < 6; ++i) mng.OnSmsReceived(Make("r" + std::to_string(i)));
    EXPECT_EQ(Texts(SMS_LIST_RECEIVED), (Strs{"r1", "r2", "r3", "r4", "r5"}));
    EXPECT_EQ(ui.labels[0], "Přijaté (5)");
    // The fifth insert, then the oldest row goes and the new one comes on top.
    ASSERT_EQ(ui.rowOps.size(), 7u);
    EXPECT_EQ(ui.rowOps[5], "delete 0 0");
    EXPECT_EQ(ui.rowOps[6], "insert 0");
}

TEST_F(SmsLists, MoveToAFullListDropsItsOldestAndUpdatesBothViews) {
    Fill(SMS_LIST_SENT, 5, "s");
    Fill(SMS_LIST_TOSEND, 2, "t");
    mng.m_anIndex[1] = 4;  // a running send request's indices stay untouched
    EXPECT_EQ(mng.MoveSMS(1, SMS_LIST_TOSEND, SMS_LIST_SENT), 4);
    EXPECT_EQ(Texts(SMS_LIST_SENT), (Strs{"s1", "s2", "s3", "s4", "t1"}));
    EXPECT_EQ(Texts(SMS_LIST_TOSEND), (Strs{"t0"}));
    EXPECT_EQ(ui.rowOps, (Strs{"delete 1 0", "delete 2 1", "insert 1"}));
    EXPECT_EQ(ui.labels[1], "Odeslané (5)");
    EXPECT_EQ(ui.labels[2], "K odeslání (1)");
    EXPECT_EQ(mng.m_anIndex[1], 4);
    EXPECT_EQ(mng.MoveSMS(3, SMS_LIST_TOSEND, SMS_LIST_SENT), SMS_ERR_ARG);
}

TEST_F(SmsLists, DeleteSelectedRowsOneAndThreeOfFive) {
    Fill(SMS_LIST_SENT, 5);
    ShowList(SMS_LIST_SENT, {3, 1});
    ui.answers = {IDYES};
    mng.DeleteSMS(SMS_SELECTED);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, LoadStr(109));
    EXPECT_EQ(ui.boxes[0].buttons, MbButtons::YesNo);
    EXPECT_EQ(ui.boxes[0].icon, MbIcon::Question);
    EXPECT_EQ(Texts(SMS_LIST_SENT), (Strs{"m0", "m2", "m4"}));
    EXPECT_EQ(ui.rowOps, (Strs{"delete 1 1 3"}));
    EXPECT_EQ(ui.labels[1], "Odeslané (3)");
}

TEST_F(SmsLists, DeleteAsksFirstAndNeedsTheListPane) {
    Fill(SMS_LIST_RECEIVED, 3);
    ui.currentPane = PANE_SMSEDIT;
    ui.shownList = SMS_LIST_RECEIVED;
    mng.DeleteSMS(SMS_ALL);
    EXPECT_TRUE(ui.boxes.empty());

    ShowList(SMS_LIST_RECEIVED);
    ui.answers = {IDNO};
    mng.DeleteSMS(SMS_ALL);
    EXPECT_EQ(mng.GetCount(SMS_LIST_RECEIVED), 3);

    ui.answers = {IDYES};
    mng.DeleteSMS(SMS_SELECTED);  // nothing selected
    EXPECT_EQ(mng.GetCount(SMS_LIST_RECEIVED), 3);

    ui.answers = {IDYES};
    mng.DeleteSMS(SMS_ALL);
    EXPECT_EQ(ui.boxes.back().text, LoadStr(108));
    EXPECT_EQ(mng.GetCount(SMS_LIST_RECEIVED), 0);
    EXPECT_EQ(ui.rowOps, (Strs{"delete 0 0 1 2"}));
    EXPECT_EQ(ui.labels[0], "Přijaté (0)");
}

TEST_F(SmsLists, RemoveSmsLeavesOutIndicesThatFitNoRecord) {
    Fill(SMS_LIST_RECEIVED, 3);
    mng.m_anIndex[0] = 0;
    mng.m_anIndex[1] = 2;
    mng.m_anIndex[2] = 2;
    mng.m_anIndex[3] = 7;
    mng.RemoveSMS(SMS_LIST_RECEIVED, 4);
    EXPECT_EQ(Texts(SMS_LIST_RECEIVED), (Strs{"m1"}));
    EXPECT_EQ(ui.rowOps, (Strs{"delete 0 0 2"}));
    mng.RemoveSMS(SMS_LIST_RECEIVED, 0);
    EXPECT_EQ(ui.rowOps.size(), 1u);
}

TEST_F(SmsLists, OpenClearsTheNewFlagOfTheTopMostSelectedRecord) {
    Fill(SMS_LIST_RECEIVED, 3);
    mng.Get(1, SMS_LIST_RECEIVED)->SetNew(false);
    ShowList(SMS_LIST_RECEIVED, {0, 1});
    mng.OpenSMS();  // index 1 is on top; it was read already
    EXPECT_TRUE(ui.rowOps.empty());
    ui.selection = {0, 2};
    mng.OpenSMS();
    EXPECT_FALSE(mng.Get(2, SMS_LIST_RECEIVED)->IsNew());
    EXPECT_TRUE(mng.Get(0, SMS_LIST_RECEIVED)->IsNew());
    EXPECT_EQ(ui.rowOps, (Strs{"update 0 2"}));

    // A to-send record is rewritten after OK even when it was not new.
    Fill(SMS_LIST_TOSEND, 1);
    mng.Get(0, SMS_LIST_TOSEND)->SetNew(false);
    ShowList(SMS_LIST_TOSEND, {0});
    ui.editSmsAnswer = IDCANCEL;
    mng.OpenSMS();
    EXPECT_EQ(ui.rowOps.size(), 1u);
    ui.editSmsAnswer = IDOK;
    mng.OpenSMS();
    EXPECT_EQ(ui.rowOps.back(), "update 2 0");

    ui.selection = {};
    mng.OpenSMS();
    EXPECT_EQ(ui.rowOps.size(), 2u);
}

TEST_F(SmsLists, SendQueuesOnlyRecordsWithTextAndNumber) {
    mng.Add(Make("a"), SMS_LIST_TOSEND, true);
    mng.Add(Make("", {"601"}), SMS_LIST_TOSEND, true);  // no text
    mng.Add(Make("c", {}), SMS_LIST_TOSEND, true);      // no number
    mng.Add(Make(std::string(161, 'd'), {"1", "2"}), SMS_LIST_TOSEND, true);

    EXPECT_EQ(mng.SendSMS(SMS_ALL), RES_QUEUED);
    ASSERT_EQ(queue.requests.size(), 1u);
    EXPECT_EQ(queue.requests[0].kind, REQ_SEND_SMS);
    EXPECT_EQ(queue.requests[0].p1, reinterpret_cast<intptr_t>(mng.m_anIndex));
    EXPECT_EQ(queue.requests[0].p2, 2);
    EXPECT_EQ(mng.m_anIndex[0], 0);
    EXPECT_EQ(mng.m_anIndex[1], 3);

    EXPECT_EQ(mng.SendSMS(SMS_ONE, 1), 1);  // nothing to send
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, LoadStr(111));
    EXPECT_EQ(ui.boxes[0].icon, MbIcon::Exclamation);
    EXPECT_EQ(queue.requests.size(), 1u);

    EXPECT_EQ(mng.SendSMS(SMS_ONE, 4), -1);
    EXPECT_EQ(mng.SendSMS(SMS_ONE, -1), -1);

    // Selected rows mean to-send records only while that list is shown.
    ShowList(SMS_LIST_RECEIVED, {0});
    EXPECT_EQ(mng.SendSMS(SMS_SELECTED), 1);
    EXPECT_EQ(ui.boxes.size(), 2u);

    queue.answer = RES_BUSY;
    EXPECT_EQ(mng.SendSMS(SMS_ONE, 0), RES_BUSY);

    EXPECT_EQ(mng.ReadSMS(), RES_BUSY);
    EXPECT_EQ(queue.requests.back().kind, REQ_READ_SMS);
}

// What the engine does with the request: the j-th index is taken at index - j,
// and each sent record is moved to the sent list before the next one.
TEST_F(SmsLists, SendingSelectedZeroTwoFourMovesThoseRecordsInOrder) {
    Fill(SMS_LIST_TOSEND, 5, "t");
    ShowList(SMS_LIST_TOSEND, {4, 0, 2});
    ASSERT_EQ(mng.SendSMS(SMS_SELECTED), RES_QUEUED);
    const auto& req = queue.requests.back();
    const int* indices = reinterpret_cast<const int*>(req.p1);
    ASSERT_EQ(req.p2, 3);

    std::vector<std::string> sentOrder;
    for (int j = 0; j < req.p2; ++j) {
        const int pos = indices[j] - j;
        sentOrder.emplace_back(mng.Get(pos, SMS_LIST_TOSEND)->GetText());
        mng.OnSmsSent(pos);
    }
    EXPECT_EQ(sentOrder, (Strs{"t0", "t2", "t4"}));
    EXPECT_EQ(Texts(SMS_LIST_SENT), (Strs{"t0", "t2", "t4"}));
    EXPECT_EQ(Texts(SMS_LIST_TOSEND), (Strs{"t1", "t3"}));
}

TEST_F(SmsLists, AFailedSecondSendLeavesTheRestInTheToSendList) {
    Fill(SMS_LIST_TOSEND, 5, "t");
    Fill(SMS_LIST_SENT, 5, "s");
    ShowList(SMS_LIST_TOSEND, {0, 2, 4});
    ASSERT_EQ(mng.SendSMS(SMS_SELECTED), RES_QUEUED);
    mng.OnSmsSent(mng.m_anIndex[0]);  // the first one went out, the second failed
    EXPECT_EQ(Texts(SMS_LIST_TOSEND), (Strs{"t1", "t2", "t3", "t4"}));
    EXPECT_EQ(Texts(SMS_LIST_SENT), (Strs{"s1", "s2", "s3", "s4", "t0"}));
    EXPECT_EQ(mng.m_anIndex[1], 2);  // dropping the oldest sent record did not touch them
    EXPECT_EQ(mng.m_anIndex[2], 4);
}

TEST_F(SmsLists, ReceivedRecordIsTakenOverAndLabelsShowCounts) {
    auto* s = Make("x");
    mng.OnSmsReceived(s);
    EXPECT_EQ(mng.Get(0, SMS_LIST_RECEIVED), s);
    mng.OnSmsReceived(nullptr);
    EXPECT_EQ(mng.GetCount(SMS_LIST_RECEIVED), 1);
    mng.UpdateListLabel(SMS_LIST_TOSEND);
    EXPECT_EQ(ui.labels[2], "K odeslání (0)");
}

// The oldest of five received SMS open in the edit dialog, a sixth arriving
// meanwhile: the arrival freed the record the dialog then wrote its edit
// into. It stays alive until the dialog has closed, and the edit goes into
// the to-send copy as the user saw it.
TEST_F(SmsLists, RecordOpenInTheDialogOutlivesItsPlaceInTheList) {
    for (int i = 0; i < SMS_LIST_CAPACITY; ++i) ASSERT_TRUE(mng.OnSmsReceived(Make("r" + std::to_string(i))));
    ShowList(SMS_LIST_RECEIVED, {0});
    ui.onEditSms = [this](CSMS& sms, int) {
        EXPECT_TRUE(mng.OnSmsReceived(Make("new")));
        sms.SetText("upraveno");  // what CollectSMS does when the user saves
        EXPECT_GE(mng.AddSMS(&sms, SMS_LIST_TOSEND, false), 0);
        return IDOK;
    };
    mng.OpenSMS();
    EXPECT_EQ(Texts(SMS_LIST_RECEIVED), (Strs{"r1", "r2", "r3", "r4", "new"}));
    EXPECT_EQ(Texts(SMS_LIST_TOSEND), (Strs{"upraveno"}));
}
