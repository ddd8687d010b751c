// The SMS pages: the editor of a new message (pane 13) and the three lists
// received, sent and to send (pane 14). The editor frame is also the body of
// the SMS edit dialog.
#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <string>

#include "app/PaneMng.h"
#include "sms/SMS.h"
#include "sms/SmsListView.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace Ui {
class TFrmSMSEdit;
class TFrmSMSList;
}  // namespace Ui

// The record's Windows-1250 text as the controls show it (CR LF become line
// breaks) and back (line breaks become CR LF, as the record keeps them).
QString SmsTextToUi(std::string_view ansi);
std::string SmsTextFromUi(const QString& text);

class TFrmSMSEdit : public QWidget {
    Q_OBJECT
public:
    TFrmSMSEdit(CAppUI& app, QWidget* parent);
    ~TFrmSMSEdit() override;

    // Binds the record the buttons act on and its index in its list (-1 for
    // a record of no list); with `fill` the fields show its text and numbers.
    void BindSMS(CSMS* sms, int index, bool fill);
    // Time (now), text and numbers from the fields into the bound record.
    // 0 after message 107 when a number is required and none was given.
    int CollectSMS(bool requireNumber);

    CSMS* Bound() const { return m_pSMS; }
    int BoundIndex() const { return m_nIndex; }

    std::unique_ptr<Ui::TFrmSMSEdit> ui;

private:
    void TextChanged();
    void UpdateButtons();
    void SendClicked();
    void SaveClicked();
    void ClearFields();

    CAppUI& m_app;
    CSMS* m_pSMS = nullptr;
    int m_nIndex = -1;
    bool m_bLimiting = false;
    bool m_bBinding = false;
    // The bound record's text bytes and how the editor showed them: saved
    // back as they were while the shown text is unchanged.
    bool m_bKeepText = false;
    std::string m_keptText;
    QString m_boundText;
};

class TFrmSMSList : public QWidget {
    Q_OBJECT
public:
    TFrmSMSList(CAppUI& app, QWidget* parent);
    ~TFrmSMSList() override;

    void ShowList(int list);
    int Shown() const { return m_nShown; }
    // Every view afresh from the SMS manager's lists.
    void FillLists();
    void InsertRow(int list, const CSMS& sms);
    void UpdateRow(int list, int index, const CSMS& sms);
    void DeleteRows(int list, const int* indices, int n);
    // Selected rows of the shown view as record indices, ascending, at most
    // max (all of them counted when indices is null).
    int GetSelection(int* indices, int max) const;
    void GetColumnWidths(int32_t* widths) const;

    QTreeWidget* View(int list) const;

    std::unique_ptr<Ui::TFrmSMSList> ui;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void WriteRow(QTreeWidgetItem* item, const CSMS& sms) const;

    CAppUI& m_app;
    QTreeWidget* m_apViews[SMS_LIST_COUNT] = {};
    int m_nShown = -1;
};

class CPaneSMSEdit : public CPane {
public:
    explicit CPaneSMSEdit(CAppUI& app) : CPane(app, PANE_SMSEDIT, 76) {}
    TFrmSMSEdit* Frame() const { return m_pFrm; }

protected:
    QWidget* MakeFrame(QWidget* area) override;

private:
    CSMS m_sms;  // the message being written
    TFrmSMSEdit* m_pFrm = nullptr;
};

class CPaneSMSList : public CPane, public ISmsListView {
public:
    explicit CPaneSMSList(CAppUI& app) : CPane(app, PANE_SMSLIST, 77) {}
    void Load(int arg) override;
    TFrmSMSList* Frame() const { return m_pFrm; }

    // ISmsListView. Until the first load fills the views, the row calls
    // have nothing to keep in step: that fill takes the lists as they are.
    int ShownList() const override;
    int GetSelection(int* indices, int max) const override;
    void InsertRow(int list, const CSMS& sms) override;
    void UpdateRow(int list, int index, const CSMS& sms) override;
    void DeleteRows(int list, const int* indices, int n) override;
    void GetColumnWidths(int32_t* widths) const override;

protected:
    QWidget* MakeFrame(QWidget* area) override;

private:
    TFrmSMSList* m_pFrm = nullptr;
};
