// The writer's choice between the bytes and the console, and the progress line drawn with escape sequences or,
// where a console does not act on them, overwritten with spaces.
#include "app/ConsoleOut.h"

#include <cerrno>
#include <cstdarg>
#include <string>

namespace {

constexpr std::string_view kEraseLine = "\r\033[K";

// Characters, not bytes: what a line of Czech text takes on the screen.
size_t Width(std::string_view utf8) {
    size_t n = 0;
    for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string Format(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    std::string text(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
    va_end(again);
    return text;
}

}  // namespace

CConsoleWriter::CConsoleWriter(std::FILE* stream, std::unique_ptr<IConsole> console, bool terminal)
    : m_stream(stream), m_console(std::move(console)), m_terminal(terminal) {}

bool CConsoleWriter::Write(std::string_view utf8) {
    m_shownWidth = 0;
    if (m_console) {
        // Whatever went through the stream itself comes first.
        if (std::fflush(m_stream) != 0) return false;
        return m_console->Write(utf8);
    }
    errno = 0;
    if (std::fwrite(utf8.data(), 1, utf8.size(), m_stream) == utf8.size()) return true;
    if (errno == 0) errno = EIO;
    return false;
}

bool CConsoleWriter::Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    return Write(text);
}

bool CConsoleWriter::Escapes() {
    // A terminal of POSIX acts on them; a console is asked once.
    if (m_escapes < 0) m_escapes = !m_console || m_console->EnableEscapes();
    return m_escapes != 0;
}

void CConsoleWriter::ShowLine(std::string_view text) {
    if (!m_terminal) return;
    const size_t width = Width(text);
    if (Escapes())
        Write(std::string(kEraseLine).append(text));
    else
        Write(std::string("\r").append(text).append(m_shownWidth > width ? m_shownWidth - width : 0, ' '));
    m_shownWidth = width;
    std::fflush(m_stream);
}

void CConsoleWriter::ClearLine() {
    if (!m_terminal) return;
    if (Escapes())
        Write(kEraseLine);
    else if (m_shownWidth > 0)
        Write('\r' + std::string(m_shownWidth, ' ') + '\r');
    std::fflush(m_stream);
}

CConsoleWriter& StdoutWriter() {
    static CConsoleWriter writer(stdout, ConsoleOf(stdout), IsTerminal(stdout));
    return writer;
}

CConsoleWriter& StderrWriter() {
    static CConsoleWriter writer(stderr, ConsoleOf(stderr), IsTerminal(stderr));
    return writer;
}

bool ConsoleWrite(std::FILE* stream, std::string_view utf8) {
    if (stream == stdout) return StdoutWriter().Write(utf8);
    if (stream == stderr) return StderrWriter().Write(utf8);
    return CConsoleWriter(stream, nullptr, false).Write(utf8);
}

bool ConsolePrintf(std::FILE* stream, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = Format(format, args);
    va_end(args);
    return ConsoleWrite(stream, text);
}
