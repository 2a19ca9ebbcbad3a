#pragma once
// The import statements written in one source file, found by hand-written scanners that read
// the text once. They only find the statements; resolving them to files is import_resolver's
// business.
//
// Pure functions of the text; thread-safe. Any bytes are accepted (the scanners look for ASCII
// syntax only); lines are counted from 1 at each "\n", and a "\r" before it is ignored.
//
// What each scanner recognises:
// - Python: `import a.b [as x], c` and `from .a.b import (x, y)` at the start of a logical line
//   (any indentation), with `\` continuations and parenthesised name lists over several lines;
//   lines inside triple-quoted strings and text after `#` are ignored.
// - JavaScript and TypeScript: `import ... from "m"`, `import "m"`, `import type ... from "m"`,
//   `export ... from "m"`, `require("m")` and `import("m")` with a plain string literal;
//   comments, strings, template literals and regular expression literals are skipped.
// - C and C++: `#include "f"` and `#include <f>` (spaces allowed around `#`), outside block
//   and line comments. `#include_next` and computed includes are not listed.
// - Dart: `import 'u'`, `export 'u'` and `part 'u'` (not `part of`) at the start of a line,
//   with single or double quotes, outside comments; of a conditional import only the first URI.

#include <string>
#include <string_view>
#include <vector>

namespace orvane::import_scanners {

struct ImportStatement {
  std::string target;   // as written: "a.b", "..pkg", "./x", "sys/types.h", "package:p/a.dart"
  int line_number = 0;  // the line where the statement starts
  bool angled = false;  // C and C++: written between < and >
  std::vector<std::string> names;  // Python `from` imports: the names imported, "*" included
};

std::vector<ImportStatement> scan_python_imports(std::string_view content);
std::vector<ImportStatement> scan_javascript_imports(std::string_view content);
std::vector<ImportStatement> scan_c_includes(std::string_view content);
std::vector<ImportStatement> scan_dart_imports(std::string_view content);

}  // namespace orvane::import_scanners
