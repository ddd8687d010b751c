#include "app/App.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>

#include <cstdio>

#include "app/ProgDir.h"
#include "app/Strings.h"
#include "app/Vantrix.h"

namespace {

CProfile ScreenProfile() {
    QScreen* screen = QGuiApplication::primaryScreen();
    QSize size = screen ? screen->size() : QSize(1024, 768);
    return CProfile(size.width(), size.height());
}

}  // namespace

CApp::CApp(std::string progDir)
    : m_progDir(progDir.empty() ? GetProgramDir() : std::move(progDir)), m_profile(ScreenProfile()), m_ui(*this) {}

int CApp::Start(CVantrix& model) {
    // The program is Czech whatever the machine's locale; without the file
    // Qt's own texts stay English.
    if (m_qtCzech.load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtCzech);
    m_ui.SetModel(&model);
    m_profile.Read(DataPath(m_progDir, "Profile.dat"));
    int r = model.Init();
    if (r == 1) r = m_ui.Start();
    if (r != 1) {
        char text[512];
        std::snprintf(text, sizeof text, "%s%03d", LoadStr(IDS_INIT_ERROR), r);
        m_ui.MessageBox(text, MbButtons::Ok, MbIcon::Error);
    }
    return r;
}
