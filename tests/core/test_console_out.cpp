// The console writer with a stand-in for a Windows console: the progress line must be redrawn where a console will
// not act on "\033[K" (older Windows), by characters and not bytes of Czech text, and nothing meant for the console
// may reach the stream's bytes.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "app/ConsoleOut.h"

namespace {

class FakeConsole : public IConsole {
public:
    explicit FakeConsole(bool escapes, bool writes = true) : m_escapes(escapes), m_writes(writes) {}
    bool Write(std::string_view utf8) override {
        if (!m_writes) errno = EIO;
        if (m_writes) text += utf8;
        return m_writes;
    }
    bool EnableEscapes() override {
        ++asked;
        return m_escapes;
    }

    std::string text;
    int asked = 0;

private:
    bool m_escapes, m_writes;
};

// What reached the stream's own bytes.
std::string StreamBytes(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string bytes;
    for (int c; (c = std::fgetc(f)) != EOF;) bytes += char(c);
    return bytes;
}

struct Writer {
    explicit Writer(FakeConsole* c, bool terminal = true)
        : console(c), writer(file, std::unique_ptr<IConsole>(c), terminal) {}
    ~Writer() { std::fclose(file); }
    std::FILE* file = std::tmpfile();
    FakeConsole* console;
    CConsoleWriter writer;
};

}  // namespace

TEST(ConsoleOut, ProgressLineWithoutEscapesIsOverwrittenWithSpaces) {
    Writer w(new FakeConsole(false));
    w.writer.ShowLine("Čtení konfigurace 10/100");  // 24 characters in 26 bytes
    w.writer.ShowLine("Zápis 1/2");
    w.writer.ClearLine();
    EXPECT_EQ(w.console->text,
              "\rČtení konfigurace 10/100"
              "\rZápis 1/2" +
                  std::string(15, ' ') + "\r" + std::string(9, ' ') + "\r");
    EXPECT_EQ(w.console->asked, 1);
    // A message after the line starts a line of its own, which the end of the sequence leaves alone.
    w.console->text.clear();
    w.writer.ShowLine("Čtení stavu 0/1");
    w.writer.Write("\nDošlo k chybě\n");
    w.writer.ClearLine();
    EXPECT_EQ(w.console->text, "\rČtení stavu 0/1\nDošlo k chybě\n");
    EXPECT_EQ(StreamBytes(w.file), "");
}

TEST(ConsoleOut, ConsoleWithEscapesGetsTheLineAsATerminalDoes) {
    Writer w(new FakeConsole(true));
    w.writer.ShowLine("Čtení stavu 0/1");
    w.writer.ShowLine("Čtení stavu 1/1");
    w.writer.ClearLine();
    EXPECT_EQ(w.console->text, "\r\033[KČtení stavu 0/1\r\033[KČtení stavu 1/1\r\033[K");
    EXPECT_EQ(w.console->asked, 1);
    EXPECT_EQ(StreamBytes(w.file), "");
}

// A stream that no one watches (a file, a pipe) gets the text's bytes and no progress line; a console that does not
// take the text is a failed write, which vantrixctl reports with status 74.
TEST(ConsoleOut, RedirectedStreamKeepsTheBytesAndAFailedConsoleWriteIsAFailure) {
    Writer plain(nullptr, false);
    plain.writer.ShowLine("Čtení stavu 0/1");
    EXPECT_TRUE(plain.writer.Write("{\"text\": \"Přijď v 5\"}\n"));
    plain.writer.ClearLine();
    EXPECT_EQ(StreamBytes(plain.file), "{\"text\": \"Přijď v 5\"}\n");

    Writer broken(new FakeConsole(true, false));
    errno = 0;
    EXPECT_FALSE(broken.writer.Write("Přijď v 5\n"));
    EXPECT_NE(errno, 0);
}
