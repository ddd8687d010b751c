// The About box.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TFrmAbout;
}

class TFrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAbout(QWidget* parent);
    ~TFrmAbout() override;

private:
    std::unique_ptr<Ui::TFrmAbout> ui;
};
