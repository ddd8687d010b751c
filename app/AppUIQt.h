// The user-interface controller: IAppUI for the desktop program. It owns the
// main window, the progress dialog, the pane manager and the dialogs, and
// brings the worker's posted and sent calls onto the UI thread.
#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <future>
#include <memory>

#include "app/AppUI.h"

class CApp;
class CPaneMng;
class CProfile;
class CVantrix;
class TFrmCom;
class TFrmMain;
class TFrmConnectItem;
class TFrmSMSEditDlg;
class ISmsListView;

class CAppUI : public QObject, public IAppUI {
    Q_OBJECT

public:
    explicit CAppUI(CApp& app);
    ~CAppUI() override;

    void SetModel(CVantrix* model) { m_model = model; }
    // Main window (32), panes (64..79), progress dialog (33); 1 when all are up.
    int Start();

    CApp& App() { return m_app; }
    CVantrix& Model() { return *m_model; }
    CProfile& Profile();
    TFrmMain* MainWnd() const { return m_pMain; }
    TFrmCom* ComDlg() const { return m_pCom; }
    CPaneMng* Panes() const { return m_panes.get(); }

    void ShowComSettings();
    void ShowAbout();
    // The session ends (a signal): the close sequence runs as the window's
    // close box runs it, with every question given its harmless answer, open
    // dialogs cancelled and a running sequence cancelled first.
    void EndSession();
    // Refreshes the window block from the running program and writes
    // Profile.dat; false when it could not be written.
    bool WriteProfile();
    // After the user changed the settings or the connection list: Profile.dat
    // and Connection.dat written at once, or a message.
    void StoreSettings();
    void StoreConnections();
    // A request sequence is queued, running, or still ending on the screen
    // (its progress dialog not yet closed).
    bool SequenceActive();

    // --- IAppUI
    int MessageBox(const std::string& text, MbButtons buttons, MbIcon icon,
                   const std::string& caption = kAppCaption) override;
    std::string OpenFileDialog(const std::string& filter, const std::string& defExt) override;
    std::string SaveFileDialog(const std::string& filter, const std::string& defExt) override;
    void GetScreenSize(int& width, int& height) override;

    void OnEvent(int code, intptr_t datum) override;
    void UpdateTitle() override;
    void CommitShownPane() override;
    int CurrentPane() override;

    void Notify(int code, intptr_t datum) override;
    bool KeepReceivedSms(CSMS* sms) override;
    void DeliverComMsg(CComMsg* msg, bool send) override;
    void PostClose() override;

    int EditConnection(CConnectDsc& dsc, bool lockNumber) override;
    int ShowRemoteConnect() override;

    int SmsShownList() override;
    int SmsGetSelection(int* indices, int max) override;
    void SmsInsertRow(int list, const CSMS& sms) override;
    void SmsUpdateRow(int list, int index, const CSMS& sms) override;
    void SmsDeleteRows(int list, const int* indices, int n) override;
    void SetListLabel(int list, const std::string& text) override;
    int EditSMS(CSMS& sms, int index) override;

protected:
    bool event(QEvent* e) override;

private:
    bool OnUiThread() const;
    // Runs fn on the UI thread: at once there, else queued (posted) or
    // blocking (sent).
    void OnUi(std::function<void()> fn, bool wait);
    // Queues fn for the UI thread, from any thread; `done` is set once it ran.
    void Post(std::function<void()> fn, std::promise<void>* done = nullptr);
    ISmsListView* SmsView() const;

    CApp& m_app;
    CVantrix* m_model = nullptr;
    TFrmMain* m_pMain = nullptr;
    TFrmCom* m_pCom = nullptr;
    TFrmConnectItem* m_pConnectItem = nullptr;
    TFrmSMSEditDlg* m_pSMSEdit = nullptr;
    std::unique_ptr<CPaneMng> m_panes;
    // Qt hands events between threads under locks of its own, which
    // ThreadSanitizer cannot see; this counter makes the same hand-over
    // visible to it, so that it judges our code and not Qt's.
    std::atomic<unsigned> m_handOver{0};
    // Sequences the worker has begun: the screen may not have seen the start
    // of the last one yet when the engine is idle again.
    std::atomic<int> m_begun{0};
};
