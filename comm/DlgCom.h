// The progress dialog: modal while the worker runs a request sequence; shows
// the operation, its progress and its errors, and cancels.
#pragma once

#include <QDialog>

#include <memory>

struct CComMsg;
class CAppUI;

namespace Ui {
class TFrmCom;
}

class TFrmCom : public QDialog {
    Q_OBJECT

public:
    TFrmCom(CAppUI& app, QWidget* parent);
    ~TFrmCom() override;

    // Shows the dialog modally until the sequence ends (event -1).
    void RunModal();
    // A progress record from the worker; marks it done afterwards.
    void HandleComMsg(CComMsg* msg);

    Ui::TFrmCom* Form() const { return ui.get(); }
    // Sequences that have ended since the start.
    int SequencesEnded() const { return m_ended; }

protected:
    void reject() override {}  // Escape and the window's close do not end a sequence
    void closeEvent(QCloseEvent* e) override;

private:
    void Cancel();

    CAppUI& m_app;
    std::unique_ptr<Ui::TFrmCom> ui;
    int m_started = 0;  // sequences begun (-1) and ended (record 6)
    int m_ended = 0;
    bool m_inModal = false;
};
