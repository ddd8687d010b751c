// The pane framework: the right-hand area of the main window shows one page
// at a time. Each page is a frame driven by a CPane; the manager switches
// between them, commits a page before it is left, and reloads pages whose
// data has changed.
#pragma once

#include <memory>

#include "app/AppUI.h"

class QWidget;
class CAppUI;

class CPane {
public:
    CPane(CAppUI& app, int index, int failCode) : m_app(app), m_nIndex(index), m_nFailCode(failCode) {}
    virtual ~CPane() = default;
    CPane(const CPane&) = delete;
    CPane& operator=(const CPane&) = delete;

    // Creates the frame inside `area`, invisible; 1, or the pane's failure code.
    virtual int Create(QWidget* area);
    // Commits the frame's edits into the data.
    virtual void Save() {}
    // Begins loading (BeginLoad), then fills the controls for `arg`.
    virtual void Load(int arg) { BeginLoad(arg); }
    virtual void Show();
    virtual void Hide();

    int Index() const { return m_nIndex; }

    int m_nArg = 0;
    bool m_bDirty = true;
    bool m_bLoading = false;
    QWidget* m_pFrame = nullptr;  // owned by the main window

protected:
    // The frame of this pane; null when it cannot be made.
    virtual QWidget* MakeFrame(QWidget* area) = 0;
    void BeginLoad(int arg) {
        m_nArg = arg;
        m_bLoading = true;
        m_bDirty = false;
    }
    // For the change handlers of configuration pages: the document is marked
    // modified unless the page is being filled.
    void DataChanged();

    CAppUI& m_app;

private:
    int m_nIndex;
    int m_nFailCode;
};

class CPaneMng {
public:
    static constexpr int kCount = 16;

    explicit CPaneMng(CAppUI& app) : m_app(app) {}
    ~CPaneMng();

    // Creates the sixteen panes in index order and their frames inside
    // `area`; 1, or the first failure code.
    int Start(QWidget* area);
    void Select(int index, int arg);
    void Invalidate(int first, int last);
    CPane* Get(int index) const { return index >= 0 && index < kCount ? m_panes[index].get() : nullptr; }
    int Current() const { return m_current; }

private:
    CAppUI& m_app;
    std::unique_ptr<CPane> m_panes[kCount];
    int m_current = -1;
};

// Makes the pane of an index (the one place that knows every pane class).
std::unique_ptr<CPane> CreatePane(CAppUI& app, int index);
// Failure code of a pane that cannot be made: 64..71 for 0..7, 79 for 8, 72..78 for 9..15.
int PaneFailCode(int index);
