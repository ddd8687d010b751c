#include "app/App.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QStandardPaths>

#include <cstdio>

#include "app/ProgDir.h"
#include "app/Strings.h"
#include "app/Vantrix.h"
#include "app/Version.h"

namespace {

CProfile ScreenProfile() {
    QScreen* screen = QGuiApplication::primaryScreen();
    QSize size = screen ? screen->size() : QSize(1024, 768);
    return CProfile(size.width(), size.height());
}

}  // namespace

void SetApplicationNames() {
    // Without an organization name AppDataLocation is <data home>/<application>.
    QCoreApplication::setOrganizationName(QString());
    QCoreApplication::setApplicationName(QString::fromLatin1(kDataFolder));
    QGuiApplication::setDesktopFileName(QStringLiteral(VANTRIX_APP_ID));
}

std::string UserAppDataDir() {
    // Qt takes a relative XDG_DATA_HOME as it is, which would put the files
    // wherever the program was started; that value is invalid and ignored.
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir::isAbsolutePath(dir) ? dir.toStdString() : UserDataDir();
}

CApp::CApp(std::string progDir)
    : m_progDir(progDir.empty() ? GetProgramDir(UserAppDataDir()) : std::move(progDir)),
      m_profile(ScreenProfile()),
      m_ui(*this) {}

int CApp::Start(CVantrix& model) {
    // The program is Czech whatever the machine's locale; without the file
    // Qt's own texts stay English.
    if (m_qtCzech.load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtCzech);
    m_ui.SetModel(&model);
    // The stores have one writer: each copy writes them at its exit as it
    // loaded them, so a second copy on the same data would undo the first's
    // SMS and connections. The lock dies with a killed holder (its process
    // id is checked), and a data folder that takes no lock file cannot be
    // written anyway, so only a held lock stops the start.
    const std::string lockPath = DataPath(m_progDir, "VantrixCtrlPnl.lock");
    MakeDirsFor(lockPath);
    m_dataLock = std::make_unique<QLockFile>(QFile::decodeName(QByteArray::fromStdString(lockPath)));
    m_dataLock->setStaleLockTime(0);
    if (!m_dataLock->tryLock(0) && m_dataLock->error() == QLockFile::LockFailedError) {
        char text[1024];
        std::snprintf(text, sizeof text, LoadStr(IDS_ALREADY_RUNNING), DataPath(m_progDir, "").c_str());
        m_ui.MessageBox(text, MbButtons::Ok, MbIcon::Information);
        return kAlreadyRunning;
    }
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
