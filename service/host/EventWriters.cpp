#include "service/host/EventWriters.h"

#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// The text as a C string of at most `limit` characters would hold it, its
// control bytes escaped so that no event can steer the operator's terminal
// or forge a line of its own.
std::string CutText(const std::string& text, std::size_t limit) {
    std::string::size_type nul = text.find('\0');
    std::size_t length = nul == std::string::npos ? text.size() : nul;
    return EscapeControls(text.substr(0, length < limit ? length : limit));
}

}  // namespace

void ReportServiceEvent(EventSink& sink, bool serviceMode, EventType type, EventId id,
                        const std::string& text) {
    std::string cut = CutText(text, kMaxEventText);
    if (serviceMode)
        sink.WriteSystemEvent(type, id, cut);
    else
        sink.WriteConsoleLine(cut);
}

void LogEvent(EventSink& sink, bool serviceMode, const std::string& text) {
    std::string cut = CutText(text, kMaxLogEventText);
    if (!serviceMode) sink.WriteConsoleLine(cut);
    sink.WriteSystemEvent(EventType::kInformation, kEvtGeneric, cut);
}

}  // namespace tarn
