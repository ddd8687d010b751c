// Configuration transfers and the idle poll against `vantrix-sim --pace` at
// 57600 Bd: how close the engine comes to the wire's own time, and what being
// online costs when nothing happens. Reports figures; never fails.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/Bytes.h"
#include "app/Profile.h"
#include "app/Vantrix.h"
#include "comm/Frame.h"
#include "comm/Link.h"
#include "tests/support/FakeUI.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

// Takes the time of an operation's begin and of its last step on the worker
// thread, where they happen.
class BenchUI : public FakeUI {
public:
    void DeliverComMsg(CComMsg* msg, bool send) override {
        // Only the configuration transfers (captions 302 and 303) are timed.
        if (msg->kind == 2) {
            m_caption = int(msg->value1);
            m_steps = int(msg->value2);
            m_done = 0;
            if (m_caption == 302 || m_caption == 303) begin = Clock::now();
        } else if (msg->kind == 3 && ++m_done == m_steps && (m_caption == 302 || m_caption == 303)) {
            end = Clock::now();
        }
        FakeUI::DeliverComMsg(msg, send);
    }
    Clock::time_point begin, end;

private:
    int m_caption = 0, m_steps = 0, m_done = 0;
};

struct SimProcess {
    pid_t pid = -1;
    std::string port;
    explicit SimProcess(int layout) {
        int out[2];
        if (pipe(out) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            std::string l = std::to_string(layout);
            execl(VANTRIX_SIM_PROGRAM, VANTRIX_SIM_PROGRAM, "--pace", "--layout", l.c_str(), (char*)nullptr);
            _exit(127);
        }
        close(out[1]);
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') port += c;
        close(out[0]);
    }
    ~SimProcess() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// Bytes of one frame on the line.
size_t Wire(const std::vector<uint8_t>& payload) { return frame::Encode(payload.data(), payload.size()).size(); }

// The bytes that cross the line for the blocks of one configuration transfer.
size_t TransferWireBytes(const std::vector<uint8_t>& image, bool write) {
    size_t total = 0;
    for (size_t off = 0; off < image.size(); off += 300) {
        size_t len = std::min<size_t>(300, image.size() - off);
        std::vector<uint8_t> req = {0x80, uint8_t(write ? 0x27 : 0x28), 0x01, 0xFF, 0, 0};
        req.resize(10);
        bytes::PutBE16(&req[6], uint16_t(off));
        bytes::PutBE16(&req[8], uint16_t(len));
        std::vector<uint8_t> reply = {0xC0, req[1], 0x01, 0x00, 0, 0, req[6], req[7], req[8], req[9]};
        if (write)
            req.insert(req.end(), image.begin() + long(off), image.begin() + long(off + len));
        else
            reply.insert(reply.end(), image.begin() + long(off), image.begin() + long(off + len));
        total += Wire(req) + Wire(reply);
    }
    return total;
}

double CpuSeconds() {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 30;
    std::printf("configuration transfers at 57600 Bd (measured time / wire time; target <= 1.10)\n");
    for (int layout : {1, 2}) {
        SimProcess sim(layout);
        TempDir dir;
        BenchUI ui;
        CProfile profile;
        profile.SetPortName(sim.port);
        CVantrix model(ui, profile, dir.Path());
        model.Init(false);
        auto run = [&](CComRequest req) {
            int ended = ui.sequencesEnded;
            model.m_com.PostRequest(req);
            ui.Loop().RunUntil([&] { return ui.sequencesEnded > ended; });
        };
        const LayoutDesc* desc = FindLayout(layout);
        std::vector<uint8_t> image(desc->size);
        desc->exportImage(*model.m_cfg.GetData(), image.data());
        for (bool write : {false, true}) {
            run({write ? REQ_WRITE_CFG : REQ_READ_CFG, reinterpret_cast<intptr_t>(&model.m_cfg), 0});
            double measured = std::chrono::duration<double>(ui.end - ui.begin).count();
            double wire = double(TransferWireBytes(image, write)) * 10.0 / 57600.0;
            std::printf("  layout %d %-5s %5zu bytes: %.3f s measured, %.3f s on the wire, ratio %.3f\n", layout,
                        write ? "write" : "read", image.size(), measured, wire, measured / wire);
        }
        if (layout == 2) {
            run({REQ_CONNECT, 1, 0});
            double cpu0 = CpuSeconds();
            std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
            ui.Loop().Drain();
            double cpu = CpuSeconds() - cpu0;
            std::printf("online and idle for %d s: %.3f s CPU (target <= 0.3 s)\n", idleSeconds, cpu);
            run({REQ_DISCONNECT, 0, 0});
        }
    }
    return 0;
}
