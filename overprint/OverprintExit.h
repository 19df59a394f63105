#pragma once
// Thrown where the converter must end at once (open failures of the form stage,
// write and read errors of the writer) after the message has been printed; the
// driver catches it, cleans up and returns the status.

#include <exception>

namespace tarn::overprint {

class OverprintExit : public std::exception {
  public:
    explicit OverprintExit(int status) : status_(status) {}
    int status() const { return status_; }
    const char* what() const noexcept override { return "overprint ends"; }

  private:
    int status_;
};

}  // namespace tarn::overprint
