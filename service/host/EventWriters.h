#pragma once
// The two event writers every part of the service reports through.
// They keep no state of their own: any thread may call them at any time.
// Texts are written verbatim, never used as a format.

#include <string>

#include "platform/EventSink.h"
#include "service/ServiceEvents.h"

namespace tarn {

// Longest text an event carries (the rest is cut).
inline constexpr std::size_t kMaxEventText = 4095;
// Longest text a framework log line carries (the rest is cut).
inline constexpr std::size_t kMaxLogEventText = 255;

// Writes one event: in console mode the text as a line on standard output,
// in service mode one system event. The text ends at its first NUL byte and
// is cut to kMaxEventText characters.
void ReportServiceEvent(EventSink& sink, bool serviceMode, EventType type, EventId id,
                        const std::string& text);

// Writes one framework information event (identifier 0), cut to
// kMaxLogEventText characters: in console mode also as a line on standard
// output, in both modes as a system event.
void LogEvent(EventSink& sink, bool serviceMode, const std::string& text);

}  // namespace tarn
