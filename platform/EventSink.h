#pragma once
// Where the service's events and console lines go. Console lines go to
// standard output with one write per whole line (never held in a stdio
// buffer); system events go to syslog (ident "TARNSvr", facility daemon).
// Implementations must be callable from any thread at the same time.

#include <cstdint>
#include <string>

namespace tarn {

// Event types with the values the event writers use.
enum class EventType : int {
    kSuccess = 0,
    kError = 1,
    kInformation = 4,
};

class EventSink {
  public:
    virtual ~EventSink() = default;
    // Writes `text` and a line end as one whole line to standard output.
    virtual void WriteConsoleLine(const std::string& text) = 0;
    // Writes one system event: the identifier in hex and the text.
    virtual void WriteSystemEvent(EventType type, std::uint32_t id, const std::string& text) = 0;
};

// Standard output and syslog.
class PlatformEventSink : public EventSink {
  public:
    void WriteConsoleLine(const std::string& text) override;
    void WriteSystemEvent(EventType type, std::uint32_t id, const std::string& text) override;
};

// The process-wide platform sink.
EventSink& PlatformEvents();

// The text of one system event line: "0x<ID> <text>", identifier in 8 hex digits.
std::string FormatSystemEvent(std::uint32_t id, const std::string& text);

// Ignores SIGPIPE so that a vanished reader of standard output or a peer
// never ends the process; the failing write reports an error instead.
void IgnoreBrokenPipe();

}  // namespace tarn
