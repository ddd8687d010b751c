// The modem lists of the remote-access dialogs and the properties dialog of
// one modem: its name, where it is found, and what it answers to ATI.
#pragma once

#include <QDialog>

#include <memory>

class CTAPIMng;
class QListWidget;
struct ModemProps;

namespace Ui {
class TFrmModemProps;
}

// The modem names in the manager's order, so that a row is a modemIndex;
// `selected` is selected when it is one of them, else nothing is.
void FillModemList(QListWidget* list, const CTAPIMng& tapi, int selected);

class TFrmModemProps : public QDialog {
    Q_OBJECT
public:
    explicit TFrmModemProps(QWidget* parent);
    ~TFrmModemProps() override;
    // Shows what was found; `result` is the outcome of asking the modem.
    void Fill(const ModemProps& props, int result);

    std::unique_ptr<Ui::TFrmModemProps> ui;
};

// Asks modem `index` (waiting up to timeoutMs for its answer) and shows its
// properties modally. Nothing for an index that is no modem.
void ShowModemProps(QWidget* owner, CTAPIMng& tapi, int index, uint32_t timeoutMs = 2000);
