// The store files' guard against saves that destroy what the load could not
// take; the same on every platform, on top of FileIO.
#include "app/FileIO.h"

void CStoreGuard::Loaded(const CInFile& f, bool complete) {
    if (!f.IsOpen())
        m_state = f.NotFound() ? MISSING : UNREADABLE;
    else if (f.Failed())
        m_state = UNREADABLE;
    else
        m_state = complete ? WHOLE : PARTIAL;
}

bool CStoreGuard::MayWrite(const std::string& path, mode_t bakMode) {
    if (m_state == NOT_LOADED || m_state == UNREADABLE) return false;
    if (m_state != PARTIAL) return true;
    CInFile in(path);
    if (!in.IsOpen()) {
        // Gone since the load: nothing left to keep.
        if (!in.NotFound()) return false;
        m_state = MISSING;
        return true;
    }
    // An older copy goes first; the new one gets the mode of the store it
    // copies (a private SMS.dat has a private copy), not what the old had.
    const std::string bakPath = path + ".bak";
    if (!RemoveFile(bakPath)) return false;
    CAtomicFile bak(bakPath);
    bak.SetExactMode(in.Mode() ? in.Mode() : bakMode);
    if (!bak.Create()) return false;
    char buf[8192];
    for (size_t n; (n = in.Read(buf, sizeof buf)) > 0;)
        if (!bak.Write(buf, n)) return false;
    if (in.Failed() || !bak.Commit()) return false;
    m_state = WHOLE;
    return true;
}
