#include "config/PaneCallEnDirs.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/Strings.h"
#include "app/Vantrix.h"
#include "config/DlgSetEnDir.h"
#include "ui_PaneCallEnDirs.h"

TFrmCallEnDirs::TFrmCallEnDirs(CAppUI& app, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFrmCallEnDirs>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    ui->m_pLsvEnDirs->header()->setStretchLastSection(true);
    connect(ui->m_pLsvEnDirs, &QTreeWidget::itemSelectionChanged, this, &TFrmCallEnDirs::m_pLsvEnDirsSelectItem);
    connect(ui->m_pLsvEnDirs, &QTreeWidget::itemDoubleClicked, this, &TFrmCallEnDirs::m_pBtnSetClick);
    connect(ui->m_pBtnSet, &QPushButton::clicked, this, &TFrmCallEnDirs::m_pBtnSetClick);
    connect(ui->m_pBtnDel, &QPushButton::clicked, this, &TFrmCallEnDirs::m_pBtnDelClick);
}

TFrmCallEnDirs::~TFrmCallEnDirs() = default;

void TFrmCallEnDirs::FillRow(int slot, const QString& yes, const QString& no) {
    const CallRec& c = m_app.Model().m_cfg.GetData()->call;
    QTreeWidgetItem* item = ui->m_pLsvEnDirs->topLevelItem(slot);
    const uint8_t sim = c.direction_sim[slot];
    const QString prefix = cfgui::FieldText(c.directions[slot]);
    item->setText(0, sim == 0 || sim == 1 ? yes : no);
    item->setText(1, sim == 0 || sim == 2 ? yes : no);
    item->setText(2, prefix.isEmpty() ? QStringLiteral("-") : prefix);
}

void TFrmCallEnDirs::Refresh(int slot) {
    const QString yes = QString::fromUtf8(LoadStr(IDS_YES));
    const QString no = QString::fromUtf8(LoadStr(IDS_NO));
    QTreeWidget* list = ui->m_pLsvEnDirs;
    if (list->topLevelItemCount() == 0) {
        for (int i = 0; i < kSlots; ++i) {
            auto* item = new QTreeWidgetItem(list);
            item->setTextAlignment(0, Qt::AlignCenter);
            item->setTextAlignment(1, Qt::AlignCenter);
        }
    }
    for (int i = 0; i < kSlots; ++i)
        if (slot < 0 || slot == i) FillRow(i, yes, no);
}

int TFrmCallEnDirs::SelectedSlot() const { return cfgui::SelectedRow(ui->m_pLsvEnDirs); }

void TFrmCallEnDirs::m_pLsvEnDirsSelectItem() {
    const bool any = SelectedSlot() >= 0;
    ui->m_pBtnSet->setEnabled(any);
    ui->m_pBtnDel->setEnabled(any);
}

void TFrmCallEnDirs::m_pBtnSetClick() {
    const int slot = SelectedSlot();
    if (slot < 0) return;
    if (!m_pDlg) m_pDlg = new TFrmSetEnDir(m_app, this);
    m_pDlg->Prepare(slot);
    if (m_pDlg->exec() != QDialog::Accepted) return;
    Refresh(slot);
    m_app.Model().m_cfg.SetModified();
}

void TFrmCallEnDirs::m_pBtnDelClick() {
    const int slot = SelectedSlot();
    if (slot < 0) return;
    CallRec& c = m_app.Model().m_cfg.GetData()->call;
    cfgui::StoreText(c.directions[slot], QString());
    c.direction_sim[slot] = 0;
    Refresh(slot);
    m_app.Model().m_cfg.SetModified();
}

QWidget* CPaneCallEnDirs::MakeFrame(QWidget* area) { return m_pFrm = new TFrmCallEnDirs(m_app, area); }

void CPaneCallEnDirs::Load(int arg) {
    BeginLoad(arg);
    m_pFrm->Refresh();
}
