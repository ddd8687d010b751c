// The SMS pages and the SMS edit dialog, offscreen: the editor's counter,
// limits and buttons, the list views kept in step with the manager, and the
// way through the simulator (send, read, export).
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "app/TextCodec.h"
#include "sms/DlgSMSEdit.h"
#include "sms/PaneSMS.h"
#include "tests/ui/UiHarness.h"
#include "ui_PaneSMSEdit.h"
#include "ui_PaneSMSList.h"

namespace {

constexpr int kNodeNew = 1, kNodeReceived = 2, kNodeSent = 3, kNodeToSend = 4;

Ui::TFrmSMSEdit& Editor(UiHarness& h) { return *static_cast<CPaneSMSEdit*>(h.Panes()->Get(PANE_SMSEDIT))->Frame()->ui; }

TFrmSMSList* Lists(UiHarness& h) { return static_cast<CPaneSMSList*>(h.Panes()->Get(PANE_SMSLIST))->Frame(); }

// A received record as the engine hands it over (ownership passes).
CSMS* Received(const char* number, const std::string& utf8Text, int minute) {
    auto* sms = new CSMS;
    if (number) sms->AddNumber(number);
    sms->SetText(cp1250::FromUtf8(utf8Text));
    const uint8_t t[6] = {1, 2, 24, 10, uint8_t(minute), 0};
    std::copy(t, t + 6, sms->m_Time);
    return sms;
}

void Receive(UiHarness& h, CSMS* sms) { h.app->UI().OnEvent(AE_SMS_RECEIVED, reinterpret_cast<intptr_t>(sms)); }

QString Text(const QTreeWidget* view, int row, int col) { return view->topLevelItem(row)->text(col); }

std::vector<int> Selection(UiHarness& h) {
    int sel[SMS_LIST_CAPACITY];
    int n = h.app->UI().SmsGetSelection(sel, SMS_LIST_CAPACITY);
    return std::vector<int>(sel, sel + n);
}

// A main-window command as the user gives it: only while it is enabled
// (the enabling is otherwise evaluated when the event loop next idles).
void Command(UiHarness& h, const char* action) {
    h.Main()->UpdateActions();
    QVERIFY2(h.Action(action)->isEnabled(), action);
    h.Trigger(action);
}

std::string Bytes(const std::string& path) {
    auto v = ReadAll(path);
    return std::string(v.begin(), v.end());
}

}  // namespace

class TestSms : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(app); }

    void editorCountsAsTheRecordStoresAndKeepsTheLimit() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeNew);
        QCOMPARE(h.Panes()->Current(), int(PANE_SMSEDIT));
        auto& u = Editor(h);
        QCOMPARE(u.m_pLblLen2->text(), QStringLiteral("0/0"));
        QVERIFY(!u.m_pBtnSend->isEnabled());
        QVERIFY(!u.m_pBtnSave->isEnabled());
        QCOMPARE(u.m_pTxtFor->accessibleName(), QStringLiteral("přijemci:"));

        QTest::keyClicks(u.m_pTxtText, QString(161, QLatin1Char('a')));
        QCOMPARE(u.m_pLblLen2->text(), QStringLiteral("1/2"));
        QTest::keyClick(u.m_pTxtText, Qt::Key_Backspace);
        QCOMPARE(u.m_pLblLen2->text(), QStringLiteral("160/1"));
        QVERIFY(u.m_pBtnSave->isEnabled());
        QVERIFY(!u.m_pBtnSend->isEnabled());  // no recipient yet

        // A Czech letter is one character, a line break two (CR LF).
        u.m_pTxtText->setPlainText(QStringLiteral("čau\nahoj"));
        QCOMPARE(u.m_pLblLen2->text(), QStringLiteral("9/1"));

        // At 639 characters a line break no longer fits.
        u.m_pTxtText->setPlainText(QString(639, QLatin1Char('x')));
        u.m_pTxtText->moveCursor(QTextCursor::End);
        QTest::keyClick(u.m_pTxtText, Qt::Key_Return);
        QCOMPARE(u.m_pTxtText->toPlainText(), QString(639, QLatin1Char('x')));
        QCOMPARE(u.m_pLblLen2->text(), QStringLiteral("159/4"));
        // A paste in the middle is cut to what fits; the text after it stays.
        u.m_pTxtText->setPlainText(QString(600, QLatin1Char('x')) + QStringLiteral("END"));
        QTextCursor c = u.m_pTxtText->textCursor();
        c.setPosition(10);
        u.m_pTxtText->setTextCursor(c);
        u.m_pTxtText->insertPlainText(QString(50, QLatin1Char('y')));
        const QString text = u.m_pTxtText->toPlainText();
        QCOMPARE(text.size(), 640);
        QCOMPARE(text.count(QLatin1Char('y')), 37);
        QVERIFY(text.endsWith(QStringLiteral("END")));
        QCOMPARE(u.m_pLblLen2->text(), QStringLiteral("160/4"));

        u.m_pTxtText->clear();
        QCOMPARE(u.m_pLblLen2->text(), QStringLiteral("0/0"));
        QVERIFY(!u.m_pBtnSave->isEnabled());
        QTest::keyClicks(u.m_pTxtFor, QStringLiteral("603"));
        QVERIFY(u.m_pBtnSave->isEnabled());  // the recipients alone are worth keeping
        QTest::keyClicks(u.m_pTxtFor, QString(100, QLatin1Char('1')));
        QCOMPARE(u.m_pTxtFor->text().size(), 64);
    }

    void sendWithoutANumberAsksAndSaveKeepsACopy() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeNew);
        auto& u = Editor(h);
        u.m_pTxtText->setPlainText(QStringLiteral("Ahoj"));
        QTest::keyClicks(u.m_pTxtFor, QStringLiteral("Pepa"));
        QVERIFY(u.m_pBtnSend->isEnabled());  // letters are text enough to enable it ...
        u.m_pBtnSend->click();
        QCOMPARE(h.boxes.size(), size_t(1));  // ... but no number to send to
        QCOMPARE(h.boxes[0].text, QStringLiteral("Nebylo zadáno žádné číslo příjemce."));
        QCOMPARE(h.boxes[0].icon, MbIcon::Exclamation);
        QCOMPARE(h.boxes[0].buttons, MbButtons::Ok);
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_TOSEND), 0);
        QCOMPARE(u.m_pTxtFor->text(), QStringLiteral("Pepa"));  // the fields keep their contents
        QCOMPARE(h.Ended(), 0);

        u.m_pTxtFor->setText(QStringLiteral("+420603123456, 777888999"));
        u.m_pTxtText->setPlainText(QStringLiteral("Příště\nv sedm"));
        u.m_pBtnSave->click();
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_TOSEND), 1);
        const CSMS* saved = h.model->m_sms.Get(0, SMS_LIST_TOSEND);
        QCOMPARE(saved->GetNumberCount(), 2);
        QCOMPARE(std::string(saved->GetText()), cp1250::FromUtf8("Příště\r\nv sedm"));
        QCOMPARE(saved->GetList(), SMS_LIST_TOSEND);
        QVERIFY(u.m_pTxtText->toPlainText().isEmpty());
        QVERIFY(u.m_pTxtFor->text().isEmpty());
        QVERIFY(!u.m_pBtnSave->isEnabled());
        QCOMPARE(h.Main()->Node(TFrmMain::TAB_TOOLS, kNodeToSend)->text(0), QStringLiteral("K odeslání (1)"));
        // The next message starts from the pane's own record, not the saved copy.
        u.m_pTxtText->setPlainText(QStringLiteral("další"));
        u.m_pTxtFor->setText(QStringLiteral("1"));
        u.m_pBtnSave->click();
        QCOMPARE(std::string(h.model->m_sms.Get(0, SMS_LIST_TOSEND)->GetText()), cp1250::FromUtf8("Příště\r\nv sedm"));
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_TOSEND), 2);
    }

    void listsShowNewestOnTopAndFollowTheManager() {
        UiHarness h;
        // Rows that arrive before the pane was ever shown come with its first fill.
        Receive(h, Received("+420111", "první", 1));
        h.model->m_sms.Get(0, SMS_LIST_RECEIVED)->SetNew(false);
        Receive(h, Received("+420222", std::string(200, 'd'), 2));
        Receive(h, Received(nullptr, "bez čísla", 3));
        Receive(h, Received("+420444", "čtvrtá\r\nřádka", 4));
        Receive(h, Received("+420555", "pátá", 5));
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeReceived);
        QCOMPARE(h.Panes()->Current(), int(PANE_SMSLIST));
        TFrmSMSList* f = Lists(h);
        QTreeWidget* received = f->ui->m_pLsvSMS1;
        QVERIFY(received->isVisible());
        QVERIFY(!f->ui->m_pLsvSMS2->isVisible() && !f->ui->m_pLsvSMS3->isVisible());
        QCOMPARE(received->headerItem()->text(0), QStringLiteral("Od"));
        QCOMPARE(f->ui->m_pLsvSMS2->headerItem()->text(0), QStringLiteral("Komu"));
        QCOMPARE(f->ui->m_pLsvSMS3->headerItem()->text(0), QStringLiteral("Komu"));
        QCOMPARE(received->headerItem()->text(1), QStringLiteral("Text"));
        QCOMPARE(received->headerItem()->text(2), QStringLiteral("Čas"));
        QVERIFY(!received->rootIsDecorated());
        QCOMPARE(received->selectionMode(), QAbstractItemView::ExtendedSelection);

        QCOMPARE(received->topLevelItemCount(), 5);
        QCOMPARE(Text(received, 0, 1), QStringLiteral("pátá"));
        QCOMPARE(Text(received, 1, 1), QStringLiteral("čtvrtá řádka"));  // one line
        QCOMPARE(Text(received, 2, 0), QString());                       // no number
        QCOMPARE(Text(received, 3, 1), QString(160, QLatin1Char('d')));
        QCOMPARE(Text(received, 4, 0), QStringLiteral("+420111"));
        QCOMPARE(Text(received, 4, 2), QStringLiteral("10:01:00  1.2.2024"));
        const qint64 imageNew = h.Main()->Image(12).cacheKey(), imageOld = h.Main()->Image(13).cacheKey();
        QCOMPARE(received->topLevelItem(0)->icon(0).cacheKey(), imageNew);
        QCOMPARE(received->topLevelItem(4)->icon(0).cacheKey(), imageOld);

        // A sixth while the list is shown: the bottom row goes, the new one comes on top.
        Receive(h, Received("+420666", "šestá", 6));
        QCOMPARE(received->topLevelItemCount(), 5);
        QCOMPARE(Text(received, 0, 1), QStringLiteral("šestá"));
        QCOMPARE(Text(received, 4, 0), QStringLiteral("+420222"));
        QCOMPARE(h.Main()->Node(TFrmMain::TAB_TOOLS, kNodeReceived)->text(0), QStringLiteral("Přijaté (5)"));

        // Rows 1 and 3 are the records 3 and 1; the Delete key removes them.
        received->topLevelItem(1)->setSelected(true);
        received->topLevelItem(3)->setSelected(true);
        QCOMPARE(Selection(h), (std::vector<int>{1, 3}));
        h.Main()->UpdateActions();
        QVERIFY(h.Action("m_pActSMSDelSel")->isEnabled());
        QVERIFY(!h.Action("m_pActSMSSendSel")->isEnabled());  // not the to-send list
        h.answers = {IDYES};
        QTest::keyClick(received, Qt::Key_Delete);
        QCOMPARE(h.boxes.size(), size_t(1));
        QCOMPARE(h.boxes[0].text, QStringLiteral("Opravdu chcete vybrané SMS odstranit?"));
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_RECEIVED), 3);
        QCOMPARE(received->topLevelItemCount(), 3);
        QCOMPARE(Text(received, 0, 1), QStringLiteral("šestá"));
        QCOMPARE(Text(received, 1, 1), QStringLiteral("čtvrtá řádka"));
        QCOMPARE(Text(received, 2, 0), QStringLiteral("+420222"));

        // Shift+Del is the main window's command: one question, not a second from the view.
        received->topLevelItem(0)->setSelected(true);
        h.answers = {IDNO};
        h.Main()->activateWindow();
        received->setFocus();
        QTest::keyClick(received, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(h.boxes.size(), size_t(2));
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_RECEIVED), 3);

        // The other lists have their own views; switching hides the one before.
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeSent);
        QVERIFY(f->ui->m_pLsvSMS2->isVisible());
        QVERIFY(!received->isVisible());
        QCOMPARE(f->ui->m_pLsvSMS2->topLevelItemCount(), 0);
        QVERIFY(Selection(h).empty());
    }

    void columnWidthsComeFromAndGoBackToTheProfile() {
        std::unique_ptr<CSimModem> none;
        UiHarness h;
        RestartOptions o;
        o.prepare = [](CProfile& p) {
            p.wnd.smsColumnWidths[3] = 77;
            p.wnd.smsColumnWidths[4] = -5;      // unusable: the default
            p.wnd.smsColumnWidths[8] = 100000;  // unusable: the default
        };
        Restart(h, none, o);
        QCOMPARE(h.startResult, 1);
        TFrmSMSList* f = Lists(h);
        QCOMPARE(f->ui->m_pLsvSMS1->columnWidth(1), 300);
        QCOMPARE(f->ui->m_pLsvSMS2->columnWidth(0), 77);
        QCOMPARE(f->ui->m_pLsvSMS2->columnWidth(1), 300);
        QCOMPARE(f->ui->m_pLsvSMS3->columnWidth(2), 130);
        f->ui->m_pLsvSMS3->setColumnWidth(1, 222);
        h.app->UI().WriteProfile();
        CProfile p;
        QCOMPARE(p.Read(DataPath(h.dir.Path(), "Profile.dat")), 1);
        QCOMPARE(p.wnd.smsColumnWidths[7], 222);
        QCOMPARE(p.wnd.smsColumnWidths[3], 77);
        QCOMPARE(p.wnd.smsColumnWidths[4], 300);
    }

    void editDialogChangesTheOpenedRecord() {
        UiHarness h;
        Receive(h, Received("+420111", "Původní", 1));
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeReceived);
        QTreeWidget* received = Lists(h)->ui->m_pLsvSMS1;
        QTreeWidgetItem* row = received->topLevelItem(0);

        // Send without a number in the dialog: message 107, and still closed with OK.
        int result = 0;
        WhenModal<TFrmSMSEditDlg>([&](TFrmSMSEditDlg* dlg) {
            auto& u = *dlg->Frame()->ui;
            QCOMPARE(dlg->windowTitle(), QStringLiteral("Editace SMS"));
            QCOMPARE(u.m_pTxtFor->text(), QStringLiteral("+420111"));
            QCOMPARE(u.m_pTxtText->toPlainText(), QStringLiteral("Původní"));
            u.m_pTxtFor->setText(QStringLiteral("nikdo"));
            u.m_pBtnSend->click();
            result = dlg->result();
        });
        // A click selects the row, the view's double click opens it.
        QTest::mouseClick(received->viewport(), Qt::LeftButton, {}, received->visualItemRect(row).center());
        QVERIFY(row->isSelected());
        emit received->itemDoubleClicked(row, 0);
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(h.boxes.size(), size_t(1));
        QCOMPARE(h.boxes[0].text, QStringLiteral("Nebylo zadáno žádné číslo příjemce."));
        const CSMS* sms = h.model->m_sms.Get(0, SMS_LIST_RECEIVED);
        QCOMPARE(sms->GetNumberCount(), 0);  // collected before the refusal
        QVERIFY(!sms->IsNew());              // opened: the row shows it as read
        QCOMPARE(received->topLevelItem(0)->icon(0).cacheKey(), h.Main()->Image(13).cacheKey());
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_TOSEND), 0);

        // Saving an edited received SMS keeps it and puts a copy into the to-send list.
        received->topLevelItem(0)->setSelected(true);
        WhenModal<TFrmSMSEditDlg>([](TFrmSMSEditDlg* dlg) {
            auto& u = *dlg->Frame()->ui;
            u.m_pTxtText->setPlainText(QStringLiteral("Odpověď"));
            u.m_pTxtFor->setText(QStringLiteral("603"));
            u.m_pBtnSave->click();
        });
        Command(h, "m_pActSMSOpen");
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_RECEIVED), 1);
        QCOMPARE(std::string(h.model->m_sms.Get(0, SMS_LIST_RECEIVED)->GetText()), cp1250::FromUtf8("Odpověď"));
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_TOSEND), 1);
        QCOMPARE(std::string(h.model->m_sms.Get(0, SMS_LIST_TOSEND)->GetNumber(0)), std::string("603"));

        // A to-send SMS is edited in place and its row rewritten.
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeToSend);
        QTreeWidget* toSend = Lists(h)->ui->m_pLsvSMS3;
        QCOMPARE(toSend->topLevelItemCount(), 1);
        toSend->topLevelItem(0)->setSelected(true);
        WhenModal<TFrmSMSEditDlg>([](TFrmSMSEditDlg* dlg) {
            dlg->Frame()->ui->m_pTxtText->setPlainText(QStringLiteral("Opraveno"));
            dlg->Frame()->ui->m_pBtnSave->click();
        });
        Command(h, "m_pActSMSOpen");
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_TOSEND), 1);
        QCOMPARE(Text(toSend, 0, 1), QStringLiteral("Opraveno"));

        // Storno changes nothing.
        WhenModal<TFrmSMSEditDlg>([](TFrmSMSEditDlg* dlg) {
            dlg->Frame()->ui->m_pTxtText->setPlainText(QStringLiteral("zahozeno"));
            dlg->reject();
        });
        Command(h, "m_pActSMSOpen");
        QCOMPARE(std::string(h.model->m_sms.Get(0, SMS_LIST_TOSEND)->GetText()), std::string("Opraveno"));
    }

    // Opening a record and saving it unchanged must not cut its recipients at
    // the typing limit nor turn lone CR, lone LF or 0xA0 into other bytes.
    void openedAndSavedUnchangedKeepsEveryByte() {
        UiHarness h;
        const std::string bytes("1\nr\rX\xA0Y\r\nz", 10);
        auto* sms = new CSMS;
        for (const char* n : {"+423456789012341", "+423456789012342", "+423456789012343", "+423456789012345"})
            sms->AddNumber(n);
        sms->SetText(bytes);
        Receive(h, sms);
        const std::string numbers = sms->JoinNumbers();
        QVERIFY(numbers.size() > 64);
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeReceived);
        Lists(h)->ui->m_pLsvSMS1->topLevelItem(0)->setSelected(true);
        WhenModal<TFrmSMSEditDlg>([&](TFrmSMSEditDlg* dlg) {
            auto& u = *dlg->Frame()->ui;
            QCOMPARE(u.m_pTxtFor->text(), QString::fromStdString(numbers));
            QCOMPARE(u.m_pLblLen2->text(), QStringLiteral("10/1"));
            u.m_pBtnSave->click();
        });
        Command(h, "m_pActSMSOpen");
        for (int list : {SMS_LIST_RECEIVED, SMS_LIST_TOSEND}) {
            const CSMS* got = h.model->m_sms.Get(0, list);
            QCOMPARE(got->JoinNumbers(), numbers);
            QCOMPARE(std::string(got->GetText(), got->GetTextLen()), bytes);
        }
        // An edit counts the editor's text; a new message is limited again.
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeToSend);
        Lists(h)->ui->m_pLsvSMS3->topLevelItem(0)->setSelected(true);
        WhenModal<TFrmSMSEditDlg>([&](TFrmSMSEditDlg* dlg) {
            auto& u = *dlg->Frame()->ui;
            u.m_pTxtText->setPlainText(QStringLiteral("a\nb"));
            QCOMPARE(u.m_pLblLen2->text(), QStringLiteral("4/1"));
            u.m_pBtnSave->click();
        });
        Command(h, "m_pActSMSOpen");
        QCOMPARE(std::string(h.model->m_sms.Get(0, SMS_LIST_TOSEND)->GetText()), std::string("a\r\nb"));
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeNew);
        auto& u = Editor(h);
        QTest::keyClicks(u.m_pTxtFor, QString(100, QLatin1Char('1')));
        QCOMPARE(u.m_pTxtFor->text().size(), 64);
    }

    void composedSmsIsSentThroughTheDevice() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeNew);
        auto& u = Editor(h);
        u.m_pTxtText->setPlainText(QStringLiteral("Zkouška č. 1"));
        u.m_pTxtFor->setText(QStringLiteral("+420603123456"));
        u.m_pBtnSave->click();
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_TOSEND), 1);
        h.Main()->UpdateActions();
        QVERIFY(h.Action("m_pActSMSSendAll")->isEnabled());
        h.TriggerAndWait("m_pActSMSSendAll");
        QVERIFY(h.boxes.empty());
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_TOSEND), 0);
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_SENT), 1);
        QCOMPARE(h.Main()->Node(TFrmMain::TAB_TOOLS, kNodeSent)->text(0), QStringLiteral("Odeslané (1)"));
        QCOMPARE(h.Main()->Node(TFrmMain::TAB_TOOLS, kNodeToSend)->text(0), QStringLiteral("K odeslání (0)"));
        nlohmann::json sent = h.sim->State()["sent"];
        QCOMPARE(int(sent.size()), 1);
        QCOMPARE(sent[0]["number"].get<std::string>(), std::string("+420603123456"));
        QCOMPARE(sent[0]["text"].get<std::string>(), std::string("Zkouška č. 1"));

        // "Odeslat" sends at once.
        u.m_pTxtText->setPlainText(QStringLiteral("hned"));
        u.m_pTxtFor->setText(QStringLiteral("777 888"));  // two numbers
        const int ended = h.Ended();
        u.m_pBtnSend->click();
        QTRY_VERIFY_WITH_TIMEOUT(h.Ended() > ended, 30000);
        QVERIFY(u.m_pTxtText->toPlainText().isEmpty());
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_SENT), 2);
        sent = h.sim->State()["sent"];
        QCOMPARE(int(sent.size()), 3);
        QCOMPARE(sent[2]["number"].get<std::string>(), std::string("888"));

        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeSent);
        QTreeWidget* view = Lists(h)->ui->m_pLsvSMS2;
        QCOMPARE(view->topLevelItemCount(), 2);
        QCOMPARE(Text(view, 0, 0), QStringLiteral("777"));
        QCOMPARE(Text(view, 1, 1), QStringLiteral("Zkouška č. 1"));
    }

    void readSmsFromTheDeviceAndExportThem() {
        UiHarness h;
        nlohmann::json queue = {
            {{"time", "2024-03-05 07:08:09"}, {"number", "+420602123456"}, {"text", "Dobrý den"}},
            {{"time", "2031-12-31 23:59:58"}, {"number", "1234"}, {"text", "dva\r\nřádky"}},
        };
        QVERIFY(h.sim->SetState({{"smsQueue", queue}}));
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeReceived);
        h.TriggerAndWait("m_pActSMSRead");
        QVERIFY(h.boxes.empty());
        QCOMPARE(h.model->m_sms.GetCount(SMS_LIST_RECEIVED), 2);
        QTreeWidget* view = Lists(h)->ui->m_pLsvSMS1;
        QCOMPARE(view->topLevelItemCount(), 2);
        QCOMPARE(Text(view, 1, 0), QStringLiteral("+420602123456"));
        QCOMPARE(Text(view, 1, 1), QStringLiteral("Dobrý den"));
        QCOMPARE(Text(view, 0, 2), QStringLiteral("23:59:58  31.12.2031"));
        QCOMPARE(h.Main()->Node(TFrmMain::TAB_TOOLS, kNodeReceived)->text(0), QStringLiteral("Přijaté (2)"));

        const std::string file = h.dir.File("sms.txt");
        h.paths = {QString::fromStdString(file)};
        Command(h, "m_pActSMSSaveAll");
        QCOMPARE(h.filters.back(), QStringLiteral("Textové dokumenty (*.txt)|*.txt|Všechny soubory|*.*"));
        const std::string lines = cp1250::FromUtf8(
            "07:08:09  5.3.2024\t+420602123456\tDobrý den\r\n"
            "23:59:58  31.12.2031\t1234\tdva\r\nřádky\r\n");
        QCOMPARE(Bytes(file), lines);

        // The selected one only, appended to what is there.
        view->topLevelItem(0)->setSelected(true);
        h.paths = {QString::fromStdString(file)};
        h.answers = {IDNO};
        Command(h, "m_pActSMSSaveSel");
        QCOMPARE(h.boxes.back().text,
                 QStringLiteral("Soubor již existuje. Chcete jej přepsat (ano), nebo pokračovat v zápisu (ne)?"));
        QCOMPARE(Bytes(file), lines + cp1250::FromUtf8("23:59:58  31.12.2031\t1234\tdva\r\nřádky\r\n"));
    }
};

QTEST_MAIN(TestSms)
#include "test_sms.moc"
