#pragma once
// ProgressManager: the host's progress display, as the agent sees it.

#include <string>

namespace orvane {

class ProgressManager {
 public:
  virtual ~ProgressManager() = default;

  // Shows the model's reasoning (`model` names the model that produced it).
  virtual void print_reasoning(const std::string& reasoning, const std::string& model) = 0;
};

}  // namespace orvane
