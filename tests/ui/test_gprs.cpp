// The GPRS access point page against the simulator's GSM module: the record
// after start, the class edits, what "Zapsat" and "Načíst" send and keep, and
// that the page never touches the configuration document.
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "tests/ui/UiHarness.h"

namespace {

constexpr int kNodeAccessPoint = 6;  // tools tree: "Přístupový bod"
const char* const kClassEdits[] = {"m_pTxtPrecedence", "m_pTxtDelay", "m_pTxtReliability", "m_pTxtPeak", "m_pTxtMean"};

template <class T> T* On(UiHarness& h, const char* name) {
    T* w = h.Panes()->Get(PANE_GPRSAP)->m_pFrame->findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no control %s", name);
    return w;
}

QStringList Classes(UiHarness& h) {
    QStringList out;
    for (const char* name : kClassEdits) out << On<QLineEdit>(h, name)->text();
    return out;
}

bool ClassesEnabled(UiHarness& h, bool enabled) {
    for (const char* name : kClassEdits)
        if (On<QLineEdit>(h, name)->isEnabled() != enabled) return false;
    return true;
}

void Click(UiHarness& h, const char* button) {
    const int ended = h.Ended();
    On<QPushButton>(h, button)->click();
    QTRY_VERIFY_WITH_TIMEOUT(h.Ended() > ended, 30000);
}

nlohmann::json SimGprs(UiHarness& h) { return h.sim->State()["gprs"]; }

}  // namespace

class TestGprs : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(app); }

    void startsWithTheInitialRecordAndNeverModifiesTheConfiguration() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeAccessPoint);
        QCOMPARE(h.Panes()->Current(), int(PANE_GPRSAP));
        QCOMPARE(On<QLineEdit>(h, "m_pTxtAPN")->text(), QStringLiteral("APN"));
        QCOMPARE(On<QLineEdit>(h, "m_pTxtAPN")->accessibleName(), QStringLiteral("jméno APN:"));
        QVERIFY(!On<QCheckBox>(h, "m_pChbDComp")->isChecked());
        QVERIFY(!On<QCheckBox>(h, "m_pChbHComp")->isChecked());
        QVERIFY(On<QRadioButton>(h, "m_pRdbDefSet")->isChecked());
        QCOMPARE(Classes(h), (QStringList{"0", "0", "0", "0", "0"}));
        QVERIFY(ClassesEnabled(h, false));

        On<QRadioButton>(h, "m_pRdbUsrSet")->click();
        QVERIFY(ClassesEnabled(h, true));
        On<QRadioButton>(h, "m_pRdbDefSet")->click();
        QVERIFY(ClassesEnabled(h, false));

        // Every control edited and the page left: the record has it, the
        // configuration document does not know.
        On<QLineEdit>(h, "m_pTxtAPN")->setText(QStringLiteral("internet.t-mobile.cz"));
        On<QCheckBox>(h, "m_pChbDComp")->click();
        On<QCheckBox>(h, "m_pChbHComp")->click();
        On<QRadioButton>(h, "m_pRdbUsrSet")->click();
        On<QLineEdit>(h, "m_pTxtPrecedence")->setText(QStringLiteral("x"));  // not a number: 0
        On<QLineEdit>(h, "m_pTxtMean")->setText(QStringLiteral("31"));
        h.SelectNode(TFrmMain::TAB_TOOLS, 0);
        const GprsApRec& r = h.model->m_gprs;
        QCOMPARE(QByteArray(r.apn), QByteArray("internet.t-mobile.cz"));
        QCOMPARE(int(r.dataCompression), 1);
        QCOMPARE(int(r.headerCompression), 1);
        QCOMPARE(int(r.defaultQos), 0);
        QCOMPARE(int(r.precedence), 0);
        QCOMPARE(int(r.mean), 31);
        QVERIFY(!h.model->m_cfg.IsModified());
        QCOMPARE(h.Main()->windowTitle(), QStringLiteral("Vantrix Control Panel (bezejmenná)"));
        h.Main()->close();
        QVERIFY(h.boxes.empty());  // nothing to save
        QVERIFY(!h.Main()->isVisible());
    }

    void writeSendsWhatIsOnScreen() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeAccessPoint);
        On<QLineEdit>(h, "m_pTxtAPN")->setText(QStringLiteral("firma.cz"));
        On<QCheckBox>(h, "m_pChbDComp")->click();
        On<QRadioButton>(h, "m_pRdbUsrSet")->click();
        const char* values[] = {"1", "2", "3", "4", "31"};
        for (int i = 0; i < 5; ++i) On<QLineEdit>(h, kClassEdits[i])->setText(QString::fromLatin1(values[i]));
        Click(h, "m_pBtnSave");  // the page stays shown: the click itself commits
        QVERIFY(h.boxes.empty());
        nlohmann::json g = SimGprs(h);
        QCOMPARE(QString::fromStdString(g["apn"].get<std::string>()), QStringLiteral("firma.cz"));
        QCOMPARE(g["dataComp"].get<int>(), 1);
        QCOMPARE(g["headComp"].get<int>(), 0);
        QVERIFY2(g["qos"] == nlohmann::json({1, 2, 3, 4, 31}), g["qos"].dump().c_str());

        // The device's own quality of service: zeros, whatever the edits hold.
        On<QRadioButton>(h, "m_pRdbDefSet")->click();
        Click(h, "m_pBtnSave");
        QVERIFY2(SimGprs(h)["qos"] == nlohmann::json({0, 0, 0, 0, 0}), SimGprs(h)["qos"].dump().c_str());
        QCOMPARE(Classes(h), (QStringList{"1", "2", "3", "4", "31"}));
        QCOMPARE(int(h.model->m_gprs.mean), 31);
        QVERIFY(!h.model->m_cfg.IsModified());
    }

    void readKeepsTheQosChoice() {
        UiHarness h;
        QVERIFY(h.sim->SetState(
            {{"gprs", {{"apn", "síť.cz"}, {"dataComp", 0}, {"headComp", 1}, {"qos", {12, 4, 5, 6, 77}}}}}));
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeAccessPoint);
        Click(h, "m_pBtnLoad");
        QCOMPARE(On<QLineEdit>(h, "m_pTxtAPN")->text(), QStringLiteral("síť.cz"));
        QVERIFY(!On<QCheckBox>(h, "m_pChbDComp")->isChecked());
        QVERIFY(On<QCheckBox>(h, "m_pChbHComp")->isChecked());
        QVERIFY(On<QRadioButton>(h, "m_pRdbDefSet")->isChecked());  // the read kept it
        QVERIFY(ClassesEnabled(h, false));
        // A class wider than can be typed is shown whole and kept on leaving.
        QCOMPARE(Classes(h), (QStringList{"12", "4", "5", "6", "77"}));
        h.SelectNode(TFrmMain::TAB_TOOLS, 0);
        QCOMPARE(int(h.model->m_gprs.precedence), 12);

        // The choice on screen, not yet committed by leaving, survives a read too.
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeAccessPoint);
        On<QRadioButton>(h, "m_pRdbUsrSet")->click();
        Click(h, "m_pBtnLoad");
        QVERIFY(On<QRadioButton>(h, "m_pRdbUsrSet")->isChecked());
        QVERIFY(ClassesEnabled(h, true));
        QCOMPARE(int(h.model->m_gprs.defaultQos), 0);

        // A read while another page is shown reaches the page when it is next shown.
        h.SelectNode(TFrmMain::TAB_TOOLS, 0);
        QVERIFY(h.sim->SetState({{"gprs", {{"apn", "jiny.cz"}}}}));
        h.Run({REQ_READ_GPRS, 0, 0});
        QVERIFY(h.Panes()->Get(PANE_GPRSAP)->m_bDirty);
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeAccessPoint);
        QCOMPARE(On<QLineEdit>(h, "m_pTxtAPN")->text(), QStringLiteral("jiny.cz"));
        QVERIFY(!h.model->m_cfg.IsModified());
    }

    // A quote or a CR in the APN would end its quotes or start a command of
    // its own at the GSM module: neither typing nor pasting gets it in.
    void apnTakesNoCharacterThatLeavesItsQuotes() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_TOOLS, kNodeAccessPoint);
        QLineEdit* apn = On<QLineEdit>(h, "m_pTxtAPN");
        apn->clear();
        QTest::keyClicks(apn, QStringLiteral("ab\"c"));
        QCOMPARE(apn->text(), QStringLiteral("abc"));
        QGuiApplication::clipboard()->setText(QStringLiteral("x\"\rAT+CGQREQ=1,9,9,9,9,9\rAT"));
        apn->paste();
        QCOMPARE(apn->text(), QStringLiteral("abc"));
        QGuiApplication::clipboard()->setText(QStringLiteral(".firma-1.cz"));
        apn->paste();
        QCOMPARE(apn->text(), QStringLiteral("abc.firma-1.cz"));
    }
};

QTEST_MAIN(TestGprs)
#include "test_gprs.moc"
