#pragma once
// The result of an operation at the OS boundary: success, or a message that
// names what failed and why (errno already turned into text, once, here).

#include <string>
#include <utility>

namespace tarn {

class Status {
  public:
    Status() = default;  // success

    static Status Ok() { return Status(); }
    static Status Error(std::string message, int code = 0) { return Status(std::move(message), code); }
    // Failure of an OS call: "<context>: <strerror(err)>".
    static Status FromErrno(const std::string& context, int err);

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    int code() const { return code_; }  // errno value, 0 when not an OS error
    const std::string& message() const { return message_; }

  private:
    Status(std::string message, int code) : failed_(true), code_(code), message_(std::move(message)) {}

    bool failed_ = false;
    int code_ = 0;
    std::string message_;
};

}  // namespace tarn
