// Screen readers and test robots find controls by what the user reads: each
// input gets the caption of its buddy label, each button, check box, radio
// and group its own caption, as accessible name.
#pragma once

class QWidget;

void NameControls(QWidget* root);
