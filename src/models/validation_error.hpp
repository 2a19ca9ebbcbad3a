#pragma once
// ValidationError: a record could not be built because one or more of its fields break their
// declaration. It lists every offending field, in the order the fields were checked, each with
// its path from the record's root ("summary", "issues[2].severity"; empty for the root value
// itself) and a reason. what() is one line: "invalid record: " followed by "path: reason"
// entries joined with "; ". Copying the error never throws (the list is shared).

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvane {

struct FieldError {
  std::string path;
  std::string message;

  bool operator==(const FieldError&) const = default;
};

class ValidationError : public std::runtime_error {
 public:
  // REQUIRES: `errors` is not empty.
  explicit ValidationError(std::vector<FieldError> errors);

  const std::vector<FieldError>& errors() const noexcept { return *errors_; }

 private:
  std::shared_ptr<const std::vector<FieldError>> errors_;
};

}  // namespace orvane
