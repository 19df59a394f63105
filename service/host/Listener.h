#pragma once
// The TCP listener: one listening socket, one listener thread that accepts
// connections, and one worker thread per accepted connection.
//
// Threading: Open, StartThread and Close are called by the service control
// one at a time (never concurrently with each other); the listener thread
// only reads the socket. Close wakes the listener thread, waits until it and
// every worker it started have ended, and only then closes the socket.
// Workers are detached as they start and counted, so an ended worker keeps
// no resources however many jobs the listener serves. While the configured
// number of conversations runs, the listener does not accept: further
// clients wait in the socket's backlog and are served in turn.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Socket.h"
#include "platform/Status.h"
#include "platform/Thread.h"
#include "service/host/AddressFilter.h"

namespace tarn {

class CEventReporter;
class EventSink;

// What one client may take of the server.
struct ConnectionLimits {
    AddressFilter allowFrom;  // peers that may connect
    int maxConnections = 0;   // conversations at once; 0 or less: no limit
    int clientTimeout = 0;    // seconds a client may stay silent; 0: for ever
};

class CListener {
  public:
    // Runs one conversation on `connection`, which it owns and closes.
    using ConnectionHandler = std::function<void(SocketHandle connection)>;
    // Starts a detached thread; replaceable so that tests can refuse starts.
    using ThreadStarter = std::function<Status(std::function<void()>)>;

    CListener(const CEventReporter& events, EventSink& console, ConnectionHandler handler);
    ~CListener();  // closes a listener still open
    CListener(const CListener&) = delete;
    CListener& operator=(const CListener&) = delete;

    // Prints the host, address and port lines and opens the listening socket
    // on `address` (empty: every local address) and the low 16 bits of
    // `port`. Returns 0 or the errno of the failing call.
    int Open(const std::string& address, int port);
    bool IsOpen() const { return socket_ != kNoSocket; }
    // The port the socket is bound to, 0 when closed.
    std::uint16_t Port() const;

    // Starts the listener thread. REQUIRES: IsOpen() and !HasThread().
    Status StartThread();
    bool HasThread() const { return thread_.Started(); }

    // Wakes the accept loop, waits for the listener thread and every
    // conversation, closes the socket. 0 on success (also when nothing was
    // open), non-zero when closing the socket failed.
    int Close();

    void SetWorkerStarter(ThreadStarter starter) { startWorker_ = std::move(starter); }
    // REQUIRES: !HasThread() (the accept loop reads the limits unlocked).
    void SetLimits(ConnectionLimits limits) { limits_ = std::move(limits); }
    // Conversations running now.
    int RunningWorkers() const;

  private:
    // Conversations started by one listener run, counted so that the run can
    // wait for all of them; shared with the workers so that a worker ending
    // late never touches freed memory.
    struct WorkerGroup {
        // Counted without the lock, so that starting and ending conversations
        // never queue behind each other; the lock and the condition serve
        // only a thread that waits (the accept loop at the limit or at close),
        // which announces itself in `waiting`.
        std::atomic<int> running{0};
        std::atomic<bool> waiting{false};
        std::mutex mutex;
        std::condition_variable changed;  // a worker ended, or the listener closes

        // Called by a worker as it ends.
        void Leave();
        // Waits until `done` holds; `done` is checked under the lock.
        template <typename Predicate>
        void WaitUntil(Predicate done);
    };

    void AcceptLoop(SocketHandle listener);
    // Waits while the limit of conversations is reached; false when closing.
    bool WaitForRoom();
    // Checks the peer and the limits; starts a worker or closes the connection.
    void Admit(SocketHandle connection, const IpAddress& peer);
    void StartWorker(SocketHandle connection);

    const CEventReporter& events_;
    EventSink& console_;
    ConnectionHandler handler_;
    ThreadStarter startWorker_;
    ConnectionLimits limits_;
    SocketHandle socket_ = kNoSocket;
    JoinableThread thread_;
    std::atomic<bool> closing_{false};
    std::shared_ptr<WorkerGroup> workers_;
};

}  // namespace tarn
