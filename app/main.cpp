// VantrixCtrlPnl: the desktop control panel.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "app/App.h"
#include "app/EndSignals.h"
#include "app/Strings.h"
#include "app/Vantrix.h"

namespace {

// What Qt says while it looks for a display: kept back, because without one
// it aborts with a page about reinstalling the program, where one line says
// all there is to say.
QStringList g_startMessages;

void StartMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtFatalMsg) {
        g_startMessages << text;
        return;
    }
    std::fprintf(stderr, "VantrixCtrlPnl: %s\n", LoadStr(IDS_NO_DISPLAY));
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    // A file that reaches its size limit (ulimit -f) fails its write, which
    // is then reported, instead of killing the program with the SMS it holds.
    std::signal(SIGXFSZ, SIG_IGN);
    SetApplicationNames();
    qInstallMessageHandler(StartMessage);
    QApplication qapp(argc, argv);
    qInstallMessageHandler(nullptr);
    for (const QString& text : g_startMessages) std::fprintf(stderr, "%s\n", qPrintable(text));
    Q_INIT_RESOURCE(app);
    // Every window's icon, also where no desktop entry is installed.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/program.png")));
    try {
        CApp app;
        CVantrix model(app.UI(), app.Profile(), app.ProgDir());
        int r = app.Start(model);
        if (r != 1) return r;
        CEndSignals endSignals([&app] { app.UI().EndSession(); });
        return qapp.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Vantrix Control Panel"), QString::fromLocal8Bit(e.what()));
        return 0;
    }
}
