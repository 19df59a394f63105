#include "service/job/RequestConversation.h"

#include <chrono>
#include <mutex>
#include <set>

#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/TempFile.h"
#include "service/ServiceEvents.h"
#include "service/job/JobPipeline.h"
#include "service/job/JobRecord.h"
#include "service/job/LeftoverFiles.h"
#include "service/job/RequestLines.h"
#include "service/job/ServiceConfig.h"
#include "service/job/ServiceContext.h"
#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// Replies, byte for byte.
constexpr const char* kGreeting = "Hi\n";
constexpr const char* kAcknowledge = "ROGER_CMD\n";
constexpr const char* kAcknowledgeEvent = "ROGER_CMD";
constexpr const char* kOk = "ok\n";
constexpr const char* kJobFailed = "Problem handlingRequest\n";
constexpr const char* kBye = "Bye\n";
constexpr const char* kRawFileUnreadable = "ERROR: Problem creating rawfile 108";
// Write errors (reported; the two write errors are also answered, after kWriteErrorReply).
constexpr const char* kWriteErrorReply = "ERROR: ";
constexpr const char* kOpenError = "Error open rawfile 107";
constexpr const char* kEofWriteError = "Error write to rawfile 106";
constexpr const char* kLineWriteError = "Error write to rawfile 105";
constexpr const char* kJobDone = "Request processed succesfully";
// How long the client's remaining text is read and dropped after a refusal.
constexpr auto kDrainTime = std::chrono::seconds(10);
// Longest single wait for it.
constexpr int kDrainWaitSeconds = 1;

// Raw files whose text is arriving in this process. A second job for the
// same file is refused (error 107) while the first one's text arrives, as
// when the first held the file itself open.
class RawFilesArriving {
  public:
    static bool Claim(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        return paths_.insert(path).second;
    }
    static void Release(const std::string& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        paths_.erase(path);
    }

  private:
    static inline std::mutex mutex_;
    static inline std::set<std::string> paths_;
};

}  // namespace

CRequestConversation::CRequestConversation(SocketHandle socket, const CServiceContext& context)
    : socket_(socket), context_(context) {}

CRequestConversation::~CRequestConversation() { CloseConnection(); }

void CRequestConversation::Send(const std::string& bytes) {
    // A failed send changes nothing: the conversation goes on.
    bool sent = socket_ != kNoSocket && SendAll(socket_, bytes.data(), bytes.size()).ok();
    if (JobRecord* record = context_.CurrentJob()) record->NoteSent(bytes, sent);
}

void CRequestConversation::CloseConnection() {
    if (socket_ == kNoSocket) return;
    if (JobRecord* record = context_.CurrentJob()) {
        record->clientGone = peerClosed_;
        record->emailOrders = job_.emailOrders;
        record->sendEmail = job_.sendEmail;
    }
    CloseSocket(socket_);
    socket_ = kNoSocket;
}

const std::string& CRequestConversation::ReadLine() {
    // line_ keeps its capacity from line to line: no allocation per line.
    if (lines_.TakeLine(&line_)) return line_;
    if (!peerClosed_) {
        // What has been taken reaches the file before the wait for more text.
        if (!rawText_.empty() && !WriteRawText()) return line_ = kQuitWord;
        size_t received = 0;
        Status status = ReceiveSome(socket_, receiveBuffer_, kReceiveBufferSize, &received);
        if (status.ok() && received > 0) {
            receiveBuffer_[received] = '\0';
            lines_.Append(receiveBuffer_, received);
            if (!lines_.TakeLine(&line_)) line_.clear();
            return line_;
        }
        peerClosed_ = true;
        // Keep the last unterminated text rather than dropping it.
        if (lines_.HasPending()) return line_ = lines_.TakeRest();
    }
    return line_ = kQuitWord;
}

void CRequestConversation::WaitForCommand() {
    for (;;) {
        const std::string& line = ReadLine();
        context_.ReportDebug(kEvtLineReceived, line);
        // Once the peer has closed, a line is either _QUIT_ or text that never
        // got its line end: a command cut off like that starts no job.
        if (peerClosed_ || Contains(line, kQuitWord) || Contains(line, kRawFileWord)) return;
        if (!StartsWith(line, kRunWord)) continue;
        RunCommand command = ParseRunLine(line);
        job_.rawName = command.rawName;
        job_.section = command.section;
        if (JobRecord* record = context_.CurrentJob()) record->NoteCommand(line, job_.rawName, job_.section);
        context_.ReportDebug(kEvtRawFile, job_.rawName);
        context_.ReportDebug(kEvtRawFile, job_.rawName);
        context_.ReportDebug(kEvtRawNameTrace, job_.rawName);
        context_.ReportDebug(kEvtSection, job_.section);
        context_.ReportDebug(kEvtRawFile, job_.rawName);
        Send(kAcknowledge);
        context_.ReportDebug(kEvtCommandAcknowledged, kAcknowledgeEvent);
        return;
    }
}

std::string CRequestConversation::ReceiveText() {
    for (;;) {
        const std::string& line = ReadLine();
        if (writeFailed_) return kLineWriteError;
        if (skippingEmailLine_) {
            skippingEmailLine_ = !lines_.LastLineComplete();
            continue;
        }
        if (StartsWith(line, kRawFileWord)) continue;
        if (StartsWith(line, kQuitWord)) break;
        if (StartsWith(line, kEmailMarker)) {
            TakeEmailLine(line);
            continue;
        }
        std::string::size_type eof = line.find(kEofWord);
        if (eof != std::string::npos) {
            if (!AddRawText(line.data(), eof)) return std::string();
            return WriteRawText() ? std::string() : kEofWriteError;
        }
        if (!AddRawText(line.data(), line.size())) return std::string();
    }
    return WriteRawText() ? std::string() : kLineWriteError;
}

void CRequestConversation::TakeEmailLine(const std::string& line) {
    if (line.size() > kMaxEmailLineBytes || !lines_.LastLineComplete()) {
        // Counts as a refused e-mail line; the rest of it is skipped.
        skippingEmailLine_ = !lines_.LastLineComplete();
        job_.sendEmail = false;
        context_.ReportError(
            kEvtEmailRefused,
            "An e-mail line longer than " + std::to_string(kMaxEmailLineBytes) + " bytes is not an order");
        return;
    }
    EmailRecord order;
    order.module = &context_;
    job_.sendEmail = ParseEmailLine(line, &order);
    // One order past the limit is enough for the pipeline to refuse the
    // job's mail; more would only take memory.
    if (job_.sendEmail && job_.emailOrders.size() <= static_cast<std::size_t>(context_.Config().MaxOrders()))
        job_.emailOrders.push_back(order);
}

bool CRequestConversation::AddRawText(const char* text, std::size_t size) {
    rawBytes_ += static_cast<std::int64_t>(size);
    if (rawBytes_ > context_.Config().MaxJobBytes()) {
        tooLarge_ = true;
        rawText_.clear();
        return false;
    }
    rawText_.append(text, size);
    return true;
}

bool CRequestConversation::WriteRawText() {
    if (!rawText_.empty() && !writeFailed_ && !rawFile_.Write(rawText_.data(), rawText_.size()).ok())
        writeFailed_ = true;
    rawText_.clear();
    return !writeFailed_;
}

void CRequestConversation::DrainAndClose() {
    if (socket_ == kNoSocket) return;
    ShutdownSending(socket_);
    SetSocketTimeout(socket_, kDrainWaitSeconds);
    const auto deadline = std::chrono::steady_clock::now() + kDrainTime;
    size_t received = 0;
    while (std::chrono::steady_clock::now() < deadline &&
           ReceiveSome(socket_, receiveBuffer_, kReceiveBufferSize, &received).ok() && received > 0) {
    }
    CloseConnection();
}

int CRequestConversation::Run() {
    Send(kGreeting);
    WaitForCommand();

    SectionChoice choice = ChooseSection(job_.section);
    job_.section = choice.section;
    job_.keySuffix = choice.keySuffix;
    if (JobRecord* record = context_.CurrentJob()) record->section = job_.section;
    const CServiceConfig& config = context_.Config();
    if (!config.SectionExists(job_.section)) {
        context_.ReportError(kEvtNoSection, job_.section);
        Send("ERROR:section " + job_.section + " does not exist in ini file /n Bye \n");
        CloseConnection();
        return 0;
    }

    job_.saveDir = config.GetString(job_.section, choice.saveDirKey, "");
    if (!job_.saveDir.empty() && job_.saveDir.back() != kPathSeparator) job_.saveDir += kPathSeparator;
    context_.ReportDebug(kEvtSaveFolder, job_.saveDir);
    if (!PathExists(job_.saveDir)) {
        context_.ReportError(kEvtNoSaveFolder, job_.saveDir);
        Send("ERROR: " + job_.saveDir + " does not exist/n");
        CloseConnection();
        return 0;
    }

    job_.rawPath = JoinPath(job_.saveDir, job_.rawName);
    context_.ReportDebug(kEvtRawPath, job_.rawPath);
    // A name that is no plain file name never reaches the file system. The
    // text arrives in a hidden partial file beside the raw file and takes the
    // raw file's name only when complete: a raw file (the output of a section
    // without conversion) is never seen half-written, and a failed job leaves
    // an older file of that name as it was.
    std::string writeError;
    std::string partialPath;
    // A link, FIFO or folder planted under the raw file's name is refused, not replaced.
    const bool claimed = IsUsableRawName(job_.rawName) &&
                         (!EntryExists(job_.rawPath) || IsPlainFile(job_.rawPath)) &&
                         RawFilesArriving::Claim(job_.rawPath);
    if (!claimed ||
        !CreateUniqueFile(job_.saveDir, OwnedPrefix(kPartialRawPrefix), kPartialRawSuffix, &partialPath,
                          TempAccess::kShared)
             .ok() ||
        !rawFile_.Create(partialPath).ok()) {
        writeError = kOpenError;
    } else {
        writeError = ReceiveText();
    }
    if (!rawFile_.Close().ok() && writeError.empty()) writeError = kLineWriteError;
    if (writeError.empty() && !RenameFile(partialPath, job_.rawPath).ok()) writeError = kLineWriteError;
    if (claimed) RawFilesArriving::Release(job_.rawPath);

    if (tooLarge_) {
        const std::int64_t limit = config.MaxJobBytes();
        RemoveFile(job_.rawPath);
        context_.ReportError(kEvtRawFileError, "Report larger than maxJobBytes (" + std::to_string(limit) +
                                                   " bytes); raw file removed: " + job_.rawPath);
        Send("ERROR: report larger than " + std::to_string(limit) + " bytes\n" + kBye);
        DrainAndClose();
        return 0;
    }
    if (!writeError.empty()) {
        if (!partialPath.empty()) RemoveFile(partialPath);
        context_.ReportError(kEvtRawFileError, writeError);
        if (writeError != kOpenError) {
            // A full disk or a failing device: the operator learns which
            // file, the client that its text was not stored.
            context_.ReportError(kEvtRawFileError, job_.rawPath);
            Send(kWriteErrorReply + writeError + "\n");
        }
        CloseConnection();
        return 0;
    }
    if (!FileOpens(job_.rawPath)) {
        context_.ReportError(kEvtRawFileUnreadable, job_.rawPath);
        Send(kRawFileUnreadable);
        CloseConnection();
        return 0;
    }

    context_.ReportDebug(kEvtRawFile, job_.rawPath);
    // The outcome and "Bye" go out together.
    if (ProcessJob(context_, job_)) {
        if (config.Debug()) context_.ReportServiceEvent(EventType::kSuccess, kEvtGeneric, kJobDone);
        Send(std::string(kOk) + kBye);
    } else {
        context_.ReportError(kEvtJobFailed, "");
        Send(std::string(kJobFailed) + kBye);
    }
    CloseConnection();
    return 0;
}

}  // namespace tarn
