// The communication settings, remote connect, connection item and modem
// properties dialogs, offscreen; and a remote session through the
// simulator's modem front started from the remote connect dialog.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "app/Strings.h"
#include "remote/DlgComSet.h"
#include "remote/DlgConnectItem.h"
#include "remote/DlgModem.h"
#include "remote/DlgRemCon.h"
#include "tests/ui/UiHarness.h"
#include "ui_DlgComSet.h"
#include "ui_DlgConnectItem.h"
#include "ui_DlgModem.h"
#include "ui_DlgRemCon.h"

namespace {

SimModemOptions FastModem() {
    SimModemOptions mo;
    mo.ringMs = 50;
    mo.guardMs = 50;
    return mo;
}

// Restarts `h` with `n` connections ("60000000<i>", PIN "000<i>"), the
// given selection, access mode and modem index, and the modems "A-gone"
// (a link to nothing) and "SimModem" (the simulator, behind a modem front).
void Boot(UiHarness& h, std::unique_ptr<CSimModem>& modem, int n, int selected, int mode, int modemIndex) {
    RestartOptions o;
    o.modem = FastModem();
    o.modemLinks = {{"A-gone", h.dir.File("no-such-tty")}, {"SimModem", ""}};
    o.prepare = [mode, modemIndex](CProfile& p) {
        p.com.accessMode = mode;
        p.com.modemIndex = modemIndex;
    };
    Restart(h, modem, o);
    QCOMPARE(h.startResult, 1);
    CConnectDscMng& conns = h.model->m_com.Connections();
    for (int i = 0; i < n; ++i) {
        CConnectDsc dsc;
        dsc.SetNumber("60000000" + std::to_string(i));
        dsc.SetPin("000" + std::to_string(i));
        QVERIFY(conns.Add(dsc) == i);
    }
    conns.selectedIndex = selected;
    TFrmRemCon::s_nRemembered = -1;
}

CConnectDscMng& Conns(UiHarness& h) { return h.model->m_com.Connections(); }

QStringList Items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

int Selected(const QListWidget* list) {
    auto items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.first());
}

// Fills the connection item dialog and confirms it.
void AnswerConnectItem(const QString& number, const QString& pin) {
    WhenModal<TFrmConnectItem>([number, pin](TFrmConnectItem* dlg) {
        dlg->ui->m_pTxtNum->setText(number);
        dlg->ui->m_pTxtPIN->setText(pin);
        dlg->ui->m_pBtnOk->click();
    });
}

}  // namespace

class TestRemoteDialogs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(app); }

    void settingsShowTheProfileAndStoreOnlyOnOk() {
        std::unique_ptr<CSimModem> modem;
        UiHarness h;
        Boot(h, modem, 2, -1, 2, -1);
        h.model->Profile().SetPortName("ttyUSB7");
        bool checked = false;
        WhenModal<TFrmComSet>([&](TFrmComSet* dlg) {
            auto& u = *dlg->ui;
            QCOMPARE(dlg->windowTitle(), QStringLiteral("Nastavení komunikace"));
            QCOMPARE(u.m_pPgCtlCom->currentIndex(), 0);
            QVERIFY(u.m_pRdbRemote->isChecked());
            QVERIFY(!u.m_pRdbLocal->isChecked());
            QCOMPARE(u.m_pCmbPort->itemText(0), QStringLiteral("COM1"));
            QCOMPARE(u.m_pCmbPort->itemText(3), QStringLiteral("COM4"));
            QCOMPARE(u.m_pCmbPort->currentText(), QStringLiteral("ttyUSB7"));
            QCOMPARE(Items(u.m_pLsbModem), (QStringList{QStringLiteral("A-gone"), QStringLiteral("SimModem")}));
            QCOMPARE(Selected(u.m_pLsbModem), -1);
            QCOMPARE(Items(u.m_pLsbConnect), (QStringList{QStringLiteral("600000000"), QStringLiteral("600000001")}));
            QCOMPARE(Selected(u.m_pLsbConnect), -1);
            QVERIFY(!u.m_pBtnModemSet->isEnabled());
            QVERIFY(!u.m_pBtnDel->isEnabled());
            QVERIFY(!u.m_pBtnSet->isEnabled());
            QVERIFY(u.m_pBtnAdd->isEnabled());
            QCOMPARE(u.m_pLsbConnect->accessibleName(), QStringLiteral("připojení:"));

            // Choices, then Storno: nothing stored.
            u.m_pRdbLocal->setChecked(true);
            u.m_pChbLog->setChecked(true);
            u.m_pLsbModem->setCurrentRow(1);
            QVERIFY(u.m_pBtnModemSet->isEnabled());
            u.m_pLsbConnect->setCurrentRow(1);
            QVERIFY(u.m_pBtnDel->isEnabled() && u.m_pBtnSet->isEnabled());
            checked = true;
            u.m_pBtnCancel->click();
        });
        h.Trigger("m_pActComSet");
        QVERIFY(checked);
        QCOMPARE(h.model->Profile().com.accessMode, 2);
        QCOMPARE(h.model->Profile().com.logTraffic, uint8_t(0));
        QCOMPARE(h.model->Profile().com.modemIndex, -1);
        QCOMPARE(Conns(h).selectedIndex, -1);

        // The same with Ok. A port name longer than the 16 characters the
        // profile holds is refused with a message, not cut to another port.
        const size_t boxesBefore = h.boxes.size();
        WhenModal<TFrmComSet>([&](TFrmComSet* dlg) {
            auto& u = *dlg->ui;
            u.m_pRdbLocal->setChecked(true);
            u.m_pChbLog->setChecked(true);
            u.m_pLsbModem->setCurrentRow(1);
            u.m_pLsbConnect->setCurrentRow(0);
            u.m_pCmbPort->lineEdit()->clear();
            QTest::keyClicks(u.m_pCmbPort->lineEdit(), QStringLiteral("/dev/ttyACM0-and-more"));
            QCOMPARE(u.m_pCmbPort->currentText(), QStringLiteral("/dev/ttyACM0-and-more"));
            u.m_pBtnOk->click();
            QVERIFY(dlg->isVisible());
            QCOMPARE(h.boxes.size(), boxesBefore + 1);
            QCOMPARE(h.boxes.back().text, QString::fromUtf8(LoadStr(IDS_PORT_NAME_TOO_LONG)));
            u.m_pCmbPort->lineEdit()->clear();
            QTest::keyClicks(u.m_pCmbPort->lineEdit(), QStringLiteral("/dev/ttyACM0-and"));
            u.m_pBtnOk->click();
        });
        h.Trigger("m_pActComSet");
        const ProfileComBlock& com = h.model->Profile().com;
        QCOMPARE(com.accessMode, 1);
        QCOMPARE(com.logTraffic, uint8_t(1));
        QCOMPARE(com.modemIndex, 1);
        QCOMPARE(h.model->Profile().PortName(), std::string("/dev/ttyACM0-and"));
        QCOMPARE(Conns(h).selectedIndex, 0);

        // A stored modem or connection that fits nothing now shows no selection.
        h.model->Profile().com.modemIndex = 2;
        Conns(h).selectedIndex = 7;
        WhenModal<TFrmComSet>([&](TFrmComSet* dlg) {
            QCOMPARE(Selected(dlg->ui->m_pLsbModem), -1);
            QCOMPARE(Selected(dlg->ui->m_pLsbConnect), -1);
            QVERIFY(dlg->ui->m_pRdbLocal->isChecked());
            QCOMPARE(dlg->ui->m_pCmbPort->currentText(), QStringLiteral("/dev/ttyACM0-and"));
            dlg->ui->m_pBtnOk->click();
        });
        h.Trigger("m_pActComSet");
        QCOMPARE(h.model->Profile().com.modemIndex, -1);
        QCOMPARE(Conns(h).selectedIndex, -1);
    }

    void connectionListIsEditedAtOnce() {
        std::unique_ptr<CSimModem> modem;
        UiHarness h;
        Boot(h, modem, 3, 2, 2, 1);
        WhenModal<TFrmComSet>([&](TFrmComSet* dlg) {
            auto& u = *dlg->ui;
            QCOMPARE(Selected(u.m_pLsbConnect), 2);
            QCOMPARE(Selected(u.m_pLsbModem), 1);
            u.m_pRdbLocal->setChecked(true);

            // Přidat: Ok waits for a number and a PIN of four characters.
            WhenModal<TFrmConnectItem>([](TFrmConnectItem* item) {
                auto& c = *item->ui;
                QCOMPARE(item->windowTitle(), QStringLiteral("Připojení"));
                QVERIFY(c.m_pTxtNum->isEnabled());
                QVERIFY(c.m_pTxtNum->text().isEmpty());
                QVERIFY(!c.m_pBtnOk->isEnabled());
                QTest::keyClicks(c.m_pTxtPIN, QStringLiteral("123"));
                QVERIFY(!c.m_pBtnOk->isEnabled());
                QTest::keyClicks(c.m_pTxtPIN, QStringLiteral("4"));
                QVERIFY(!c.m_pBtnOk->isEnabled());  // still no number
                QTest::keyClicks(c.m_pTxtNum, QStringLiteral("+420 777 123 456 789"));
                QCOMPARE(c.m_pTxtNum->text(), QStringLiteral("+420 777 123 45"));  // 15 characters
                QVERIFY(c.m_pBtnOk->isEnabled());
                QTest::keyClick(c.m_pTxtPIN, Qt::Key_Backspace);
                QVERIFY(!c.m_pBtnOk->isEnabled());
                QTest::keyClicks(c.m_pTxtPIN, QStringLiteral("4567890"));
                QCOMPARE(c.m_pTxtPIN->text(), QStringLiteral("12345678"));
                c.m_pBtnOk->click();
            });
            u.m_pBtnAdd->click();
            QCOMPARE(Conns(h).Count(), 4);
            QCOMPARE(Items(u.m_pLsbConnect).last(), QStringLiteral("+420 777 123 45"));
            QCOMPARE(Selected(u.m_pLsbConnect), 3);

            // Nastavit edits the selected entry in place; Storno of the item changes nothing.
            u.m_pLsbConnect->setCurrentRow(1);
            AnswerConnectItem(QStringLiteral("222"), QStringLiteral("2222"));
            u.m_pBtnSet->click();
            QCOMPARE(u.m_pLsbConnect->item(1)->text(), QStringLiteral("222"));
            QCOMPARE(Conns(h).Get(1)->Pin(), std::string("2222"));
            WhenModal<TFrmConnectItem>([](TFrmConnectItem* item) {
                QCOMPARE(item->ui->m_pTxtNum->text(), QStringLiteral("222"));
                item->ui->m_pTxtNum->setText(QStringLiteral("999"));
                item->ui->m_pBtnCancel->click();
            });
            u.m_pBtnSet->click();
            QCOMPARE(Conns(h).Get(1)->Number(), std::string("222"));

            // Odstranit asks; No keeps the entry.
            h.answers = {IDNO};
            u.m_pBtnDel->click();
            QCOMPARE(h.boxes.back().text, QStringLiteral("Opravdu chcete toto připojení odstranit?"));
            QCOMPARE(h.boxes.back().buttons, MbButtons::YesNo);
            QCOMPARE(h.boxes.back().icon, MbIcon::Question);
            QCOMPARE(Conns(h).Count(), 4);
            // Removing the last entry leaves the new last one selected.
            u.m_pLsbConnect->setCurrentRow(3);
            h.answers = {IDYES};
            u.m_pBtnDel->click();
            QCOMPARE(Conns(h).Count(), 3);
            QCOMPARE(Selected(u.m_pLsbConnect), 2);
            // An entry before the chosen one goes: the choice still names the same number.
            u.m_pLsbConnect->setCurrentRow(0);
            h.answers = {IDYES};
            u.m_pBtnDel->click();
            QCOMPARE(Selected(u.m_pLsbConnect), 0);
            QCOMPARE(Items(u.m_pLsbConnect), (QStringList{QStringLiteral("222"), QStringLiteral("600000002")}));
            u.m_pBtnCancel->click();
        });
        h.Trigger("m_pActComSet");
        // The list edits stay, the access mode does not.
        QCOMPARE(h.model->Profile().com.accessMode, 2);
        QCOMPARE(Conns(h).Count(), 2);
        QVERIFY(Conns(h).SelectedEntry());
        QCOMPARE(Conns(h).SelectedEntry()->Number(), std::string("600000002"));

        // Removing the chosen entry itself leaves no choice behind a Storno.
        WhenModal<TFrmComSet>([&](TFrmComSet* dlg) {
            QCOMPARE(Selected(dlg->ui->m_pLsbConnect), 1);
            h.answers = {IDYES};
            dlg->ui->m_pBtnDel->click();
            dlg->ui->m_pBtnCancel->click();
        });
        h.Trigger("m_pActComSet");
        QCOMPARE(Conns(h).selectedIndex, -1);
    }

    void addIsOfferedWhileTheListHasRoom() {
        std::unique_ptr<CSimModem> modem;
        UiHarness h;
        Boot(h, modem, CONNECT_MAX - 1, -1, 2, 1);
        WhenModal<TFrmComSet>([&](TFrmComSet* dlg) {
            auto& u = *dlg->ui;
            QVERIFY(u.m_pBtnAdd->isEnabled());
            AnswerConnectItem(QStringLiteral("100"), QStringLiteral("1000"));
            u.m_pBtnAdd->click();
            QCOMPARE(Conns(h).Count(), CONNECT_MAX);
            QVERIFY(!u.m_pBtnAdd->isEnabled());
            h.answers = {IDYES};
            u.m_pBtnDel->click();
            QVERIFY(u.m_pBtnAdd->isEnabled());
            u.m_pBtnCancel->click();
        });
        h.Trigger("m_pActComSet");
    }

    void remoteConnectChoosesModemNumberAndPin() {
        std::unique_ptr<CSimModem> modem;
        UiHarness h;
        Boot(h, modem, 2, 1, 2, 5);  // a modem index from elsewhere

        // Opening: no modem, the chosen number with its PIN; Spojit waits for a modem.
        WhenModal<TFrmRemCon>([&](TFrmRemCon* dlg) {
            auto& u = *dlg->ui;
            QCOMPARE(dlg->windowTitle(), QStringLiteral("Vzdálený přístup"));
            QCOMPARE(Selected(u.m_pLsbModem), -1);
            QVERIFY(!u.m_pBtnModemSet->isEnabled());
            QCOMPARE(u.m_pCmbNumber->currentText(), QStringLiteral("600000001"));
            QCOMPARE(u.m_pTxtPIN->text(), QStringLiteral("0001"));
            QVERIFY(!u.m_pBtnConnect->isEnabled());
            u.m_pLsbModem->setCurrentRow(1);
            QVERIFY(u.m_pBtnConnect->isEnabled());
            // Choosing the other number fills its PIN; a changed PIN is what Spojit stores.
            u.m_pCmbNumber->setCurrentIndex(0);
            emit u.m_pCmbNumber->activated(0);
            QCOMPARE(u.m_pTxtPIN->text(), QStringLiteral("0000"));
            u.m_pTxtPIN->setText(QStringLiteral("1234"));
            u.m_pBtnConnect->click();
        });
        h.TriggerAndWait("m_pActOnline");
        QTRY_VERIFY(h.model->m_com.IsOnline());
        QCOMPARE(Conns(h).selectedIndex, 0);
        QCOMPARE(Conns(h).Get(0)->Pin(), std::string("1234"));
        QCOMPARE(h.model->Profile().com.modemIndex, 1);
        h.TriggerAndWait("m_pActOffline");
        QTRY_VERIFY(!h.model->m_com.IsOnline());

        // A typed number with a PIN of four characters is added and chosen;
        // emptying the number disables Spojit again.
        WhenModal<TFrmRemCon>([&](TFrmRemCon* dlg) {
            auto& u = *dlg->ui;
            QCOMPARE(Selected(u.m_pLsbModem), 1);
            QLineEdit* edit = u.m_pCmbNumber->lineEdit();
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("777 123 456"));
            QCOMPARE(dlg->Chosen(), -1);
            QCOMPARE(u.m_pTxtPIN->text(), QStringLiteral("1234"));  // typing leaves the PIN
            u.m_pTxtPIN->clear();
            QTest::keyClicks(u.m_pTxtPIN, QStringLiteral("123"));
            QVERIFY(!u.m_pBtnConnect->isEnabled());
            QTest::keyClicks(u.m_pTxtPIN, QStringLiteral("4"));
            QVERIFY(u.m_pBtnConnect->isEnabled());
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QVERIFY(!u.m_pBtnConnect->isEnabled());
            QTest::keyClicks(edit, QStringLiteral("777 123 456"));
            u.m_pBtnConnect->click();
        });
        h.TriggerAndWait("m_pActOnline");
        QCOMPARE(Conns(h).Count(), 3);
        QCOMPARE(Conns(h).selectedIndex, 2);
        QCOMPARE(Conns(h).Get(2)->Number(), std::string("777 123 456"));
        QCOMPARE(Conns(h).Get(2)->Pin(), std::string("1234"));
        QTRY_VERIFY(h.model->m_com.IsOnline());
        QCOMPARE(modem->Stats().dialled.back(), std::string("777123456"));
        h.TriggerAndWait("m_pActOffline");
        QTRY_VERIFY(!h.model->m_com.IsOnline());

        // The settings dialog shows the new entry chosen.
        WhenModal<TFrmComSet>([&](TFrmComSet* dlg) {
            QCOMPARE(Items(dlg->ui->m_pLsbConnect).last(), QStringLiteral("777 123 456"));
            QCOMPARE(Selected(dlg->ui->m_pLsbConnect), 2);
            dlg->ui->m_pBtnCancel->click();
        });
        h.Trigger("m_pActComSet");

        // Storno stores nothing and stays offline.
        const int ended = h.Ended();
        WhenModal<TFrmRemCon>([](TFrmRemCon* dlg) {
            dlg->ui->m_pTxtPIN->setText(QStringLiteral("5555"));
            dlg->ui->m_pBtnCancel->click();
        });
        QCOMPARE(h.model->GoOnline(), 0);
        QCOMPARE(Conns(h).Get(2)->Pin(), std::string("1234"));
        QTest::qWait(50);
        QCOMPARE(h.Ended(), ended);
    }

    void rememberedNumberKeepsATypedPinForTheRun() {
        std::unique_ptr<CSimModem> modem;
        UiHarness h;
        Boot(h, modem, 3, -1, 2, 1);
        for (int round = 0; round < 2; ++round) {
            WhenModal<TFrmRemCon>([round](TFrmRemCon* dlg) {
                auto& u = *dlg->ui;
                QVERIFY(u.m_pCmbNumber->currentText().isEmpty());
                QVERIFY(u.m_pTxtPIN->text().isEmpty());
                u.m_pTxtPIN->setText(QStringLiteral("typed"));
                u.m_pCmbNumber->setCurrentIndex(2);
                emit u.m_pCmbNumber->activated(2);
                // The first pick of the run copies the entry's PIN; the same
                // pick in a later showing leaves what the user typed.
                QCOMPARE(u.m_pTxtPIN->text(), round == 0 ? QStringLiteral("0002") : QStringLiteral("typed"));
                u.m_pBtnCancel->click();
            });
            QCOMPARE(h.model->GoOnline(), 0);
        }
        QCOMPARE(TFrmRemCon::s_nRemembered, 2);
    }

    void fullListRefusesATypedNumberWithoutStoringThePin() {
        std::unique_ptr<CSimModem> modem;
        UiHarness h;
        Boot(h, modem, CONNECT_MAX, 4, 2, 1);
        bool refused = false;
        WhenModal<TFrmRemCon>([&](TFrmRemCon* dlg) {
            auto& u = *dlg->ui;
            QLineEdit* edit = u.m_pCmbNumber->lineEdit();
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("123456"));
            u.m_pTxtPIN->setText(QStringLiteral("1111"));
            u.m_pBtnConnect->click();
            refused = dlg->isVisible();
            QCOMPARE(h.boxes.size(), size_t(1));
            QCOMPARE(h.boxes[0].text, QString::fromUtf8(LoadStr(IDS_CONNECTION_LIST_FULL)));
            u.m_pBtnCancel->click();
        });
        QCOMPARE(h.model->GoOnline(), 0);
        QVERIFY(refused);  // the dialog stayed for another choice
        QCOMPARE(Conns(h).Count(), CONNECT_MAX);
        QCOMPARE(Conns(h).selectedIndex, 4);
        QCOMPARE(Conns(h).Get(4)->Pin(), std::string("0004"));
        QVERIFY(!h.model->m_com.IsBusy());
    }

    void modemPropertiesShowTheModemsAnswer() {
        std::unique_ptr<CSimModem> modem;
        UiHarness h;
        Boot(h, modem, 0, -1, 2, 1);
        WhenModal<TFrmComSet>([&](TFrmComSet* dlg) {
            auto& u = *dlg->ui;
            QVERIFY(u.m_pBtnModemSet->isEnabled());
            WhenModal<TFrmModemProps>([&](TFrmModemProps* p) {
                QCOMPARE(p->ui->m_pTxtName->text(), QStringLiteral("SimModem"));
                QVERIFY(p->ui->m_pTxtPath->text().endsWith(QStringLiteral("/Data/Modems/SimModem")));
                QCOMPARE(p->ui->m_pTxtInfo->toPlainText(), QString::fromStdString(FastModem().ident));
                p->ui->m_pBtnOk->click();
            });
            u.m_pBtnModemSet->click();
            // A link to nothing is listed but cannot be asked.
            u.m_pLsbModem->setCurrentRow(0);
            WhenModal<TFrmModemProps>([&](TFrmModemProps* p) {
                QCOMPARE(p->ui->m_pTxtName->text(), QStringLiteral("A-gone"));
                QVERIFY(p->ui->m_pTxtDevice->text().contains(QStringLiteral("nenalezeno")));
                QCOMPARE(p->ui->m_pTxtInfo->toPlainText(), QStringLiteral("Modem nelze otevřít."));
                QCOMPARE(QString::fromUtf8(LoadStr(IDS_MODEM_CANNOT_OPEN)), p->ui->m_pTxtInfo->toPlainText());
                p->accept();
            });
            u.m_pBtnModemSet->click();
            u.m_pBtnCancel->click();
        });
        h.Trigger("m_pActComSet");
        QVERIFY(modem->Stats().commands.size() >= 1);
    }

    void remoteSessionWithACorrectedPin() {
        std::unique_ptr<CSimModem> modem;
        UiHarness h;
        Boot(h, modem, 1, 0, 2, 1);  // entry 0 has PIN 0000, the device wants 1234
        h.Main()->UpdateActions();
        QVERIFY(!h.Action("m_pActSMSRead")->isEnabled());  // no SMS over a remote line
        WhenModal<TFrmRemCon>([](TFrmRemCon* dlg) { dlg->ui->m_pBtnConnect->click(); });
        // Refused: message 210, then the entry with its number locked.
        WhenModal<TFrmConnectItem>([](TFrmConnectItem* item) {
            QVERIFY(!item->ui->m_pTxtNum->isEnabled());
            QCOMPARE(item->ui->m_pTxtNum->text(), QStringLiteral("600000000"));
            QCOMPARE(item->ui->m_pTxtPIN->text(), QStringLiteral("0000"));
            item->ui->m_pTxtPIN->setText(QStringLiteral("1234"));
            item->ui->m_pBtnOk->click();
        });
        h.TriggerAndWait("m_pActOnline");
        QTRY_VERIFY(h.model->m_com.IsOnline());
        QCOMPARE(h.boxes.size(), size_t(1));
        QCOMPARE(h.boxes[0].text, QStringLiteral("Přístup odepřen - neplatný PIN."));
        QCOMPARE(Conns(h).Get(0)->Pin(), std::string("1234"));
        SimModemStats m = modem->Stats();
        QCOMPARE(m.dialled, std::vector<std::string>{"600000000"});
        QVERIFY(m.inCall);
        QCOMPARE(h.model->m_com.AccessMode(), 2);

        h.TriggerAndWait("m_pActReadStatus");
        QCOMPARE(h.model->m_devId.serial, 4711u);
        h.TriggerAndWait("m_pActOffline");
        QTRY_VERIFY(!h.model->m_com.IsOnline());
        QCOMPARE(modem->Stats().hangups, 1);
        QCOMPARE(modem->Stats().calls, 1);
    }
};

QTEST_MAIN(TestRemoteDialogs)
#include "test_remote_dialogs.moc"
