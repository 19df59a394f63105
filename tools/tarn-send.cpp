// tarn-send: sends a text file to a TARN server as an ERP client does and
// prints the server's replies. Exits 0 only when the server answers "ok".

#include <cstdio>
#include <string>

#include "common/ProgramInfo.h"
#include "platform/EventSink.h"
#include "platform/File.h"
#include "tools/SendClient.h"

int main(int argc, char** argv) {
    if (tarn::AnswerHelpOrVersion(argc, argv, "tarn-send", tarn::SendUsage())) return 0;
    tarn::SendOptions options;
    std::string error;
    if (!tarn::ParseSendArguments(argc, argv, &options, &error)) {
        std::fprintf(stderr, "tarn-send: %s\n%s", error.c_str(), tarn::SendUsage().c_str());
        return 2;
    }
    std::string text;
    tarn::Status status = tarn::ReadWholeFile(options.file, &text);
    if (!status.ok()) {
        std::fprintf(stderr, "tarn-send: %s\n", status.message().c_str());
        return 2;
    }
    tarn::IgnoreBrokenPipe();
    std::string replies;
    status = tarn::SendReport(options, text, &replies);
    std::fwrite(replies.data(), 1, replies.size(), stdout);
    std::fflush(stdout);
    if (!status.ok()) {
        std::fprintf(stderr, "tarn-send: %s\n", status.message().c_str());
        return 1;
    }
    return tarn::ReplyIsOk(replies) ? 0 : 1;
}
