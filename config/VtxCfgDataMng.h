// Holds the one configuration image and converts it to and from the other
// layouts through a transfer buffer.
#pragma once

#include <cstdint>
#include <memory>

#include "config/CfgImage.h"

class CVtxCfgDataMng {
public:
    CVtxCfgDataMng();

    CfgImage* GetData() { return &m_image; }
    const CfgImage* GetData() const { return &m_image; }
    void SetDefaults();

    // Selects the layout with this id and makes the buffer hold at least its
    // size (it is never shrunk). Null when the id is unknown (selection and
    // buffer unchanged) or the buffer cannot be allocated.
    uint8_t* SelectLayout(int32_t id);
    // The selected layout, or null without a buffer or a selection.
    const LayoutDesc* GetLayout() const;
    // Do nothing without a buffer, a selection or (export) a conversion.
    void ExportImage();
    void ImportImage();

    uint8_t* Buffer() { return m_buffer.get(); }
    uint32_t Capacity() const { return m_capacity; }

private:
    std::unique_ptr<uint8_t[]> m_buffer;
    uint32_t m_capacity = 0;
    int m_selected = -1;  // row of kLayouts
    CfgImage m_image;
};
