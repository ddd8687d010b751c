#include "app/PaneMng.h"

#include <QLayout>
#include <QWidget>

#include "app/AppUIQt.h"
#include "app/Vantrix.h"

int CPane::Create(QWidget* area) {
    m_pFrame = MakeFrame(area);
    if (!m_pFrame) return m_nFailCode;
    m_pFrame->setVisible(false);
    if (area->layout()) area->layout()->addWidget(m_pFrame);
    return 1;
}

void CPane::Show() {
    if (m_pFrame) m_pFrame->setVisible(true);
    m_bLoading = false;
}

void CPane::Hide() {
    if (m_pFrame) m_pFrame->setVisible(false);
}

void CPane::DataChanged() {
    CPane* self = m_app.Panes() ? m_app.Panes()->Get(m_nIndex) : nullptr;
    if (self && !self->m_bLoading) m_app.Model().m_cfg.SetModified();
}

int PaneFailCode(int index) {
    if (index == 8) return 79;
    return index < 8 ? 64 + index : 72 + (index - 9);
}

CPaneMng::~CPaneMng() = default;

int CPaneMng::Start(QWidget* area) {
    for (int i = 0; i < kCount; ++i) {
        m_panes[i] = CreatePane(m_app, i);
        if (!m_panes[i]) return PaneFailCode(i);
    }
    for (auto& pane : m_panes) {
        int r = pane->Create(area);
        if (r != 1) return r;
    }
    return 1;
}

void CPaneMng::Select(int index, int arg) {
    const int old = m_current;
    m_current = index;
    if (old != -1) m_panes[old]->Save();
    CPane* pane = Get(index);
    if (pane && (pane->m_bDirty || pane->m_nArg != arg)) pane->Load(arg);
    if (old != -1 && old != index) m_panes[old]->Hide();
    if (pane) pane->Show();
}

void CPaneMng::Invalidate(int first, int last) {
    if (first > kCount - 1) first = kCount - 1;
    if (last > kCount - 1) last = kCount - 1;
    for (int i = first; i <= last; ++i) m_panes[i]->m_bDirty = true;
    if (m_current >= first && m_current <= last) {
        CPane* pane = m_panes[m_current].get();
        pane->Load(pane->m_nArg);
        pane->m_bLoading = false;
    }
}
