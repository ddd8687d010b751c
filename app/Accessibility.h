// Screen readers and test robots find controls by what the user reads: each
// input gets the caption of its buddy label, each button, check box, radio
// and group its own caption, as accessible name.
#pragma once

class QString;
class QWidget;

void NameControls(QWidget* root);
// A caption as the user reads it: without its mnemonic marks.
QString PlainCaption(QString text);
