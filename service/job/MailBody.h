#pragma once
// The optional body of an e-mail: a template from the body folder, copied to
// a temporary file with "$name" replaced by the recipient's name.

#include <string>

#include "platform/Status.h"

namespace tarn {

struct EmailRecord;

// Stands in for "$name" when the recipient name is empty (the spelling is
// what recipients have always seen).
inline constexpr const char* kDefaultRecipientName = "Recepient";
// The placeholder replaced once per template line.
inline constexpr const char* kNamePlaceholder = "$name";
// Prefix of the temporary body files.
inline constexpr const char* kBodyFilePrefix = "ORV";

// True when a body template name from the client names a file directly in
// the body folder: not empty, not "." or "..", no separator ('/' or '\').
bool IsPlainTemplateName(const std::string& name);

// The template text with the first "$name" of every line replaced by the
// recipient name ("Recepient" when empty). Lines end in the platform's
// line end; a line of any length is copied whole.
std::string FillMailBody(const std::string& templateText, const std::string& recipientName);

// Prepares the record's body file from its body template. True when a body
// file was written; reports 0xC000020A (template unusable or missing) or
// 0xC000020C (temporary file not writable) otherwise. Any temporary file it
// made is left in record.bodyFile for the caller to delete.
bool PrepareMailBody(EmailRecord& record);

}  // namespace tarn
