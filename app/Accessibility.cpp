#include "app/Accessibility.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

namespace {

QString Plain(QString text) { return text.remove(QLatin1Char('&')).trimmed(); }

void NameIfUnnamed(QWidget* w, const QString& name) {
    if (w->accessibleName().isEmpty() && !name.isEmpty()) w->setAccessibleName(name);
}

}  // namespace

void NameControls(QWidget* root) {
    for (QLabel* label : root->findChildren<QLabel*>())
        if (label->buddy()) NameIfUnnamed(label->buddy(), Plain(label->text()));
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) NameIfUnnamed(button, Plain(button->text()));
    for (QGroupBox* group : root->findChildren<QGroupBox*>()) NameIfUnnamed(group, Plain(group->title()));
}
