#include "core/warnings.hpp"

#include <iostream>
#include <string>

namespace orvane::warnings {

void print(std::string_view text) {
  std::string line = "⚠️  ";
  line += text;
  line += '\n';
  std::cout.write(line.data(), static_cast<std::streamsize>(line.size()));
  std::cout.flush();
}

}  // namespace orvane::warnings
