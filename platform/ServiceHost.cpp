#include "platform/ServiceHost.h"

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
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

sigset_t ControlSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGUSR1);
    sigaddset(&set, SIGUSR2);
    return set;
}

// Closes a descriptor when it goes out of scope.
class FdCloser {
public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

private:
    int fd_;
};

}  // namespace

const char* SystemdMessageForState(std::uint32_t state) {
    switch (state) {
        case kServiceStartPending: return "STATUS=Starting";
        case kServiceRunning: return "READY=1\nSTATUS=Running";
        case kServiceStopPending: return "STOPPING=1\nSTATUS=Stopping";
        case kServicePausePending: return "STATUS=Pausing";
        case kServicePaused: return "STATUS=Paused";
        case kServiceContinuePending: return "STATUS=Continuing";
        case kServiceStopped: return "STATUS=Stopped";
        default: return "";
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
    if (wakeFd_ < 0) return;
    std::uint64_t one = 1;
    while (::write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

Status ServiceHost::Dispatch(const std::function<void()>& threadMain) {
    Status status = BlockControlSignals();
    if (!status) return status;
    sigset_t set = ControlSignals();
    int signalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
    if (signalFd < 0) return Status::FromErrno("signalfd", errno);
    FdCloser closeSignals(signalFd);
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) return Status::FromErrno("eventfd", errno);
    FdCloser closeWake(wakeFd_);

    std::atomic<bool> finished{false};
    std::thread serviceThread;
    try {
        serviceThread = std::thread([&] {
            threadMain();
            finished = true;
            Wake();
        });
    } catch (const std::system_error& e) {
        wakeFd_ = -1;
        return Status::Error(std::string("cannot start the service thread: ") + e.what(),
                             e.code().value());
    }

    std::deque<std::uint32_t> controls;
    while (!finished) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info;
            if (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                std::uint32_t control = ControlForSignal(static_cast<int>(info.ssi_signo));
                if (control != 0) controls.push_back(control);
            }
        }
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            while (::read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
            }
        }
        // One control at a time, each handled to its end before the next.
        while (!controls.empty() && !finished) {
            Gate gate = CurrentGate();
            if (gate == Gate::kHold) break;
            if (gate == Gate::kDrop) {
                controls.clear();
                break;
            }
            std::uint32_t control = controls.front();
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
    wakeFd_ = -1;
    return Status::Ok();
}

}  // namespace tarn
