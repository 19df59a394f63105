#pragma once
// One job as the conversation collects it and the pipeline works on it.

#include <string>
#include <vector>

#include "service/job/EmailRecord.h"

namespace tarn {

struct JobRequest {
    std::string section;                   // the section looked up ("xls" for every workbook job)
    std::string rawName;                   // file name of the raw job file
    std::string rawPath;                   // saveDir joined with rawName
    std::string saveDir;                   // save folder, ending in a separator
    std::vector<EmailRecord> emailOrders;  // accepted orders, in arrival order
    bool sendEmail = false;                // result of the job's last e-mail line
};

}  // namespace tarn
