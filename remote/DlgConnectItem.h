// "Připojení": the number and PIN of one remote connection.
#pragma once

#include <QDialog>

struct CConnectDsc;

class TFrmConnectItem : public QDialog {
    Q_OBJECT
public:
    explicit TFrmConnectItem(QWidget* parent);
    // Edits the descriptor modally; with lockNumber only the PIN can change.
    // 1 (Ok: both texts copied into the descriptor) or 2 (Cancel).
    int Edit(CConnectDsc& dsc, bool lockNumber);
};
