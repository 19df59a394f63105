#pragma once
// What job handling needs from the service: the event writers and the loaded
// configuration. The service module implements it; tests use a fake.
// Threading: implementations are called from every connection thread at the
// same time and must keep no unguarded mutable state.

#include <string>

#include "platform/EventSink.h"
#include "service/ServiceEvents.h"

namespace tarn {

class CServiceConfig;
struct JobRecord;

class CEventReporter {
  public:
    virtual ~CEventReporter() = default;
    // Writes one event; the text is written verbatim.
    virtual void ReportServiceEvent(EventType type, EventId id, const std::string& text) const = 0;
};

class CServiceContext : public CEventReporter {
  public:
    // REQUIRES: the configuration has been loaded.
    virtual const CServiceConfig& Config() const = 0;

    // The record of the job this context serves, filled as the job runs;
    // null when nobody keeps one.
    virtual JobRecord* CurrentJob() const { return nullptr; }

    // An information event, written only when the debug switch is on.
    void ReportDebug(EventId id, const std::string& text) const;
    // An error event (always written).
    void ReportError(EventId id, const std::string& text) const {
        ReportServiceEvent(EventType::kError, id, text);
    }
};

}  // namespace tarn
