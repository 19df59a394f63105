#pragma once
// The conversation with one client on one accepted connection: greeting,
// the command line, the raw job file, the e-mail orders, the pipeline and
// the reply. One connection carries exactly one job.
// Threading: one conversation runs on its connection's own thread; it shares
// only the context (configuration and event writers), which it only reads.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ExclusiveFile.h"
#include "platform/Socket.h"
#include "service/job/JobRequest.h"
#include "service/job/LineSplitter.h"

namespace tarn {

class CServiceContext;

// Most bytes one receive call reads.
inline constexpr std::size_t kReceiveBufferSize = 4096;
// Longest e-mail line (line end included) that can be an order.
inline constexpr std::size_t kMaxEmailLineBytes = 64 * 1024;

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
    // The line stays valid until the next call.
    const std::string& ReadLine();
    // Waits for the command line; fills the job fields when it comes.
    void WaitForCommand();
    // Receives the report text into the raw file; returns the write error
    // text, empty when there was none.
    std::string ReceiveText();
    // Handles one e-mail line: an order, a refused line or an over-long one.
    void TakeEmailLine(const std::string& line);
    // Keeps report text for the raw file; false once the report is larger
    // than maxJobBytes (the text is then dropped).
    bool AddRawText(const char* text, std::size_t size);
    // Writes the text kept so far with one write; false when it failed.
    bool WriteRawText();
    // After a refusal: ends the reply and reads what the client still sends
    // for a bounded time, so that the reply is not lost to a reset.
    void DrainAndClose();
    void Send(const std::string& bytes);
    void CloseConnection();

    SocketHandle socket_;
    const CServiceContext& context_;
    LineSplitter lines_;
    std::string line_;  // the line ReadLine handed out last
    bool peerClosed_ = false;
    char receiveBuffer_[kReceiveBufferSize + 1];
    // Report text received but not yet written: lines are gathered while
    // more are at hand and written before the next wait for the client.
    std::string rawText_;
    std::int64_t rawBytes_ = 0;  // report bytes so far
    bool writeFailed_ = false;
    bool tooLarge_ = false;
    bool skippingEmailLine_ = false;  // inside the rest of an over-long e-mail line

    JobRequest job_;  // filled as the conversation goes, then handed to the pipeline
    ExclusiveFile rawFile_;
};

}  // namespace tarn
