#include "models/validation_error.hpp"

#include <utility>

namespace orvane {
namespace {

std::string describe(const std::vector<FieldError>& errors) {
  std::string text = "invalid record: ";
  for (std::size_t i = 0; i < errors.size(); ++i) {
    if (i != 0) text += "; ";
    if (!errors[i].path.empty()) text += errors[i].path + ": ";
    text += errors[i].message;
  }
  return text;
}

}  // namespace

ValidationError::ValidationError(std::vector<FieldError> errors)
    : std::runtime_error(describe(errors)),
      errors_(std::make_shared<const std::vector<FieldError>>(std::move(errors))) {}

}  // namespace orvane
