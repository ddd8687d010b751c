// The fault soak: configuration reads and writes through the engine against
// the in-process simulator, which drops and corrupts a share of its reply
// frames, while the user interface cancels operations at random moments.
// Checks after every operation that a completed read holds the simulator's
// image, a failed read left the document's image as it was, and a completed
// write left the simulator holding the document's image; at the end that no
// descriptor was left open (memory leaks: run the asan build). Prints the
// counts; exit status 1 when an invariant broke.
//
//   soak [--reads N] [--writes N] [--drop RATE] [--corrupt RATE] [--cancel RATE]
//        [--seed N] [--layout 1|2]
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/Bytes.h"
#include "app/Profile.h"
#include "app/Vantrix.h"
#include "comm/ComMsg.h"
#include "tests/support/FakeUI.h"
#include "tests/support/ImageBytes.h"
#include "tests/support/TempDir.h"
#include "tools/vantrix-sim/Hex.h"
#include "tools/vantrix-sim/VantrixSim.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

int OpenDescriptors() {
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (::readdir(d)) ++n;
        ::closedir(d);
    }
    return n;
}

struct Counts {
    int completed = 0;
    int retried = 0;  // completed although replies were dropped or corrupted on the way
    int failed = 0;
    int cancelsPosted = 0;
    std::map<int, int> failures;  // result code -> operations
    int broken = 0;               // invariants that did not hold
};

class Soak {
public:
    Soak(SimOptions o, uint32_t seed, double cancelRate, int layout)
        : m_rng(seed), m_cancelRate(cancelRate), m_layout(FindLayout(layout)) {
        o.layout = layout;
        m_sim = std::make_unique<CVantrixSim>(std::move(o));
    }

    bool Start() {
        if (!m_sim->Start()) return Fail("the simulator did not start");
        m_profile.SetPortName(m_sim->SlavePath());
        m_model = std::make_unique<CVantrix>(m_ui, m_profile, m_dir.Path());
        if (m_model->Init(false) != 1) return Fail("the engine did not start");
        m_model->m_com.SetPauses(0, 5);
        m_ui.onComMsg = [this](CComMsg* m) { OnComMsg(m); };
        return true;
    }

    void Stop() {
        if (m_model && m_model->m_com.IsOnline()) Run({REQ_DISCONNECT, 0, 0}, false);
        m_model.reset();
        m_sim.reset();
    }

    // Connects and stays online; tries again while the faults make it fail.
    bool Connect() {
        for (int i = 0; i < 10; ++i) {
            if (Run({REQ_CONNECT, 1, 0}, false) == 0 && m_model->m_com.IsOnline()) return true;
        }
        return Fail("no connect in ten tries");
    }

    void Read() {
        CVantrixCfg& doc = m_model->m_cfg;
        const Bytes before = ImageBytes(*doc.GetData());
        const int r = Operation({REQ_READ_CFG, reinterpret_cast<intptr_t>(&doc), 0});
        if (r == 0) {
            const Bytes got = ImageBytes(*doc.GetData()), want = ImageBytes(SimImage());
            Check(got == want, "a completed read differs from the device");
            if (got != want) Explain(got, want);
        } else {
            Check(ImageBytes(*doc.GetData()) == before, "a failed read changed the image");
        }
    }

    void Write() {
        CVantrixCfg& doc = m_model->m_cfg;
        Edit(*doc.GetData());
        const int r = Operation({REQ_WRITE_CFG, reinterpret_cast<intptr_t>(&doc), 0});
        if (r == 0) {
            Bytes expected(m_layout->size);
            m_layout->exportImage(*doc.GetData(), expected.data());
            Check(DeviceBytes() == expected, "a completed write left another image in the device");
        }
    }

    Counts counts;

private:
    // Runs one request as an operation: maybe with a cancel, counted.
    int Operation(const CComRequest& req) {
        const auto before = m_sim->Stats();
        m_cancelAt = -1;
        if (std::uniform_real_distribution<double>(0, 1)(m_rng) < m_cancelRate) {
            // At the begin record or after one of the steps, a little later.
            m_cancelAt = std::uniform_int_distribution<int>(0, 7)(m_rng);
            m_cancelDelayMs = std::uniform_int_distribution<int>(0, 20)(m_rng);
        }
        const int r = Run(req, true);
        const auto after = m_sim->Stats();
        m_prevKind = m_lastKind, m_prevResult = m_lastResult;
        m_lastKind = req.kind, m_lastResult = r;
        if (r == 0) {
            ++counts.completed;
            if (after.dropped + after.corrupted > before.dropped + before.corrupted) ++counts.retried;
        } else {
            ++counts.failed;
            ++counts.failures[r];
        }
        return r;
    }

    // Posts a request and runs the user interface until its sequence ends;
    // the first error reported during it, 0 when none.
    int Run(const CComRequest& req, bool mayCancel) {
        const size_t first = m_ui.comMsgs.size();
        const int ended = m_ui.sequencesEnded;
        m_records = 0;
        m_running = mayCancel;
        if (m_model->m_com.PostRequest(req) != 1) {
            Fail("the engine refused a request");
            return -1;
        }
        m_ui.Loop().RunUntil([&] { return m_ui.sequencesEnded > ended; });
        m_running = false;
        for (size_t i = first; i < m_ui.comMsgs.size(); ++i)
            if (m_ui.comMsgs[i].kind == CM_ERROR) return int(m_ui.comMsgs[i].value1);
        return 0;
    }

    // On the user interface's thread, as the progress dialog's cancel button would be.
    void OnComMsg(CComMsg* m) {
        if (m->kind == CM_END) {
            m_running = false;
            return;
        }
        if (!m_running || (m->kind != CM_BEGIN && m->kind != CM_STEP)) return;
        if (m_records++ != m_cancelAt) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(m_cancelDelayMs));
        m_model->m_com.PostRequest({REQ_CANCEL, 0, 0});
        ++counts.cancelsPosted;
    }

    // A few fields changed as a user would change them: texts within their
    // fields, numbers of any value.
    void Edit(CfgImage& img) {
        auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); };
        const std::string text = "soak " + std::to_string(m_rng() % 100000);
        bytes::SetField(img.alarms[pick(8)].sms_text, text);
        bytes::SetField(img.call.directions[pick(16)], std::to_string(pick(1000)));
        bytes::SetField(img.sms_forward_number, "+420" + std::to_string(600000000 + pick(100000000)));
        img.audio_in_level = uint8_t(pick(256));
        img.credit[pick(2)].min_value = float(pick(100000)) / 4;
        img.call.tariff = uint8_t(pick(64));
        img.renum.entries[pick(5)].mode = uint8_t(pick(2));
    }

    Bytes DeviceBytes() { return simhex::Bytes(m_sim->State()["image"].get<std::string>()); }

    // The device's bytes as the document holds them.
    CfgImage SimImage() {
        Bytes dev = DeviceBytes();
        CfgImage img;
        SetDefaults(img);
        if (dev.size() == m_layout->size) m_layout->importImage(dev.data(), img);
        return img;
    }

    // Where a read went wrong, and what came before it.
    void Explain(const Bytes& got, const Bytes& want) {
        size_t first = 0, last = 0, n = 0;
        for (size_t i = 0; i < got.size(); ++i)
            if (got[i] != want[i]) {
                if (!n++) first = i;
                last = i;
            }
        std::fprintf(stderr, "soak:   %zu bytes differ in the image, offsets %zu to %zu; previous operation %s %s\n", n,
                     first, last, m_prevKind == REQ_READ_CFG ? "read" : "write",
                     m_prevResult == 0 ? "completed" : ("failed with " + std::to_string(m_prevResult)).c_str());
    }

    void Check(bool ok, const char* what) {
        if (ok) return;
        ++counts.broken;
        std::fprintf(stderr, "soak: %s (operation %d)\n", what, counts.completed + counts.failed);
    }

    bool Fail(const char* what) {
        ++counts.broken;
        std::fprintf(stderr, "soak: %s\n", what);
        return false;
    }

    std::mt19937 m_rng;
    double m_cancelRate;
    const LayoutDesc* m_layout;
    TempDir m_dir;
    FakeUI m_ui;
    CProfile m_profile;
    std::unique_ptr<CVantrixSim> m_sim;
    std::unique_ptr<CVantrix> m_model;
    bool m_running = false;
    int m_records = 0;
    int m_cancelAt = -1;
    int m_cancelDelayMs = 0;
    int m_lastKind = 0, m_lastResult = 0, m_prevKind = 0, m_prevResult = 0;
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Configuration reads and writes against the simulator with faults and cancels"};
    int reads = 1000, writes = 1000, layout = 2;
    double drop = 0.01, corrupt = 0.01, cancel = 0.05;
    uint32_t seed = 1;
    app.add_option("--reads", reads, "configuration reads")->check(CLI::NonNegativeNumber);
    app.add_option("--writes", writes, "configuration writes")->check(CLI::NonNegativeNumber);
    app.add_option("--drop", drop, "share of reply frames dropped")->check(CLI::Range(0.0, 0.5));
    app.add_option("--corrupt", corrupt, "share of reply frames corrupted")->check(CLI::Range(0.0, 0.5));
    app.add_option("--cancel", cancel, "share of operations cancelled at a random moment")->check(CLI::Range(0.0, 1.0));
    app.add_option("--seed", seed, "seed of the faults, the cancels and the edits");
    app.add_option("--layout", layout, "the device's layout")->check(CLI::IsMember({1, 2}));
    CLI11_PARSE(app, argc, argv);

    const int fdsBefore = OpenDescriptors();
    const auto t0 = Clock::now();
    Counts counts;
    {
        SimOptions o;
        o.dropRate = drop;
        o.corruptRate = corrupt;
        o.seed = seed;
        Soak soak(o, seed, cancel, layout);
        if (soak.Start() && soak.Connect()) {
            std::mt19937 order(seed + 1);
            int r = reads, w = writes;
            while (r + w > 0) {
                const bool read = w == 0 || (r > 0 && std::uniform_int_distribution<int>(0, r + w - 1)(order) < r);
                if (read) {
                    soak.Read();
                    --r;
                } else {
                    soak.Write();
                    --w;
                }
                const int done = reads + writes - r - w;
                if (done % 100 == 0) {
                    const auto s = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - t0).count();
                    std::printf("soak: %d operations, %lld s\n", done, static_cast<long long>(s));
                    std::fflush(stdout);
                }
            }
        }
        soak.Stop();
        counts = soak.counts;
    }
    const int fdsAfter = OpenDescriptors();
    if (fdsAfter != fdsBefore) {
        std::fprintf(stderr, "soak: %d descriptors open before, %d after\n", fdsBefore, fdsAfter);
        ++counts.broken;
    }

    const auto secs = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - t0).count();
    std::printf("soak: %d reads and %d writes, drop %.3f, corrupt %.3f, cancel %.3f, seed %u, layout %d, %lld s\n",
                reads, writes, drop, corrupt, cancel, seed, layout, static_cast<long long>(secs));
    std::printf("soak: completed %d (retried %d), failed %d, cancels posted %d\n", counts.completed, counts.retried,
                counts.failed, counts.cancelsPosted);
    for (const auto& [code, n] : counts.failures)
        std::printf("soak:   failed with %d (%s): %d\n", code, LoadStr(IDS_RESULT_BASE + code), n);
    std::printf("soak: %s\n", counts.broken ? "INVARIANTS BROKEN" : "every invariant held");
    return counts.broken ? 1 : 0;
}
