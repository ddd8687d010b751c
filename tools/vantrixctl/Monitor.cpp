// The monitor's loop runs on the main thread with the engine's messages; a
// thread of its own turns the stop signals and the seconds into messages.
#include "tools/vantrixctl/Monitor.h"

#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

#include "app/AppUI.h"
#include "app/Vantrix.h"
#include "tools/vantrixctl/ConsoleUI.h"
#include "tools/vantrixctl/StdOut.h"
#include "tools/vantrixctl/StopSignals.h"

namespace {

using json = nlohmann::ordered_json;

// The idle poll keeps its failures to itself: a state read this often tells
// a lost line.
constexpr int kCheckSeconds = 10;

// The device clock to the minute: the poll reads it every few seconds, the
// output shows it once a minute.
long Minute(const SysTime& t) {
    return (((long(t.wYear) * 13 + t.wMonth) * 32 + t.wDay) * 24 + t.wHour) * 60 + t.wMinute;
}

}  // namespace

int Monitor(ConsoleUI& ui, CVantrix& model, const std::function<json()>& state,
            const std::function<json(const CSMS&)>& sms) {
    if (int r = ui.Run({REQ_CONNECT, 1, 0})) return r;
    if (int r = ui.Run({REQ_READ_STATE, 0, 0})) {
        ui.Run({REQ_DISCONNECT, 0, 0});
        return r;
    }

    // The first output that cannot be written ends the monitor (74); an SMS
    // that could not be written stays on the device.
    int writeError = 0;
    auto put = [&](const json& line) {
        if (writeError) return false;
        if (PutStdout(line.dump() + '\n')) return true;
        writeError = errno;
        return false;
    };
    long shownMinute = Minute(model.Snapshot(model.m_devTime));
    auto printState = [&](const char* event) {
        json line = {{"event", event}};
        line.update(state());
        put(line);
        shownMinute = Minute(model.Snapshot(model.m_devTime));
    };
    printState("start");
    ui.SetEventSink([&](int code) {
        if (code == AE_GSM_CHANGED) printState("gsm");
        if (code == AE_IO_CHANGED) printState("io");
        if (code == AE_TIME_CHANGED && Minute(model.Snapshot(model.m_devTime)) != shownMinute) printState("time");
    });
    ui.SetSmsSink([&](const CSMS& s) {
        json line = {{"event", "sms"}};
        line.update(sms(s));
        return put(line);
    });

    // Shared with the messages of the signal thread, which may outlive this call in the loop's queue.
    struct Flags {
        bool stop = false, tick = false;
        std::atomic<bool> done{false};
    };
    auto flags = std::make_shared<Flags>();
    std::thread signals([&ui, flags] {
        while (!flags->done.load()) {
            if (WaitForStopSignal()) {
                ui.Post([flags] { flags->stop = true; });
                return;
            }
            ui.Post([flags] { flags->tick = true; });
        }
    });

    int result = 0;
    for (int seconds = 0;;) {
        ui.RunUntil([&] { return flags->stop || flags->tick || writeError; });
        if (flags->stop || writeError) break;
        flags->tick = false;
        if (++seconds % kCheckSeconds == 0 && (result = ui.Run({REQ_READ_STATE, 0, 0})) != 0) break;
    }
    flags->done.store(true);
    signals.join();
    // The sinks stay until the line is closed: an SMS whose reading is under
    // way is still written out before the device is told to delete it.
    ui.Run({REQ_DISCONNECT, 0, 0});
    ui.SetEventSink(nullptr);
    ui.SetSmsSink(nullptr);
    if (writeError) return OutputFailed("monitor", writeError, "; the SMS not written stay on the device");
    return result;
}
