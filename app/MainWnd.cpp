#include "app/MainWnd.h"

#include <QAbstractEventDispatcher>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QProxyStyle>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/PaneMng.h"
#include "app/Profile.h"
#include "app/Strings.h"
#include "app/Vantrix.h"
#include "ui_MainWnd.h"

namespace {

// The application's style with tabs little wider than their texts, so that
// the three tabs fit the default width of the left panel.
class TabTextWidthStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        const int m = QProxyStyle::pixelMetric(metric, option, widget);
        return metric == PM_TabBarTabHSpace ? std::min(m, 12) : m;
    }
};

struct NodeDesc {
    const char* caption;
    int level;
    int image;
    int pane;  // -1: none
    int arg;
};

// The trees, node by node in the order of their absolute indices.
const std::vector<NodeDesc> kCfgNodes = {
    {"Vytáčení čísel", 1, 17, -1, 0},
    {"Povolené směry", 2, 18, PANE_CALLENDIRS, 0},
    {"Ostatní směry", 2, 18, PANE_CALLPARS, 0},
    {"Virtuální příčková linka", 2, 18, PANE_RENUM, 0},
    {"SIM karty", 1, 21, -1, 0},
    {"SIM karta 1", 2, 21, PANE_SIM, 0},
    {"SIM karta 2", 2, 21, PANE_SIM, 1},
    {"SMS", 1, 15, PANE_SMSCFG, 0},
    {"Časové parametry", 1, 16, PANE_TIMEPARS, 0},
    {"Ostatní parametry 1", 1, 7, PANE_BASIC1, 0},
    {"Ostatní parametry 2", 1, 7, PANE_BASIC2, 0},
    {"Alarmy", 1, 22, -1, 0},
    {"Alarm1", 2, 22, PANE_ALARM, 0},
    {"Alarm2", 2, 22, PANE_ALARM, 1},
    {"Alarm3", 2, 22, PANE_ALARM, 2},
    {"Alarm4", 2, 22, PANE_ALARM, 3},
    {"Alarm5", 2, 22, PANE_ALARM, 4},
    {"Alarm6", 2, 22, PANE_ALARM, 5},
    {"Alarm7", 2, 22, PANE_ALARM, 6},
    {"Alarm8", 2, 22, PANE_ALARM, 7},
};
const std::vector<NodeDesc> kStateNodes = {
    {"Výrobní štítek", 1, 14, PANE_DEVID, 0},
    {"GSM", 1, 19, PANE_GSM, 0},
    {"Čas", 1, 16, PANE_TIME, 0},
    {"Binární IO", 1, 20, PANE_IO, 0},
};
const std::vector<NodeDesc> kToolNodes = {
    {"SMS", 1, 12, -1, 0},
    {"Nová SMS", 2, 8, PANE_SMSEDIT, 0},
    {"Přijaté", 2, 9, PANE_SMSLIST, 0},
    {"Odeslané", 2, 10, PANE_SMSLIST, 1},
    {"K odeslání", 2, 11, PANE_SMSLIST, 2},
    {"GPRS", 1, 23, -1, 0},
    {"Přístupový bod", 2, 23, PANE_GPRSAP, 0},
};

const std::vector<NodeDesc>& Nodes(int tab) {
    return tab == TFrmMain::TAB_CFG ? kCfgNodes : tab == TFrmMain::TAB_STATE ? kStateNodes : kToolNodes;
}

constexpr int kNodeIndexRole = Qt::UserRole;

}  // namespace

TFrmMain::TFrmMain(CAppUI& app) : QMainWindow(nullptr), m_app(app), ui(std::make_unique<Ui::TFrmMain>()) {
    ui->setupUi(this);
    for (const QString& file :
         QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("[0-9][0-9]-*.png")}, QDir::Files, QDir::Name))
        m_images.emplace_back(QStringLiteral(":/icons/") + file);

    // The toolbar's buttons are found by their own names.
    const std::pair<QAction*, const char*> buttons[] = {
        {ui->m_pActOnline, "m_pTlbOnline"},      {ui->m_pActOffline, "m_pTlbOffline"},
        {ui->m_pActCfgNew, "m_pTlbCfgNew"},      {ui->m_pActCfgOpen, "m_pTlbCfgOpen"},
        {ui->m_pActCfgSave, "m_pTlbCfgSave"},    {ui->m_pActCfgRead, "m_pTlbCfgRead"},
        {ui->m_pActCfgWrite, "m_pTlbCfgWrite"},  {ui->m_pActSMSRead, "m_pTlbSMSRead"},
        {ui->m_pActSMSSendAll, "m_pTlbSMSSend"},
    };
    const int images[] = {0, 1, 2, 3, 4, 5, 6, 9, 10};
    int i = 0;
    for (auto [action, name] : buttons) {
        action->setIcon(Image(images[i++]));
        if (QWidget* w = ui->m_pTlbMain->widgetForAction(action)) {
            w->setObjectName(QString::fromLatin1(name));
            w->setAccessibleName(PlainCaption(action->text()));
            w->setAccessibleDescription(action->toolTip());
        }
    }
    ui->m_pActReadStatus->setIcon(Image(14));
    ui->m_pActComSet->setIcon(Image(7));

    m_pPanel0 = new QLabel(this);
    m_pPanel0->setObjectName(QStringLiteral("m_pStbPanel0"));
    m_pPanel1 = new QLabel(this);
    m_pPanel1->setObjectName(QStringLiteral("m_pStbPanel1"));
    m_pPanel1->setFixedWidth(50);
    m_pPanel1->setAlignment(Qt::AlignCenter);
    m_pPanel0->setMinimumWidth(0);
    ui->m_pStbrMain->addWidget(m_pPanel0, 1);
    ui->m_pStbrMain->addPermanentWidget(m_pPanel1);

    // Every tab readable, never behind scroll arrows: the left panel is at
    // least as wide as the tab bar, and a wider window widens the pane area.
    QTabBar* tabs = ui->m_pPgCtlP1->tabBar();
    auto* tabStyle = new TabTextWidthStyle;
    tabStyle->setParent(tabs);
    tabs->setStyle(tabStyle);
    tabs->setUsesScrollButtons(false);
    tabs->setElideMode(Qt::ElideNone);
    ui->m_pPgCtlP1->setMinimumWidth(std::max(ui->m_pPgCtlP1->minimumWidth(), tabs->sizeHint().width()));
    ui->m_pSpltMain->setStretchFactor(0, 0);
    ui->m_pSpltMain->setStretchFactor(1, 1);

    BuildTrees();
    ConnectActions();
    ui->m_pPgCtlP1->setCurrentIndex(TAB_CFG);
    connect(ui->m_pPgCtlP1, &QTabWidget::currentChanged, this, &TFrmMain::TabChanged);

    // Enabling is evaluated whenever the application is about to wait.
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            &TFrmMain::UpdateActions);
}

TFrmMain::~TFrmMain() = default;

QIcon TFrmMain::Image(int index) const {
    return index >= 0 && index < int(m_images.size()) ? m_images[size_t(index)] : QIcon();
}

QWidget* TFrmMain::PaneArea() const { return ui->m_pPnlPanes; }

QTreeWidget* TFrmMain::Tree(int tab) const {
    return tab == TAB_CFG ? ui->m_pTrvCfg : tab == TAB_STATE ? ui->m_pTrvState : ui->m_pTrvTools;
}

QTreeWidgetItem* TFrmMain::Node(int tab, int node) const {
    QTreeWidget* tree = Tree(tab);
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        if ((*it)->data(0, kNodeIndexRole).toInt() == node) return *it;
    return nullptr;
}

void TFrmMain::BuildTrees() {
    for (int tab = TAB_CFG; tab <= TAB_TOOLS; ++tab) {
        QTreeWidget* tree = Tree(tab);
        tree->setAccessibleName(ui->m_pPgCtlP1->tabText(tab));
        QTreeWidgetItem* parent = nullptr;
        int index = 0;
        for (const NodeDesc& n : Nodes(tab)) {
            QTreeWidgetItem* item = n.level == 1 || !parent ? new QTreeWidgetItem(tree) : new QTreeWidgetItem(parent);
            if (n.level == 1) parent = item;
            item->setText(0, QString::fromUtf8(n.caption));
            item->setIcon(0, Image(n.image));
            item->setData(0, kNodeIndexRole, index++);
        }
        if (tab != TAB_STATE) tree->expandAll();
        connect(tree, &QTreeWidget::currentItemChanged, this, [this, tab] { NodeChanged(tab); });
    }
}

void TFrmMain::SelectFirstNodes() {
    for (int tab = TAB_CFG; tab <= TAB_TOOLS; ++tab) Tree(tab)->setCurrentItem(Node(tab, 0));
}

void TFrmMain::NodeChanged(int tab) {
    if (ui->m_pPgCtlP1->currentIndex() != tab) return;
    TabChanged(tab);
}

void TFrmMain::TabChanged(int tab) {
    QTreeWidgetItem* item = Tree(tab)->currentItem();
    if (!item || !m_app.Panes()) return;
    const NodeDesc& n = Nodes(tab)[size_t(item->data(0, kNodeIndexRole).toInt())];
    m_app.Panes()->Select(n.pane, n.arg);
}

void TFrmMain::SetListLabel(int list, const QString& text) {
    if (QTreeWidgetItem* item = Node(TAB_TOOLS, list + 2)) item->setText(0, text);
}

void TFrmMain::SetOnline(bool online) {
    ui->m_pActOnline->setEnabled(!online);
    ui->m_pActOffline->setEnabled(online);
    m_pPanel1->setText(QString::fromUtf8(LoadStr(online ? IDS_ONLINE : IDS_OFFLINE)));
}

void TFrmMain::ConnectActions() {
    CVantrix& m = m_app.Model();
    auto on = [this](QAction* a, auto fn) { connect(a, &QAction::triggered, this, fn); };
    on(ui->m_pActCfgNew, [&m] { m.m_cfg.NewCfg(); });
    on(ui->m_pActCfgOpen, [&m] { m.m_cfg.OpenCfg(); });
    on(ui->m_pActCfgSave, [&m] { m.m_cfg.SaveCfg(false); });
    on(ui->m_pActCfgSaveAs, [&m] { m.m_cfg.SaveCfg(true); });
    on(ui->m_pActCfgRead, [&m] { m.m_cfg.ReadFromDevice(); });
    on(ui->m_pActCfgWrite, [&m] { m.m_cfg.WriteToDevice(); });
    on(ui->m_pActOnline, [&m] { m.GoOnline(); });
    on(ui->m_pActOffline, [&m] { m.GoOffline(); });
    on(ui->m_pActComSet, [this] { m_app.ShowComSettings(); });
    on(ui->m_pActReadStatus, [&m] { m.ReadStatus(); });
    on(ui->m_pActTimeSync, [&m] { m.SyncTime(); });
    on(ui->m_pActSMSRead, [&m] { m.m_sms.ReadSMS(); });
    on(ui->m_pActSMSSendAll, [&m] { m.m_sms.SendSMS(SMS_ALL); });
    on(ui->m_pActSMSSendSel, [&m] { m.m_sms.SendSMS(SMS_SELECTED); });
    on(ui->m_pActSMSOpen, [&m] { m.m_sms.OpenSMS(); });
    on(ui->m_pActSMSSaveAll, [&m] { m.m_sms.ExportSMS(SMS_ALL); });
    on(ui->m_pActSMSSaveSel, [&m] { m.m_sms.ExportSMS(SMS_SELECTED); });
    on(ui->m_pActSMSDelAll, [&m] { m.m_sms.DeleteSMS(SMS_ALL); });
    on(ui->m_pActSMSDelSel, [&m] { m.m_sms.DeleteSMS(SMS_SELECTED); });
    // "Konec" closes like the window's close box: nothing unsaved is lost unasked.
    on(ui->m_pMniExit, [this] { close(); });
    on(ui->m_pMniAbout, [this] { m_app.ShowAbout(); });
}

void TFrmMain::UpdateActions() {
    CVantrix& m = m_app.Model();
    const bool online = m.m_com.IsOnline();
    const bool local = online ? m.m_com.AccessMode() == 1 : m_app.Profile().com.accessMode == 1;
    const int list = m_app.SmsShownList();
    const int selected = list >= 0 ? m_app.SmsGetSelection(nullptr, 0) : 0;
    ui->m_pActSMSRead->setEnabled(local);
    ui->m_pActSMSSendAll->setEnabled(local && m.m_sms.GetCount(SMS_LIST_TOSEND) > 0);
    ui->m_pActSMSSendSel->setEnabled(local && list == SMS_LIST_TOSEND && selected > 0);
    ui->m_pActSMSSaveAll->setEnabled(list >= 0 && m.m_sms.GetCount(list) > 0);
    ui->m_pActSMSDelAll->setEnabled(list >= 0 && m.m_sms.GetCount(list) > 0);
    ui->m_pActSMSOpen->setEnabled(selected > 0);
    ui->m_pActSMSSaveSel->setEnabled(selected > 0);
    ui->m_pActSMSDelSel->setEnabled(selected > 0);
}

void TFrmMain::KeepStartLayout(int32_t width, int32_t height, int32_t tree) {
    m_anRead[0] = width;
    m_anRead[1] = height;
    m_anRead[2] = tree;
    m_anStart[0] = this->width();
    m_anStart[1] = this->height();
    m_anStart[2] = ui->m_pPgCtlP1->width();
}

void TFrmMain::StoreWindowBlock(CProfile& profile) const {
    // A value the window had to adjust (a clamp, a rounding of the splitter)
    // is not written back unless the user changed it: a run without changes
    // leaves the profile as it was.
    const int now[3] = {width(), height(), ui->m_pPgCtlP1->width()};
    int32_t out[3];
    for (int i = 0; i < 3; ++i) out[i] = now[i] == m_anStart[i] ? m_anRead[i] : int32_t(now[i]);
    profile.wnd.windowWidth = out[0];
    profile.wnd.windowHeight = out[1];
    profile.wnd.treeWidth = out[2];
}

void TFrmMain::closeEvent(QCloseEvent* e) {
    // Under a running sequence the window stays: the engine takes no
    // disconnect then, and with the window gone the program would end with
    // the sequence's dialogs still to come.
    auto defer = [this, e] {
        m_bCloseWanted = true;
        e->ignore();
    };
    if (m_app.SequenceActive()) return defer();
    m_bCloseWanted = false;
    if (m_bClosing) {
        e->accept();
        return;
    }
    CVantrix& m = m_app.Model();
    if (m.m_cfg.QuerySave() == IDCANCEL) {
        e->ignore();
        return;
    }
    if (m_app.SequenceActive()) return defer();  // begun while the question was up
    m_bClosing = true;
    m_app.WriteProfile();
    if (!m.m_com.IsOnline()) {
        e->accept();
        return;
    }
    // The window closes by itself once the disconnect has run.
    m.m_com.PostRequest({REQ_DISCONNECT, 1, 0});
    e->ignore();
}

void TFrmMain::ResumeClose() {
    if (!m_bCloseWanted) return;
    m_bCloseWanted = false;
    // From the event loop, not from inside the ended sequence's call.
    QTimer::singleShot(0, this, [this] { close(); });
}

void TFrmMain::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    // A maximum, not a fixed width: the panel must not keep the window from shrinking.
    m_pPanel0->setMaximumWidth(std::max(0, width() - 100));
}

bool TFrmMain::event(QEvent* e) {
    // The hint of the item under the mouse goes to panel 0.
    if (e->type() == QEvent::StatusTip) {
        m_pPanel0->setText(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QMainWindow::event(e);
}
