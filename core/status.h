// The outcome of an operation the user may need to hear about: success, or a
// reason in words. Errors travel as values and become a message at the edge.
#pragma once

#include <string>
#include <utility>

namespace tallyrun {

class [[nodiscard]] Status {
 public:
  static Status Ok() { return Status(); }
  static Status Failure(std::string reason) { return Status(std::move(reason)); }

  bool ok() const { return !failed_; }
  // Why it failed, in the user's language; empty when ok().
  const std::string& reason() const { return reason_; }

 private:
  Status() = default;
  explicit Status(std::string reason) : failed_(true), reason_(std::move(reason)) {}

  bool failed_ = false;
  std::string reason_;
};

}  // namespace tallyrun
