#pragma once
// DocSearcher: online documentation about a file, to insert into the analysis prompt.
//
// The search suspends; its result is inserted as is (may be empty); a failure throws.

#include <boost/asio/awaitable.hpp>
#include <string>

namespace orvane {

class DocSearcher {
 public:
  virtual ~DocSearcher() = default;

  virtual boost::asio::awaitable<std::string> search_documentation(std::string language,
                                                                   std::string file_path,
                                                                   std::string content) = 0;
};

}  // namespace orvane
