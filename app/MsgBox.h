// Every message box of the desktop program goes through here: the caption,
// the icon and the buttons as the core asks for them. Tests install an
// answerer instead of clicking.
#pragma once

#include <QString>

#include <functional>

#include "app/AppUI.h"

class QWidget;

namespace msgbox {

using Answerer = std::function<int(const QString& text, MbButtons buttons, MbIcon icon, const QString& caption)>;

// Shows the box modally and returns IDOK, IDCANCEL, IDYES or IDNO.
int Show(QWidget* parent, const QString& text, MbButtons buttons, MbIcon icon,
         const QString& caption = QString::fromUtf8(kAppCaption));

// With an answerer set, no box is shown: the answerer gives the result.
void SetAnswerer(Answerer answerer);

// While the program ends with nobody to answer (the session ends), no box is
// shown, and one that is open gives the same answer: the one that changes
// nothing and stops nothing (OK; No to Yes/No and to Yes/No/Cancel).
void SetUnattended();
bool Unattended();

// The open and save dialogs. `filter` is "text|pattern|text|pattern"; the
// result is the chosen path, empty when cancelled.
QString OpenFile(QWidget* parent, const QString& filter, const QString& defExt);
QString SaveFile(QWidget* parent, const QString& filter, const QString& defExt);

// With a file answerer set, no dialog is shown.
using FileAnswerer = std::function<QString(bool save, const QString& filter, const QString& defExt)>;
void SetFileAnswerer(FileAnswerer answerer);

}  // namespace msgbox
