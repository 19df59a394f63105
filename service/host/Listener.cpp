#include "service/host/Listener.h"

#include <chrono>
#include <thread>

#include "platform/EventSink.h"
#include "service/ServiceEvents.h"
#include "service/job/ServiceContext.h"

namespace tarn {
namespace {

// Pause after an accept failure for lack of descriptors or memory, so that
// running conversations can end and free them.
constexpr auto kResourceRetryDelay = std::chrono::milliseconds(100);
// Pause after an unexpected accept failure, so that it cannot spin.
constexpr auto kUnexpectedRetryDelay = std::chrono::milliseconds(1000);
// The port number is the low 16 bits of the setting.
constexpr int kPortMask = 0xFFFF;

}  // namespace

CListener::CListener(const CEventReporter& events, EventSink& console, ConnectionHandler handler)
    : events_(events),
      console_(console),
      handler_(std::move(handler)),
      startWorker_(StartDetachedThread),
      workers_(std::make_shared<WorkerGroup>()) {}

CListener::~CListener() { Close(); }

int CListener::Open(const std::string& address, int port) {
    auto portNumber = static_cast<std::uint16_t>(port & kPortMask);
    std::string host = LocalHostName();
    console_.WriteConsoleLine("Host: " + host);
    std::string hostAddress = FirstIPv4Address(host);
    if (hostAddress.empty()) hostAddress = "(no IPv4 address for this host name)";

    SocketHandle socket = kNoSocket;
    Status status = ListenTcp(address, portNumber, &socket);
    // The address and the port share one line.
    console_.WriteConsoleLine("Adress: " + hostAddress +
                              "  Port: " + std::to_string(status.ok() ? BoundPort(socket) : portNumber));
    if (!status.ok()) return status.code() != 0 ? status.code() : -1;
    socket_ = socket;
    closing_ = false;
    return 0;
}

std::uint16_t CListener::Port() const { return IsOpen() ? BoundPort(socket_) : 0; }

Status CListener::StartThread() {
    SocketHandle listener = socket_;
    return thread_.Start([this, listener] { AcceptLoop(listener); });
}

int CListener::Close() {
    if (socket_ == kNoSocket) return 0;
    closing_ = true;
    // Wakes the accept that the listener thread is blocked in.
    ShutdownSocket(socket_);
    thread_.Join();
    Status status = CloseSocket(socket_);
    if (!status.ok()) {
        events_.ReportServiceEvent(EventType::kError, kEvtHostFailure, status.message());
        return status.code() != 0 ? status.code() : -1;
    }
    socket_ = kNoSocket;
    return 0;
}

int CListener::RunningWorkers() const {
    std::lock_guard<std::mutex> lock(workers_->mutex);
    return workers_->running;
}

void CListener::AcceptLoop(SocketHandle listener) {
    // Only the closing of the listener ends the loop; other accept failures
    // are reported and accepting goes on.
    while (!closing_) {
        SocketHandle connection = kNoSocket;
        Status status = AcceptConnection(listener, &connection);
        if (status.ok()) {
            StartWorker(connection);
            continue;
        }
        if (closing_) break;
        events_.ReportServiceEvent(EventType::kError, kEvtHostFailure,
                                   "Accepting a connection failed: " + status.message());
        if (IsResourceAcceptError(status.code()))
            std::this_thread::sleep_for(kResourceRetryDelay);
        else if (!IsTransientAcceptError(status.code()))
            std::this_thread::sleep_for(kUnexpectedRetryDelay);
    }
    // Wait for every conversation this run started, however many.
    std::unique_lock<std::mutex> lock(workers_->mutex);
    workers_->idle.wait(lock, [this] { return workers_->running == 0; });
}

void CListener::StartWorker(SocketHandle connection) {
    std::shared_ptr<WorkerGroup> group = workers_;
    {
        std::lock_guard<std::mutex> lock(group->mutex);
        ++group->running;
    }
    Status status = startWorker_([handler = handler_, group, connection] {
        handler(connection);
        std::lock_guard<std::mutex> lock(group->mutex);
        if (--group->running == 0) group->idle.notify_all();
    });
    if (status.ok()) return;
    // This one connection is dropped; accepting goes on.
    CloseSocket(connection);
    {
        std::lock_guard<std::mutex> lock(group->mutex);
        if (--group->running == 0) group->idle.notify_all();
    }
    events_.ReportServiceEvent(EventType::kError, kEvtHostFailure,
                               "Cannot start a connection thread: " + status.message());
    std::this_thread::sleep_for(kResourceRetryDelay);
}

}  // namespace tarn
