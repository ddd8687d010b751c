#include "app/Accessibility.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

void NameIfUnnamed(QWidget* w, const QString& name) {
    if (w->accessibleName().isEmpty() && !name.isEmpty()) w->setAccessibleName(name);
}

}  // namespace

QString PlainCaption(QString text) { return text.remove(QLatin1Char('&')).trimmed(); }

void NameControls(QWidget* root) {
    for (QLabel* label : root->findChildren<QLabel*>()) {
        QWidget* buddy = label->buddy();
        if (!buddy) continue;
        // A label that shows a value is read by its value; its caption
        // describes it.
        if (qobject_cast<QLabel*>(buddy)) {
            if (buddy->accessibleDescription().isEmpty()) buddy->setAccessibleDescription(PlainCaption(label->text()));
            continue;
        }
        NameIfUnnamed(buddy, PlainCaption(label->text()));
    }
    // The edit of an editable combo box is where the user types: it goes by
    // the combo's caption.
    for (QComboBox* combo : root->findChildren<QComboBox*>())
        if (QLineEdit* edit = combo->lineEdit()) NameIfUnnamed(edit, combo->accessibleName());
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>())
        NameIfUnnamed(button, PlainCaption(button->text()));
    for (QGroupBox* group : root->findChildren<QGroupBox*>()) NameIfUnnamed(group, PlainCaption(group->title()));
}
