// The monitor's stop signals on POSIX: blocked in every thread and taken
// synchronously by the monitor's signal thread.
#include <pthread.h>
#include <signal.h>

#include <ctime>

#include "tools/vantrixctl/StopSignals.h"

namespace {

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void BlockStopSignals() {
    sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool WaitForStopSignal() {
    const sigset_t set = StopSignals();
    const timespec second{1, 0};
    return sigtimedwait(&set, nullptr, &second) > 0;
}

// The process ends only when the monitor has returned.
void StopSignalsDone() {}
