#include "service/job/RequestConversation.h"

#include "platform/File.h"
#include "platform/Paths.h"
#include "service/ServiceEvents.h"
#include "service/job/JobPipeline.h"
#include "service/job/JobRecord.h"
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
// Write errors (reported, never sent).
constexpr const char* kOpenError = "Error open rawfile 107";
constexpr const char* kEofWriteError = "Error write to rawfile 106";
constexpr const char* kLineWriteError = "Error write to rawfile 105";
constexpr const char* kJobDone = "Request processed succesfully";

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

std::string CRequestConversation::ReadLine() {
    std::string line;
    if (lines_.TakeLine(&line)) return line;
    if (!peerClosed_) {
        size_t received = 0;
        Status status = ReceiveSome(socket_, receiveBuffer_, kReceiveBufferSize, &received);
        if (status.ok() && received > 0) {
            receiveBuffer_[received] = '\0';
            lines_.Append(receiveBuffer_, received);
            if (lines_.TakeLine(&line)) return line;
            return std::string();
        }
        peerClosed_ = true;
        // Keep the last unterminated text rather than dropping it.
        if (!lines_.Pending().empty()) return lines_.TakeRest();
    }
    return kQuitWord;
}

void CRequestConversation::WaitForCommand() {
    for (;;) {
        std::string line = ReadLine();
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
        std::string line = ReadLine();
        if (StartsWith(line, kRawFileWord)) continue;
        if (StartsWith(line, kQuitWord)) return std::string();
        if (StartsWith(line, kEmailMarker)) {
            EmailRecord order;
            order.module = &context_;
            job_.sendEmail = ParseEmailLine(line, &order);
            if (job_.sendEmail) job_.emailOrders.push_back(order);
            continue;
        }
        std::string::size_type eof = line.find(kEofWord);
        if (eof != std::string::npos) {
            if (eof > 0 && !rawFile_.Write(line.data(), eof).ok()) return kEofWriteError;
            return std::string();
        }
        if (!line.empty() && !rawFile_.Write(line.data(), line.size()).ok()) return kLineWriteError;
    }
}

int CRequestConversation::Run() {
    Send(kGreeting);
    WaitForCommand();

    SectionChoice choice = ChooseSection(job_.section);
    job_.section = choice.section;
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
    // A name that is no plain file name never reaches the file system.
    std::string writeError;
    if (!IsUsableRawName(job_.rawName) || !rawFile_.Create(job_.rawPath).ok())
        writeError = kOpenError;
    else
        writeError = ReceiveText();
    rawFile_.Close();

    if (!writeError.empty()) {
        context_.ReportError(kEvtRawFileError, writeError);
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
    if (ProcessJob(context_, job_)) {
        if (config.Debug()) context_.ReportServiceEvent(EventType::kSuccess, kEvtGeneric, kJobDone);
        Send(kOk);
    } else {
        context_.ReportError(kEvtJobFailed, "");
        Send(kJobFailed);
    }
    Send(kBye);
    CloseConnection();
    return 0;
}

}  // namespace tarn
