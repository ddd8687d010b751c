// The desktop program as the tests drive it: the real main window, panes and
// dialogs, offscreen, against the simulator on a pseudo-terminal. Message
// boxes and file dialogs are answered from queues.
#pragma once

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTest>
#include <QTreeWidget>

#include <sys/stat.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/FileIO.h"
#include "app/MainWnd.h"
#include "app/MsgBox.h"
#include "app/PaneMng.h"
#include "app/ProgDir.h"
#include "app/Vantrix.h"
#include "comm/DlgCom.h"
#include "tests/support/TempDir.h"
#include "tools/vantrix-sim/VantrixSim.h"

struct Box {
    QString text;
    MbButtons buttons;
    MbIcon icon;
    QString caption;
};

class UiHarness {
public:
    explicit UiHarness(SimOptions o = {}, bool withDataDir = true) {
        sim = std::make_unique<CVantrixSim>(std::move(o));
        QVERIFY(sim->Start());
        if (withDataDir) {
            std::string data = dir.Path() + "/Data";
            QVERIFY(::mkdir(data.c_str(), 0755) == 0);
            CProfile p;
            p.SetPortName(sim->SlavePath());
            QCOMPARE(p.Write(DataPath(dir.Path(), "Profile.dat")), 1);
        }
        msgbox::SetAnswerer([this](const QString& text, MbButtons b, MbIcon i, const QString& caption) {
            boxes.push_back({text, b, i, caption});
            if (onBox) onBox(boxes.back());
            if (!answers.empty()) {
                int a = answers.front();
                answers.pop_front();
                return a;
            }
            return b == MbButtons::Ok ? int(IDOK) : int(IDNO);
        });
        msgbox::SetFileAnswerer([this](bool, const QString& filter, const QString&) {
            filters.push_back(filter);
            if (paths.empty()) return QString();
            QString p = paths.front();
            paths.pop_front();
            return p;
        });
        app = std::make_unique<CApp>(dir.Path());
        model = std::make_unique<CVantrix>(app->UI(), app->Profile(), dir.Path());
        startResult = app->Start(*model);
        if (startResult == 1) {
            model->m_com.SetPauses(0, 5);
            Main()->show();
        }
    }

    ~UiHarness() {
        // A sequence still running needs the UI thread to finish.
        if (model) {
            QElapsedTimer t;
            t.start();
            while (model->m_com.IsBusy() && t.elapsed() < 30000) QTest::qWait(10);
        }
        if (Main()) Main()->hide();
        model.reset();
        app.reset();
        sim.reset();
        msgbox::SetAnswerer({});
        msgbox::SetFileAnswerer({});
    }

    TFrmMain* Main() const { return app ? app->UI().MainWnd() : nullptr; }
    CPaneMng* Panes() const { return app->UI().Panes(); }
    template <class T> T* Find(const char* name) const { return Main()->findChild<T*>(QString::fromLatin1(name)); }
    QAction* Action(const char* name) const { return Find<QAction>(name); }

    // Triggers an action that needs no device.
    void Trigger(const char* action) {
        QAction* a = Action(action);
        QVERIFY2(a, action);
        a->trigger();
        QApplication::processEvents();
    }
    // Triggers an action and waits until the request sequence it started ended.
    void TriggerAndWait(const char* action, int timeoutMs = 30000) {
        int ended = Ended();
        Trigger(action);
        QTRY_VERIFY_WITH_TIMEOUT(Ended() > ended, timeoutMs);
    }

    // Selects a node of a tree with its tab.
    void SelectNode(int tab, int node) {
        Main()->Form();
        QTabWidget* tabs = Find<QTabWidget>("m_pPgCtlP1");
        tabs->setCurrentIndex(tab);
        Main()->Tree(tab)->setCurrentItem(Main()->Node(tab, node));
        QApplication::processEvents();
    }

    // Runs a request and waits for its end.
    void Run(const CComRequest& req) {
        int ended = Ended();
        QCOMPARE(model->m_com.PostRequest(req), 1);
        QTRY_VERIFY_WITH_TIMEOUT(Ended() > ended, 30000);
    }
    int Ended() const { return app->UI().ComDlg()->SequencesEnded(); }

    TempDir dir;
    std::unique_ptr<CVantrixSim> sim;
    std::unique_ptr<CApp> app;
    std::unique_ptr<CVantrix> model;
    int startResult = 0;
    std::vector<Box> boxes;
    std::deque<int> answers;
    std::deque<QString> paths;
    std::vector<QString> filters;
    std::function<void(const Box&)> onBox;
};

// ---------------------------------------------------------------- modal dialogs, restarts, remote access

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <unistd.h>

#include <functional>
#include <optional>

#include "tools/vantrix-sim/SimModem.h"

// Drives the next modal dialog of class T: `drive` gets it once it is the
// active modal widget (from a timer, while the caller's exec runs) and must
// close it. Schedule a nested dialog's driver before the click that opens it.
template <class T> void WhenModal(std::function<void(T*)> drive, int timeoutMs = 10000) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, drive, timeoutMs] {
        T* dlg = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dlg && clock->elapsed() < timeoutMs) return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (!dlg) {
            QTest::qFail("the expected modal dialog did not come", __FILE__, __LINE__);
            return;
        }
        QPointer<T> guard(dlg);
        drive(dlg);
        // A driver that failed half-way must not leave the test waiting forever.
        if (guard && guard->isVisible()) {
            QTest::qFail("the dialog was left open", __FILE__, __LINE__);
            guard->reject();
        }
    });
    timer->start();
}

// Ends the program of `h` and starts it again in the same directory: with a
// new simulator (behind `modem` when one is given, which must outlive h), the
// modem links in Data/Modems (name, target; an empty target is the
// simulator), and the profile after `prepare`.
struct RestartOptions {
    SimOptions sim;
    std::optional<SimModemOptions> modem;
    std::vector<std::pair<std::string, std::string>> modemLinks;
    std::function<void(CProfile&)> prepare;
};

inline void Restart(UiHarness& h, std::unique_ptr<CSimModem>& modem, const RestartOptions& o) {
    if (h.Main()) h.Main()->hide();
    h.model.reset();
    h.app.reset();
    h.sim.reset();
    modem.reset();
    h.sim = std::make_unique<CVantrixSim>(o.sim);
    if (o.modem) {
        modem = std::make_unique<CSimModem>(h.sim->Device(), *o.modem);
        h.sim->SetFront(modem.get());
    }
    QVERIFY(h.sim->Start());
    if (!o.modemLinks.empty()) {
        std::string dir = h.dir.Path() + "/Data/Modems";
        ::mkdir(dir.c_str(), 0755);
        for (const auto& [name, target] : o.modemLinks) {
            std::string link = dir + "/" + name;
            ::unlink(link.c_str());
            QVERIFY(::symlink((target.empty() ? h.sim->SlavePath() : target).c_str(), link.c_str()) == 0);
        }
    }
    CProfile p;
    p.SetPortName(h.sim->SlavePath());
    if (o.prepare) o.prepare(p);
    QCOMPARE(p.Write(DataPath(h.dir.Path(), "Profile.dat")), 1);
    h.app = std::make_unique<CApp>(h.dir.Path());
    h.model = std::make_unique<CVantrix>(h.app->UI(), h.app->Profile(), h.dir.Path());
    // Only the modems of Data/Modems, whatever this machine has.
    h.model->m_com.Tapi().SetSystemDir("");
    if (o.modem) h.model->m_com.Tapi().SetGuardTime(o.modem->guardMs);
    h.startResult = h.app->Start(*h.model);
    if (h.startResult == 1) {
        h.model->m_com.SetPauses(0, 5);
        h.Main()->show();
    }
}
