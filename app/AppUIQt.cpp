#include "app/AppUIQt.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QSplitter>
#include <QThread>
#include <QTimer>

#include "app/About.h"
#include "app/App.h"
#include "app/MainWnd.h"
#include "app/MsgBox.h"
#include "app/PaneMng.h"
#include "app/Profile.h"
#include "app/ProgDir.h"
#include "app/Vantrix.h"
#include "comm/DlgCom.h"
#include "remote/DlgComSet.h"
#include "remote/DlgConnectItem.h"
#include "remote/DlgRemCon.h"
#include "sms/DlgSMSEdit.h"
#include "sms/SmsListView.h"
#include "ui_MainWnd.h"

namespace {

// A call from the worker to be run on the UI thread; `done` is set when it
// has run, for the calls the worker waits for.
class CUiCall : public QEvent {
public:
    static QEvent::Type Kind() {
        static const auto kind = QEvent::Type(QEvent::registerEventType());
        return kind;
    }
    CUiCall(std::function<void()> fn, std::promise<void>* done) : QEvent(Kind()), m_fn(std::move(fn)), m_done(done) {}
    void Run() {
        m_fn();
        if (m_done) m_done->set_value();
    }

private:
    std::function<void()> m_fn;
    std::promise<void>* m_done;
};

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
std::string Path(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

CAppUI::CAppUI(CApp& app) : m_app(app) {}

CAppUI::~CAppUI() {
    // The progress dialog, the kept dialogs, the main window with the frames,
    // then the pane objects.
    delete m_pCom;
    delete m_pConnectItem;
    delete m_pSMSEdit;
    delete m_pMain;
    m_panes.reset();
}

CProfile& CAppUI::Profile() { return m_app.Profile(); }

int CAppUI::Start() {
    m_pMain = new (std::nothrow) TFrmMain(*this);
    if (!m_pMain) return 32;
    const ProfileWndBlock& wnd = Profile().wnd;
    QSize screen =
        QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableSize() : QSize(1024, 768);
    // A profile from elsewhere may hold any sizes: keep the window usable.
    int w = std::clamp(int(wnd.windowWidth), 400, std::max(400, screen.width() * 2));
    int h = std::clamp(int(wnd.windowHeight), 300, std::max(300, screen.height() * 2));
    m_pMain->resize(w, h);
    m_pMain->move((screen.width() - w) / 2, (screen.height() - h) / 2);
    int tree = std::clamp(int(wnd.treeWidth), 150, std::max(150, w - 150));
    m_pMain->Form()->m_pSpltMain->setSizes({tree, std::max(150, w - tree)});
    for (int list = 0; list < 3; ++list) Model().m_sms.UpdateListLabel(list);

    m_panes = std::make_unique<CPaneMng>(*this);
    int r = m_panes->Start(m_pMain->PaneArea());
    if (r != 1) return r;
    m_pMain->SelectFirstNodes();

    m_pCom = new (std::nothrow) TFrmCom(*this, m_pMain);
    if (!m_pCom) return 33;
    UpdateTitle();
    OnEvent(AE_OFFLINE, 0);
    // The application's main form: the message loop runs until it is closed.
    m_pMain->show();
    // Only the shown splitter knows the room it shares: sized from that, the
    // tree gets its width exactly instead of losing the handle's width.
    QSplitter* split = m_pMain->Form()->m_pSpltMain;
    const int room = split->width() - split->handleWidth();
    tree = std::max(m_pMain->Form()->m_pPgCtlP1->minimumWidth(), std::min(int(wnd.treeWidth), room - 150));
    split->setSizes({tree, std::max(150, room - tree)});
    m_pMain->KeepStartLayout(wnd.windowWidth, wnd.windowHeight, wnd.treeWidth);
    return 1;
}

void CAppUI::ShowComSettings() {
    // The dialog changes the connection list as the user works in it, also
    // when it is cancelled afterwards.
    ShowComSetDialog(*this);
    StoreSettings();
}

void CAppUI::EndSession() {
    if (msgbox::Unattended()) return;  // already ending
    msgbox::SetUnattended();
    auto cancelDialogs = [this] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dlg = qobject_cast<QDialog*>(w); dlg && dlg->isVisible() && dlg != m_pCom) dlg->reject();
    };
    cancelDialogs();
    if (SequenceActive()) Model().m_com.PostRequest({REQ_CANCEL, 0, 0});
    // The engine takes no disconnect while a sequence runs: the window is
    // closed once it has ended and its dialogs are gone.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, timer, cancelDialogs] {
        cancelDialogs();
        if (SequenceActive() || QApplication::activeModalWidget()) return;
        timer->stop();
        timer->deleteLater();
        if (m_pMain) m_pMain->close();
    });
    timer->start(50);
}

bool CAppUI::SequenceActive() {
    return Model().m_com.IsBusy() || (m_pCom && m_pCom->SequencesEnded() < m_begun.load(std::memory_order_acquire));
}

void CAppUI::StoreSettings() {
    if (!WriteProfile() || !Model().m_com.StoreConnections())
        MessageBox(LoadStr(IDS_STORE_ERROR), MbButtons::Ok, MbIcon::Error);
}

void CAppUI::StoreConnections() {
    if (!Model().m_com.StoreConnections()) MessageBox(LoadStr(IDS_STORE_ERROR), MbButtons::Ok, MbIcon::Error);
}

void CAppUI::ShowAbout() {
    TFrmAbout about(m_pMain);
    about.exec();
}

bool CAppUI::WriteProfile() {
    CProfile& profile = Profile();
    if (m_pMain) m_pMain->StoreWindowBlock(profile);
    if (ISmsListView* view = SmsView()) view->GetColumnWidths(profile.wnd.smsColumnWidths);
    const std::string path = DataPath(m_app.ProgDir(), "Profile.dat");
    MakeDirsFor(path);
    return profile.Write(path) == 1;
}

bool CAppUI::OnUiThread() const { return QThread::currentThread() == thread(); }

void CAppUI::OnUi(std::function<void()> fn, bool wait) {
    if (OnUiThread()) {
        fn();
        return;
    }
    std::promise<void> done;
    Post(std::move(fn), wait ? &done : nullptr);
    if (wait) done.get_future().wait();
}

void CAppUI::Post(std::function<void()> fn, std::promise<void>* done) {
    auto* call = new CUiCall(std::move(fn), done);
    m_handOver.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(this, call);
}

bool CAppUI::event(QEvent* e) {
    // Before the event is looked at: it may come from the worker.
    m_handOver.load(std::memory_order_acquire);
    if (e->type() != CUiCall::Kind()) return QObject::event(e);
    static_cast<CUiCall*>(e)->Run();
    return true;
}

// ------------------------------------------------------------------ dialogs

int CAppUI::MessageBox(const std::string& text, MbButtons buttons, MbIcon icon, const std::string& caption) {
    int result = IDCANCEL;
    OnUi([&] { result = msgbox::Show(m_pMain, Q(text), buttons, icon, Q(caption)); }, true);
    return result;
}

std::string CAppUI::OpenFileDialog(const std::string& filter, const std::string& defExt) {
    return Path(msgbox::OpenFile(m_pMain, Q(filter), Q(defExt)));
}

std::string CAppUI::SaveFileDialog(const std::string& filter, const std::string& defExt) {
    return Path(msgbox::SaveFile(m_pMain, Q(filter), Q(defExt)));
}

void CAppUI::GetScreenSize(int& width, int& height) {
    QScreen* screen = QGuiApplication::primaryScreen();
    width = screen ? screen->size().width() : 1024;
    height = screen ? screen->size().height() : 768;
}

int CAppUI::EditConnection(CConnectDsc& dsc, bool lockNumber) {
    if (!m_pConnectItem) m_pConnectItem = new TFrmConnectItem(m_pMain);
    return m_pConnectItem->Edit(dsc, lockNumber);
}

int CAppUI::ShowRemoteConnect() {
    const int r = ShowRemConDialog(*this);
    if (r == IDOK) StoreSettings();  // the number and PIN chosen, maybe a new entry
    return r;
}

int CAppUI::EditSMS(CSMS& sms, int index) {
    if (!m_pSMSEdit) m_pSMSEdit = new TFrmSMSEditDlg(*this, m_pMain);
    return m_pSMSEdit->Edit(sms, index);
}

// ------------------------------------------------------------------ main window

void CAppUI::OnEvent(int code, intptr_t datum) {
    switch (code) {
    case AE_BATCH_START:
        if (m_pCom) m_pCom->RunModal();
        // A close asked for meanwhile runs now, question and disconnect included.
        if (m_pMain && !SequenceActive()) m_pMain->ResumeClose();
        break;
    case AE_ONLINE:
    case AE_OFFLINE:
        if (m_pMain) m_pMain->SetOnline(code == AE_ONLINE);
        break;
    case AE_CFG_REPLACED:
        if (m_panes) m_panes->Invalidate(0, 8);
        UpdateTitle();
        break;
    case AE_DEVID_CHANGED:
    case AE_GSM_CHANGED:
    case AE_IO_CHANGED:
    case AE_TIME_CHANGED:
        if (m_panes) m_panes->Invalidate(PANE_DEVID + code - AE_DEVID_CHANGED, PANE_DEVID + code - AE_DEVID_CHANGED);
        break;
    case AE_SMS_RECEIVED: Model().m_sms.OnSmsReceived(reinterpret_cast<CSMS*>(datum)); break;
    case AE_SMS_SENT: Model().m_sms.OnSmsSent(int(datum)); break;
    case AE_GPRS_READ:
        if (m_panes) m_panes->Invalidate(PANE_GPRSAP, PANE_GPRSAP);
        break;
    default: break;
    }
}

void CAppUI::UpdateTitle() {
    if (!m_pMain) return;
    const CVantrixCfg& doc = Model().m_cfg;
    QString name = QFileInfo(QFile::decodeName(QByteArray::fromStdString(doc.GetFileName()))).fileName().left(127);
    if (doc.GetFileName().empty()) name = QString::fromUtf8(LoadStr(IDS_UNTITLED));
    m_pMain->SetTitle(QStringLiteral("Vantrix Control Panel (") + name +
                      (doc.IsModified() ? QStringLiteral("*)") : QStringLiteral(")")));
}

void CAppUI::CommitShownPane() {
    if (CPane* pane = m_panes ? m_panes->Get(m_panes->Current()) : nullptr) pane->Save();
}

int CAppUI::CurrentPane() { return m_panes ? m_panes->Current() : -1; }

// ------------------------------------------------------------------ from the worker

void CAppUI::Notify(int code, intptr_t datum) {
    if (code == AE_BATCH_START) m_begun.fetch_add(1, std::memory_order_release);
    OnUi([this, code, datum] { OnEvent(code, datum); }, code == AE_SMS_SENT);
}

bool CAppUI::KeepReceivedSms(CSMS* sms) {
    // The worker waits until the SMS is in SMS.dat on disk: only then may
    // the device be told to delete it.
    bool kept = false;
    OnUi(
        [&, this] {
            kept = Model().m_sms.OnSmsReceived(sms);
            if (!kept) MessageBox(LoadStr(IDS_SMS_NOT_KEPT), MbButtons::Ok, MbIcon::Error);
        },
        true);
    return kept;
}

void CAppUI::DeliverComMsg(CComMsg* msg, bool send) {
    OnUi([this, msg] { m_pCom->HandleComMsg(msg); }, send);
}

void CAppUI::PostClose() {
    Post([this] { m_pMain->close(); });
}

// ------------------------------------------------------------------ SMS list pane

ISmsListView* CAppUI::SmsView() const {
    CPane* pane = m_panes ? m_panes->Get(PANE_SMSLIST) : nullptr;
    return pane && pane->m_pFrame ? dynamic_cast<ISmsListView*>(pane) : nullptr;
}

int CAppUI::SmsShownList() {
    ISmsListView* view = SmsView();
    return view && CurrentPane() == PANE_SMSLIST ? view->ShownList() : -1;
}

int CAppUI::SmsGetSelection(int* indices, int max) {
    ISmsListView* view = SmsView();
    return view ? view->GetSelection(indices, max) : 0;
}

void CAppUI::SmsInsertRow(int list, const CSMS& sms) {
    if (ISmsListView* view = SmsView()) view->InsertRow(list, sms);
}

void CAppUI::SmsUpdateRow(int list, int index, const CSMS& sms) {
    if (ISmsListView* view = SmsView()) view->UpdateRow(list, index, sms);
}

void CAppUI::SmsDeleteRows(int list, const int* indices, int n) {
    if (ISmsListView* view = SmsView()) view->DeleteRows(list, indices, n);
}

void CAppUI::SetListLabel(int list, const std::string& text) {
    if (m_pMain) m_pMain->SetListLabel(list, Q(text));
}
