#include "host/source_languages.hpp"

#include <array>
#include <string>
#include <utility>

namespace orvane::source_languages {
namespace {

using Row = std::pair<std::string_view, ImportSyntax>;

constexpr std::array<Row, 9> kLanguages = {{
    {"Python", ImportSyntax::python},
    {"JavaScript", ImportSyntax::javascript},
    {"JavaScript (React)", ImportSyntax::javascript},
    {"TypeScript", ImportSyntax::javascript},
    {"TypeScript (React)", ImportSyntax::javascript},
    {"C", ImportSyntax::c_family},
    {"C++", ImportSyntax::c_family},
    {"C/C++ Header", ImportSyntax::c_family},
    {"Dart", ImportSyntax::dart},
}};

constexpr std::array<Row, 25> kExtensions = {{
    {".py", ImportSyntax::python},      {".pyi", ImportSyntax::python},
    {".js", ImportSyntax::javascript},  {".jsx", ImportSyntax::javascript},
    {".mjs", ImportSyntax::javascript}, {".cjs", ImportSyntax::javascript},
    {".ts", ImportSyntax::javascript},  {".tsx", ImportSyntax::javascript},
    {".mts", ImportSyntax::javascript}, {".cts", ImportSyntax::javascript},
    {".c", ImportSyntax::c_family},     {".h", ImportSyntax::c_family},
    {".cc", ImportSyntax::c_family},    {".cpp", ImportSyntax::c_family},
    {".cxx", ImportSyntax::c_family},   {".c++", ImportSyntax::c_family},
    {".hh", ImportSyntax::c_family},    {".hpp", ImportSyntax::c_family},
    {".hxx", ImportSyntax::c_family},   {".h++", ImportSyntax::c_family},
    {".ipp", ImportSyntax::c_family},   {".tpp", ImportSyntax::c_family},
    {".tcc", ImportSyntax::c_family},   {".inl", ImportSyntax::c_family},
    {".dart", ImportSyntax::dart},
}};

template <std::size_t N>
ImportSyntax look_up(const std::array<Row, N>& table, std::string_view key) {
  for (const auto& [name, syntax] : table) {
    if (name == key) return syntax;
  }
  return ImportSyntax::none;
}

}  // namespace

ImportSyntax syntax_of_language(std::string_view language) {
  return look_up(kLanguages, language);
}

ImportSyntax syntax_of_path(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || name.size() - dot > 5) return ImportSyntax::none;
  // The keys are ASCII, so folding ASCII letters is enough, whatever bytes the name holds.
  std::string extension(name.substr(dot));
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return look_up(kExtensions, extension);
}

ImportSyntax syntax_of(std::string_view language, std::string_view path) {
  const ImportSyntax by_name = syntax_of_language(language);
  return by_name != ImportSyntax::none ? by_name : syntax_of_path(path);
}

}  // namespace orvane::source_languages
