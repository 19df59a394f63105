#pragma once
// The conversation with one client on one accepted connection: greeting,
// the command line, the raw job file, the e-mail orders, the pipeline and
// the reply. One connection carries exactly one job.
// Threading: one conversation runs on its connection's own thread; it shares
// only the context (configuration and event writers), which it only reads.

#include <cstddef>
#include <string>

#include "platform/ExclusiveFile.h"
#include "platform/Socket.h"
#include "service/job/JobRequest.h"
#include "service/job/LineSplitter.h"

namespace tarn {

class CServiceContext;

// Most bytes one receive call reads.
inline constexpr std::size_t kReceiveBufferSize = 4096;

class CRequestConversation {
  public:
    // Takes ownership of `socket`; the conversation closes it.
    CRequestConversation(SocketHandle socket, const CServiceContext& context);
    ~CRequestConversation();
    CRequestConversation(const CRequestConversation&) = delete;
    CRequestConversation& operator=(const CRequestConversation&) = delete;

    // Runs the conversation to its end; always closes the socket. Returns 0.
    int Run();

  private:
    // The next line, "" when no complete line is available yet, or "_QUIT_"
    // once the peer has closed or a receive failed. Text still pending when
    // the peer closes is handed out as a last line first.
    std::string ReadLine();
    // Waits for the command line; fills the job fields when it comes.
    void WaitForCommand();
    // Receives the report text into the raw file; returns the write error
    // text, empty when there was none.
    std::string ReceiveText();
    void Send(const std::string& bytes);
    void CloseConnection();

    SocketHandle socket_;
    const CServiceContext& context_;
    LineSplitter lines_;
    bool peerClosed_ = false;
    char receiveBuffer_[kReceiveBufferSize + 1];

    JobRequest job_;  // filled as the conversation goes, then handed to the pipeline
    ExclusiveFile rawFile_;
};

}  // namespace tarn
