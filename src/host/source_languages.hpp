#pragma once
// Which import syntax a source file uses, from the language name the agent detected or from
// the file's extension.
//
// Pure functions; thread-safe.

#include <string_view>

namespace orvane::source_languages {

enum class ImportSyntax { none, python, javascript, c_family, dart };

// From the agent's language names: "Python"; "JavaScript", "JavaScript (React)", "TypeScript",
// "TypeScript (React)"; "C", "C++", "C/C++ Header"; "Dart". Other names give `none`.
ImportSyntax syntax_of_language(std::string_view language);

// From the extension of the last path component, compared without case: .py .pyi; .js .jsx
// .mjs .cjs .ts .tsx .mts .cts; .c .h .cc .cpp .cxx .c++ .hh .hpp .hxx .h++ .ipp .tpp .tcc
// .inl; .dart. Other extensions, and names without one, give `none`.
ImportSyntax syntax_of_path(std::string_view path);

// `syntax_of_language`, falling back on `syntax_of_path` when the name is not recognised
// (the agent reports "Unknown" for .hpp, .cc or .mjs).
ImportSyntax syntax_of(std::string_view language, std::string_view path);

}  // namespace orvane::source_languages
