// The main window: menus, toolbar, the three trees that choose the page, the
// pane area, the status bar, the title and the close sequence.
#pragma once

#include <QIcon>
#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <vector>

class CAppUI;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;
class CProfile;

namespace Ui {
class TFrmMain;
}

class TFrmMain : public QMainWindow {
    Q_OBJECT

public:
    // Tab indices of the page control.
    enum Tab { TAB_CFG = 0, TAB_STATE = 1, TAB_TOOLS = 2 };

    explicit TFrmMain(CAppUI& app);
    ~TFrmMain() override;

    // Picture `index` (0 to 23) of the image list.
    QIcon Image(int index) const;
    QWidget* PaneArea() const;
    QTreeWidget* Tree(int tab) const;
    // The item of a tree by its absolute node index.
    QTreeWidgetItem* Node(int tab, int node) const;

    void SetOnline(bool online);
    void SetTitle(const QString& title) { setWindowTitle(title); }
    // Caption of a list node of the tools tree (list 0..2 = node 2..4).
    void SetListLabel(int list, const QString& text);
    // Selects the first node of each tree, configuration first.
    void SelectFirstNodes();
    // The action enabling of the main window.
    void UpdateActions();
    // The window block read at start and the shown geometry it gave, once
    // the window is shown.
    void KeepStartLayout(int32_t width, int32_t height, int32_t tree);
    // Width, height and tree width into the profile's window block; what
    // the user did not change goes back as it was read.
    void StoreWindowBlock(CProfile& profile) const;
    // Runs the close sequence's end without asking again.
    bool Closing() const { return m_bClosing; }
    // Closes now if a close came while a sequence ran.
    void ResumeClose();

    Ui::TFrmMain* Form() const { return ui.get(); }

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool event(QEvent* e) override;

private:
    void BuildTrees();
    void ConnectActions();
    void NodeChanged(int tab);
    void TabChanged(int tab);

    CAppUI& m_app;
    std::unique_ptr<Ui::TFrmMain> ui;
    std::vector<QIcon> m_images;
    QLabel* m_pPanel0 = nullptr;
    QLabel* m_pPanel1 = nullptr;
    bool m_bClosing = false;
    bool m_bCloseWanted = false;  // a close came while a sequence ran
    int32_t m_anRead[3] = {};
    int m_anStart[3] = {-1, -1, -1};
};
