// melodyloader sends the built-in image to a device on a pseudo-terminal that
// behaves like a 57600 Bd line: a reply does not leave before the request
// could have crossed the line (10 bits a byte) and goes out at the line's
// byte rate. Reports measured time / wire time; never fails.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "melodyloader/MelodyImage.h"
#include "tests/e2e/MelodyPeer.h"

namespace {

constexpr uint32_t kBaud = 57600;
constexpr int kRuns = 5;

struct Sample {
    bool completed;
    double process, window, wire;
    uint64_t in, out;
};

Sample RunOnce() {
    CMelodyPeer peer(kBaud);
    Sample s{};
    if (!peer.Start()) return s;
    ProgramRun run = RunProgram({MELODYLOADER}, peer.SlavePath() + "\n\n");
    peer.Stop();
    s.completed = run.status == 0 &&
                  peer.Server().Memory() ==
                      std::vector<uint8_t>(melody::kMelodyImage, melody::kMelodyImage + melody::kMelodyImageSize);
    s.process = run.seconds;
    s.window = std::chrono::duration<double>(peer.LastOut() - peer.FirstIn()).count();
    s.in = peer.BytesIn();
    s.out = peer.BytesOut();
    s.wire = double(s.in + s.out) * 10.0 / kBaud;
    return s;
}

}  // namespace

int main() {
    std::vector<Sample> samples;
    for (int i = 0; i < kRuns; ++i) samples.push_back(RunOnce());
    std::sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.window < b.window; });
    const Sample& m = samples[samples.size() / 2];

    std::printf("melodyloader, built-in image (%zu bytes, 35 blocks) at %u Bd, median of %d runs\n",
                melody::kMelodyImageSize, kBaud, kRuns);
    std::printf("  bytes on the wire      %llu to the device, %llu back\n", (unsigned long long)m.in,
                (unsigned long long)m.out);
    std::printf("  wire time              %8.1f ms\n", m.wire * 1000);
    std::printf("  first byte to last     %8.1f ms   measured / wire = %.3f\n", m.window * 1000, m.window / m.wire);
    std::printf("  whole process          %8.1f ms   measured / wire = %.3f\n", m.process * 1000, m.process / m.wire);
    int done = int(std::count_if(samples.begin(), samples.end(), [](const Sample& s) { return s.completed; }));
    std::printf("  downloads completed    %d of %d\n", done, kRuns);
    return 0;
}
