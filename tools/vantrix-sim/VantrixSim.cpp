#include "tools/vantrix-sim/VantrixSim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "app/FileIO.h"
#include "app/LocalTime.h"
#include "comm/SerCom.h"

namespace {

// A speed outside the table: it never matches the listening speed.
constexpr uint32_t kOddSpeed = 0xFFFFFFFF;
// The longest the server sleeps, so that stages can act on time.
constexpr int kTurnMs = 50;
// How often a closed slave side is looked at again.
constexpr int kHupPollMs = 20;

int64_t NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Ten bits per byte on an 8N1 line.
int64_t ByteUs(uint32_t baud) { return baud == 0 || baud == kOddSpeed ? 0 : int64_t(10'000'000) / baud; }

}  // namespace

CVantrixSim::CVantrixSim(Options o, std::mutex* lock) : m_mutex(lock ? *lock : m_ownMutex), m_device(std::move(o)) {}

CVantrixSim::~CVantrixSim() { Stop(); }

bool CVantrixSim::Start() {
    if (m_running) return true;
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0) {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
        return false;
    }
    m_slavePath = name;
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    // The slave starts raw at the device's speed, so that a plain program
    // (or a PC that never sets the speed) can talk to it.
    struct termios t;
    if (::tcgetattr(m_master, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        uint32_t speed = BaudConstant(m_device.Options().speed);
        if (speed) ::cfsetspeed(&t, speed_t(speed));
        ::tcsetattr(m_master, TCSANOW, &t);
    }

    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) {
        ::close(m_master);
        m_master = -1;
        return false;
    }
    if (!m_front) m_front = &m_device;
    m_hup = false;
    m_running = true;
    m_thread = std::thread(&CVantrixSim::Serve, this);
    return true;
}

void CVantrixSim::Stop() {
    if (!m_running) return;
    uint64_t one = 1;
    while (::write(m_wake, &one, sizeof one) < 0 && errno == EINTR) {}
    m_thread.join();
    ::close(m_wake);
    ::close(m_master);
    m_wake = m_master = -1;
    m_running = false;
}

void CVantrixSim::Serve() {
    while (true) {
        if (m_hup) {
            // The PC has closed its side; look again a little later.
            struct pollfd w = {m_wake, POLLIN, 0};
            if (::poll(&w, 1, kHupPollMs) > 0) return;
            struct pollfd m = {m_master, POLLIN, 0};
            ::poll(&m, 1, 0);
            if ((m.revents & POLLHUP) && !(m.revents & POLLIN)) {
                std::lock_guard lock(m_mutex);
                m_front->Idle(m_line);
                continue;
            }
            m_hup = false;
        }

        int64_t now = NowUs();
        int timeout = kTurnMs;
        {
            std::lock_guard lock(m_mutex);
            const int64_t due = m_front->NextDueMs();
            if (due >= 0) timeout = int(std::clamp<int64_t>(due - SteadyMs(), 0, kTurnMs));
        }
        bool writeNow = false;
        if (!m_outDue.empty()) {
            int64_t wait = m_outDue.front() - now;
            writeNow = wait <= 0;
            if (!writeNow) timeout = int(std::min<int64_t>(timeout, (wait + 999) / 1000));
        }
        struct pollfd fds[2] = {
            {m_master, short(POLLIN | (writeNow ? POLLOUT : 0)), 0},
            {m_wake, POLLIN, 0},
        };
        int p = ::poll(fds, 2, writeNow ? kTurnMs : timeout);
        if (p < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) return;
        if (fds[0].revents & POLLIN)
            ReadFromPc();
        else if (fds[0].revents & POLLHUP)
            LineClosed();
        {
            std::lock_guard lock(m_mutex);
            TakePaceBaud();
            m_front->Idle(m_line);
        }
        if (!m_hup) WriteDue();
    }
}

void CVantrixSim::LineClosed() {
    m_hup = true;
    m_out.clear();
    m_outDue.clear();
    std::lock_guard lock(m_mutex);
    m_front->LineClosed(m_line);
}

void CVantrixSim::ReadFromPc() {
    uint8_t buf[4096];
    ssize_t r = ::read(m_master, buf, sizeof buf);
    if (r < 0) {
        if (errno == EIO) LineClosed();
        return;
    }
    if (r == 0) return;
    // On Linux the master reports the settings the PC made on the slave.
    uint32_t baud = kOddSpeed;
    struct termios t;
    if (::tcgetattr(m_master, &t) == 0) {
        uint32_t b = BaudFromConstant(uint32_t(::cfgetospeed(&t)));
        if (b) baud = b;
    }
    m_baud = baud;
    int64_t now = NowUs();
    std::lock_guard lock(m_mutex);
    TakePaceBaud();
    m_rxFreeUs = std::max(m_rxFreeUs, now) + int64_t(r) * ByteUs(m_paceBaud);
    m_front->Receive(buf, size_t(r), baud, m_line);
}

void CVantrixSim::TakePaceBaud() {
    // Called under the lock, outside the front's calls.
    const uint32_t far = m_front->PaceBaud();
    m_paceBaud = far > 0 && (m_baud == 0 || m_baud == kOddSpeed || far < m_baud) ? far : m_baud;
}

void CVantrixSim::Line::Send(const uint8_t* p, size_t n) {
    // Called by the stages on the server thread, under the lock.
    CVantrixSim& s = m_sim;
    int64_t byteUs = s.m_device.Options().pace ? ByteUs(s.m_paceBaud) : 0;
    int64_t at = 0;
    if (byteUs > 0) {
        // Not before the request could have crossed the line, then at the
        // line's byte rate.
        at = std::max({NowUs(), s.m_rxFreeUs, s.m_txNextUs});
        s.m_txNextUs = at + int64_t(n) * byteUs;
    }
    for (size_t i = 0; i < n; ++i) {
        s.m_out.push_back(p[i]);
        s.m_outDue.push_back(byteUs > 0 ? at + int64_t(i + 1) * byteUs : 0);
    }
}

void CVantrixSim::WriteDue() {
    int64_t now = NowUs();
    size_t due = 0;
    while (due < m_outDue.size() && m_outDue[due] <= now) ++due;
    while (due > 0) {
        uint8_t chunk[1024];
        size_t n = std::min(due, sizeof chunk);
        std::copy(m_out.begin(), m_out.begin() + ptrdiff_t(n), chunk);
        ssize_t w = ::write(m_master, chunk, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;  // full: later
        m_out.erase(m_out.begin(), m_out.begin() + w);
        m_outDue.erase(m_outDue.begin(), m_outDue.begin() + w);
        due -= size_t(w);
    }
}

nlohmann::json CVantrixSim::State() const {
    std::lock_guard lock(m_mutex);
    return m_device.State();
}

bool CVantrixSim::SetState(const nlohmann::json& j, std::string* error) {
    std::lock_guard lock(m_mutex);
    return m_device.SetState(j, error);
}

bool CVantrixSim::Load(std::string* error) {
    std::string path;
    {
        std::lock_guard lock(m_mutex);
        path = m_device.Options().statePath;
    }
    if (path.empty() || !FileExists(path)) return true;
    CInFile in(path);
    std::string text;
    char buf[4096];
    size_t n;
    while (in.IsOpen() && (n = in.Read(buf, sizeof buf)) > 0) text.append(buf, n);
    if (!in.IsOpen() || in.Failed()) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded()) {
        if (error) *error = path + " is not JSON";
        return false;
    }
    std::string why;
    if (!SetState(j, &why)) {
        if (error) *error = path + ": " + why;
        return false;
    }
    return true;
}

bool CVantrixSim::Save(std::string* error) const {
    std::string path;
    {
        std::lock_guard lock(m_mutex);
        path = m_device.Options().statePath;
    }
    if (path.empty()) return true;
    return SaveTo(path, error);
}

bool CVantrixSim::SaveTo(const std::string& path, std::string* error) const {
    std::string text = State().dump(2) + "\n";
    if (WriteFileAtomic(path, text.data(), text.size())) return true;
    if (error) *error = "cannot write " + path;
    return false;
}

void CVantrixSim::SetNextAtAnswer(std::string raw) {
    std::lock_guard lock(m_mutex);
    m_device.SetNextAtAnswer(std::move(raw));
}

SimStats CVantrixSim::Stats() const {
    std::lock_guard lock(m_mutex);
    return m_device.Stats();
}

void CVantrixSim::ResetStats() {
    std::lock_guard lock(m_mutex);
    m_device.ResetStats();
}

uint32_t CVantrixSim::ListenSpeed() const {
    std::lock_guard lock(m_mutex);
    return m_device.ListenSpeed();
}

bool CVantrixSim::LinkOpen() const {
    std::lock_guard lock(m_mutex);
    return m_device.LinkOpen();
}

void CVantrixSim::Release() {
    std::lock_guard lock(m_mutex);
    m_device.Release();
}

void CVantrixSim::SetHoldListener(std::function<void(long, uint8_t)> fn) {
    std::lock_guard lock(m_mutex);
    m_device.SetHoldListener(std::move(fn));
}

void CVantrixSim::UpdateOptions(const std::function<void(Options&)>& change) {
    std::lock_guard lock(m_mutex);
    change(m_device.Options());
}

void CVantrixSim::WithDevice(const std::function<void(CSimDevice&)>& fn) {
    std::lock_guard lock(m_mutex);
    fn(m_device);
}
