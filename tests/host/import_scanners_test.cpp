#include "host/import_scanners.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace orvane::import_scanners {
namespace {

using Scanner = std::function<std::vector<ImportStatement>(std::string_view)>;

struct Case {
  std::string name;
  Scanner scan;
  std::string content;
  std::vector<std::string> expected;  // "line:target", with "<...>" for angled includes
};

std::vector<std::string> described(const std::vector<ImportStatement>& statements) {
  std::vector<std::string> out;
  for (const ImportStatement& statement : statements) {
    std::string target = statement.angled ? "<" + statement.target + ">" : statement.target;
    for (const std::string& name : statement.names) target += " " + name;
    out.push_back(std::to_string(statement.line_number) + ":" + target);
  }
  return out;
}

TEST(ImportScanners, FindStatementsAndSkipWhatOnlyLooksLikeThem) {
  const std::vector<Case> cases = {
      {"c directives and spacing",
       scan_c_includes,
       "#include <stdio.h>\n  #  include \"a.h\"\r\n#include_next <b.h>\n#includex \"c.h\"\n"
       "#define X 1 // #include \"d.h\"\n#include MACRO\n#include\"e.h\"\n",
       {"1:<stdio.h>", "2:a.h", "7:e.h"}},
      {"c block comments",
       scan_c_includes,
       "/* start\n#include \"in_comment.h\"\n*/\n#include \"after.h\"\n"
       "const char* s = \"/*\";\n#include \"after_string.h\"\n// /*\n#include \"after_line.h\"\n",
       {"4:after.h", "6:after_string.h", "8:after_line.h"}},
      {"c unterminated forms",
       scan_c_includes,
       "#include \"open.h\n#include <>\n#include <x.h",
       {}},
      {"python forms",
       scan_python_imports,
       "import os, pkg.mod as m\nfrom . import a, b as c\nfrom ..up.mod import (\n  x,\n"
       "  y,\n)\nimport a; import b\n    from .inner import *\nfrom .import z\n",
       {"1:os", "1:pkg.mod", "2:. a b", "3:..up.mod x y", "7:a", "7:b", "8:.inner *", "9:. z"}},
      {"python strings, comments and continuations",
       scan_python_imports,
       "\"\"\"Doc\nimport hidden\n\"\"\"\nx = 'import nope'  # import nope2\n"
       "from pkg import \\\n  name\nimport # nothing\nfromage = 1\nimportlib = 2\n"
       "r'''\nfrom hidden import x\n'''\nimport after\n",
       {"5:pkg name", "13:after"}},
      {"python invalid module names",
       scan_python_imports,
       "import a..b\nimport .a\nfrom a. import b\n",
       {}},
      {"javascript forms",
       scan_javascript_imports,
       "import React from 'react';\nimport { a,\n  b } from \"./ab\";\nimport './side';\n"
       "import type { T } from './t';\nexport * from './all';\nexport { x as y } from './x';\n"
       "const c = require('./c');\nconst d = await import('./d');\nimport e = require('./e');\n",
       {"1:react", "2:./ab", "4:./side", "5:./t", "6:./all", "7:./x", "8:./c", "9:./d", "10:./e"}},
      {"javascript look-alikes",
       scan_javascript_imports,
       "// import './line'\n/* import './block' */\nconst s = \"import './str'\";\n"
       "const t = `${a} import './tpl' ${'}'}`;\nconst r = /'import/g; import './after_regex';\n"
       "obj.require('./member');\nexport const from = './not';\nexport default f('./call');\n"
       "const q = a / b; require('./after_division');\nimport.meta.url;\nrequire(`./tpl2`);\n",
       {"5:./after_regex", "9:./after_division"}},
      {"dart directives",
       scan_dart_imports,
       "library x;\nimport 'dart:async';\nimport \"package:p/a.dart\" as a;\nexport 'b.dart' show "
       "B;\n"
       "part 'c.g.dart';\npart of 'lib.dart';\nimport 'd.dart' if (dart.library.io) 'e.dart';\n"
       "/* import 'hidden.dart';\n /* nested */ import 'still_hidden.dart';\n*/\n"
       "// import 'line.dart';\nimportant('x.dart');\n  import 'indented.dart';\n",
       {"2:dart:async", "3:package:p/a.dart", "4:b.dart", "5:c.g.dart", "7:d.dart",
        "13:indented.dart"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(described(c.scan(c.content)), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace orvane::import_scanners
