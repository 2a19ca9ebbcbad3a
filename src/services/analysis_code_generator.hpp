#pragma once
// AnalysisCodeGenerator: what the per-file agent asks of a code generator.
//
// The call suspends while the model works. Its result is the generated analysis code (maybe
// empty), or absent when generation failed; a failure may also be thrown, and the agent absorbs
// both. A cancellation always propagates. Several calls may be in flight on one generator.

#include <boost/asio/awaitable.hpp>
#include <optional>
#include <string>

namespace orvane {

class AnalysisCodeGenerator {
 public:
  virtual ~AnalysisCodeGenerator() = default;

  // Analysis code about `original_code` (written in `language`) that concentrates on
  // `analysis_focus`.
  virtual boost::asio::awaitable<std::optional<std::string>> generate_analysis_code(
      std::string original_code, std::string language, std::string analysis_focus) = 0;
};

}  // namespace orvane
