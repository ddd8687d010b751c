// The main window, the pane framework, the progress dialog and the state
// pages, driven offscreen against the simulator.
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "comm/ComMsg.h"
#include "comm/Link.h"
#include "comm/PortName.h"
#include "tests/ui/UiHarness.h"
#include "ui_DlgCom.h"
#include "ui_MainWnd.h"

class TestMainWnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(app); }

    void startsOfflineUntitledWithTheTreesAndTitle() {
        UiHarness h;
        QCOMPARE(h.startResult, 1);
        QCOMPARE(h.Main()->windowTitle(), QStringLiteral("Vantrix Control Panel (bezejmenná)"));
        QVERIFY(h.Action("m_pActOnline")->isEnabled());
        QVERIFY(!h.Action("m_pActOffline")->isEnabled());
        QCOMPARE(h.Find<QLabel>("m_pStbPanel1")->text(), QStringLiteral("offline"));
        QCOMPARE(h.Main()->Node(TFrmMain::TAB_TOOLS, 2)->text(0), QStringLiteral("Přijaté (0)"));
        QCOMPARE(h.Main()->Node(TFrmMain::TAB_TOOLS, 4)->text(0), QStringLiteral("K odeslání (0)"));
        QCOMPARE(h.Panes()->Current(), -1);  // "Vytáčení čísel" has no pane
        QVERIFY(h.Find<QWidget>("m_pTlbSMSSend"));
        QCOMPARE(h.Action("m_pActCfgRead")->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
        // Qt's own dialogs and edit menus speak Czech whatever the locale.
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Hledat v:"));
        QCOMPARE(QCoreApplication::translate("QWidgetTextControl", "&Copy"), QStringLiteral("&Kopírovat"));
    }

    void statusPanelFollowsTheWidth() {
        UiHarness h;
        h.Main()->resize(400, 300);
        QApplication::processEvents();
        QCOMPARE(h.Find<QLabel>("m_pStbPanel0")->width(), 300);
    }

    // The tree panel must keep its width from run to run (not lose the
    // splitter handle each time), and the three tabs must stay readable,
    // never behind scroll arrows, at that width and at the splitter minimum.
    void treeWidthAndTabsSurviveARun() {
        UiHarness h;
        const std::string path = DataPath(h.dir.Path(), "Profile.dat");
        CProfile read;
        QCOMPARE(read.Read(path), 1);
        auto* panel = h.Find<QTabWidget>("m_pPgCtlP1");
        QTabBar* bar = panel->tabBar();
        auto readable = [&](const char* where) {
            QApplication::processEvents();
            QVERIFY2(bar->width() <= panel->width(), where);
            for (int i = 0; i < bar->count(); ++i) {
                const QRect r = bar->tabRect(i);
                QVERIFY2(r.left() >= 0 && r.right() < bar->width(), where);
                QVERIFY2(r.width() > bar->fontMetrics().horizontalAdvance(bar->tabText(i)), where);
            }
            for (QToolButton* arrow : bar->findChildren<QToolButton*>()) QVERIFY2(!arrow->isVisible(), where);
        };
        QCOMPARE(panel->width(), int(read.wnd.treeWidth));
        readable("default width");
        h.Main()->close();
        CProfile written;
        QCOMPARE(written.Read(path), 1);
        QCOMPARE(written.wnd.treeWidth, read.wnd.treeWidth);
        QCOMPARE(written.wnd.windowWidth, read.wnd.windowWidth);
        QCOMPARE(written.wnd.windowHeight, read.wnd.windowHeight);

        h.Main()->show();
        h.Main()->Form()->m_pSpltMain->setSizes({0, 10000});
        readable("splitter minimum");
    }

    void saveQuestionOnlyForAModifiedDocument() {
        UiHarness h;
        h.Trigger("m_pActCfgNew");
        h.TriggerAndWait("m_pActCfgRead");
        QVERIFY(h.boxes.empty());
        QCOMPARE(h.Ended(), 1);
        QVERIFY(!h.model->m_cfg.IsModified());  // a device read keeps the flag

        h.model->m_cfg.GetData()->audio_in_level = 1;
        h.model->m_cfg.SetModified();
        QCOMPARE(h.Main()->windowTitle(), QStringLiteral("Vantrix Control Panel (bezejmenná*)"));
        h.answers = {IDCANCEL};
        h.Trigger("m_pActCfgNew");
        QCOMPARE(h.boxes.size(), size_t(1));
        QCOMPARE(h.boxes[0].text, QStringLiteral("Konfigurace byla změněna, chcete změny uložit?"));
        QCOMPARE(h.boxes[0].buttons, MbButtons::YesNoCancel);
        QCOMPARE(h.model->m_cfg.GetData()->audio_in_level, uint8_t(1));
        QVERIFY(h.model->m_cfg.IsModified());

        // Open with a cancelled dialog leaves the document and the title.
        h.answers = {IDNO};
        h.Trigger("m_pActCfgOpen");
        QCOMPARE(h.filters.back(), QStringLiteral("Soubory konfigurace (*.cfg)|*.cfg|Všechny soubory|*.*"));
        QCOMPARE(h.Main()->windowTitle(), QStringLiteral("Vantrix Control Panel (bezejmenná*)"));

        // Save as names the document.
        std::string file = h.dir.File("site.cfg");
        h.paths = {QString::fromStdString(file)};
        h.Trigger("m_pActCfgSaveAs");
        QCOMPARE(h.Main()->windowTitle(), QStringLiteral("Vantrix Control Panel (site.cfg)"));
    }

    // Yes to the save question whose save fails or whose dialog is cancelled
    // must stop the command, or the edits are thrown away.
    void unsuccessfulSaveKeepsTheDocument() {
        UiHarness h;
        h.model->m_cfg.GetData()->audio_in_level = 7;
        h.model->m_cfg.SetModified();
        const QString unwritable = QString::fromStdString(h.dir.Path() + "/no such dir/site.cfg");
        const int ended = h.Ended();
        for (const char* action : {"m_pActCfgNew", "m_pActCfgOpen", "m_pActCfgRead", "m_pMniExit"}) {
            for (bool cancelled : {false, true}) {
                h.boxes.clear();
                h.filters.clear();
                h.answers = {IDYES, IDOK};
                if (!cancelled) h.paths = {unwritable};
                h.Trigger(action);
                QVERIFY2(h.boxes.size() == (cancelled ? 1u : 2u), action);
                if (!cancelled)
                    QCOMPARE(h.boxes[1].text, QStringLiteral("Došlo k chybě při ukládání konfigurace do souboru."));
                QVERIFY2(h.filters.size() == 1, action);  // the save dialog, no open dialog
                QVERIFY2(h.model->m_cfg.IsModified(), action);
                QCOMPARE(h.model->m_cfg.GetData()->audio_in_level, uint8_t(7));
                QVERIFY2(h.Main()->isVisible(), action);
            }
        }
        QApplication::processEvents();
        QCOMPARE(h.Ended(), ended);  // nothing was read from the device
    }

    void closingWhileOnlineDisconnectsAndClosesByItself() {
        UiHarness h;
        h.TriggerAndWait("m_pActOnline");
        QTRY_VERIFY(h.model->m_com.IsOnline());
        QCOMPARE(h.Find<QLabel>("m_pStbPanel1")->text(), QStringLiteral("online"));
        h.model->m_cfg.SetModified();

        h.answers = {IDCANCEL};
        QVERIFY(!h.Main()->close());
        QCOMPARE(h.boxes.size(), size_t(1));
        QVERIFY(h.Main()->isVisible());

        h.answers = {IDNO};
        h.Main()->close();
        QCOMPARE(h.boxes.size(), size_t(2));
        QTRY_VERIFY_WITH_TIMEOUT(!h.Main()->isVisible(), 10000);
        QCOMPARE(h.boxes.size(), size_t(2));  // closing did not ask again
        QVERIFY(!h.model->m_com.IsOnline());
        QVERIFY(FileExists(DataPath(h.dir.Path(), "Profile.dat")));
    }

    void exitRunsTheCloseSequence() {
        UiHarness h;
        h.model->m_cfg.SetModified();
        h.answers = {IDCANCEL};
        h.Trigger("m_pMniExit");
        QVERIFY(h.Main()->isVisible());
        QCOMPARE(h.boxes.size(), size_t(1));
        h.answers = {IDNO};
        h.Trigger("m_pMniExit");
        QVERIFY(!h.Main()->isVisible());
    }

    // An installed desktop program and vantrixctl must share one directory
    // (modem links, sercom.log): breaks when the Qt names or the console
    // program's XDG rule drift apart.
    void userDataDirectoryIsTheConsoleProgramsOne() {
        TempDir home;
        const QByteArray oldHome = qgetenv("HOME"), oldXdg = qgetenv("XDG_DATA_HOME");
        const QString oldName = QCoreApplication::applicationName();
        qputenv("HOME", QByteArray::fromStdString(home.Path()));
        SetApplicationNames();
        for (const char* xdg : {"", "/tmp/xdg-data", "relative"}) {
            qputenv("XDG_DATA_HOME", xdg);
            QCOMPARE(QString::fromStdString(UserAppDataDir()), QString::fromStdString(UserDataDir()));
        }
        QCOMPARE(QString::fromStdString(UserDataDir()),
                 QString::fromStdString(home.Path() + "/.local/share/VantrixCtrlPnl"));
        qputenv("HOME", oldHome);
        qputenv("XDG_DATA_HOME", oldXdg);
        QCoreApplication::setApplicationName(oldName);
    }

    void panesFollowTheTreesAndTabs() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_CFG, 13);  // Alarm2
        QCOMPARE(h.Panes()->Current(), int(PANE_ALARM));
        QCOMPARE(h.Panes()->Get(PANE_ALARM)->m_nArg, 1);
        h.SelectNode(TFrmMain::TAB_CFG, 14);  // Alarm3: same pane, reloaded with 2
        QCOMPARE(h.Panes()->Get(PANE_ALARM)->m_nArg, 2);
        QVERIFY(h.Panes()->Get(PANE_ALARM)->m_pFrame->isVisible());
        h.SelectNode(TFrmMain::TAB_CFG, 11);  // "Alarmy": nothing shown
        QCOMPARE(h.Panes()->Current(), -1);
        QVERIFY(!h.Panes()->Get(PANE_ALARM)->m_pFrame->isVisible());

        // Another tab shows the page of its tree's selected node.
        h.Find<QTabWidget>("m_pPgCtlP1")->setCurrentIndex(TFrmMain::TAB_STATE);
        QApplication::processEvents();
        QCOMPARE(h.Panes()->Current(), int(PANE_DEVID));
    }

    void eventThreeReloadsTheShownPageWithoutModifying() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_CFG, 7);  // SMS settings
        h.Panes()->Get(PANE_BASIC1)->m_bDirty = false;
        h.TriggerAndWait("m_pActCfgRead");
        QVERIFY(!h.model->m_cfg.IsModified());
        QVERIFY(!h.Panes()->Get(PANE_SMSCFG)->m_bDirty);  // reloaded at once
        QVERIFY(!h.Panes()->Get(PANE_SMSCFG)->m_bLoading);
        QVERIFY(h.Panes()->Get(PANE_BASIC1)->m_bDirty);  // reloaded when next selected
    }

    void statePagesShowTheDevice() {
        SimOptions o;
        o.signal = 99;
        o.serial = 4711;
        o.firmware = "2.05";
        UiHarness h(o);
        h.TriggerAndWait("m_pActReadStatus");
        h.SelectNode(TFrmMain::TAB_STATE, 0);
        QCOMPARE(h.Find<QLineEdit>("m_pTxtSerNum")->text(), QStringLiteral("00004711"));
        QCOMPARE(h.Find<QLineEdit>("m_pTxtFWVer")->text(), QStringLiteral("2.05"));
        QCOMPARE(h.Find<QLineEdit>("m_pTxtGPRS")->text(), QStringLiteral("ano"));
        // A value without a GPRS text shows nothing, not a text of its neighbours.
        for (uint8_t gprs : {1, 2, 3, 9, 255}) {
            h.model->m_devId.gprs = gprs;
            h.app->UI().OnEvent(AE_DEVID_CHANGED, 0);
            QCOMPARE(h.Find<QLineEdit>("m_pTxtGPRS")->text(), gprs == 1 ? QStringLiteral("ne") : QString());
        }
        // The device keeps the year as one byte after 2000: the picker offers no other.
        auto* date = h.Find<QDateEdit>("m_pDtpDate");
        date->setDate(QDate(1999, 12, 31));
        QCOMPARE(date->date(), QDate(2000, 1, 1));
        date->setDate(QDate(2300, 1, 1));
        QCOMPARE(date->date(), QDate(2255, 12, 31));
        h.SelectNode(TFrmMain::TAB_STATE, 1);
        auto* bar = h.Find<QProgressBar>("m_pPrbSignal");
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(h.Find<QLineEdit>("m_pTxtBTS")->text(), QStringLiteral("1A2B"));
        QCOMPARE(h.Find<QLineEdit>("m_pTxtNet")->text(), QStringLiteral("OK"));
        QCOMPARE(h.Find<QLineEdit>("m_pTxtGSMME")->text(), QStringLiteral("klidový stav"));
        QCOMPARE(h.Find<QLineEdit>("m_pTxtCredit1")->text(), QStringLiteral("250.50"));
        QCOMPARE(h.Find<QLineEdit>("m_pTxtOperator")->accessibleName(), QStringLiteral("jméno operátora:"));
    }

    void ioPageSetsTheOutputsOfTheSelectedRows() {
        UiHarness h;
        h.SelectNode(TFrmMain::TAB_STATE, 3);
        auto* list = h.Find<QTreeWidget>("m_pLsvIO");
        QCOMPARE(list->topLevelItemCount(), 8);
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("IO2"));
        auto* set1 = h.Find<QPushButton>("m_pBtnSet1");
        QVERIFY(!set1->isEnabled());
        list->topLevelItem(1)->setSelected(true);
        list->topLevelItem(4)->setSelected(true);
        QVERIFY(set1->isEnabled());
        set1->click();
        QTRY_COMPARE(h.Ended(), 1);
        QCOMPARE(int(h.sim->Stats().lastRequest[CMD_SET_OUTPUTS][4]), 0x12);
        QCOMPARE(list->topLevelItem(4)->text(2), QStringLiteral("1"));  // the device's answer shown
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("0"));
    }

    void progressDialogShowsStepsAndErrors() {
        UiHarness h;
        TFrmCom* dlg = h.app->UI().ComDlg();
        CComMsg m;
        m.kind = CM_BEGIN;
        m.cancel = 1;
        m.value1 = 303;
        m.value2 = 2;
        dlg->HandleComMsg(&m);
        QCOMPARE(dlg->Form()->m_pLblCaption->text(), QStringLiteral("Načítání konfiguračních dat."));
        QVERIFY(dlg->Form()->m_pBtnCancel->isEnabled());
        m.kind = CM_STEP;
        m.value1 = 1;
        for (int i = 0; i < 3; ++i) dlg->HandleComMsg(&m);
        QCOMPARE(dlg->Form()->m_pPrbCom->value(), 2);  // a step past the maximum leaves it full
        QCOMPARE(int(m.done), 1);

        // The first failure before any frame: the text alone, no EC part; the
        // second line tells why and names the ports there are.
        SimOptions o;
        UiHarness h2(o);
        h2.model->Profile().SetPortName("/dev/no-such-port");
        h2.TriggerAndWait("m_pActReadStatus");
        QVERIFY(!h2.boxes.empty());
        const QStringList ports = [] {
            QStringList names;
            for (const std::string& p : DetectedPorts()) names << QString::fromStdString(p);
            return names;
        }();
        QCOMPARE(h2.boxes[0].text,
                 QStringLiteral("Nepodařilo se otevřít komunikační port.\n") +
                     (ports.isEmpty() ? QStringLiteral("Port v počítači není a žádný sériový port nebyl nalezen.")
                                      : QStringLiteral("Port v počítači není. Nalezené porty: ") + ports.join(", ")));
        QCOMPARE(h2.boxes[0].caption, QStringLiteral("Komunikace s Vantrix"));
        QCOMPARE(h2.boxes[0].icon, MbIcon::Error);
    }

    void timeoutOfABlockReadNamesItsCommand() {
        UiHarness h;
        h.sim->UpdateOptions([](SimOptions& o) { o.silent.insert(CMD_READ_CFG); });
        h.answers = {IDOK, IDNO};  // the error box, then no retry
        h.TriggerAndWait("m_pActCfgRead");
        QCOMPARE(h.boxes[0].text, QStringLiteral("Vypršel komunikační timeout. EC: 0028"));
        QCOMPARE(h.boxes[1].text, QStringLiteral("Došlo ke komunikační chybě. Opakovat komunikaci?"));
    }

    void windowStaysResponsiveWhileTheDeviceIsSilent() {
        UiHarness h;
        h.TriggerAndWait("m_pActOnline");
        QTRY_VERIFY(h.model->m_com.IsOnline());
        h.sim->UpdateOptions([](SimOptions& o) { o.stopAfter = 0; });  // the idle poll now waits
        QElapsedTimer clock;
        clock.start();
        qint64 worst = 0, last = 0;
        QTimer tick;
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            qint64 now = clock.elapsed();
            worst = std::max(worst, now - last);
            last = now;
        });
        tick.start();
        while (clock.elapsed() < 3500) QTest::qWait(20);
        tick.stop();
        qInfo("worst event-loop gap with a silent device: %lld ms (target <= 50 ms)", worst - 10);
        QVERIFY(worst - 10 <= 50);
        h.sim->UpdateOptions([](SimOptions& o) { o.stopAfter = -1; });
        h.TriggerAndWait("m_pActOffline");
        QTRY_VERIFY_WITH_TIMEOUT(!h.model->m_com.IsOnline(), 20000);
    }
};

QTEST_MAIN(TestMainWnd)
#include "test_mainwnd.moc"
