#include "config/PaneRenum.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "app/Accessibility.h"
#include "app/AppUIQt.h"
#include "app/Strings.h"
#include "app/Vantrix.h"
#include "config/DlgRenum.h"
#include "ui_PaneRenum.h"

namespace {

constexpr uint8_t kModeEmpty = 255;

}  // namespace

TFrmRenum::TFrmRenum(CAppUI& app, CPaneRenum& pane, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFrmRenum>()), m_app(app) {
    ui->setupUi(this);
    NameControls(this);
    ui->iLsvRenum->header()->setStretchLastSection(true);
    cfgui::Track(ui->iUDPDDelay);
    cfgui::Track(ui->iUDPDWidth);
    // The DTMF timing reports its edits like every other control.
    cfgui::ConnectEdits(this, [&pane] { pane.OnDataChange(); });
    connect(ui->iLsvRenum, &QTreeWidget::itemSelectionChanged, this, &TFrmRenum::iLsvRenumSelectItem);
    connect(ui->iLsvRenum, &QTreeWidget::itemDoubleClicked, this, &TFrmRenum::iBtnSetClick);
    connect(ui->iBtnSet, &QPushButton::clicked, this, &TFrmRenum::iBtnSetClick);
    connect(ui->iBtnDel, &QPushButton::clicked, this, &TFrmRenum::iBtnDelClick);
}

TFrmRenum::~TFrmRenum() = default;

void TFrmRenum::Refresh(int entry) {
    QTreeWidget* list = ui->iLsvRenum;
    if (list->topLevelItemCount() == 0) {
        for (int i = 0; i < kEntries; ++i) {
            auto* item = new QTreeWidgetItem(list);
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    const RenumBlock& r = m_app.Model().m_cfg.GetData()->renum;
    for (int i = 0; i < kEntries; ++i) {
        if (entry >= 0 && entry != i) continue;
        const RenumEntry& e = r.entries[i];
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (e.mode == kModeEmpty) {
            for (int col = 0; col < 3; ++col) item->setText(col, QStringLiteral("-"));
            continue;
        }
        item->setText(0, cfgui::FieldText(e.input_prefix));
        item->setText(1, cfgui::FieldText(e.result));
        // A mode the device does not define shows its number.
        item->setText(2, e.mode == 0   ? QString::fromUtf8(LoadStr(IDS_RENUM_SUBST))
                         : e.mode == 1 ? QString::fromUtf8(LoadStr(IDS_RENUM_ADD))
                                       : QString::number(e.mode));
    }
}

int TFrmRenum::SelectedEntry() const { return cfgui::SelectedRow(ui->iLsvRenum); }

void TFrmRenum::iLsvRenumSelectItem() {
    const bool any = SelectedEntry() >= 0;
    ui->iBtnSet->setEnabled(any);
    ui->iBtnDel->setEnabled(any);
}

void TFrmRenum::iBtnSetClick() {
    const int entry = SelectedEntry();
    if (entry < 0) return;
    if (!m_pDlg) m_pDlg = new TFrmRenumItem(m_app, this);
    m_pDlg->Prepare(entry);
    if (m_pDlg->exec() != QDialog::Accepted) return;
    Refresh(entry);
    m_app.Model().m_cfg.SetModified();
}

void TFrmRenum::iBtnDelClick() {
    const int entry = SelectedEntry();
    if (entry < 0) return;
    RenumEntry& e = m_app.Model().m_cfg.GetData()->renum.entries[entry];
    cfgui::StoreText(e.input_prefix, QString());
    cfgui::StoreText(e.result, QString());
    e.mode = kModeEmpty;
    Refresh(entry);
    m_app.Model().m_cfg.SetModified();
}

QWidget* CPaneRenum::MakeFrame(QWidget* area) { return m_pFrm = new TFrmRenum(m_app, *this, area); }

void CPaneRenum::Load(int arg) {
    BeginLoad(arg);
    const RenumBlock& r = Img().renum;
    auto& u = *m_pFrm->ui;
    u.iChbEnable->setChecked(r.enabled == 1);
    cfgui::LoadByte(u.iUDPDDelay, r.dtmf_delay);
    cfgui::LoadByte(u.iUDPDWidth, r.dtmf_length);
    m_pFrm->Refresh();
}

void CPaneRenum::Save() {
    RenumBlock& r = Img().renum;
    auto& u = *m_pFrm->ui;
    r.enabled = u.iChbEnable->isChecked() ? 1 : 0;
    cfgui::StoreByte(u.iUDPDDelay, r.dtmf_delay);
    cfgui::StoreByte(u.iUDPDWidth, r.dtmf_length);
}
