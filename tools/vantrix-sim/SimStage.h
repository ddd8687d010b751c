// The simulator's byte pipeline: the pty server hands the PC's bytes to a
// stage, and a stage answers through a line. The device is one stage; a front
// (a Hayes modem, say) is another that owns the device and passes bytes on.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes towards the PC. The server paces them when the line is paced.
class ISimLine {
public:
    virtual ~ISimLine() = default;
    virtual void Send(const uint8_t* p, size_t n) = 0;
};

class ISimStage {
public:
    virtual ~ISimStage() = default;
    // Bytes from the PC. `baud` is the speed the PC set on its side of the
    // line, or 0 when the speed is not to be checked (bytes passed through a
    // data call).
    virtual void Receive(const uint8_t* p, size_t n, uint32_t baud, ISimLine& out) = 0;
    // The PC closed its side of the line.
    virtual void LineClosed(ISimLine&) {}
    // Called on every turn of the server loop (at least every 50 ms), for
    // stages that act on time.
    virtual void Idle(ISimLine&) {}
    // The steady-clock time (SteadyMs) at which the stage next wants a turn,
    // sooner than the loop would give one; -1 when none.
    virtual int64_t NextDueMs() const { return -1; }
    // The rate the stage carries the PC's bytes at further on (a modem's
    // connection), when it is slower than the PC's line; 0 when none. A paced
    // line takes the slower of the two. Not called from within the calls above.
    virtual uint32_t PaceBaud() const { return 0; }
};
