// Text for the user on standard output and standard error, in UTF-8 as every text inside the programs. A file or a
// pipe gets the bytes as they are; a Windows console gets them through its wide call, as it would show bytes in its
// own code page (ConsoleOut_posix.cpp, ConsoleOut_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string_view>

// A console behind a stream, as the writer needs it; the tests give a stand-in.
class IConsole {
public:
    virtual ~IConsole() = default;
    // Writes all of the UTF-8 text; false with errno set when the console did not take it.
    virtual bool Write(std::string_view utf8) = 0;
    // Makes the console act on escape sequences such as "\033[K"; false where it will not.
    virtual bool EnableEscapes() = 0;
};

class CConsoleWriter {
public:
    // Without `console` the stream gets the bytes; `terminal`: a person watches it, a progress line is worth drawing.
    CConsoleWriter(std::FILE* stream, std::unique_ptr<IConsole> console, bool terminal);

    // The whole text, or false with errno set. The stream is not flushed: who needs that flushes it.
    bool Write(std::string_view utf8);
    bool Printf(const char* format, ...) __attribute__((format(printf, 2, 3)));

    bool Terminal() const { return m_terminal; }
    // The progress line: `text` in place of the line shown before, or an empty line with the cursor at its start.
    // Nothing without a terminal.
    void ShowLine(std::string_view text);
    void ClearLine();

private:
    bool Escapes();

    std::FILE* m_stream;
    std::unique_ptr<IConsole> m_console;
    bool m_terminal;
    int m_escapes = -1;       // whether the console acts on escape sequences; -1 not asked yet
    size_t m_shownWidth = 0;  // characters of the progress line, overwritten where escapes do not work
};

// The writers of standard output and standard error.
CConsoleWriter& StdoutWriter();
CConsoleWriter& StderrWriter();

// Text on `stream` through its writer: that of stdout or stderr, any other stream byte for byte.
bool ConsoleWrite(std::FILE* stream, std::string_view utf8);
bool ConsolePrintf(std::FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The platform's part: the console behind `stream`, null for a file, a pipe or a POSIX terminal (which takes the
// bytes), and whether a person watches the stream.
std::unique_ptr<IConsole> ConsoleOf(std::FILE* stream);
bool IsTerminal(std::FILE* stream);
