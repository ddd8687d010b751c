#include "app/EndSignals.h"

#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler may only write: the UI thread reads the other end.
int g_signalFds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

void OnSignal(int sig) {
    const int saved = errno;
    const char b = char(sig);
    (void)!::write(g_signalFds[0], &b, 1);
    errno = saved;
}

}  // namespace

CEndSignals::CEndSignals(std::function<void()> onEnd, QObject* parent) : QObject(parent), m_onEnd(std::move(onEnd)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalFds) != 0) return;
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : kSignals) ::sigaction(sig, &sa, nullptr);
    m_notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(g_signalFds[1], buf, sizeof buf) > 0) {}
        if (m_onEnd) m_onEnd();
    });
}

CEndSignals::~CEndSignals() {
    if (!m_notifier) return;
    struct sigaction sa = {};
    sa.sa_handler = SIG_DFL;
    for (int sig : kSignals) ::sigaction(sig, &sa, nullptr);
    delete m_notifier;
    ::close(g_signalFds[0]);
    ::close(g_signalFds[1]);
    g_signalFds[0] = g_signalFds[1] = -1;
}
