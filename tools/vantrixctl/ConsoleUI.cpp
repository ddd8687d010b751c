#include "tools/vantrixctl/ConsoleUI.h"

#include <cstdio>

int ConsoleUI::MessageBox(const std::string& text, MbButtons buttons, MbIcon, const std::string&) {
    // Only what is not a question is worth printing; questions get the answer
    // that changes nothing (No).
    if (buttons == MbButtons::Ok) {
        m_loop.Send([&] { std::fprintf(stderr, "%s\n", text.c_str()); });
        return IDOK;
    }
    return IDNO;
}
