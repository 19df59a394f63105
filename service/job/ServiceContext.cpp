#include "service/job/ServiceContext.h"

#include "service/job/ServiceConfig.h"

namespace tarn {

void CServiceContext::ReportDebug(EventId id, const std::string& text) const {
    if (Config().Debug()) ReportServiceEvent(EventType::kInformation, id, text);
}

}  // namespace tarn
