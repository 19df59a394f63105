#include "platform/ServiceHost.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <system_error>
#include <thread>

#include "platform/SystemdNotify.h"

namespace tarn {
namespace {

// Sent by the host to its own dispatcher thread to make it look at the state
// again (a new handler, a new state, the service thread's end).
const int kWakeSignal = SIGRTMIN;

sigset_t ControlSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGUSR1);
    sigaddset(&set, SIGUSR2);
    sigaddset(&set, kWakeSignal);
    return set;
}

}  // namespace

const char* SystemdMessageForState(std::uint32_t state) {
    switch (state) {
    case kServiceStartPending:
        return "STATUS=Starting";
    case kServiceRunning:
        return "READY=1\nSTATUS=Running";
    case kServiceStopPending:
        return "STOPPING=1\nSTATUS=Stopping";
    case kServicePausePending:
        return "STATUS=Pausing";
    case kServicePaused:
        return "STATUS=Paused";
    case kServiceContinuePending:
        return "STATUS=Continuing";
    case kServiceStopped:
        return "STATUS=Stopped";
    default:
        return "";
    }
}

Status ServiceHost::BlockControlSignals() {
    sigset_t set = ControlSignals();
    int err = ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
    if (err != 0) return Status::FromErrno("block control signals", err);
    return Status::Ok();
}

std::uint32_t ServiceHost::ControlForSignal(int signal) const {
    switch (signal) {
    case SIGTERM:
    case SIGINT:
        return kControlStop;
    case SIGUSR1:
        return mode_ == Mode::kService ? kControlPause : 0;
    case SIGUSR2:
        return mode_ == Mode::kService ? kControlContinue : 0;
    default:
        return 0;
    }
}

void ServiceHost::RegisterControlHandler(ControlHandler handler) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handler_ = std::move(handler);
    }
    Wake();
}

void ServiceHost::ReportState(std::uint32_t state) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_ = state;
    }
    // systemd learns of the service's progress; failures change nothing here.
    if (mode_ == Mode::kService) NotifySystemd(SystemdMessageForState(state));
    Wake();
}

ServiceHost::Gate ServiceHost::CurrentGate() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_ == kServiceStopPending || state_ == kServiceStopped) return Gate::kDrop;
    if (!handler_ || state_ == kServiceStartPending) return Gate::kHold;
    return Gate::kDeliver;
}

void ServiceHost::Wake() {
    // Directed at the dispatcher thread, which keeps the signal blocked and
    // collects it with the controls.
    if (dispatching_) ::pthread_kill(dispatcher_, kWakeSignal);
}

Status ServiceHost::Dispatch(const std::function<void()>& threadMain) {
    Status status = BlockControlSignals();
    if (!status) return status;
    const sigset_t signals = ControlSignals();
    dispatcher_ = ::pthread_self();
    dispatching_ = true;

    std::atomic<bool> finished{false};
    std::thread serviceThread;
    try {
        serviceThread = std::thread([&] {
            threadMain();
            finished = true;
            Wake();
        });
    } catch (const std::system_error& e) {
        dispatching_ = false;
        return Status::Error(std::string("cannot start the service thread: ") + e.what(), e.code().value());
    }

    std::deque<std::uint32_t> controls;
    while (!finished) {
        siginfo_t info;
        int signal = ::sigwaitinfo(&signals, &info);
        if (signal < 0) continue;  // interrupted
        std::uint32_t control = ControlForSignal(signal);
        if (control != 0) controls.push_back(control);
        // One control at a time, each handled to its end before the next.
        while (!controls.empty() && !finished) {
            Gate gate = CurrentGate();
            if (gate == Gate::kHold) break;
            if (gate == Gate::kDrop) {
                controls.clear();
                break;
            }
            control = controls.front();
            controls.pop_front();
            ControlHandler handler;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                handler = handler_;
            }
            handler(control);
        }
    }
    serviceThread.join();
    dispatching_ = false;
    return Status::Ok();
}

}  // namespace tarn
