// The application object: the program's directory, its profile and the
// user-interface controller, for the whole run.
#pragma once

#include <QLockFile>
#include <QTranslator>

#include <memory>
#include <string>

#include "app/AppUIQt.h"
#include "app/Profile.h"

class CVantrix;

// The Qt names, set before the application object: they make Qt's
// AppDataLocation the console programs' UserDataDir().
void SetApplicationNames();

// QStandardPaths' AppDataLocation: the program directory of an installed program.
std::string UserAppDataDir();

class CApp {
public:
    // `progDir` empty: the program directory of the running program (ProgDir.h).
    explicit CApp(std::string progDir = {});

    // Loads Qt's own Czech texts (file dialogs, edit menus), takes the data
    // folder, reads the profile, starts the core model and the user
    // interface. 1 on success; kAlreadyRunning when another copy has the data
    // folder; otherwise the start-up error has been shown and the code is
    // returned.
    int Start(CVantrix& model);
    static constexpr int kAlreadyRunning = 2;

    const std::string& ProgDir() const { return m_progDir; }
    CProfile& Profile() { return m_profile; }
    CAppUI& UI() { return m_ui; }

private:
    std::string m_progDir;
    CProfile m_profile;
    CAppUI m_ui;
    QTranslator m_qtCzech;
    std::unique_ptr<QLockFile> m_dataLock;  // held for the whole run
};
