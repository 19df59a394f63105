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
// Stack of a conversation's thread (the platform this service came from
// gives threads 1 MiB): ample for a conversation and its job, and small
// enough that the C library keeps the stacks of ended threads for reuse
// instead of mapping and unmapping 8 MiB for every connection.
constexpr std::size_t kWorkerStackBytes = 1024 * 1024;

Status StartWorkerThread(std::function<void()> body) {
    return StartDetachedThread(std::move(body), kWorkerStackBytes);
}

}  // namespace

void CListener::WorkerGroup::Leave() {
    running.fetch_sub(1);
    // Both sides store, then load (sequentially consistent): either this
    // worker sees the waiter, or the waiter sees the lower count.
    if (waiting.load()) {
        std::lock_guard<std::mutex> lock(mutex);
        changed.notify_all();
    }
}

template <typename Predicate>
void CListener::WorkerGroup::WaitUntil(Predicate done) {
    std::unique_lock<std::mutex> lock(mutex);
    waiting.store(true);
    changed.wait(lock, done);
    waiting.store(false);
}

CListener::CListener(const CEventReporter& events, EventSink& console, ConnectionHandler handler)
    : events_(events),
      console_(console),
      handler_(std::move(handler)),
      startWorker_(StartWorkerThread),
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
    {
        // Under the lock, so that an accept loop waiting for room sees it.
        std::lock_guard<std::mutex> lock(workers_->mutex);
        closing_ = true;
        workers_->changed.notify_all();
    }
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

int CListener::RunningWorkers() const { return workers_->running.load(); }

void CListener::AcceptLoop(SocketHandle listener) {
    // Only the closing of the listener ends the loop; other accept failures
    // are reported and accepting goes on.
    while (WaitForRoom()) {
        SocketHandle connection = kNoSocket;
        IpAddress peer;
        Status status = AcceptConnection(listener, &connection, &peer);
        if (status.ok()) {
            Admit(connection, peer);
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
    workers_->WaitUntil([this] { return workers_->running.load() == 0; });
}

bool CListener::WaitForRoom() {
    if (limits_.maxConnections > 0 && workers_->running.load() >= limits_.maxConnections)
        workers_->WaitUntil([this] { return closing_ || workers_->running.load() < limits_.maxConnections; });
    return !closing_;
}

void CListener::Admit(SocketHandle connection, const IpAddress& peer) {
    if (!limits_.allowFrom.Allows(peer)) {
        // Closed before the greeting: the client learns nothing.
        CloseSocket(connection);
        events_.ReportServiceEvent(EventType::kError, kEvtHostFailure,
                                   "Connection from " + IpAddressText(peer) + " refused: not in allowFrom");
        return;
    }
    StartWorker(connection);
}

void CListener::StartWorker(SocketHandle connection) {
    std::shared_ptr<WorkerGroup> group = workers_;
    group->running.fetch_add(1);
    // The accept loop is the one serial step of the server: work that can
    // wait, such as the time-out, is done on the worker's own thread.
    Status status = startWorker_([handler = handler_, group, connection, timeout = limits_.clientTimeout] {
        if (timeout > 0) SetSocketTimeout(connection, timeout);
        handler(connection);
        group->Leave();
    });
    if (status.ok()) return;
    // This one connection is dropped; accepting goes on.
    CloseSocket(connection);
    group->Leave();
    events_.ReportServiceEvent(EventType::kError, kEvtHostFailure,
                               "Cannot start a connection thread: " + status.message());
    std::this_thread::sleep_for(kResourceRetryDelay);
}

}  // namespace tarn
