#pragma once
// One e-mail order of a job. The conversation fills the first four fields
// and the module; the pipeline sets the attachment; the e-mail dispatch uses
// the rest.

#include <string>

namespace tarn {

class CServiceContext;

struct EmailRecord {
    std::string recipientName;                // replaces "$name" in the body; may be empty
    std::string addressList;                  // handed to the mailer unchanged
    std::string subject;                      // empty means the dispatch's default subject
    std::string bodyTemplate;                 // body template below the body folder; may be empty
    bool hasBody = false;                     // set by the dispatch when a body was prepared
    std::string attachment;                   // full path of the file to send
    const CServiceContext* module = nullptr;  // configuration and event writers
    std::string bodyFile;                     // temporary body file; empty until prepared
};

}  // namespace tarn
