#pragma once
// The platform's service host: the process's main thread becomes the control
// dispatcher. It waits for signals and turns them into service controls that
// it hands, one at a time and on its own thread, to the registered handler,
// while the program's work runs on a thread of its own (the service thread).
//
// Service mode: SIGTERM and SIGINT stop, SIGUSR1 pauses, SIGUSR2 continues.
// Console mode: SIGTERM and SIGINT stop; SIGUSR1 and SIGUSR2 are ignored.
//
// Controls that arrive before the service is ready (no handler yet, or the
// state is still start pending) are held and delivered once it runs; controls
// are dropped once a stop is under way. States are reported to systemd in
// service mode.
//
// Threading: Dispatch runs on the main thread; RegisterControlHandler and
// ReportState may be called from any thread.

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/Status.h"

namespace tarn {

// Service states, with the numbers the service's status block uses.
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStartPending = 2;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;
inline constexpr std::uint32_t kServiceContinuePending = 5;
inline constexpr std::uint32_t kServicePausePending = 6;
inline constexpr std::uint32_t kServicePaused = 7;

// Control numbers handed to the control handler.
inline constexpr std::uint32_t kControlStop = 1;
inline constexpr std::uint32_t kControlPause = 2;
inline constexpr std::uint32_t kControlContinue = 3;
inline constexpr std::uint32_t kControlInterrogate = 4;
inline constexpr std::uint32_t kControlShutdown = 5;

// Service type: a service in a process of its own.
inline constexpr std::uint32_t kServiceOwnProcess = 0x10;
// Controls a service can accept (bits of ServiceStatus::controlsAccepted).
inline constexpr std::uint32_t kAcceptStop = 0x1;
inline constexpr std::uint32_t kAcceptPauseContinue = 0x2;

// The status block a service reports: its type, state and exit codes.
struct ServiceStatus {
    std::uint32_t serviceType = kServiceOwnProcess;
    std::uint32_t currentState = kServiceStopped;
    std::uint32_t controlsAccepted = kAcceptStop | kAcceptPauseContinue;
    std::uint32_t exitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

// The systemd notification for a state, "" for none.
const char* SystemdMessageForState(std::uint32_t state);

class ServiceHost {
  public:
    enum class Mode { kService, kConsole };
    using ControlHandler = std::function<void(std::uint32_t control)>;

    explicit ServiceHost(Mode mode) : mode_(mode) {}
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // Blocks the control signals in the calling thread and in every thread
    // started from it later. Call at the top of main, before any thread starts,
    // so that only the dispatcher receives them.
    static Status BlockControlSignals();

    // Runs `threadMain` on the service thread and dispatches controls on the
    // calling thread until `threadMain` has returned and the thread is joined.
    // Fails only when the signals or the thread cannot be set up.
    Status Dispatch(const std::function<void()>& threadMain);

    // Installs the handler that receives the controls.
    void RegisterControlHandler(ControlHandler handler);
    // Records the current state; in service mode reports it to systemd.
    void ReportState(std::uint32_t state);

  private:
    // Whether a control arriving now is delivered, held, or dropped.
    enum class Gate { kDeliver, kHold, kDrop };
    Gate CurrentGate();
    void Wake();
    std::uint32_t ControlForSignal(int signal) const;

    const Mode mode_;
    std::mutex mutex_;  // guards the two fields below
    ControlHandler handler_;
    std::uint32_t state_ = kServiceStartPending;
    std::atomic<bool> dispatching_{false};  // Dispatch runs on dispatcher_
    pthread_t dispatcher_{};
};

}  // namespace tarn
