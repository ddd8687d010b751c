#include "app/MsgBox.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

namespace msgbox {
namespace {

Answerer& TheAnswerer() {
    static Answerer answerer;
    return answerer;
}

FileAnswerer& TheFileAnswerer() {
    static FileAnswerer answerer;
    return answerer;
}

// "text|*.cfg|text|*.*" as Qt writes it: "text (*.cfg);;text (*)".
QString QtFilter(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1] == QLatin1String("*.*") ? QStringLiteral("*") : parts[i + 1];
        QString text = parts[i];
        out << (text.contains(QLatin1Char('(')) ? text.left(text.indexOf(QLatin1Char('('))).trimmed() : text) +
                   QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return out.join(QStringLiteral(";;"));
}

QString RunFileDialog(QWidget* parent, bool save, const QString& filter, const QString& defExt) {
    if (TheFileAnswerer()) return TheFileAnswerer()(save, filter, defExt);
    if (Unattended()) return {};
    QFileDialog dlg(parent);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dlg.setNameFilter(QtFilter(filter));
    dlg.setDefaultSuffix(defExt);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().first();
}

bool& TheUnattended() {
    static bool unattended = false;
    return unattended;
}

int UnattendedAnswer(MbButtons buttons) { return buttons == MbButtons::Ok ? IDOK : IDNO; }

}  // namespace

void SetAnswerer(Answerer answerer) { TheAnswerer() = std::move(answerer); }
void SetUnattended() { TheUnattended() = true; }
bool Unattended() { return TheUnattended(); }
void SetFileAnswerer(FileAnswerer answerer) { TheFileAnswerer() = std::move(answerer); }

QString OpenFile(QWidget* parent, const QString& filter, const QString& defExt) {
    return RunFileDialog(parent, false, filter, defExt);
}

QString SaveFile(QWidget* parent, const QString& filter, const QString& defExt) {
    return RunFileDialog(parent, true, filter, defExt);
}

int Show(QWidget* parent, const QString& text, MbButtons buttons, MbIcon icon, const QString& caption) {
    if (TheAnswerer()) return TheAnswerer()(text, buttons, icon, caption);
    if (Unattended()) return UnattendedAnswer(buttons);

    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (icon) {
    case MbIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MbIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MbIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MbIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    QAbstractButton *yes = nullptr, *no = nullptr, *cancel = nullptr;
    switch (buttons) {
    case MbButtons::Ok: box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole); break;
    case MbButtons::YesNo:
        yes = box.addButton(QStringLiteral("Ano"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("Ne"), QMessageBox::NoRole);
        break;
    case MbButtons::YesNoCancel:
        yes = box.addButton(QStringLiteral("Ano"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("Ne"), QMessageBox::NoRole);
        cancel = box.addButton(QStringLiteral("Storno"), QMessageBox::RejectRole);
        break;
    }
    box.exec();
    if (Unattended()) return UnattendedAnswer(buttons);  // closed as the session ended
    QAbstractButton* clicked = box.clickedButton();
    if (buttons == MbButtons::Ok) return IDOK;
    if (clicked == yes) return IDYES;
    if (clicked == no) return IDNO;
    if (clicked == cancel || buttons == MbButtons::YesNoCancel) return IDCANCEL;
    return IDNO;  // Yes/No closed otherwise
}

}  // namespace msgbox
