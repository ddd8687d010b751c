#include "app/About.h"

#include "ui_About.h"

TFrmAbout::TFrmAbout(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TFrmAbout>()) { ui->setupUi(this); }

TFrmAbout::~TFrmAbout() = default;
