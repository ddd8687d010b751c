// "Připojení": the number and PIN of one remote connection.
#pragma once

#include <QDialog>

#include <memory>

struct CConnectDsc;

namespace Ui {
class TFrmConnectItem;
}

class TFrmConnectItem : public QDialog {
    Q_OBJECT
public:
    explicit TFrmConnectItem(QWidget* parent);
    ~TFrmConnectItem() override;
    // Edits the descriptor modally; with lockNumber only the PIN can change.
    // 1 (Ok: both texts copied into the descriptor) or 2 (Cancel).
    int Edit(CConnectDsc& dsc, bool lockNumber);

    std::unique_ptr<Ui::TFrmConnectItem> ui;

private:
    void UpdateOk();
};
