#include "sms/PaneSMS.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTreeWidget>

#include <algorithm>

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/MainWnd.h"
#include "app/Profile.h"
#include "app/Strings.h"
#include "app/TextCodec.h"
#include "app/Vantrix.h"
#include "config/PaneCfg.h"
#include "ui_PaneSMSEdit.h"
#include "ui_PaneSMSList.h"

namespace {

constexpr int kRecipientsMax = 64;
constexpr int kImageNew = 12;
constexpr int kImageOld = 13;

// Bytes a character of the editor takes in the record: a line break is CR LF,
// any other character (also one Windows-1250 lacks, which becomes '?') one.
int StoredLen(const QString& s, qsizetype from, qsizetype to) {
    int n = 0;
    for (qsizetype i = from; i < to; ++i) {
        if (s[i].isLowSurrogate() && i > from && s[i - 1].isHighSurrogate()) continue;
        n += s[i] == QLatin1Char('\n') ? 2 : 1;
    }
    return n;
}

// Start of the character that ends just before `pos`.
qsizetype PrevChar(const QString& s, qsizetype pos) {
    return pos >= 2 && s[pos - 1].isLowSurrogate() && s[pos - 2].isHighSurrogate() ? pos - 2 : pos - 1;
}

QString Ansi(std::string_view ansi) { return QString::fromStdString(cp1250::ToUtf8(ansi)); }

}  // namespace

QString SmsTextToUi(std::string_view ansi) {
    QString s = Ansi(ansi);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

std::string SmsTextFromUi(const QString& text) {
    QString s = text;
    s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return cp1250::FromUtf8(s.toStdString());
}

// ------------------------------------------------------------------ editor frame

TFrmSMSEdit::TFrmSMSEdit(CAppUI& app, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFrmSMSEdit>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    ui->m_pTxtFor->setMaxLength(kRecipientsMax);
    connect(ui->m_pTxtText, &QPlainTextEdit::textChanged, this, &TFrmSMSEdit::TextChanged);
    connect(ui->m_pTxtFor, &QLineEdit::textChanged, this, &TFrmSMSEdit::UpdateButtons);
    connect(ui->m_pBtnSend, &QPushButton::clicked, this, &TFrmSMSEdit::SendClicked);
    connect(ui->m_pBtnSave, &QPushButton::clicked, this, &TFrmSMSEdit::SaveClicked);
    TextChanged();
}

TFrmSMSEdit::~TFrmSMSEdit() = default;

void TFrmSMSEdit::TextChanged() {
    if (m_bLimiting || m_bBinding) return;
    QPlainTextEdit* edit = ui->m_pTxtText;
    QString text = edit->toPlainText();
    // Until the user changes the bound text, the record's own bytes count:
    // the editor shows a lone CR or LF as a line break and 0xA0 as a space.
    if (m_bKeepText && text == m_boundText) {
        ui->m_pLblLen2->setText(QString::fromStdString(CSMS::CounterText(m_keptText.size())));
        UpdateButtons();
        return;
    }
    int len = StoredLen(text, 0, text.size());
    if (len > SMS_TEXT_MAX) {
        // As an edit with a length limit: what was typed or pasted last (just
        // before the cursor) is cut, then the end if that is not enough.
        QTextCursor c = edit->textCursor();
        qsizetype end = std::min<qsizetype>(c.position(), text.size());
        qsizetype start = end;
        int excess = len - SMS_TEXT_MAX;
        while (excess > 0 && start > 0) {
            qsizetype prev = PrevChar(text, start);
            excess -= StoredLen(text, prev, start);
            start = prev;
        }
        m_bLimiting = true;
        if (start < end) {
            c.setPosition(int(start));
            c.setPosition(int(end), QTextCursor::KeepAnchor);
            c.removeSelectedText();
        }
        if (excess > 0) {
            text = edit->toPlainText();
            qsizetype cut = text.size();
            while (excess > 0 && cut > 0) {
                qsizetype prev = PrevChar(text, cut);
                excess -= StoredLen(text, prev, cut);
                cut = prev;
            }
            QTextCursor tail(edit->document());
            tail.setPosition(int(cut));
            tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            tail.removeSelectedText();
        }
        m_bLimiting = false;
        text = edit->toPlainText();
        len = StoredLen(text, 0, text.size());
    }
    ui->m_pLblLen2->setText(QString::fromStdString(CSMS::CounterText(size_t(len))));
    UpdateButtons();
}

void TFrmSMSEdit::UpdateButtons() {
    const bool text = !ui->m_pTxtText->document()->isEmpty();
    const bool numbers = !ui->m_pTxtFor->text().isEmpty();
    ui->m_pBtnSend->setEnabled(text && numbers);
    ui->m_pBtnSave->setEnabled(text || numbers);
}

void TFrmSMSEdit::BindSMS(CSMS* sms, int index, bool fill) {
    m_pSMS = sms;
    m_nIndex = index;
    m_bKeepText = false;  // kept bytes belong to the record they came from
    if (!fill || !sms) return;
    m_bBinding = true;
    ui->m_pTxtText->setPlainText(SmsTextToUi(sms->GetText()));
    m_bBinding = false;
    m_keptText.assign(sms->GetText(), sms->GetTextLen());
    m_boundText = ui->m_pTxtText->toPlainText();
    m_bKeepText = true;
    TextChanged();
    // The limit is one on typing: a record's numbers are shown whole.
    cfgui::SetFittingText(ui->m_pTxtFor, Ansi(sms->JoinNumbers()), kRecipientsMax);
}

int TFrmSMSEdit::CollectSMS(bool requireNumber) {
    if (!m_pSMS) return 0;
    m_pSMS->SetTime(GetLocalTime());
    const QString text = ui->m_pTxtText->toPlainText();
    m_pSMS->SetText(m_bKeepText && text == m_boundText ? m_keptText : SmsTextFromUi(text));
    m_pSMS->ParseNumbers(cp1250::FromUtf8(ui->m_pTxtFor->text().toStdString()));
    if (requireNumber && m_pSMS->GetNumberCount() == 0) {
        m_app.MessageBox(LoadStr(IDS_NO_RECIPIENT), MbButtons::Ok, MbIcon::Exclamation);
        return 0;
    }
    return 1;
}

void TFrmSMSEdit::ClearFields() {
    m_bKeepText = false;
    ui->m_pTxtText->clear();
    cfgui::SetFittingText(ui->m_pTxtFor, QString(), kRecipientsMax);
}

void TFrmSMSEdit::SendClicked() {
    if (!CollectSMS(true)) return;
    CSMSMng& mng = m_app.Model().m_sms;
    const int index = m_pSMS->GetList() == SMS_LIST_TOSEND ? m_nIndex : mng.AddSMS(m_pSMS, SMS_LIST_TOSEND, false);
    if (index < 0) return;
    mng.SendSMS(SMS_ONE, index);
    ClearFields();
}

void TFrmSMSEdit::SaveClicked() {
    if (!CollectSMS(false)) return;
    if (m_pSMS->GetList() == SMS_LIST_TOSEND) return;  // edited in place
    if (m_app.Model().m_sms.AddSMS(m_pSMS, SMS_LIST_TOSEND, false) < 0) return;
    ClearFields();
}

// ------------------------------------------------------------------ list frame

TFrmSMSList::TFrmSMSList(CAppUI& app, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFrmSMSList>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    m_apViews[SMS_LIST_RECEIVED] = ui->m_pLsvSMS1;
    m_apViews[SMS_LIST_SENT] = ui->m_pLsvSMS2;
    m_apViews[SMS_LIST_TOSEND] = ui->m_pLsvSMS3;
    const int32_t* widths = m_app.Profile().wnd.smsColumnWidths;
    const CProfile defaults;
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        QTreeWidget* view = m_apViews[list];
        view->setRootIsDecorated(false);
        view->setItemsExpandable(false);
        view->setUniformRowHeights(true);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->header()->setStretchLastSection(false);
        for (int col = 0; col < 3; ++col) {
            // A profile from elsewhere may hold anything: a width no one could
            // use gets the default.
            int32_t w = widths[list * 3 + col];
            view->setColumnWidth(col, w > 0 && w <= 4000 ? w : defaults.wnd.smsColumnWidths[list * 3 + col]);
        }
        view->setVisible(false);
        view->installEventFilter(this);
        connect(view, &QTreeWidget::itemDoubleClicked, this, [this, view] {
            if (!view->selectedItems().isEmpty()) m_app.Model().m_sms.OpenSMS();
        });
    }
}

TFrmSMSList::~TFrmSMSList() = default;

QTreeWidget* TFrmSMSList::View(int list) const {
    return list >= 0 && list < SMS_LIST_COUNT ? m_apViews[list] : nullptr;
}

bool TFrmSMSList::eventFilter(QObject* watched, QEvent* e) {
    // The key press, not its release: Shift+Del and Ctrl+Del are the main
    // window's shortcuts and must not also act here when their key comes up.
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete) {
        auto* view = qobject_cast<QTreeWidget*>(watched);
        if (view && !view->selectedItems().isEmpty()) {
            m_app.Model().m_sms.DeleteSMS(SMS_SELECTED);
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TFrmSMSList::ShowList(int list) {
    if (list == m_nShown || !View(list)) return;
    View(list)->setVisible(true);
    if (QTreeWidget* old = View(m_nShown)) old->setVisible(false);
    m_nShown = list;
}

void TFrmSMSList::WriteRow(QTreeWidgetItem* item, const CSMS& sms) const {
    const char* number = sms.GetNumber(0);
    item->setText(0, number ? Ansi(number) : QString());
    // The first 160 characters, on one line.
    std::string_view text(sms.GetText(), std::min<size_t>(sms.GetTextLen(), SMS_SEGMENT_LEN));
    QString shown = Ansi(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
    item->setText(1, shown);
    item->setText(2, QString::fromStdString(sms.TimeText()));
    TFrmMain* main = m_app.MainWnd();
    item->setIcon(0, main ? main->Image(sms.IsNew() ? kImageNew : kImageOld) : QIcon());
}

void TFrmSMSList::FillLists() {
    const CSMSMng& mng = m_app.Model().m_sms;
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        m_apViews[list]->clear();
        for (int i = 0; i < mng.GetCount(list); ++i) InsertRow(list, *mng.Get(i, list));
    }
}

void TFrmSMSList::InsertRow(int list, const CSMS& sms) {
    QTreeWidget* view = View(list);
    if (!view) return;
    auto* item = new QTreeWidgetItem;
    WriteRow(item, sms);
    view->insertTopLevelItem(0, item);
}

void TFrmSMSList::UpdateRow(int list, int index, const CSMS& sms) {
    QTreeWidget* view = View(list);
    if (!view) return;
    const int row = view->topLevelItemCount() - 1 - index;
    if (index < 0 || row < 0) return;
    WriteRow(view->topLevelItem(row), sms);
}

void TFrmSMSList::DeleteRows(int list, const int* indices, int n) {
    QTreeWidget* view = View(list);
    if (!view || !indices) return;
    const int rows = view->topLevelItemCount();
    for (int i = 0; i < n; ++i) {
        const int row = rows - 1 - indices[i];
        // Ascending indices give descending rows: each target is still where it was.
        if (indices[i] < 0 || row < 0 || row >= view->topLevelItemCount()) continue;
        delete view->takeTopLevelItem(row);
    }
}

int TFrmSMSList::GetSelection(int* indices, int max) const {
    QTreeWidget* view = View(m_nShown);
    if (!view) return 0;
    const int rows = view->topLevelItemCount();
    int n = 0;
    // From the bottom row up: record indices come out ascending.
    for (int row = rows - 1; row >= 0; --row) {
        if (!view->topLevelItem(row)->isSelected()) continue;
        if (indices) {
            if (n >= max) break;
            indices[n] = rows - 1 - row;
        }
        ++n;
    }
    return n;
}

void TFrmSMSList::GetColumnWidths(int32_t* widths) const {
    for (int list = 0; list < SMS_LIST_COUNT; ++list)
        for (int col = 0; col < 3; ++col) widths[list * 3 + col] = m_apViews[list]->columnWidth(col);
}

// ------------------------------------------------------------------ panes

QWidget* CPaneSMSEdit::MakeFrame(QWidget* area) {
    m_pFrm = new TFrmSMSEdit(m_app, area);
    m_pFrm->BindSMS(&m_sms, -1, true);
    return m_pFrm;
}

QWidget* CPaneSMSList::MakeFrame(QWidget* area) { return m_pFrm = new TFrmSMSList(m_app, area); }

void CPaneSMSList::Load(int arg) {
    if (m_bDirty) m_pFrm->FillLists();
    BeginLoad(arg);
    m_pFrm->ShowList(m_nArg);
}

int CPaneSMSList::ShownList() const { return m_pFrm ? m_pFrm->Shown() : -1; }

int CPaneSMSList::GetSelection(int* indices, int max) const {
    return m_pFrm && !m_bDirty ? m_pFrm->GetSelection(indices, max) : 0;
}

void CPaneSMSList::InsertRow(int list, const CSMS& sms) {
    if (m_pFrm && !m_bDirty) m_pFrm->InsertRow(list, sms);
}

void CPaneSMSList::UpdateRow(int list, int index, const CSMS& sms) {
    if (m_pFrm && !m_bDirty) m_pFrm->UpdateRow(list, index, sms);
}

void CPaneSMSList::DeleteRows(int list, const int* indices, int n) {
    if (m_pFrm && !m_bDirty) m_pFrm->DeleteRows(list, indices, n);
}

void CPaneSMSList::GetColumnWidths(int32_t* widths) const {
    if (m_pFrm) m_pFrm->GetColumnWidths(widths);
}
