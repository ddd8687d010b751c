#include "config/VantrixCfg.h"

#include "app/AppUI.h"
#include "app/Bytes.h"
#include "app/FileIO.h"
#include "app/Strings.h"
#include "comm/ComRequest.h"

namespace {

// Reads the header and the block of a configuration file into the data
// manager's buffer; returns false on any shortfall.
bool ReadBlock(const std::string& path, CVtxCfgDataMng& data) {
    CInFile f(path);
    if (!f.IsOpen()) return false;
    uint8_t head[4];
    if (!f.ReadExact(head, 4) || int32_t(bytes::GetLE32(head)) != CVantrixCfg::kFileVersion) return false;
    if (!f.ReadExact(head, 4)) return false;
    uint8_t* buf = data.SelectLayout(int32_t(bytes::GetLE32(head)));
    if (!buf) return false;
    return f.ReadExact(buf, data.GetLayout()->size);
}

}  // namespace

bool ReadCfgFile(const std::string& path, CfgImage& img) {
    CVtxCfgDataMng data;
    if (!ReadBlock(path, data)) return false;
    data.ImportImage();
    img = *data.GetData();
    return true;
}

CVantrixCfg::CVantrixCfg(IAppUI& ui) : m_ui(ui) {}

bool CVantrixCfg::LoadFile(const std::string& path) {
    if (!ReadBlock(path, m_data)) {
        m_ui.MessageBox(LoadStr(IDS_CFG_LOAD_ERROR), MbButtons::Ok, MbIcon::Error);
        return false;
    }
    m_fileName = path;
    m_data.ImportImage();
    m_modified = false;
    return true;
}

bool CVantrixCfg::StoreFile(const std::string& path) {
    uint8_t head[8];
    bytes::PutLE32(head, uint32_t(kFileVersion));
    bytes::PutLE32(head + 4, uint32_t(LAYOUT_NATIVE));
    CAtomicFile f(path);
    if (!f.Create() || !f.Write(head, sizeof head) || !f.Write(m_data.GetData(), kNativeSize) || !f.Commit()) {
        m_ui.MessageBox(LoadStr(IDS_CFG_SAVE_ERROR), MbButtons::Ok, MbIcon::Error);
        return false;
    }
    m_fileName = path;
    m_modified = false;
    return true;
}

void CVantrixCfg::NewCfg() {
    if (QuerySave() == IDCANCEL) return;
    m_data.SetDefaults();
    m_modified = false;
    m_fileName.clear();
    m_ui.OnEvent(AE_CFG_REPLACED, 0);
}

void CVantrixCfg::OpenCfg() {
    if (QuerySave() == IDCANCEL) return;
    std::string path = m_ui.OpenFileDialog(FileFilter(IDS_FILTER_CFG), "cfg");
    if (path.empty()) return;
    if (LoadFile(path)) m_ui.OnEvent(AE_CFG_REPLACED, 0);
}

bool CVantrixCfg::SaveCfg(bool saveAs) {
    m_ui.CommitShownPane();
    std::string path = m_fileName;
    if (saveAs || path.empty()) {
        path = m_ui.SaveFileDialog(FileFilter(IDS_FILTER_CFG), "cfg");
        if (path.empty()) return false;
    }
    if (!StoreFile(path)) return false;
    m_ui.UpdateTitle();
    return true;
}

int CVantrixCfg::QuerySave() {
    if (!m_modified) return IDYES;
    int answer = m_ui.MessageBox(LoadStr(IDS_QUERY_SAVE), MbButtons::YesNoCancel, MbIcon::Question);
    if (answer == IDYES && !SaveCfg(false)) return IDCANCEL;
    return answer;
}

int CVantrixCfg::ReadFromDevice() {
    if (QuerySave() == IDCANCEL) return 0;
    if (!m_queue) return 0;
    return m_queue->PostRequest({REQ_READ_CFG, reinterpret_cast<intptr_t>(this), 0});
}

int CVantrixCfg::WriteToDevice() {
    m_ui.CommitShownPane();
    if (!m_queue) return 0;
    return m_queue->PostRequest({REQ_WRITE_CFG, reinterpret_cast<intptr_t>(this), 0});
}

bool CVantrixCfg::SetModified() {
    bool was = m_modified;
    m_modified = true;
    if (!was) m_ui.UpdateTitle();
    return was;
}
