#include "config/VtxCfgDataMng.h"

#include <new>

CVtxCfgDataMng::CVtxCfgDataMng() { ::SetDefaults(m_image); }

void CVtxCfgDataMng::SetDefaults() { ::SetDefaults(m_image); }

uint8_t* CVtxCfgDataMng::SelectLayout(int32_t id) {
    const LayoutDesc* layout = FindLayout(id);
    if (!layout) return nullptr;
    m_selected = int(layout - kLayouts);
    if (m_capacity >= layout->size) return m_buffer.get();
    m_buffer.reset();
    m_capacity = 0;
    m_buffer.reset(new (std::nothrow) uint8_t[layout->size]);
    if (!m_buffer) return nullptr;
    m_capacity = layout->size;
    return m_buffer.get();
}

const LayoutDesc* CVtxCfgDataMng::GetLayout() const {
    if (!m_buffer || m_selected < 0) return nullptr;
    return &kLayouts[m_selected];
}

void CVtxCfgDataMng::ExportImage() {
    const LayoutDesc* layout = GetLayout();
    if (layout && layout->exportImage && m_capacity >= layout->size) layout->exportImage(m_image, m_buffer.get());
}

void CVtxCfgDataMng::ImportImage() {
    const LayoutDesc* layout = GetLayout();
    if (layout && m_capacity >= layout->size) layout->importImage(m_buffer.get(), m_image);
}
