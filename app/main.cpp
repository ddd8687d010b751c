// VantrixCtrlPnl: the desktop control panel.
#include <QApplication>
#include <QMessageBox>

#include <csignal>
#include <exception>

#include "app/App.h"
#include "app/EndSignals.h"
#include "app/Vantrix.h"

int main(int argc, char** argv) {
    // A file that reaches its size limit (ulimit -f) fails its write, which
    // is then reported, instead of killing the program with the SMS it holds.
    std::signal(SIGXFSZ, SIG_IGN);
    SetApplicationNames();
    QApplication qapp(argc, argv);
    Q_INIT_RESOURCE(app);
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
