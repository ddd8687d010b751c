// The configuration document: the image with the file it came from, the
// modified flag, the file format, and the questions asked before unsaved
// changes could be lost.
#pragma once

#include <string>

#include "config/VtxCfgDataMng.h"

class IAppUI;
class IRequestQueue;

class CVantrixCfg {
public:
    static constexpr int32_t kFileVersion = 1;
    static constexpr uint32_t kFileSize = 8 + kNativeSize;

    explicit CVantrixCfg(IAppUI& ui);

    // The engine that device transfers are queued to.
    void SetQueue(IRequestQueue* queue) { m_queue = queue; }

    CVtxCfgDataMng& DataMng() { return m_data; }
    CfgImage* GetData() { return m_data.GetData(); }

    // A .cfg of any layout. On failure message 101; image and file name unchanged.
    bool LoadFile(const std::string& path);
    // Always the native layout, 2070 bytes, through a temporary file. On
    // failure message 102; file name and modified flag unchanged.
    bool StoreFile(const std::string& path);

    void NewCfg();
    void OpenCfg();
    // True once the document is in its file; false when the dialog was
    // cancelled or the file could not be written.
    bool SaveCfg(bool saveAs);
    // IDYES, IDNO or IDCANCEL; IDYES at once when not modified. A Yes whose
    // save did not succeed gives IDCANCEL: the command must not go on and
    // throw the edits away.
    int QuerySave();
    int ReadFromDevice();
    int WriteToDevice();

    // Returns the previous value; the title follows when the flag turns on.
    bool SetModified();
    bool IsModified() const { return m_modified; }
    const std::string& GetFileName() const { return m_fileName; }

private:
    CVtxCfgDataMng m_data;
    std::string m_fileName;
    bool m_modified = false;
    IAppUI& m_ui;
    IRequestQueue* m_queue = nullptr;
};

// Reads a .cfg file of any layout into `img` without any user interaction:
// false when the file is missing, of another version, of an unknown layout or
// too short. `img` is only touched on success.
bool ReadCfgFile(const std::string& path, CfgImage& img);
