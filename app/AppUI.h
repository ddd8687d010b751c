// The port through which the core reaches the user. The desktop program
// implements it with Qt (CAppUI); vantrixctl with the console; tests with a
// scripted fake. Texts passed here are UTF-8; SMS records carry Windows-1250.
#pragma once

#include <cstdint>
#include <string>

#include "app/Strings.h"

struct CComMsg;
struct CConnectDsc;
class CSMS;

enum class MbButtons { Ok, YesNo, YesNoCancel };
enum class MbIcon { Error, Question, Exclamation, Information };
enum MbResult : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Event codes of MSG_APPEVENT (the worker's news for the main window).
enum AppEvent : int {
    AE_BATCH_START = -1,
    AE_NONE = 0,
    AE_ONLINE = 1,
    AE_OFFLINE = 2,
    AE_CFG_REPLACED = 3,
    AE_DEVID_CHANGED = 4,
    AE_GSM_CHANGED = 5,
    AE_IO_CHANGED = 6,
    AE_TIME_CHANGED = 7,
    AE_SMS_RECEIVED = 8,  // datum: a new CSMS*, the receiver takes ownership
    AE_SMS_SENT = 9,      // datum: index in the to-send list; delivered synchronously
    AE_GPRS_READ = 10,
};

// Pane indices of the pane framework.
enum PaneIndex : int {
    PANE_CALLPARS = 0,
    PANE_CALLENDIRS = 1,
    PANE_SIM = 2,
    PANE_ALARM = 3,
    PANE_SMSCFG = 4,
    PANE_TIMEPARS = 5,
    PANE_BASIC1 = 6,
    PANE_BASIC2 = 7,
    PANE_RENUM = 8,
    PANE_DEVID = 9,
    PANE_GSM = 10,
    PANE_IO = 11,
    PANE_TIME = 12,
    PANE_SMSEDIT = 13,
    PANE_SMSLIST = 14,
    PANE_GPRSAP = 15,
    PANE_COUNT = 16,
};

class IAppUI {
public:
    virtual ~IAppUI() = default;

    // --- Dialogs. MessageBox may also be called from the worker thread; the
    // call then blocks until the user has answered on the UI thread.
    virtual int MessageBox(const std::string& text, MbButtons buttons, MbIcon icon,
                           const std::string& caption = kAppCaption) = 0;
    // File dialogs; the filter is "text|pattern|text|pattern...". An empty
    // result means the user cancelled.
    virtual std::string OpenFileDialog(const std::string& filter, const std::string& defExt) = 0;
    virtual std::string SaveFileDialog(const std::string& filter, const std::string& defExt) = 0;
    virtual void GetScreenSize(int& width, int& height) = 0;

    // --- Main window and pane framework (UI thread).
    virtual void OnEvent(int code, intptr_t datum) = 0;
    virtual void UpdateTitle() = 0;
    // Commits the edits of the shown pane into the data (CPane::Save).
    virtual void CommitShownPane() = 0;
    // Index of the shown pane, -1 when none.
    virtual int CurrentPane() = 0;

    // --- From the worker thread.
    // MSG_APPEVENT: posted, except AE_SMS_SENT, which returns only after it was handled.
    virtual void Notify(int code, intptr_t datum) = 0;
    // An SMS read from the device, before the device is told to delete it
    // (ownership passes here). False when it could not be kept: it is then
    // left on the device. By default AE_SMS_RECEIVED is posted.
    virtual bool KeepReceivedSms(CSMS* sms) {
        Notify(AE_SMS_RECEIVED, reinterpret_cast<intptr_t>(sms));
        return true;
    }
    // MSG_COMMSG to the progress dialog; with `send` the call returns only
    // after the dialog has handled the record.
    virtual void DeliverComMsg(CComMsg* msg, bool send) = 0;
    // WM_CLOSE to the main window, after the disconnect that ends the program.
    virtual void PostClose() = 0;

    // --- Remote access dialogs (UI thread). Results: 1 confirmed, 2 cancelled.
    virtual int EditConnection(CConnectDsc& dsc, bool lockNumber) = 0;
    virtual int ShowRemoteConnect() = 0;

    // --- SMS list pane and the tools tree (UI thread).
    // The list the SMS list pane shows when it is the shown pane, else -1.
    virtual int SmsShownList() = 0;
    // Record indices of the selected rows of the shown list, ascending, at most max.
    virtual int SmsGetSelection(int* indices, int max) = 0;
    virtual void SmsInsertRow(int list, const CSMS& sms) = 0;
    virtual void SmsUpdateRow(int list, int index, const CSMS& sms) = 0;
    virtual void SmsDeleteRows(int list, const int* indices, int n) = 0;
    // Caption of the tools-tree node of a list ("Přijaté (3)").
    virtual void SetListLabel(int list, const std::string& text) = 0;
    // The SMS edit dialog for a record of a list; returns the modal result.
    virtual int EditSMS(CSMS& sms, int index) = 0;
};
