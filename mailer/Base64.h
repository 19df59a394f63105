#pragma once
// Base64 (RFC 2045, section 6.8) for MIME bodies and encoded header words.

#include <cstddef>
#include <string>

namespace tarn::mailer {

// Longest encoded line in a MIME body part (RFC 2045, section 6.8).
inline constexpr std::size_t kBase64LineLength = 76;

// `data` in base64; with lineLength > 0 the output is cut into lines of that
// many characters, each ended by CR LF.
std::string EncodeBase64(const std::string& data, std::size_t lineLength = 0);

}  // namespace tarn::mailer
